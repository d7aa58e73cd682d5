#include "platform/posix/Process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

extern char** environ;

namespace liaison {
namespace {

std::string Reason(int error) {
  return std::strerror(error);
}

// Why `file` cannot be started, found before trying, or an empty text.
std::string CheckFile(const std::string& file) {
  struct stat info {};
  if (::stat(file.c_str(), &info) != 0) return Reason(errno);
  if (S_ISDIR(info.st_mode)) return Reason(EISDIR);
  if (!S_ISREG(info.st_mode)) return "Not a regular file";
  if (::access(file.c_str(), X_OK) != 0) return Reason(errno);
  return {};
}

// Spawn attributes and file actions, released on every way out.
class SpawnSettings {
 public:
  SpawnSettings() {
    ok_ = ::posix_spawnattr_init(&attributes_) == 0;
    if (!ok_) return;
    ok_ = ::posix_spawn_file_actions_init(&actions_) == 0;
    if (!ok_) {
      ::posix_spawnattr_destroy(&attributes_);
      return;
    }
    sigset_t signals;
    ::sigemptyset(&signals);
    ::posix_spawnattr_setsigmask(&attributes_, &signals);
    ::sigfillset(&signals);
    ::posix_spawnattr_setsigdefault(&attributes_, &signals);
    ::posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // The application inherits standard input, output and error, as a
    // program started without inherited handles does, and nothing else.
    ::posix_spawn_file_actions_addclosefrom_np(&actions_, 3);
#endif
  }
  ~SpawnSettings() {
    if (!ok_) return;
    ::posix_spawn_file_actions_destroy(&actions_);
    ::posix_spawnattr_destroy(&attributes_);
  }
  SpawnSettings(const SpawnSettings&) = delete;
  SpawnSettings& operator=(const SpawnSettings&) = delete;

  bool ok() const {
    return ok_;
  }
  const posix_spawnattr_t* attributes() const {
    return &attributes_;
  }
  const posix_spawn_file_actions_t* actions() const {
    return &actions_;
  }

 private:
  bool ok_ = false;
  posix_spawnattr_t attributes_{};
  posix_spawn_file_actions_t actions_{};
};

}  // namespace

PosixProcess::~PosixProcess() {
  Reap();
}

void PosixProcess::Reap() {
  std::erase_if(started_, [](long id) {
    int status = 0;
    const pid_t done = ::waitpid(static_cast<pid_t>(id), &status, WNOHANG);
    return done != 0;  // ended and collected, or not ours any more
  });
}

std::string PosixProcess::Start(const std::string& file, int /*show_style*/) {
  Reap();
  if (std::string reason = CheckFile(file); !reason.empty()) return reason;

  SpawnSettings settings;
  if (!settings.ok()) return Reason(ENOMEM);
  std::string first_word = file;
  char* argv[] = {first_word.data(), nullptr};
  pid_t id = 0;
  const int error =
      ::posix_spawn(&id, file.c_str(), settings.actions(), settings.attributes(), argv, environ);
  if (error == ENOENT) {
    // The file is there (checked above): what is missing is the interpreter
    // that it names (its "#!" line, or the loader of a dynamic program).
    return "Bad interpreter: " + Reason(error);
  }
  if (error != 0) return Reason(error);
  started_.push_back(id);
  return {};
}

}  // namespace liaison
