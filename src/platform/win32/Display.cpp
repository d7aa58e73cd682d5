#include <cstring>

#include "platform/win32/Text.h"
#include "platform/win32/Win32Platform.h"

#include "platform/win32/Win32Api.h"

namespace liaison::win32 {
namespace {

// DISPLAY_MODE is the 124-byte form of DEVMODEA: the fields up to the display
// frequency, at the same places.
static_assert(sizeof(DISPLAY_MODE) == offsetof(DEVMODEA, dmICMMethod));
static_assert(offsetof(DISPLAY_MODE, dmDeviceName) == offsetof(DEVMODEA, dmDeviceName));
static_assert(offsetof(DISPLAY_MODE, dmSize) == offsetof(DEVMODEA, dmSize));
static_assert(offsetof(DISPLAY_MODE, dmDriverExtra) == offsetof(DEVMODEA, dmDriverExtra));
static_assert(offsetof(DISPLAY_MODE, dmFields) == offsetof(DEVMODEA, dmFields));
static_assert(offsetof(DISPLAY_MODE, dmFormName) == offsetof(DEVMODEA, dmFormName));
static_assert(offsetof(DISPLAY_MODE, dmBitsPerPel) == offsetof(DEVMODEA, dmBitsPerPel));
static_assert(offsetof(DISPLAY_MODE, dmPelsWidth) == offsetof(DEVMODEA, dmPelsWidth));
static_assert(offsetof(DISPLAY_MODE, dmPelsHeight) == offsetof(DEVMODEA, dmPelsHeight));
static_assert(offsetof(DISPLAY_MODE, dmDisplayFlags) == offsetof(DEVMODEA, dmDisplayFlags));
static_assert(offsetof(DISPLAY_MODE, dmDisplayFrequency) == offsetof(DEVMODEA, dmDisplayFrequency));
static_assert(sizeof(DEVMODEA::dmDeviceName) == sizeof(DISPLAY_MODE::dmDeviceName));
static_assert(sizeof(DEVMODEA::dmFormName) == sizeof(DISPLAY_MODE::dmFormName));

// The record's two names are fixed-length texts that need no terminator.
template <std::size_t N, typename Convert>
void ConvertName(char (&name)[N], Convert convert) {
  std::size_t length = 0;
  while (length < N && name[length] != '\0') ++length;
  const std::string converted = convert(std::string_view(name, length));
  char padded[N + 1];
  const std::uint32_t n = CopyOut(converted, padded, N + 1);
  std::memset(name, 0, N);
  std::memcpy(name, padded, n);
}

// The system's form of `mode`. The size field is the size of what the
// program holds (the 124-byte form): Windows wants it set before a query,
// whatever the record says; no driver data follows the record.
DEVMODEA ToSystem(const DISPLAY_MODE& mode) {
  DEVMODEA system;
  std::memset(&system, 0, sizeof system);
  DISPLAY_MODE copy = mode;
  ConvertName(copy.dmDeviceName, ToAnsi);
  ConvertName(copy.dmFormName, ToAnsi);
  std::memcpy(&system, &copy, sizeof copy);
  system.dmSize = sizeof(DISPLAY_MODE);
  system.dmDriverExtra = 0;
  return system;
}

}  // namespace

bool Display::QueryCurrent(DISPLAY_MODE& mode) {
  DEVMODEA system = ToSystem(mode);
  if (!EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &system)) return false;
  std::memcpy(&mode, &system, sizeof mode);
  ConvertName(mode.dmDeviceName, FromAnsi);
  ConvertName(mode.dmFormName, FromAnsi);
  return true;
}

std::int32_t Display::Change(const DISPLAY_MODE& mode, std::uint32_t flags) {
  DEVMODEA system = ToSystem(mode);
  return ChangeDisplaySettingsA(&system, flags);
}

void Display::Broadcast(std::uint32_t message, std::uintptr_t w_param, std::intptr_t l_param) {
  // A plain SendMessage to every window never returns when one of them
  // hangs; a hung window is passed over instead.
  DWORD_PTR result = 0;
  SendMessageTimeoutA(HWND_BROADCAST, message, w_param, l_param, SMTO_ABORTIFHUNG,
                      broadcast_timeout_ms_, &result);
}

}  // namespace liaison::win32
