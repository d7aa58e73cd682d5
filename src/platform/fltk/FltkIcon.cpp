#include "platform/fltk/FltkIcon.h"

#include <cstring>
#include <vector>

namespace liaison::fltk {
namespace {

// The standard 16-colour palette, indexed by a hexadecimal digit; "." is
// transparent.
constexpr unsigned char kPalette[16][3] = {
    {0x00, 0x00, 0x00}, {0x80, 0x00, 0x00}, {0x00, 0x80, 0x00}, {0x80, 0x80, 0x00},
    {0x00, 0x00, 0x80}, {0x80, 0x00, 0x80}, {0x00, 0x80, 0x80}, {0xC0, 0xC0, 0xC0},
    {0x80, 0x80, 0x80}, {0xFF, 0x00, 0x00}, {0x00, 0xFF, 0x00}, {0xFF, 0xFF, 0x00},
    {0x00, 0x00, 0xFF}, {0xFF, 0x00, 0xFF}, {0x00, 0xFF, 0xFF}, {0xFF, 0xFF, 0xFF},
};

// clang-format off
constexpr const char* kIcon16[] = {
    "...00....00.....",
    "..0F70..0880....",
    ".00F770078880...",
    "0F00F770078880..",
    "0FF7F770.078880.",
    ".0FFFF70.0078880",
    "..000FF70B307880",
    ".....000B30.070.",
    "......0B300..0..",
    ".....0B30F70....",
    "....0B30.0F700..",
    "...0B30...0F7F0.",
    "..0B30.....0F770",
    ".0B30.....0F7088",
    "0B30.......07880",
    ".00.........080.",
};

constexpr const char* kIcon32[] = {
    "................................",
    "......000.......................",
    "....00FFF00.......0.............",
    ".....007FFF0.....070............",
    "..0...0077780...07780...........",
    "..00...00F780..0778880..........",
    ".0F00..0FF7880077888880.........",
    ".0F7000FF77780.088888880........",
    ".0FF70FF777880..088888880.......",
    "..0F7FF777780....088888880......",
    "..0F7777777700....088888880.....",
    "...088878877700..00088888880....",
    "....00888007770000B3088888880...",
    "......000.0077700B310088888000..",
    "...........00700B3100.0888000...",
    "............000B3100...08000....",
    "............00B31000....000.....",
    "...........00B3100700....0......",
    "..........00B310077700..........",
    ".........00B31000077700.........",
    "........00B3100..0077700........",
    ".......00B3100....0077700.......",
    "......00B3100......007770000....",
    ".....00B3100........00777FFF00..",
    "....00B3100..........007770870..",
    "...00B3100............0F7880F80.",
    "...0B3100.............0F080.080.",
    "....0100..............0F80.0F80.",
    ".....00................07F0F80..",
    ".......................0088800..",
    ".........................000....",
    "................................",
};
// clang-format on

int PaletteIndex(char digit) {
  if (digit >= '0' && digit <= '9') return digit - '0';
  if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
  return -1;
}

std::vector<unsigned char> Pixels(const char* const* rows, int size) {
  std::vector<unsigned char> rgba(static_cast<std::size_t>(size) * size * 4, 0);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const int index = PaletteIndex(rows[y][x]);
      if (index < 0) continue;
      unsigned char* pixel = &rgba[(static_cast<std::size_t>(y) * size + x) * 4];
      std::memcpy(pixel, kPalette[index], 3);
      pixel[3] = 0xFF;
    }
  }
  return rgba;
}

}  // namespace

const Fl_RGB_Image** WindowIcons() {
  // Built once; FLTK copies them into each window's icon property.
  static std::vector<unsigned char> small = Pixels(kIcon16, 16);
  static std::vector<unsigned char> large = Pixels(kIcon32, 32);
  static Fl_RGB_Image small_image(small.data(), 16, 16, 4);
  static Fl_RGB_Image large_image(large.data(), 32, 32, 4);
  static const Fl_RGB_Image* icons[kIconCount] = {&small_image, &large_image};
  return icons;
}

}  // namespace liaison::fltk
