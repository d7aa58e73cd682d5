// The registry store on real files: the bytes it writes, what it reads back,
// the rules of RegQueryValueExA, and silent failure when the file system
// refuses access, as root and as an ordinary user.
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "TempFolder.h"
#include "platform/posix/RegistryStore.h"
#include "settings/Registry.h"

namespace liaison {
namespace {

using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

constexpr auto kRoot = IRegistry::kLocalMachine;
const std::string kExample =
    "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Movelka]\n\"PasAff\"=\"OK\"\n"
    "\"RES_ORIGINE\"=\"\"\n";

class RegistryStoreTest : public ::testing::Test {
 protected:
  std::int32_t Set(IRegistry::Key key, const char* name, std::uint32_t type,
                   const std::string& bytes) {
    return store.SetValue(key, name, type, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                          static_cast<std::uint32_t>(bytes.size()));
  }

  TempFolder folder;
  std::string path = folder / "etc/liaison/machine.reg";
  RegeditStore store{path};
};

TEST_F(RegistryStoreTest, DefaultPathIsTheConfiguredOne) {
  EXPECT_STREQ(DefaultRegistryPath(), "/etc/liaison/machine.reg");
  EXPECT_EQ(RegeditStore().Path(), "/etc/liaison/machine.reg");
}

TEST_F(RegistryStoreTest, SavesIntoANewStoreWithItsFolders) {
  RegSaveString(store, kRoot, kMovelkaKey, "PasAff", "OK");
  RegSaveString(store, kRoot, kMovelkaKey, "RES_ORIGINE", "");
  EXPECT_EQ(ReadBytes(path), kExample);
  EXPECT_EQ(RegGetString(store, kRoot, kMovelkaKey, "PasAff"), "OK");
  EXPECT_EQ(RegGetString(store, kRoot, kMovelkaKey, "pasaff"), "OK");
  EXPECT_EQ(RegGetString(store, kRoot, kMovelkaKey, "RES_ORIGINE"), "");
  EXPECT_EQ(store.OpenKeys(), 0u);

  RegSaveString(store, kRoot, "software\\MOVELKA", "PASAFF", "r\xC3\xA9sum\xC3\xA9 \"\\\"");
  EXPECT_EQ(ReadBytes(path),
            "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Movelka]\n"
            "\"PasAff\"=\"r\xC3\xA9sum\xC3\xA9 \\\"\\\\\\\"\"\n\"RES_ORIGINE\"=\"\"\n");
  EXPECT_EQ(RegGetString(store, kRoot, kMovelkaKey, "PasAff"), "r\xC3\xA9sum\xC3\xA9 \"\\\"");
  EXPECT_EQ(store.OpenKeys(), 0u);
}

TEST_F(RegistryStoreTest, ReadingAMissingValueCreatesTheKeyAndReadsEmpty) {
  EXPECT_EQ(RegGetString(store, kRoot, kMovelkaKey, "PasAff"), "");
  EXPECT_EQ(ReadBytes(path), "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Movelka]\n");
  EXPECT_EQ(RegGetString(store, kRoot, kMovelkaKey, "PasAff"), "");
  EXPECT_EQ(ReadBytes(path), "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Movelka]\n");
  EXPECT_EQ(store.OpenKeys(), 0u);
}

TEST_F(RegistryStoreTest, KeepsWhatElseTheFileHolds) {
  std::filesystem::create_directories(folder / "etc/liaison");
  const std::string before =
      "REGEDIT4\r\n\r\n; kept\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n\"X\"=dword:00000001\r\n"
      "\r\n[hkey_local_machine\\software\\movelka]\r\n\"pasaff\"=\"no\"\r\n???\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Last]\r\n";
  WriteBytes(path, before);
  RegSaveString(store, kRoot, kMovelkaKey, "PasAff", "OK");
  RegSaveString(store, kRoot, kMovelkaKey, "RES_LOGICIEL", "");
  EXPECT_EQ(ReadBytes(path),
            "REGEDIT4\r\n\r\n; kept\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n"
            "\"X\"=dword:00000001\r\n\r\n[hkey_local_machine\\software\\movelka]\r\n"
            "\"pasaff\"=\"OK\"\r\n???\r\n\"RES_LOGICIEL\"=\"\"\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Last]\r\n");
  EXPECT_EQ(store.OpenKeys(), 0u);
}

TEST_F(RegistryStoreTest, EveryOperationReadsTheFileAfresh) {
  IRegistry::Key key = 0;
  ASSERT_EQ(store.CreateKey(kRoot, kMovelkaKey, key), IRegistry::kSuccess);
  WriteBytes(path, kExample);  // another program changes the store
  char buffer[8] = {};
  std::uint32_t size = sizeof buffer;
  EXPECT_EQ(
      store.QueryValue(key, "PasAff", nullptr, reinterpret_cast<std::uint8_t*>(buffer), &size),
      IRegistry::kSuccess);
  EXPECT_STREQ(buffer, "OK");
  std::filesystem::remove(path);  // and removes it
  size = sizeof buffer;
  EXPECT_EQ(
      store.QueryValue(key, "PasAff", nullptr, reinterpret_cast<std::uint8_t*>(buffer), &size),
      IRegistry::kNotFound);
  EXPECT_EQ(Set(key, "PasAff", 1, std::string("OK", 3)), IRegistry::kSuccess);
  EXPECT_EQ(ReadBytes(path),
            "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Movelka]\n\"PasAff\"=\"OK\"\n");
  EXPECT_EQ(store.CloseKey(key), IRegistry::kSuccess);
}

// --- RegQueryValueExA's rules --------------------------------------------------------

struct QueryCase {
  const char* what;
  const char* name;
  bool with_buffer;
  std::uint32_t stated;  // size on entry
  std::int32_t status;
  std::uint32_t size;  // size on return
  std::uint32_t type;  // type on return (7 when left as it was)
  const char* bytes;   // the buffer on return, up to the size; nullptr: not looked at
};

void PrintTo(const QueryCase& c, std::ostream* os) {
  *os << c.what;
}

class QueryValueTest : public RegistryStoreTest, public ::testing::WithParamInterface<QueryCase> {};

TEST_P(QueryValueTest, AnswersAsRegQueryValueEx) {
  const QueryCase& c = GetParam();
  IRegistry::Key key = 0;
  ASSERT_EQ(store.CreateKey(kRoot, kMovelkaKey, key), IRegistry::kSuccess);
  ASSERT_EQ(Set(key, "PasAff", 1, std::string("OK", 3)), IRegistry::kSuccess);
  ASSERT_EQ(Set(key, "Empty", 1, std::string("", 1)), IRegistry::kSuccess);

  std::uint8_t buffer[16];
  std::memset(buffer, '#', sizeof buffer);
  std::uint32_t type = 7;
  std::uint32_t size = c.stated;
  EXPECT_EQ(store.QueryValue(key, c.name, &type, c.with_buffer ? buffer : nullptr, &size),
            c.status);
  EXPECT_EQ(size, c.size);
  EXPECT_EQ(type, c.type);
  if (c.bytes != nullptr) {
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), sizeof buffer),
              std::string(c.bytes, sizeof buffer));
  }
  EXPECT_EQ(store.CloseKey(key), IRegistry::kSuccess);
  EXPECT_EQ(store.OpenKeys(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QueryValueTest,
    ::testing::Values(
        QueryCase{"SizeOnly", "PasAff", false, 0, 0, 3, 1, nullptr},
        QueryCase{"EmptyBuffer", "PasAff", true, 0, 234, 3, 1, nullptr},
        QueryCase{"ShortBuffer", "PasAff", true, 2, 234, 3, 1, nullptr},
        QueryCase{"ExactBuffer", "PasAff", true, 3, 0, 3, 1, "OK\0#############"},
        QueryCase{"LargeBuffer", "PasAff", true, 16, 0, 3, 1, "OK\0#############"},
        QueryCase{"EmptyString", "Empty", true, 16, 0, 1, 1, "\0###############"},
        QueryCase{"OtherCase", "PASAFF", true, 3, 0, 3, 1, "OK\0#############"},
        QueryCase{"MissingSizeStaysZero", "Absent", true, 0, 2, 0, 7, "################"},
        QueryCase{"MissingSizeUntouched", "Absent", true, 9, 2, 9, 7, "################"},
        QueryCase{"MissingSizeOnly", "Absent", false, 0, 2, 0, 7, nullptr}),
    [](const auto& info) { return std::string(info.param.what); });

TEST_F(RegistryStoreTest, ValuesOfEveryKindComeBackByteForByte) {
  IRegistry::Key key = 0;
  ASSERT_EQ(store.CreateKey(kRoot, kMovelkaKey, key), IRegistry::kSuccess);
  const struct {
    std::uint32_t type;
    std::string bytes;
    const char* line;
  } cases[] = {
      {1, std::string("OK", 2), "\"V\"=hex(1):4f,4b"},
      {1, std::string("a\0b\0", 4), "\"V\"=hex(1):61,00,62,00"},
      {1, "", "\"V\"=hex(1):"},
      {3, std::string("\0\xff", 2), "\"V\"=hex:00,ff"},
      {4, std::string("\x2a\x01", 2), "\"V\"=hex(4):2a,01"},
      {4, std::string("\x2a\x01\0\0", 4), "\"V\"=dword:0000012a"},
      {1, std::string("x\n", 3), "\"V\"=hex(1):78,0a,00"},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(Set(key, "V", c.type, c.bytes), IRegistry::kSuccess);
    EXPECT_EQ(ReadBytes(path),
              "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Movelka]\n" + std::string(c.line) + "\n");
    std::uint8_t buffer[16] = {};
    std::uint32_t size = sizeof buffer;
    std::uint32_t type = 0;
    ASSERT_EQ(store.QueryValue(key, "V", &type, buffer, &size), IRegistry::kSuccess);
    EXPECT_EQ(type, c.type);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), size), c.bytes) << c.line;
  }
  // RegGetString reads any kind as text less its last byte.
  ASSERT_EQ(Set(key, "V", 3, "OK!"), IRegistry::kSuccess);
  EXPECT_EQ(RegGetString(store, kRoot, kMovelkaKey, "V"), "OK");
  EXPECT_EQ(store.CloseKey(key), IRegistry::kSuccess);
}

