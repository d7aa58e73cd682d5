// The windows of the program as data: every control's kind, place, size,
// text, font and starting state. Each GUI layer builds its windows from these
// tables (15 twips to the pixel) and repeats none of their values.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace liaison {

enum class ControlKind {
  kFrame,     // a page or a frame: a plain container, with or without a border
  kLabel,     // static text; reports clicks
  kOption,    // option button; the options of one container are one group
  kCheck,     // check box
  kButton,    // push button
  kBox,       // plain box with a sunken border; a container; reports clicks
  kProgress,  // horizontal progress bar
  kTimer,     // invisible timer
};

enum class Align { kLeft, kCenter };

struct FontLayout {
  std::string_view face;
  double points;
  bool bold;
  bool italic;
};

struct Colour {
  std::uint8_t red, green, blue;
};

struct ControlLayout {
  ControlKind kind;
  std::string_view name;
  int index;                     // member of an indexed group, or -1
  int container;                 // row of the containing control, or -1 for the window
  int left, top, width, height;  // twips, from the container's client area
  std::string_view text;
  const FontLayout* font;  // null: the window's font
  const Colour* colour;    // null: the system's dialog colours
  Align align;
  int tab_index;  // -1 for the timer
  bool visible;
  bool border;   // frames: a visible border and caption
  int value;     // option: 1 selected; check box: 1 ticked; progress: value
  int maximum;   // progress bar's maximum (its minimum is 0)
  int interval;  // timer, milliseconds; the timer starts disabled
};

enum class BorderStyle { kFixedSingle, kSizable };

struct WindowLayout {
  std::string_view name;
  std::string_view caption;
  int client_width, client_height;  // twips
  BorderStyle border;
  // Where the client area begins inside the outer window, in twips, for the
  // frame the layout assumes.
  int frame_left, frame_top;
  bool centred;   // centred on the screen when first shown
  bool has_icon;  // the program's own icon (hammer and spanner)
  const FontLayout* font;
  std::span<const ControlLayout> controls;

  // The row of the control `name` (with `index` for a group member), or -1.
  int Find(std::string_view name, int index = -1) const;
};

inline constexpr int kTwipsPerPixel = 15;

// The wizard window frmChangeRes. The names of the rows, in table order.
namespace frm {
enum Control : int {
  frmStep0,
  frmStep1,
  frmStep2,
  frmStep3,
  frmStep4,
  Label1,
  lblResMin,
  Label2,
  lblResAct,
  Label3,
  optnChoix0,
  optnChoix2,
  Label4,
  lblEchec,
  Label5,
  cmdValider,
  Label6,
  pb1,
  tmr1,
  Label7,
  chkAuto,
  Label8,
  chkPasAff,
  Picture1,
  cmdPrec,
  cmdSuiv,
  kCount
};
}  // namespace frm

const WindowLayout& FrmChangeResLayout();

// The host window Form1.
namespace form1 {
enum Control : int { Frame1, kCount };
}  // namespace form1

const WindowLayout& Form1Layout();

}  // namespace liaison
