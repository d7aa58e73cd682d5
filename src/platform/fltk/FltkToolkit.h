// The GUI toolkit over FLTK 1.3 on X11: builds a real window from a layout
// table. FLTK starts on the first window, not before.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace liaison {

class FltkToolkit final : public IToolkit {
 public:
  FltkToolkit() = default;
  ~FltkToolkit() override = default;

  std::unique_ptr<IWindow> Create(const WindowLayout& layout, IWindowEvents& events) override;

  // The installed font family that renders `face` (the face itself, or its
  // metric-compatible stand-in).
  static std::string ResolvedFamily(std::string_view face);
};

}  // namespace liaison
