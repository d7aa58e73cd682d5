// The start-up of the launcher: what a run does, the resolution check that
// may open the wizard, the restore at exit and the launch of the companion.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "platform/Platform.h"

namespace liaison {

inline constexpr std::int16_t kTrue = -1;
inline constexpr std::int16_t kFalse = 0;

// The values shared by the whole run. Start-up and the resolution check set
// them; the wizard only reads them.
struct RunState {
  std::string ResAtStart;  // the resolution string found at start
  std::string AppName;     // APPLICATION_NAME of the link file
  std::int16_t SavedWidth = 0;
  std::int16_t SavedHeight = 0;
  std::int16_t SavedBitsPerPel = 0;
  std::int16_t ResTooSmall = kFalse;
};

class Launcher {
 public:
  explicit Launcher(const Platform& platform) : platform_(platform) {}

  // The whole start-up sequence. Returns when the run is over with no window
  // open; the other ends of the program do not return.
  void Main();
  // Saves the mode in force, then accepts it, switches to 1024x768 by itself
  // or opens the wizard, as the settings ask.
  void CheckRes();
  // Puts the saved mode back.
  void RestoreRes();
  // The host window's unload: puts the saved mode back and ends the program.
  [[noreturn]] void Form1_Unload();

  const RunState& state() const { return state_; }
  const Platform& platform() const { return platform_; }

 private:
  void Launch();

  const Platform& platform_;
  RunState state_;
};

// Runs the launcher and reports an error that ends it: on `err` always, and
// in a message box when `show_box` is set. Returns the exit status.
int RunLauncher(const Platform& platform, std::ostream& err, bool show_box);

}  // namespace liaison
