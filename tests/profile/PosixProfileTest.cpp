// The POSIX profile functions, file replacement and file listing on real
// files in a fresh folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "platform/Error.h"
#include "platform/posix/AtomicFile.h"
#include "platform/posix/Files.h"
#include "platform/posix/Profile.h"

namespace liaison {
namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Runs `action` as the user nobody when the tests run as root (for whom
// permission bits do not apply), in a child process; returns what it returns.
int AsUnprivileged(const std::function<int()>& action) {
  if (::geteuid() != 0) return action();
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(99);
    ::_exit(action());
  }
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return 100;
  return WEXITSTATUS(status);
}

class Folder : public testing::Test {
 protected:
  Folder() {
    std::string pattern = "/tmp/liaison-profile-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    root_ = pattern;
    ::chmod(root_.c_str(), 0755);  // open to the unprivileged user
  }
  ~Folder() override {
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(root_, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error))
      if (it->is_directory(error) && !it->is_symlink(error))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
    fs::remove_all(root_, error);
  }
  std::string Path(const std::string& name) const { return root_ + "/" + name; }

  std::string Get(IProfile& profile, const std::string& section, const std::string& key,
                  const std::string& path) {
    char buffer[145];
    const auto n = profile.GetPrivateProfileString(section, key, "<default>", buffer, 145, path);
    return std::string(buffer, n);
  }

  std::string root_;
};

// --- PosixProfile --------------------------------------------------------------

using PosixProfileTest = Folder;

TEST_F(PosixProfileTest, WritesCreateTheFileThenChangeOnlyTheirValue) {
  PosixProfile profile(Path("win.ini"));
  const std::string link = Path("liaison.ini");
  EXPECT_EQ(Get(profile, "APPLICATIONS", "RES_ORIGINE", link), "<default>");

  EXPECT_NE(profile.WritePrivateProfileString("APPLICATIONS", "RES_ORIGINE", "800x600x16", link),
            0);
  EXPECT_EQ(ReadBytes(link), "[APPLICATIONS]\nRES_ORIGINE=800x600x16\n");

  WriteBytes(link, "; shipped\r\n[APPLICATIONS]\r\nAPPLICATION_NAME = Movelka\r\nRES_ORIGINE=\r\n");
  EXPECT_NE(profile.WritePrivateProfileString("APPLICATIONS", "RES_ORIGINE", "1024x768x32", link),
            0);
  EXPECT_NE(profile.WritePrivateProfileString("APPLICATIONS", "AutoChangeRes", "OK", link), 0);
  EXPECT_EQ(
      ReadBytes(link),
      "; shipped\r\n[APPLICATIONS]\r\nAPPLICATION_NAME = Movelka\r\nRES_ORIGINE=1024x768x32\r\n"
      "AutoChangeRes=OK\r\n");
  EXPECT_EQ(Get(profile, "applications", "application_name", link), "Movelka");
  EXPECT_EQ(Get(profile, "APPLICATIONS", "RES_ORIGINE", link), "1024x768x32");

  char names[1024];
  const auto n =
      profile.GetPrivateProfileString("APPLICATIONS", std::nullopt, "", names, 1024, link);
  EXPECT_EQ(std::string(names, n),
            std::string("APPLICATION_NAME\0RES_ORIGINE\0AutoChangeRes\0", 43));
  // Nothing is left beside the file.
  EXPECT_EQ(Names(root_), std::vector<std::string>{"liaison.ini"});
}

TEST_F(PosixProfileTest, TheSystemProfileAndBareNamesLiveBesideIt) {
  fs::create_directory(Path("etc"));
  PosixProfile profile(Path("etc/win.ini"));
  WriteBytes(Path("etc/win.ini"), "[windows]\nload=x\n");
  char buffer[145];
  const auto n = profile.GetProfileString("Windows", "LOAD", "", buffer, 145);
  EXPECT_EQ(std::string(buffer, n), "x");
  // A file name without a folder is the file of that name in the system
  // profile's folder, as Windows takes it in its own folder.
  EXPECT_NE(profile.WritePrivateProfileString("S", "k", "v", "bare.ini"), 0);
  EXPECT_EQ(ReadBytes(Path("etc/bare.ini")), "[S]\nk=v\n");
  EXPECT_EQ(Get(profile, "S", "k", "bare.ini"), "v");
}

