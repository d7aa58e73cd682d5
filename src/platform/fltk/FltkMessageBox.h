// The modal message box over FLTK: the text, one OK button, and the error
// sign when the style asks for it.
#pragma once

#include <string_view>

#include "platform/Platform.h"

namespace liaison {

class FltkMessageBox final : public IMessageBox {
 public:
  void Show(std::string_view text, std::string_view title, std::uint32_t style) override;
};

}  // namespace liaison
