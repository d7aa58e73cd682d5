#include "platform/posix/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/Error.h"

namespace liaison {
namespace {

char Upper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool IsContinuation(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Case-blind order, then byte order between names that differ only in case.
bool ComesBefore(std::string_view a, std::string_view b) {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(Upper(a[i]));
    const auto y = static_cast<unsigned char>(Upper(b[i]));
    if (x != y) return x < y;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

bool IsOrdinaryFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Reads a file line by line through a buffer of its own.
class TextReader final : public ITextReader {
 public:
  TextReader(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  TextReader(const TextReader&) = delete;
  TextReader& operator=(const TextReader&) = delete;
  ~TextReader() override { ::close(fd_); }

  std::string ReadLine() override {
    if (AtEnd()) throw Error(Error::Kind::kFile, "Input past end of file: " + path_);
    std::string line;
    for (;;) {
      const char* begin = buffer_ + start_;
      const auto* newline = static_cast<const char*>(std::memchr(begin, '\n', end_ - start_));
      if (newline) {
        line.append(begin, static_cast<std::size_t>(newline - begin));
        start_ += static_cast<std::size_t>(newline - begin) + 1;
        break;
      }
      line.append(begin, end_ - start_);
      start_ = end_;
      if (!Fill()) break;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
  }

  bool AtEnd() const override { return !Fill(); }

 private:
  // Reads more of the file once the buffer is used up; false at its end.
  bool Fill() const {
    if (start_ < end_) return true;
    if (eof_) return false;
    for (;;) {
      const ssize_t n = ::read(fd_, buffer_, sizeof buffer_);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) throw Error(Error::Kind::kFile, "Path/File access error: " + path_);
      start_ = 0;
      end_ = static_cast<std::size_t>(n);
      eof_ = n == 0;
      return !eof_;
    }
  }

  int fd_;
  std::string path_;
  // What has been read of the file and not yet returned.
  mutable char buffer_[65536];
  mutable std::size_t start_ = 0;
  mutable std::size_t end_ = 0;
  mutable bool eof_ = false;
};

}  // namespace

bool MatchesWildcard(std::string_view pattern, std::string_view name) {
  // Greedy matching with one point to come back to: linear in practice.
  std::size_t p = 0;
  std::size_t n = 0;
  std::size_t star = std::string_view::npos;
  std::size_t star_n = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      star_n = n;
    } else if (p < pattern.size() && pattern[p] == '?') {
      ++p;
      ++n;
      while (n < name.size() && IsContinuation(name[n])) ++n;
    } else if (p < pattern.size() && Upper(pattern[p]) == Upper(name[n])) {
      ++p;
      ++n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++star_n;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::string PosixFiles::FindFirstFile(const std::string& path) {
  const auto slash = path.rfind('/');
  const std::string folder =
      slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
  const std::string pattern = slash == std::string::npos ? path : path.substr(slash + 1);
  if (pattern.empty()) return {};
  if (pattern.find_first_of("*?") == std::string::npos)
    return IsOrdinaryFile(path) ? pattern : std::string();

  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return {};
  const std::string prefix = folder == "/" ? folder : folder + "/";
  std::string first;
  bool found = false;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name == "." || name == ".." || !MatchesWildcard(pattern, name)) continue;
    if (found && !ComesBefore(name, first)) continue;
    if (!IsOrdinaryFile(prefix + entry->d_name)) continue;
    first = name;
    found = true;
  }
  ::closedir(dir);
  return first;
}

std::unique_ptr<ITextReader> PosixFiles::OpenText(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    const bool missing = errno == ENOENT || errno == ENOTDIR;
    throw Error(Error::Kind::kFile,
                (missing ? "File not found: " : "Path/File access error: ") + path);
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    throw Error(Error::Kind::kFile, "Path/File access error: " + path);
  }
  return std::make_unique<TextReader>(fd, path);
}

}  // namespace liaison
