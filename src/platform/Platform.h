// The services that the launcher's logic needs from the system, one small
// abstract class per service. The logic (startup/, display/, settings/,
// wizard/) sees only these classes; each layer under platform/ implements
// them over one system (X11 and POSIX, Win32, or memory for the unit tests)
// and is the only code that includes that system's headers.
//
// Texts cross these interfaces as 8-bit strings in UTF-8. A layer whose
// system works in another 8-bit code page converts at its own boundary.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "display/DisplayMode.h"

namespace liaison {

// --- Profile functions -----------------------------------------------------

// Reading and writing INI files with the rules of the Windows profile
// functions (GetPrivateProfileStringA and friends).
class IProfile {
 public:
  virtual ~IProfile() = default;

  // Copies the value of `key` in `section` of the file at `path` into `buffer`
  // (at most `size` - 1 bytes and a terminating NUL), or `def` when the file,
  // section or key is missing. Without a key, copies the section's key names,
  // each followed by a NUL, plus a final NUL. Returns the number of bytes
  // copied, not counting the final terminator.
  virtual std::uint32_t GetPrivateProfileString(std::string_view section,
                                                std::optional<std::string_view> key,
                                                std::string_view def, char* buffer,
                                                std::uint32_t size, const std::string& path) = 0;

  // The same read on the system's own profile.
  virtual std::uint32_t GetProfileString(std::string_view section,
                                         std::optional<std::string_view> key, std::string_view def,
                                         char* buffer, std::uint32_t size) = 0;

  // Sets `key` of `section` to `value`, creating the file, the section and the
  // key as needed. Returns non-zero on success, 0 on failure.
  virtual std::int32_t WritePrivateProfileString(std::string_view section, std::string_view key,
                                                 std::string_view value,
                                                 const std::string& path) = 0;
};

// --- Files -----------------------------------------------------------------

// A text file read line by line.
class ITextReader {
 public:
  virtual ~ITextReader() = default;
  // The next line without its line ending. Reading past the end is an error.
  virtual std::string ReadLine() = 0;
  virtual bool AtEnd() const = 0;
};

class IFiles {
 public:
  virtual ~IFiles() = default;
  // The name (without folder) of the first ordinary file that matches `path`,
  // or an empty text when none does.
  virtual std::string FindFirstFile(const std::string& path) = 0;
  // Opens a text file for reading; throws Error when it cannot be opened.
  virtual std::unique_ptr<ITextReader> OpenText(const std::string& path) = 0;
};

// --- Registry --------------------------------------------------------------

class IRegistry {
 public:
  using Key = std::uintptr_t;
  static constexpr Key kLocalMachine = 0x80000002u;
  static constexpr std::uint32_t kString = 1;  // REG_SZ
  static constexpr std::int32_t kSuccess = 0;
  static constexpr std::int32_t kAccessDenied = 5;
  static constexpr std::int32_t kMoreData = 234;
  static constexpr std::int32_t kNotFound = 2;

  virtual ~IRegistry() = default;
  // Creates `sub_key` under `root` when it is missing and opens it.
  virtual std::int32_t CreateKey(Key root, std::string_view sub_key, Key& opened) = 0;
  virtual std::int32_t SetValue(Key key, std::string_view name, std::uint32_t type,
                                const std::uint8_t* data, std::uint32_t size) = 0;
  // As RegQueryValueExA: `size` holds the buffer's size on entry and the
  // value's size on return; a null `data` asks for the size alone.
  virtual std::int32_t QueryValue(Key key, std::string_view name, std::uint32_t* type,
                                  std::uint8_t* data, std::uint32_t* size) = 0;
  virtual std::int32_t CloseKey(Key key) = 0;
};

// --- Display settings ------------------------------------------------------

class IDisplay {
 public:
  static constexpr std::uint32_t kUpdateRegistry = 1;  // CDS_UPDATEREGISTRY
  static constexpr std::int32_t kBadMode = -2;         // DISP_CHANGE_BADMODE

