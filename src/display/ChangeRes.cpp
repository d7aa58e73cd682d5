#include "display/ChangeRes.h"

#include <cmath>
#include <limits>
#include <string>

#include "platform/Error.h"

namespace liaison {
namespace {

DISPLAY_MODE QueryFresh(IDisplay& display) {
  DISPLAY_MODE mode{};
  display.QueryCurrent(mode);  // a failed query leaves the zeros
  return mode;
}

std::int16_t Narrow(std::int32_t value, const char* what) {
  if (value < std::numeric_limits<std::int16_t>::min() ||
      value > std::numeric_limits<std::int16_t>::max()) {
    throw Error(Error::Kind::kOverflow,
                std::string("The display reports a ") + what + " of " + std::to_string(value) +
                    " pixels, which is out of the range this program handles.");
  }
  return static_cast<std::int16_t>(value);
}

// Rounds to the nearest whole number, a half to the even neighbour, into the
// signed 32-bit range.
std::int32_t RoundToLong(double value, const char* what) {
  const double rounded = std::nearbyint(value);
  if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) {
    throw Error(Error::Kind::kOverflow, std::string("Cannot switch the display: the ") + what +
                                            " " + std::to_string(value) +
                                            " does not fit in a 32-bit number.");
  }
  return static_cast<std::int32_t>(rounded);
}

}  // namespace

std::int16_t GetCurWidth(IDisplay& display) {
  return Narrow(static_cast<std::int32_t>(QueryFresh(display).dmPelsWidth), "width");
}

std::int16_t GetCurHeight(IDisplay& display) {
  return Narrow(static_cast<std::int32_t>(QueryFresh(display).dmPelsHeight), "height");
}

std::int16_t GetCurBitsPerPel(IDisplay& display) {
  return QueryFresh(display).dmBitsPerPel;
}

std::int32_t ChangeRes(IDisplay& display, float width, float height, std::int16_t bits) {
  DISPLAY_MODE mode = QueryFresh(display);
  const bool width_differs = static_cast<double>(width) !=
                             static_cast<double>(static_cast<std::int32_t>(mode.dmPelsWidth));
  const bool height_differs = static_cast<double>(height) !=
                              static_cast<double>(static_cast<std::int32_t>(mode.dmPelsHeight));
  const bool bits_differ = bits != mode.dmBitsPerPel;
  if (!width_differs && !height_differs && !bits_differ) return 0;

  if (width_differs) mode.dmFields = DM_PELSWIDTH;
  if (height_differs) mode.dmFields |= DM_PELSHEIGHT;
  if (bits_differ) mode.dmFields |= DM_BITSPERPEL;

  mode.dmPelsWidth = static_cast<std::uint32_t>(RoundToLong(width, "width"));
  mode.dmPelsHeight = static_cast<std::uint32_t>(RoundToLong(height, "height"));
  mode.dmBitsPerPel = bits;
  mode.dmBitsPerPelHigh = 0;

  const std::int32_t status = display.Change(mode, IDisplay::kUpdateRegistry);

  // An empty device name: the address of a 32-bit zero.
  const std::uint32_t no_device = 0;
  display.Broadcast(WM_DEVMODECHANGE, 0, reinterpret_cast<std::intptr_t>(&no_device));
  // The low 16 bits carry the width, the high 16 bits the height.
  const std::int32_t size = RoundToLong(
      static_cast<double>(width) + static_cast<double>(height) * 65536.0, "display size");
  display.Broadcast(WM_DISPLAYCHANGE, static_cast<std::uintptr_t>(static_cast<std::intptr_t>(bits)),
                    size);
  return status;
}

}  // namespace liaison
