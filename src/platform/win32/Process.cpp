#include "platform/win32/Text.h"
#include "platform/win32/Win32Platform.h"

#include "platform/win32/Win32Api.h"

namespace liaison::win32 {

std::string Process::Start(const std::string& file, int show_style) {
  // The file is named as the application itself, so that no other file can
  // be picked by the parsing of a command line; the command line repeats it
  // in quotes, as the program's own first argument.
  const std::string application = ToAnsi(file);
  std::string command_line = "\"" + application + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(show_style);
  PROCESS_INFORMATION started{};
  if (!CreateProcessA(application.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &started)) {
    // The reason goes inside the caller's sentence: the system's text ends
    // with a full stop of its own.
    std::string reason = SystemMessage(GetLastError());
    if (!reason.empty() && reason.back() == '.') reason.pop_back();
    return reason;
  }
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
  return {};
}

}  // namespace liaison::win32
