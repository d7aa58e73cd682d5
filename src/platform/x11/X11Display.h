// Display modes on the X server of DISPLAY, through XRandR. The display is
// the primary RandR output, or without one the first connected output that
// drives a CRTC; its colour depth is the bits per pixel of the root window's
// depth, which an X server cannot change while it runs.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Platform.h"

namespace liaison {

class X11Display : public IDisplay {
 public:
  // Opens the one X connection of the run. Returns null, and a message that
  // names the display in `error`, when no X server with RandR 1.3 answers.
  static std::unique_ptr<X11Display> Open(std::string& error);
  ~X11Display() override;

  X11Display(const X11Display&) = delete;
  X11Display& operator=(const X11Display&) = delete;

  // Every query asks the server afresh.
  bool QueryCurrent(DISPLAY_MODE& mode) override;
  // Sets the output's mode and resizes the screen to fit, as `xrandr -s`
  // does. Returns kBadMode, touching nothing, for another colour depth or a
  // size that the output has no mode for; -1 when the server refused the
  // change. The record-as-setting flag has nothing to write on X.
  std::int32_t Change(const DISPLAY_MODE& mode, std::uint32_t flags) override;
  // The server tells RandR clients of a change itself: this only makes sure
  // that the server has applied every request sent so far.
  void Broadcast(std::uint32_t message, std::uintptr_t w_param, std::intptr_t l_param) override;

  // The Xlib connection (a Display*), for a toolkit that can share it.
  void* Connection() const;

 private:
  struct Impl;
  explicit X11Display(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace liaison
