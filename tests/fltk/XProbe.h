// What a user or a window manager sees of this process's windows on the test
// X server, through a connection of its own, and a user's mouse and keyboard
// (xdotool, which goes through the XTEST extension).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace liaison::test {

using namespace std::chrono_literals;

// Calls `done` every 20 ms until it returns true or `timeout` has passed;
// returns its last answer.
bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout = 5s);

struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
};

struct Rgb {
  std::uint8_t red = 0, green = 0, blue = 0;
  bool operator==(const Rgb&) const = default;
};

class XProbe {
 public:
  XProbe();  // on $DISPLAY
  ~XProbe();
  XProbe(const XProbe&) = delete;
  XProbe& operator=(const XProbe&) = delete;

  // The viewable top-level window of this process with the title `title`
  // (in UTF-8), or 0 when there is none after `timeout`.
  unsigned long WaitForWindow(const std::string& title, std::chrono::milliseconds timeout = 5s);
  // Whether a window of this process with that title is on the screen now.
  bool Showing(const std::string& title);

  Rect Geometry(unsigned long window);  // the client area, in root coordinates
  Rect Screen();
  std::string Title(unsigned long window);  // _NET_WM_NAME
  std::vector<std::string> Atoms(unsigned long window, const char* property);
  std::vector<long> Cardinals(unsigned long window, const char* property);
  struct SizeHints {
    bool has_min = false, has_max = false;
    int min_w = 0, min_h = 0, max_w = 0, max_h = 0;
  };
  SizeHints NormalHints(unsigned long window);
  // The window's pixels in `area` (window coordinates), row by row.
  std::vector<Rgb> Pixels(unsigned long window, const Rect& area);

  // What the window manager sends for the close button or Alt+F4.
  void SendClose(unsigned long window);

  // The user's hand.
  void Click(int root_x, int root_y);
  void PointAt(int root_x, int root_y);
  static void Keys(const std::string& keys);  // xdotool key names, blank-separated

 private:
  std::vector<unsigned long> TopLevels();
  struct Impl;
  Impl* impl_;
};

}  // namespace liaison::test