  virtual ~IDisplay() = default;
  // Fills `mode` with the current settings of the display the program runs
  // on. Returns false when the query failed (the record is then untouched).
  virtual bool QueryCurrent(DISPLAY_MODE& mode) = 0;
  // Applies `mode` (the fields its selection word names) with `flags`;
  // returns 0 on success, the system's non-zero status otherwise. The change
  // has taken effect when this returns.
  virtual std::int32_t Change(const DISPLAY_MODE& mode, std::uint32_t flags) = 0;
  // Sends `message` to every top-level window and returns when all of them
  // have handled it.
  virtual void Broadcast(std::uint32_t message, std::uintptr_t w_param, std::intptr_t l_param) = 0;
};

// --- Process start, message box, the program itself ------------------------

class IProcess {
 public:
  static constexpr int kShowMinimized = 2;  // SW_SHOWMINIMIZED
  virtual ~IProcess() = default;
  // Starts exactly the program file `file`, with no arguments and the given
  // show style, without waiting for it. Returns an empty text on success, or
  // the system's reason for the failure.
  virtual std::string Start(const std::string& file, int show_style) = 0;
};

class IMessageBox {
 public:
  static constexpr std::uint32_t kOkOnly = 0;
  static constexpr std::uint32_t kIconError = 0x10;
  virtual ~IMessageBox() = default;
  // Shows a modal message box and returns when the user has closed it.
  virtual void Show(std::string_view text, std::string_view title, std::uint32_t style) = 0;
};

class IProgram {
 public:
  virtual ~IProgram() = default;
  // The folder of the program's own executable file, as the system gives it
  // (no trailing separator, except for a root).
  virtual std::string Folder() = 0;
  // Ends the program at once, with exit status 0: nothing after the call
  // runs, no window's unload handler included.
  [[noreturn]] virtual void End() = 0;
};

// Ends the program through `program`; for callers that must not go on.
[[noreturn]] inline void EndProgram(IProgram& program) {
  program.End();
  std::terminate();  // End() does not return
}

// --- GUI toolkit -----------------------------------------------------------

struct WindowLayout;

// Events that a window reports to its owner. Handlers run on the GUI thread,
// one at a time; a tick never interrupts a handler.
class IWindowEvents {
 public:
  virtual ~IWindowEvents() = default;
  virtual void OnClick(int control) = 0;
  virtual void OnTimer(int control) = 0;
  // The user asked the window manager to close the window (title bar, Alt+F4).
  // The window stays open unless the handler closes it.
  virtual void OnCloseRequest() = 0;
};

// A top-level window built from a WindowLayout. Controls are addressed by their
// row in the layout's control table.
class IWindow {
 public:
  virtual ~IWindow() = default;

  virtual void SetText(int control, std::string_view text) = 0;
  virtual std::string GetText(int control) const = 0;
  virtual void SetVisible(int control, bool visible) = 0;
  virtual void SetEnabled(int control, bool enabled) = 0;
  // Option button: selected. Check box: ticked (value 1).
  virtual bool IsChecked(int control) const = 0;
  // Progress bar.
  virtual float GetProgressMax(int control) const = 0;
  virtual float GetProgress(int control) const = 0;
  virtual void SetProgress(int control, float value) = 0;
  // Timer.
  virtual void SetTimerEnabled(int control, bool enabled) = 0;

  // Outer size and position of the window, in twips (15 per pixel).
  virtual double OuterWidth() const = 0;
  virtual double OuterHeight() const = 0;
  virtual void SetLeft(std::int32_t twips) = 0;
  virtual void SetTop(std::int32_t twips) = 0;
  // Changes the window's place in the z-order (-1: above all windows that
  // are not topmost themselves), keeping its position and size.
  virtual void SetZOrder(std::int32_t insert_after) = 0;

  // Shows the window modally: returns when Hide() has been called from a
  // handler. An exception thrown by a handler ends the loop and comes out of
  // this call.
  virtual void ShowModal() = 0;
  // Shows the window without the modal loop.
  virtual void Show() = 0;
  virtual void Hide() = 0;
};

class IToolkit {
 public:
  virtual ~IToolkit() = default;
  // Creates the window and all its controls as `layout` lays them out, hidden.
  // Destroying the result unloads the window.
  virtual std::unique_ptr<IWindow> Create(const WindowLayout& layout, IWindowEvents& events) = 0;
};

// --- Everything together ---------------------------------------------------

struct Platform {
  IProfile& profile;
  IFiles& files;
  IRegistry& registry;
  IDisplay& display;
  IProcess& process;
  IMessageBox& message_box;
  IProgram& program;
  IToolkit& toolkit;
  char separator;           // between a folder and a name: '/' or '\\'
  std::string_view suffix;  // of a program file: "" or ".exe"
};

}  // namespace liaison
