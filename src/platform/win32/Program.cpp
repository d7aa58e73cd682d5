#include <string>

#include "platform/win32/Text.h"
#include "platform/win32/Win32Platform.h"

#include "platform/win32/Win32Api.h"

namespace liaison::win32 {

std::string FolderOf(std::string_view path) {
  const std::size_t last = path.find_last_of('\\');
  if (last == std::string_view::npos) return {};
  std::string folder(path.substr(0, last));
  // A drive root keeps its backslash: "C:\".
  if (folder.size() == 2 && folder[1] == ':') folder.push_back('\\');
  return folder;
}

std::string Program::Folder() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD n = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);  // cut short: ask again with more room
  }
  // Split in UTF-8, where a backslash byte is always a backslash.
  return FolderOf(FromAnsi(path));
}

void Program::End() {
  ExitProcess(0);
}

void MessageBoxes::Show(std::string_view text, std::string_view title, std::uint32_t style) {
  MessageBoxA(nullptr, ToAnsi(text).c_str(), ToAnsi(title).c_str(), style);
}

}  // namespace liaison::win32
