// The Windows layer: every service of Platform.h over the Win32 API
// (user32, kernel32, advapi32, comctl32), called with 8-bit texts in the
// system's ANSI code page and converted from and to UTF-8 at each call.
// This header names no system type, so that it can be included anywhere.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace liaison::win32 {

// GetPrivateProfileStringA, GetProfileStringA, WritePrivateProfileStringA.
class Profile final : public IProfile {
 public:
  std::uint32_t GetPrivateProfileString(std::string_view section,
                                        std::optional<std::string_view> key, std::string_view def,
                                        char* buffer, std::uint32_t size,
                                        const std::string& path) override;
  std::uint32_t GetProfileString(std::string_view section, std::optional<std::string_view> key,
                                 std::string_view def, char* buffer, std::uint32_t size) override;
  std::int32_t WritePrivateProfileString(std::string_view section, std::string_view key,
                                         std::string_view value, const std::string& path) override;
};

// FindFirstFileA for the directory listing; text files read whole and handed
// out line by line (a line ends at CR LF, LF or CR).
class Files final : public IFiles {
 public:
  // Ordinary files only: directories and hidden or system files are passed
  // over, as a listing with the attribute mask 0 does.
  std::string FindFirstFile(const std::string& path) override;
  std::unique_ptr<ITextReader> OpenText(const std::string& path) override;
};

// RegCreateKeyA, RegSetValueExA, RegQueryValueExA, RegCloseKey. A Key holds
// an HKEY; the predefined roots (kLocalMachine...) are given by their 32-bit
// values. Value data is taken as text: converted from UTF-8 to the ANSI code
// page when stored and back when read, so sizes are those of the UTF-8 form.
class Registry final : public IRegistry {
 public:
  std::int32_t CreateKey(Key root, std::string_view sub_key, Key& opened) override;
  std::int32_t SetValue(Key key, std::string_view name, std::uint32_t type,
                        const std::uint8_t* data, std::uint32_t size) override;
  std::int32_t QueryValue(Key key, std::string_view name, std::uint32_t* type, std::uint8_t* data,
                          std::uint32_t* size) override;
  std::int32_t CloseKey(Key key) override;
};

// EnumDisplaySettingsA, ChangeDisplaySettingsA and broadcasts to every
// top-level window. A window that hangs is skipped after the timeout rather
// than holding the program forever; every window that answers has handled
// the message when Broadcast returns.
class Display final : public IDisplay {
 public:
  explicit Display(std::uint32_t broadcast_timeout_ms = 5000)
      : broadcast_timeout_ms_(broadcast_timeout_ms) {}
  bool QueryCurrent(DISPLAY_MODE& mode) override;
  std::int32_t Change(const DISPLAY_MODE& mode, std::uint32_t flags) override;
  void Broadcast(std::uint32_t message, std::uintptr_t w_param, std::intptr_t l_param) override;

 private:
  std::uint32_t broadcast_timeout_ms_;
};

// CreateProcessA of exactly the given file, with the show style.
class Process final : public IProcess {
 public:
  std::string Start(const std::string& file, int show_style) override;
};

// MessageBoxA without an owner window.
class MessageBoxes final : public IMessageBox {
 public:
  void Show(std::string_view text, std::string_view title, std::uint32_t style) override;
};

// GetModuleFileNameA and ExitProcess.
class Program final : public IProgram {
 public:
  std::string Folder() override;
  [[noreturn]] void End() override;
};

// A window of the toolkit, with the native handles of the window and of its
// controls (HWND), for the tests that drive it.
class NativeWindow : public IWindow {
 public:
  virtual void* Handle() const = 0;
  // The control's window, or null for a control without one (the timer).
  virtual void* ControlHandle(int control) const = 0;
};

// Native controls and the common-controls progress bar. Create() returns a
// NativeWindow.
class Toolkit final : public IToolkit {
 public:
  Toolkit();
  std::unique_ptr<IWindow> Create(const WindowLayout& layout, IWindowEvents& events) override;
};

// The folder of a program file's full path, as Program::Folder gives it: no
// trailing backslash, except for a drive root ("C:\").
std::string FolderOf(std::string_view path);

}  // namespace liaison::win32
