// Starting a program file: exactly that file, with nothing else, without
// waiting; and the reason in words when it cannot be started.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "TempFolder.h"
#include "platform/posix/Process.h"

namespace liaison {
namespace {

using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

// Waits until `done` holds, for at most ten seconds.
template <typename Condition>
bool WaitUntil(Condition done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

bool Exists(const std::string& path) {
  return std::filesystem::exists(path);
}

void WriteProgram(const std::string& path, const std::string& text, mode_t mode = 0755) {
  WriteBytes(path, text);
  ::chmod(path.c_str(), mode);
}

TEST(ProcessTest, StartsExactlyTheFileWithNoArgumentAndTheSameEnvironment) {
  TempFolder folder;
  const std::string here = folder / "dir with blanks 'single' \"double\" $HOME;*";
  std::filesystem::create_directories(here);
  const std::string app = here + "/my app";
  WriteProgram(app,
               "#!/bin/sh\n"
               "here=$(dirname \"$0\")\n"
               "{ printf '%s\\n' \"$0\" \"$#\" \"$LIAISON_TEST_VALUE\"\n"
               "  if [ -e /proc/$$/fd/57 ]; then echo fd57 open; else echo fd57 closed; fi\n"
               "} > \"$here/ran.tmp\"\n"
               "mv \"$here/ran.tmp\" \"$here/ran\"\n");
  ::setenv("LIAISON_TEST_VALUE", "inherited value", 1);
  // A file of this program that the started one must not inherit.
  const int null = ::open("/dev/null", O_RDONLY);
  ASSERT_EQ(::dup2(null, 57), 57);

  PosixProcess process;
  EXPECT_EQ(process.Start(app, IProcess::kShowMinimized), "");
  ::close(57);
  ::close(null);
  ::unsetenv("LIAISON_TEST_VALUE");
  ASSERT_TRUE(WaitUntil([&] { return Exists(here + "/ran"); }));
  EXPECT_EQ(ReadBytes(here + "/ran"), app + "\n0\ninherited value\nfd57 closed\n");
}

TEST(ProcessTest, DoesNotWaitForTheProgramAndCollectsItOnceEnded) {
  TempFolder folder;
  const std::string gate = folder / "gate";
  ASSERT_EQ(::mkfifo(gate.c_str(), 0600), 0);
  WriteProgram(folder / "app",
               "#!/bin/sh\n"
               "here=$(dirname \"$0\")\n"
               "echo $$ > \"$here/pid.tmp\"; mv \"$here/pid.tmp\" \"$here/pid\"\n"
               "read line < \"$here/gate\"\n"
               "echo \"$line\" > \"$here/done\"\n");
  std::string pid;
  {
    PosixProcess process;
    ASSERT_EQ(process.Start(folder / "app", 0), "");
    // Start has returned while the program waits at its gate.
    ASSERT_TRUE(WaitUntil([&] { return Exists(folder / "pid"); }));
    pid = ReadBytes(folder / "pid");
    pid.pop_back();
    EXPECT_FALSE(Exists(folder / "done"));

    int writer = -1;
    ASSERT_TRUE(
        WaitUntil([&] { return (writer = ::open(gate.c_str(), O_WRONLY | O_NONBLOCK)) >= 0; }));
    ASSERT_EQ(::write(writer, "go\n", 3), 3);
    ::close(writer);
    ASSERT_TRUE(WaitUntil([&] { return Exists(folder / "done"); }));
    EXPECT_EQ(ReadBytes(folder / "done"), "go\n");
    // Ended, and not collected yet: a zombie until its starter looks.
    const std::string stat = "/proc/" + pid + "/stat";
    ASSERT_TRUE(WaitUntil([&] {
      const std::string text = ReadBytes(stat);
      const auto close = text.rfind(')');
      return close != std::string::npos && text.compare(close, 4, ") Z ") == 0;
    }));
  }
  EXPECT_FALSE(Exists("/proc/" + pid));
}

struct FailureCase {
  const char* what;
  const char* name;  // in the test's folder
  const char* reason;
};

void PrintTo(const FailureCase& c, std::ostream* os) {
  *os << c.what;
}

class ProcessFailureTest : public ::testing::TestWithParam<FailureCase> {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(folder / "sub");
    WriteProgram(folder / "plain", "#!/bin/sh\necho ran > \"$(dirname \"$0\")/marker\"\n", 0644);
    WriteProgram(folder / "junk", std::string("\x7f\x01junk\0\0", 8));
    WriteProgram(folder / "no-interpreter-line",
                 "echo ran > marker\ntouch \"$(dirname \"$0\")/marker\"\n");
    WriteProgram(folder / "missing-interpreter", "#!/nonexistent/sh\n");
    WriteProgram(folder / "empty", "");
    WriteBytes(folder / "file", "");
    ::mkfifo((folder / "fifo").c_str(), 0755);
  }

  TempFolder folder;
};

TEST_P(ProcessFailureTest, GivesTheReasonAndStartsNothing) {
  const FailureCase& c = GetParam();
  PosixProcess process;
  const std::string file = c.name == nullptr ? std::string() : folder / c.name;
  EXPECT_EQ(process.Start(file, IProcess::kShowMinimized), c.reason) << file;
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(Exists(folder / "marker"));
}

INSTANTIATE_TEST_SUITE_P(
    Files, ProcessFailureTest,
    ::testing::Values(
        FailureCase{"Missing", "absent", "No such file or directory"},
        FailureCase{"EmptyApplicationName", "", "Is a directory"},  // the folder and "/"
        FailureCase{"Folder", "sub", "Is a directory"},
        FailureCase{"NotExecutable", "plain", "Permission denied"},
        FailureCase{"NotAProgram", "junk", "Exec format error"},
        FailureCase{"EmptyFile", "empty", "Exec format error"},
        FailureCase{"ScriptWithoutInterpreterLine", "no-interpreter-line", "Exec format error"},
        FailureCase{"MissingInterpreter", "missing-interpreter",
                    "Bad interpreter: No such file or directory"},
        FailureCase{"Fifo", "fifo", "Not a regular file"},
        FailureCase{"ThroughAFile", "file/app", "Not a directory"},
        FailureCase{"NoNameAtAll", nullptr, "No such file or directory"}),
    [](const auto& info) { return std::string(info.param.what); });

}  // namespace
}  // namespace liaison