// --- Keys and handles -------------------------------------------------------------------

TEST_F(RegistryStoreTest, KeysAndHandles) {
  IRegistry::Key key = 0;
  IRegistry::Key sub = 0;
  ASSERT_EQ(store.CreateKey(kRoot, "SOFTWARE\\Movelka\\", key), IRegistry::kSuccess);
  ASSERT_EQ(store.CreateKey(key, "Sub", sub), IRegistry::kSuccess);
  EXPECT_NE(key, sub);
  EXPECT_EQ(store.OpenKeys(), 2u);
  EXPECT_EQ(ReadBytes(path),
            "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Movelka]\n\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Movelka\\Sub]\n");
  // A parent that the file knows through its child opens without a change.
  IRegistry::Key parent = 0;
  ASSERT_EQ(store.CreateKey(kRoot, "software", parent), IRegistry::kSuccess);
  EXPECT_EQ(store.CloseKey(parent), IRegistry::kSuccess);

  EXPECT_EQ(store.CloseKey(sub), IRegistry::kSuccess);
  EXPECT_EQ(store.CloseKey(sub), RegeditStore::kInvalidHandle);
  EXPECT_EQ(Set(sub, "V", 1, std::string("x", 2)), RegeditStore::kInvalidHandle);
  std::uint32_t size = 0;
  EXPECT_EQ(store.QueryValue(sub, "V", nullptr, nullptr, &size), RegeditStore::kInvalidHandle);
  EXPECT_EQ(store.CreateKey(sub, "More", parent), RegeditStore::kInvalidHandle);
  EXPECT_EQ(Set(key, "Bad\nName", 1, std::string("x", 2)), RegeditStore::kInvalidParameter);
  EXPECT_EQ(store.CloseKey(key), IRegistry::kSuccess);
  EXPECT_EQ(store.OpenKeys(), 0u);
  EXPECT_EQ(ReadBytes(path),
            "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Movelka]\n\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Movelka\\Sub]\n");
}