TEST_F(PosixProfileTest, RefusedWritesReturnZeroAndLeaveTheFileAsItWas) {
  const std::string old = "[S]\r\nk=old\r\n";
  PosixProfile profile(Path("win.ini"));

  // A folder that is a regular file.
  WriteBytes(Path("plain"), "not a folder");
  EXPECT_EQ(profile.WritePrivateProfileString("S", "k", "v", Path("plain/liaison.ini")), 0);

  // A folder that cannot be written, holding a file that could be.
  fs::create_directory(Path("ro"));
  WriteBytes(Path("ro/liaison.ini"), old);
  ::chmod(Path("ro/liaison.ini").c_str(), 0666);
  ::chmod(Path("ro").c_str(), 0555);
  EXPECT_EQ(AsUnprivileged([&] {
              return profile.WritePrivateProfileString("S", "k", "new", Path("ro/liaison.ini"));
            }),
            0);
  EXPECT_EQ(ReadBytes(Path("ro/liaison.ini")), old);
  EXPECT_EQ(Names(Path("ro")), std::vector<std::string>{"liaison.ini"});

  // A read-only file in a folder that can be written.
  fs::create_directory(Path("rw"));
  ::chmod(Path("rw").c_str(), 0777);
  WriteBytes(Path("rw/liaison.ini"), old);
  ::chmod(Path("rw/liaison.ini").c_str(), 0444);
  EXPECT_EQ(AsUnprivileged([&] {
              return profile.WritePrivateProfileString("S", "k", "new", Path("rw/liaison.ini"));
            }),
            0);
  EXPECT_EQ(ReadBytes(Path("rw/liaison.ini")), old);
  EXPECT_EQ(Names(Path("rw")), std::vector<std::string>{"liaison.ini"});

  // A folder in place of the file, and no file name at all.
  fs::create_directory(Path("dir.ini"));
  EXPECT_EQ(profile.WritePrivateProfileString("S", "k", "v", Path("dir.ini")), 0);
  EXPECT_EQ(profile.WritePrivateProfileString("S", "k", "v", ""), 0);
}

TEST_F(PosixProfileTest, AFileTooLargeToReadIsNeitherReadNorReplaced) {
  const std::string big = Path("big.ini");
  WriteBytes(big, "[S]\nk=v\n");
  fs::resize_file(big, kMaxFileBytes + 1);  // sparse: no disk space used
  PosixProfile profile(Path("win.ini"));
  EXPECT_EQ(Get(profile, "S", "k", big), "<default>");
  EXPECT_EQ(profile.WritePrivateProfileString("S", "k", "w", big), 0);
  EXPECT_EQ(fs::file_size(big), kMaxFileBytes + 1);
  std::ifstream in(big, std::ios::binary);
  std::string head(8, '\0');
  in.read(head.data(), 8);
  EXPECT_EQ(head, "[S]\nk=v\n");
}

// --- Whole-file reading and replacing ---------------------------------------------

using AtomicFileTest = Folder;

TEST_F(AtomicFileTest, ReplacingKeepsModeOwnerAndLinks) {
  const std::string file = Path("store.reg");
  WriteBytes(file, "old");
  ::chmod(file.c_str(), 0640);
  const bool root = ::geteuid() == 0;  // only root can give a file away
  if (root) {
    ASSERT_EQ(::chown(file.c_str(), 12345, 23456), 0);
  }
  EXPECT_TRUE(WriteFileAtomically(file, "new"));
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  if (root) {
    EXPECT_EQ(st.st_uid, 12345u);
    EXPECT_EQ(st.st_gid, 23456u);
  }
  std::string text;
  EXPECT_TRUE(ReadWholeFile(file, text));
  EXPECT_EQ(text, "new");

  // Through a symbolic link the target is replaced and the link stays.
  fs::create_symlink("store.reg", Path("link.reg"));
  EXPECT_TRUE(WriteFileAtomically(Path("link.reg"), "via link"));
  EXPECT_TRUE(fs::is_symlink(Path("link.reg")));
  EXPECT_EQ(ReadBytes(file), "via link");
  EXPECT_EQ(Names(root_), (std::vector<std::string>{"link.reg", "store.reg"}));
}

