// Reading and changing the display mode. Every call asks the window system
// afresh; nothing is kept between calls.
#pragma once

#include <cstdint>

#include "platform/Platform.h"

namespace liaison {

inline constexpr std::uint32_t WM_DEVMODECHANGE = 0x001B;
inline constexpr std::uint32_t WM_DISPLAYCHANGE = 0x007E;

std::int16_t GetCurWidth(IDisplay& display);
std::int16_t GetCurHeight(IDisplay& display);
std::int16_t GetCurBitsPerPel(IDisplay& display);

// Switches to the given mode, records it as the display's setting and
// announces it to every top-level window. Returns 0 when the mode already
// matched or the change succeeded, otherwise the change's status.
std::int32_t ChangeRes(IDisplay& display, float width, float height, std::int16_t bits);

}  // namespace liaison
