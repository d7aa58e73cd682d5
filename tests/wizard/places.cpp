// Prints where the wizard's controls lie, in pixels from the top-left corner
// of the window's client area, from the window's own layout table, so that
// the scripts that click on the wizard derive every point from it:
//
//   window CLIENT_W CLIENT_H FRAME_LEFT FRAME_TOP
//   NAME INDEX LEFT TOP WIDTH HEIGHT        (one line per control; INDEX -1
//                                            outside an indexed group)
//
// FRAME_LEFT and FRAME_TOP are the frame that the layout assumes around the
// client area (side and title bar), which the wizard's centring counts in.
#include <cstdio>
#include <string>

#include "wizard/Layout.h"

namespace {

int ToPixels(double twips) {
  return static_cast<int>(twips / liaison::kTwipsPerPixel + 0.5);
}

}  // namespace

int main() {
  const liaison::WindowLayout& window = liaison::FrmChangeResLayout();
  std::printf("window %d %d %d %d\n", ToPixels(window.client_width), ToPixels(window.client_height),
              ToPixels(window.frame_left), ToPixels(window.frame_top));
  for (const liaison::ControlLayout& control : window.controls) {
    if (control.kind == liaison::ControlKind::kTimer) continue;
    // A control's place is measured from its container's client area: add
    // up the containers' places out to the window.
    int left = control.left;
    int top = control.top;
    for (int up = control.container; up >= 0;) {
      const liaison::ControlLayout& container = window.controls[static_cast<std::size_t>(up)];
      left += container.left;
      top += container.top;
      up = container.container;
    }
    std::printf("%s %d %d %d %d %d\n", std::string(control.name).c_str(), control.index,
                ToPixels(left), ToPixels(top), ToPixels(control.width), ToPixels(control.height));
  }
  return 0;
}