TEST_F(AtomicFileTest, ANewFileGetsTheUsualMode) {
  const mode_t mask = ::umask(022);
  EXPECT_TRUE(WriteFileAtomically(Path("new.ini"), ""));
  ::umask(mask);
  struct stat st {};
  ASSERT_EQ(::stat(Path("new.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
  EXPECT_EQ(st.st_size, 0);
}

TEST_F(AtomicFileTest, OnlyRegularFilesAreRead) {
  std::string text = "stale";
  EXPECT_FALSE(ReadWholeFile(Path("missing"), text));
  EXPECT_EQ(text, "");
  fs::create_directory(Path("dir"));
  EXPECT_FALSE(ReadWholeFile(Path("dir"), text));
  // A FIFO with no writer would block a plain open.
  ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
  EXPECT_FALSE(ReadWholeFile(Path("fifo"), text));
  EXPECT_FALSE(WriteFileAtomically(Path("fifo"), "x"));
}

// --- PosixFiles ----------------------------------------------------------------

using PosixFilesTest = Folder;

TEST_F(PosixFilesTest, FindFirstFileListsOrdinaryFiles) {
  for (const char* name : {"liaison.ini", "Other.INI", "b.ini", "readme.txt"})
    WriteBytes(Path(name), "");
  fs::create_directory(Path("folder.ini"));
  fs::create_directory(Path("a-folder.ini"));
  fs::create_symlink("b.ini", Path("alink.ini"));

  PosixFiles files;
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"liaison.ini", "liaison.ini"},  // the file itself
      {"LIAISON.INI", ""},             // without wildcards the name must match exactly
      {"missing.ini", ""},             //
      {"folder.ini", ""},              // a folder is no ordinary file
      {"*.ini", "alink.ini"},          // the first in name order; a link counts as its target
      {"*.INI", "alink.ini"},          // wildcards match either case
      {"o*", "Other.INI"},             //
      {"?.ini", "b.ini"},              //
      {"??.ini", ""},                  //
      {"*.txt", "readme.txt"},         //
      {"*", "alink.ini"},              //
      {"*folder*", ""},                // folders only
      {"", ""},                        //
  };
  for (const auto& [pattern, want] : cases)
    EXPECT_EQ(files.FindFirstFile(Path(pattern)), want) << pattern;
  EXPECT_EQ(files.FindFirstFile(Path("nofolder/*.ini")), "");
}

TEST(WildcardTest, MatchesAsWindowsDoes) {
  EXPECT_TRUE(MatchesWildcard("*", ""));
  EXPECT_TRUE(MatchesWildcard("a*b*c", "aXXbYYbc"));
  EXPECT_FALSE(MatchesWildcard("a*b*c", "aXXbYYbd"));
  EXPECT_TRUE(MatchesWildcard("*.INI", "liaison.ini"));
  EXPECT_TRUE(MatchesWildcard("r\xC3\xA9?.ini", "r\xC3\xA9\xC3\xA9.ini"));  // ? is one character
  EXPECT_FALSE(MatchesWildcard("?", ""));
  EXPECT_FALSE(MatchesWildcard("abc", "ab"));
}

TEST_F(PosixFilesTest, OpenTextReadsLinesOfEitherEnding) {
  WriteBytes(Path("f.ini"), "[A]\r\nk=1\n\n[B] x\r\nlast\rline");
  PosixFiles files;
  auto reader = files.OpenText(Path("f.ini"));
  std::vector<std::string> lines;
  while (!reader->AtEnd()) lines.push_back(reader->ReadLine());
  EXPECT_EQ(lines, (std::vector<std::string>{"[A]", "k=1", "", "[B] x", "last\rline"}));
  EXPECT_THROW(reader->ReadLine(), Error);

  WriteBytes(Path("empty.ini"), "");
  EXPECT_TRUE(files.OpenText(Path("empty.ini"))->AtEnd());
  WriteBytes(Path("one.ini"), "\n");
  auto one = files.OpenText(Path("one.ini"));
  EXPECT_EQ(one->ReadLine(), "");
  EXPECT_TRUE(one->AtEnd());
}

TEST_F(PosixFilesTest, OpenTextReadsLongLinesWhole) {
  const std::string longest(200000, 'x');
  WriteBytes(Path("long.ini"), longest + "\r\n" + longest);
  PosixFiles files;
  auto reader = files.OpenText(Path("long.ini"));
  EXPECT_EQ(reader->ReadLine(), longest);
  EXPECT_EQ(reader->ReadLine(), longest);
  EXPECT_TRUE(reader->AtEnd());
}

TEST_F(PosixFilesTest, OpenTextOfWhatCannotBeOpenedThrows) {
  PosixFiles files;
  fs::create_directory(Path("dir"));
  for (const std::string& path : {Path("missing.ini"), Path("dir")}) {
    try {
      files.OpenText(path);
      ADD_FAILURE() << path << " opened";
    } catch (const Error& error) {
      EXPECT_EQ(error.kind(), Error::Kind::kFile);
      EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
    }
  }
}

}  // namespace
}  // namespace liaison