TEST_F(RegistryStoreTest, RefusesOtherRootsAndBadPaths) {
  IRegistry::Key key = 12345;
  EXPECT_EQ(store.CreateKey(0x80000001u, kMovelkaKey, key), RegeditStore::kInvalidHandle);
  for (const char* bad : {"\\SOFTWARE", "SOFTWARE\\\\Movelka", "SOFT\nWARE", "SOFT\rWARE"}) {
    EXPECT_EQ(store.CreateKey(kRoot, bad, key), RegeditStore::kBadPathName) << bad;
  }
  EXPECT_EQ(key, 12345u);
  EXPECT_EQ(store.OpenKeys(), 0u);
  EXPECT_FALSE(std::filesystem::exists(path));
}

// --- Refused access ------------------------------------------------------------------------

// Stores that no one can write or read, even root: a path through a regular
// file, and a folder in place of the file.
TEST_F(RegistryStoreTest, StoreThatCannotExistFailsSilently) {
  WriteBytes(folder / "file", "not a folder");
  std::filesystem::create_directories(folder / "folder.reg");
  for (const std::string& bad :
       {folder / "file/machine.reg", folder / "file/sub/machine.reg", folder / "folder.reg"}) {
    RegeditStore refused(bad);
    IRegistry::Key key = 0;
    EXPECT_EQ(refused.CreateKey(kRoot, kMovelkaKey, key), IRegistry::kAccessDenied) << bad;
    RegSaveString(refused, kRoot, kMovelkaKey, "PasAff", "OK");
    EXPECT_EQ(RegGetString(refused, kRoot, kMovelkaKey, "PasAff"), "");
    EXPECT_EQ(refused.OpenKeys(), 0u);
  }
  EXPECT_EQ(ReadBytes(folder / "file"), "not a folder");
  EXPECT_TRUE(std::filesystem::is_empty(folder / "folder.reg"));
}

