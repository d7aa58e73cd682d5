// The program's own window icon: a hammer crossed with a spanner, drawn in
// the 16 colours of the standard palette at 16 x 16 and 32 x 32 pixels.
#pragma once

#include <FL/Fl_RGB_Image.H>

namespace liaison::fltk {

inline constexpr int kIconCount = 2;
// The two sizes, smallest first, as RGBA images (transparent background).
const Fl_RGB_Image** WindowIcons();

}  // namespace liaison::fltk
