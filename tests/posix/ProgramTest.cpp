// The program's own folder, and the end of the program: output flushed,
// status 0, and nothing of the program's after the call.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "TempFolder.h"
#include "platform/posix/Program.h"

extern char** environ;

namespace liaison {
namespace {

using testing::ReadBytes;
using testing::TempFolder;

namespace fs = std::filesystem;

TEST(ProgramTest, FolderIsWhereTheTestProgramLies) {
  EXPECT_EQ(PosixProgram().Folder(), fs::canonical(LIAISON_TESTS_BINARY_DIR).string());
}

// Runs `file` with its standard output in `output`; returns its exit status,
// or -1 when it did not exit normally.
int RunProgram(const std::string& file, const std::string& output) {
  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
  std::string word = file;
  char* argv[] = {word.data(), nullptr};
  pid_t child = 0;
  const int error = ::posix_spawn(&child, file.c_str(), &actions, nullptr, argv, environ);
  ::posix_spawn_file_actions_destroy(&actions);
  if (error != 0) return -2;
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ProgramTest, EndFlushesOutputAndRunsNothingMore) {
  TempFolder folder;
  const std::string output = folder / "output";
  EXPECT_EQ(RunProgram(LIAISON_PROGRAM_PROBE, output), 0);
  EXPECT_EQ(ReadBytes(output),
            "folder=" + fs::path(LIAISON_PROGRAM_PROBE).parent_path().string() + "|");
}

TEST(ProgramTest, FolderOfACopyReachedThroughALink) {
  TempFolder folder;
  const std::string real = folder / "the 'real' \"folder\" $x";
  fs::create_directories(real);
  fs::copy_file(LIAISON_PROGRAM_PROBE, real + "/probe");
  fs::create_directories(folder / "links");
  fs::create_symlink(real + "/probe", folder / "links/probe");
  const std::string output = folder / "output";
  EXPECT_EQ(RunProgram(folder / "links/probe", output), 0);
  EXPECT_EQ(ReadBytes(output), "folder=" + real + "|");
}

}  // namespace
}  // namespace liaison