// Runs `probe` as the user nobody when the tests run as root (as they are,
// otherwise) and returns what it reports; nothing when the switch is refused.
std::optional<std::string> AsOrdinaryUser(const std::function<std::string()>& probe) {
  if (::geteuid() != 0) return probe();
  int pipe_ends[2];
  if (::pipe(pipe_ends) != 0) return std::nullopt;
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipe_ends[0]);
    if (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
        ::setresuid(65534, 65534, 65534) != 0 || ::geteuid() == 0) {
      ::_exit(3);
    }
    const std::string report = probe();
    const bool written =
        ::write(pipe_ends[1], report.data(), report.size()) == static_cast<ssize_t>(report.size());
    ::_exit(written ? 0 : 4);
  }
  ::close(pipe_ends[1]);
  std::string report;
  char chunk[256];
  ssize_t got = 0;
  while ((got = ::read(pipe_ends[0], chunk, sizeof chunk)) > 0) report.append(chunk, got);
  ::close(pipe_ends[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 3) return std::nullopt;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "the probe failed";
  return report;
}

std::string Status(std::int32_t status) {
  return std::to_string(status);
}

TEST(RegistryStoreAccessTest, OrdinaryUserFailsSilentlyWhereTheFileSystemRefuses) {
  TempFolder folder;
  ::chmod(folder.path().c_str(), 0755);
  const std::string locked = folder / "locked";  // root's, read-only for others
  std::filesystem::create_directories(locked);
  ::chmod(locked.c_str(), 0755);
  WriteBytes(locked + "/machine.reg", kExample);
  ::chmod((locked + "/machine.reg").c_str(), 0644);
  WriteBytes(locked + "/secret.reg", kExample);
  ::chmod((locked + "/secret.reg").c_str(), 0600);
  const std::string own = folder / "own";  // the ordinary user's
  std::filesystem::create_directories(own);
  if (::geteuid() == 0 && ::chown(own.c_str(), 65534, 65534) != 0) GTEST_SKIP();

  const auto report = AsOrdinaryUser([&] {
    std::string out;
    IRegistry::Key key = 0;
    {
      // An existing key of a readable store opens; writing it is refused.
      RegeditStore store(locked + "/machine.reg");
      out += "open " + Status(store.CreateKey(kRoot, kMovelkaKey, key));
      std::uint8_t buffer[8] = {};
      std::uint32_t size = sizeof buffer;
      out += " query " + Status(store.QueryValue(key, "PasAff", nullptr, buffer, &size));
      out += " " + std::string(reinterpret_cast<char*>(buffer));
      out += " set " + Status(store.SetValue(key, "PasAff", 1,
                                             reinterpret_cast<const std::uint8_t*>("no"), 3));
      out += " close " + Status(store.CloseKey(key));
      out += " new-key " + Status(store.CreateKey(kRoot, "SOFTWARE\\New", key));
      RegSaveString(store, kRoot, kMovelkaKey, "PasAff", "changed");
      out += " get " + RegGetString(store, kRoot, kMovelkaKey, "PasAff");
      out += " open-keys " + std::to_string(store.OpenKeys());
    }
    {
      RegeditStore store(locked + "/secret.reg");
      out += " | unreadable " + Status(store.CreateKey(kRoot, kMovelkaKey, key));
      out += " get '" + RegGetString(store, kRoot, kMovelkaKey, "PasAff") + "'";
    }
    {
      RegeditStore store(locked + "/none.reg");
      out += " | new-file " + Status(store.CreateKey(kRoot, kMovelkaKey, key));
      RegeditStore deeper(locked + "/sub/machine.reg");
      out += " new-folder " + Status(deeper.CreateKey(kRoot, kMovelkaKey, key));
      out += " open-keys " + std::to_string(store.OpenKeys() + deeper.OpenKeys());
    }
    {
      RegeditStore store(own + "/liaison/machine.reg");
      RegSaveString(store, kRoot, kMovelkaKey, "PasAff", "OK");
      out += " | own " + RegGetString(store, kRoot, kMovelkaKey, "PasAff");
    }
    return out;
  });
  if (!report) GTEST_SKIP() << "cannot switch to the user nobody";
  EXPECT_EQ(*report,
            "open 0 query 0 OK set 5 close 0 new-key 5 get OK open-keys 0"
            " | unreadable 5 get ''"
            " | new-file 5 new-folder 5 open-keys 0"
            " | own OK");
  EXPECT_EQ(ReadBytes(locked + "/machine.reg"), kExample);
  EXPECT_EQ(ReadBytes(locked + "/secret.reg"), kExample);
  EXPECT_FALSE(std::filesystem::exists(locked + "/none.reg"));
  EXPECT_FALSE(std::filesystem::exists(locked + "/sub"));
  EXPECT_EQ(ReadBytes(own + "/liaison/machine.reg"),
            "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Movelka]\n\"PasAff\"=\"OK\"\n");
  // Nothing was left behind in the locked folder (no temporary file).
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(locked)) ++entries;
  EXPECT_EQ(entries, 2u);
}

}  // namespace
}  // namespace liaison
