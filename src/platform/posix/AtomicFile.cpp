#include "platform/posix/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

namespace liaison {
namespace {

// Closes a descriptor when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  // Closes now and reports whether the close succeeded.
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// The file that a write to `path` replaces: the target of a symbolic link.
std::string ResolveLink(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return path;  // a dangling link: written over
  std::string target = resolved;
  std::free(resolved);
  return target;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string& out) {
  out.clear();
  // Non-blocking, so that a FIFO in place of the file cannot hang the open.
  Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) return false;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if (static_cast<unsigned long long>(st.st_size) > kMaxFileBytes) return false;
  out.reserve(static_cast<std::size_t>(st.st_size));
  char chunk[65536];
  for (;;) {
    const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      out.clear();
      return false;
    }
    if (out.size() + static_cast<std::size_t>(n) > kMaxFileBytes) {  // grew while read
      out.clear();
      return false;
    }
    out.append(chunk, static_cast<std::size_t>(n));
  }
  return true;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes) {
  if (path.empty() || path.back() == '/') return false;
  const std::string target = ResolveLink(path);

  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (exists && (!S_ISREG(old.st_mode) || ::access(target.c_str(), W_OK) != 0)) return false;
  if (!exists && errno != ENOENT) return false;

  // A new file beside the old one, under a name of its own.
  std::string temp;
  int raw = -1;
  static unsigned long counter = 0;
  for (unsigned attempt = 0; attempt < 100 && raw < 0; ++attempt) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    temp = target + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(++counter) + "-" +
           std::to_string(now.tv_nsec);
    raw = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (raw < 0 && errno != EEXIST) return false;
  }
  if (raw < 0) return false;
  Descriptor fd(raw);

  bool ok = true;
  if (exists) {
    // Keeping the owner needs privileges; without them the new file is ours.
    const bool owner_kept = ::fchown(fd.get(), old.st_uid, old.st_gid) == 0;
    (void)owner_kept;
    ok = ::fchmod(fd.get(), old.st_mode & 07777) == 0;
  }
  // The new text is on disk before it takes the old one's name, so a crash
  // leaves the old file or the new one, never an empty one.
  ok = ok && WriteAll(fd.get(), bytes) && ::fdatasync(fd.get()) == 0;
  ok = fd.Close() && ok;
  ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  // The folder is not synced: the launcher ends right after, and whichever of
  // the two names a crash keeps points at a whole file.
  return true;
}

}  // namespace liaison
