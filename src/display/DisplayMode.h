// The display-mode record exchanged with the window system: the 124-byte
// form of the Windows DEVMODEA structure that ends with the frequency, with
// 8-bit names, declared field for field.
#pragma once

#include <cstddef>
#include <cstdint>

namespace liaison {

struct DISPLAY_MODE {
  char dmDeviceName[32];
  std::uint16_t dmSpecVersion;
  std::uint16_t dmDriverVersion;
  std::uint16_t dmSize;
  std::uint16_t dmDriverExtra;
  std::uint32_t dmFields;
  std::int16_t dmOrientation;
  std::int16_t dmPaperSize;
  std::int16_t dmPaperLength;
  std::int16_t dmPaperWidth;
  std::int16_t dmScale;
  std::int16_t dmCopies;
  std::int16_t dmDefaultSource;
  std::int16_t dmPrintQuality;
  std::int16_t dmColor;
  std::int16_t dmDuplex;
  std::int16_t dmYResolution;
  std::int16_t dmTTOption;
  std::int16_t dmCollate;
  char dmFormName[32];
  std::uint16_t dmUnusedPadding;
  // The system's own depth field is 32 bits wide; the program reads its low
  // half and writes it with a zero upper half.
  std::int16_t dmBitsPerPel;
  std::uint16_t dmBitsPerPelHigh;
  std::uint32_t dmPelsWidth;
  std::uint32_t dmPelsHeight;
  std::uint32_t dmDisplayFlags;
  std::uint32_t dmDisplayFrequency;
};

inline constexpr std::uint32_t DM_BITSPERPEL = 0x00040000u;
inline constexpr std::uint32_t DM_PELSWIDTH = 0x00080000u;
inline constexpr std::uint32_t DM_PELSHEIGHT = 0x00100000u;
inline constexpr std::uint32_t DM_DISPLAYFREQUENCY = 0x00400000u;

static_assert(sizeof(DISPLAY_MODE) == 124);
static_assert(offsetof(DISPLAY_MODE, dmDeviceName) == 0);
static_assert(offsetof(DISPLAY_MODE, dmSpecVersion) == 32);
static_assert(offsetof(DISPLAY_MODE, dmDriverVersion) == 34);
static_assert(offsetof(DISPLAY_MODE, dmSize) == 36);
static_assert(offsetof(DISPLAY_MODE, dmDriverExtra) == 38);
static_assert(offsetof(DISPLAY_MODE, dmFields) == 40);
static_assert(offsetof(DISPLAY_MODE, dmOrientation) == 44);
static_assert(offsetof(DISPLAY_MODE, dmPaperSize) == 46);
static_assert(offsetof(DISPLAY_MODE, dmPaperLength) == 48);
static_assert(offsetof(DISPLAY_MODE, dmPaperWidth) == 50);
static_assert(offsetof(DISPLAY_MODE, dmScale) == 52);
static_assert(offsetof(DISPLAY_MODE, dmCopies) == 54);
static_assert(offsetof(DISPLAY_MODE, dmDefaultSource) == 56);
static_assert(offsetof(DISPLAY_MODE, dmPrintQuality) == 58);
static_assert(offsetof(DISPLAY_MODE, dmColor) == 60);
static_assert(offsetof(DISPLAY_MODE, dmDuplex) == 62);
static_assert(offsetof(DISPLAY_MODE, dmYResolution) == 64);
static_assert(offsetof(DISPLAY_MODE, dmTTOption) == 66);
static_assert(offsetof(DISPLAY_MODE, dmCollate) == 68);
static_assert(offsetof(DISPLAY_MODE, dmFormName) == 70);
static_assert(offsetof(DISPLAY_MODE, dmUnusedPadding) == 102);
static_assert(offsetof(DISPLAY_MODE, dmBitsPerPel) == 104);
static_assert(offsetof(DISPLAY_MODE, dmBitsPerPelHigh) == 106);
static_assert(offsetof(DISPLAY_MODE, dmPelsWidth) == 108);
static_assert(offsetof(DISPLAY_MODE, dmPelsHeight) == 112);
static_assert(offsetof(DISPLAY_MODE, dmDisplayFlags) == 116);
static_assert(offsetof(DISPLAY_MODE, dmDisplayFrequency) == 120);

}  // namespace liaison
