#include <string>

#include "platform/Error.h"
#include "platform/win32/Text.h"
#include "platform/win32/Win32Platform.h"

#include "platform/win32/Win32Api.h"

namespace liaison::win32 {
namespace {

constexpr DWORD kNotOrdinary =
    FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// The whole file, handed out one line at a time.
class TextReader final : public ITextReader {
 public:
  TextReader(std::string path, std::string data) : path_(std::move(path)), data_(std::move(data)) {}

  std::string ReadLine() override {
    if (AtEnd()) throw Error(Error::Kind::kFile, "Input past end of file " + path_ + ".");
    const std::size_t end = data_.find_first_of("\r\n", pos_);
    std::string line;
    if (end == std::string::npos) {
      line = data_.substr(pos_);
      pos_ = data_.size();
    } else {
      line = data_.substr(pos_, end - pos_);
      pos_ =
          end + ((data_[end] == '\r' && end + 1 < data_.size() && data_[end + 1] == '\n') ? 2 : 1);
    }
    return FromAnsi(line);
  }

  bool AtEnd() const override { return pos_ >= data_.size(); }

 private:
  std::string path_;
  std::string data_;
  std::size_t pos_ = 0;
};

}  // namespace

std::string Files::FindFirstFile(const std::string& path) {
  WIN32_FIND_DATAA found;
  const HANDLE search = FindFirstFileA(ToAnsi(path).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return {};
  std::string name;
  do {
    if ((found.dwFileAttributes & kNotOrdinary) == 0) {
      name = FromAnsi(found.cFileName);
      break;
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return name;
}

std::unique_ptr<ITextReader> Files::OpenText(const std::string& path) {
  const HANDLE file =
      CreateFileA(ToAnsi(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    throw Error(Error::Kind::kFile, "Cannot open " + path + ": " + SystemMessage(GetLastError()));
  }
  std::string data;
  char chunk[4096];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file, chunk, sizeof chunk, &got, nullptr)) {
      const DWORD error = GetLastError();
      CloseHandle(file);
      throw Error(Error::Kind::kFile, "Cannot read " + path + ": " + SystemMessage(error));
    }
    if (got == 0) break;
    data.append(chunk, got);
  }
  CloseHandle(file);
  return std::make_unique<TextReader>(path, std::move(data));
}

}  // namespace liaison::win32
