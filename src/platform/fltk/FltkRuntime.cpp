#include "platform/fltk/FltkRuntime.h"

#include <FL/fl_draw.H>
#include <FL/x.H>
#include <fontconfig/fontconfig.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <deque>
#include <map>
#include <tuple>

#include "platform/Error.h"

namespace liaison::fltk {
namespace {

bool g_started = false;

// Faces that fontconfig may lack, with the installed family of the same
// metrics that stands in for them.
constexpr std::pair<std::string_view, std::string_view> kStandIns[] = {
    {"Arial", "Liberation Sans"},
    {"Times New Roman", "Liberation Serif"},
    {"Courier New", "Liberation Mono"},
};

bool FamilyInstalled(const std::string& family) {
  if (!FcInit()) return false;
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
  FcFontSet* fonts = FcFontList(nullptr, pattern, objects);
  const bool found = fonts != nullptr && fonts->nfont > 0;
  if (fonts) FcFontSetDestroy(fonts);
  FcObjectSetDestroy(objects);
  FcPatternDestroy(pattern);
  return found;
}

// An X error on a window of ours is reported, not fatal: the window is
// drawn again or goes anyway.
int ReportXError(Display* display, XErrorEvent* event) {
  char text[160] = {};
  XGetErrorText(display, event->error_code, text, sizeof text - 1);
  std::fprintf(stderr, "liaison: X error: %s (request %d)\n", text, event->request_code);
  return 0;
}

}  // namespace

void EnsureStarted() {
  if (g_started) return;
  // The display is opened here rather than by FLTK, which would end the
  // process when it cannot.
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    const char* name = XDisplayName(nullptr);
    throw Error(Error::Kind::kNoDisplay,
                std::string("Cannot open display \"") + (name ? name : "") + "\"");
  }
  XSetErrorHandler(&ReportXError);
  // FLTK sets the character locale from the environment on the way: the
  // rest of the program keeps its own.
  const char* locale = std::setlocale(LC_CTYPE, nullptr);
  const std::string program_locale = locale ? locale : "C";
  fl_open_display(display);
  std::setlocale(LC_CTYPE, program_locale.c_str());
  g_started = true;
  Fl::scheme("gtk+");
  // The usual dialog face: light grey with black text, white fields.
  Fl::background(0xF0, 0xF0, 0xF0);
  Fl::foreground(0x00, 0x00, 0x00);
  Fl::background2(0xFF, 0xFF, 0xFF);
  Fl::set_color(FL_SELECTION_COLOR, HighlightColour());
  Fl::visible_focus(1);
}

int Pixels(int twips) {
  return static_cast<int>(std::lround(static_cast<double>(twips) / kTwipsPerPixel));
}

Fl_Color HighlightColour() {
  return fl_rgb_color(0x00, 0x78, 0xD7);
}

std::string ResolveFamily(std::string_view face) {
  static std::map<std::string, std::string, std::less<>> resolved;
  if (const auto known = resolved.find(face); known != resolved.end()) return known->second;
  std::string family(face);
  if (!FamilyInstalled(family)) {
    for (const auto& [wanted, stand_in] : kStandIns) {
      if (wanted == face && FamilyInstalled(std::string(stand_in))) {
        family = stand_in;
        break;
      }
    }
  }
  resolved.emplace(std::string(face), family);
  return family;
}

FontChoice FontFor(const FontLayout& font) {
  // One FLTK font slot per family and style, from the first free slot on.
  static std::map<std::tuple<std::string, bool, bool>, Fl_Font> slots;
  static Fl_Font next = FL_FREE_FONT;
  const auto key = std::make_tuple(ResolveFamily(font.face), font.bold, font.italic);
  auto slot = slots.find(key);
  if (slot == slots.end()) {
    // With Xft, the first character of a name gives the style.
    const char style = font.bold ? (font.italic ? 'P' : 'B') : (font.italic ? 'I' : ' ');
    // FLTK keeps the pointer: the name must live as long as the process.
    static std::deque<std::string> names;
    names.push_back(std::string(1, style) + std::get<0>(key));
    Fl::set_font(next, names.back().c_str());
    slot = slots.emplace(key, next).first;
    next = static_cast<Fl_Font>(next + 1);
  }
  // Points to pixels at 96 dots per inch, rounded as the window system does.
  const int size = static_cast<int>(std::lround(font.points * 96.0 / 72.0));
  return {slot->second, size};
}

namespace {

bool g_wake_fresh = false;

// Present as an idle callback, it makes Fl::wait() return at once instead of
// sleeping; it leaves on the wait after the one it ended.
void WakeIdle(void*) {
  if (g_wake_fresh) {
    g_wake_fresh = false;
    return;
  }
  Fl::remove_idle(WakeIdle);
}

}  // namespace

void WakeLoop() {
  // A timeout would not do: one that is due, even a moment ahead for a late
  // timer, runs inside the same wait, which then sleeps on.
  g_wake_fresh = true;
  if (!Fl::has_idle(WakeIdle)) Fl::add_idle(WakeIdle);
}

void Dispatcher::RethrowPending() {
  if (!pending_) return;
  std::exception_ptr failure = pending_;
  pending_ = nullptr;
  std::rethrow_exception(failure);
}

std::string Literal(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    out += c;
    if (c == '@') out += '@';
  }
  return out;
}

void DrawSunkenBorder(int x, int y, int w, int h) {
  // The usual three-dimensional colours of a dialog: outer ring shadow above
  // and left, highlight below and right; inner ring dark shadow above and
  // left, light below and right.
  struct Ring {
    Fl_Color top_left, bottom_right;
  };
  const Ring rings[kSunkenBorder] = {
      {fl_rgb_color(0xA0, 0xA0, 0xA0), fl_rgb_color(0xFF, 0xFF, 0xFF)},
      {fl_rgb_color(0x69, 0x69, 0x69), fl_rgb_color(0xE3, 0xE3, 0xE3)},
  };
  for (const Ring& ring : rings) {
    if (w <= 0 || h <= 0) return;
    fl_color(ring.bottom_right);
    fl_xyline(x, y + h - 1, x + w - 1);
    fl_yxline(x + w - 1, y, y + h - 1);
    fl_color(ring.top_left);
    fl_xyline(x, y, x + w - 2);
    fl_yxline(x, y, y + h - 2);
    ++x;
    ++y;
    w -= 2;
    h -= 2;
  }
}

TextBox::TextBox(int x, int y, int w, int h, Fl_Align align, bool clickable)
    : Fl_Box(x, y, w, h), text_align_(align), clickable_(clickable) {
  box(FL_NO_BOX);
}

void TextBox::SetText(std::string_view text) {
  text_ = text;
  // Without a box of its own, the parent repaints the background.
  if (window()) window()->damage(FL_DAMAGE_EXPOSE, x(), y(), w(), h());
  redraw();
}

void TextBox::draw() {
  draw_box();
  if (text_.empty()) return;
  fl_push_clip(x(), y(), w(), h());
  fl_font(labelfont(), labelsize());
  fl_color(active_r() ? labelcolor() : fl_inactive(labelcolor()));
  fl_draw(text_.c_str(), x(), y(), w(), h(), text_align_, nullptr, 0);
  fl_pop_clip();
}

int TextBox::handle(int event) {
  if (!clickable_) return Fl_Box::handle(event);
  switch (event) {
    case FL_PUSH:
      return 1;
    case FL_RELEASE:
      if (Fl::event_inside(this)) do_callback();
      return 1;
    default:
      return Fl_Box::handle(event);
  }
}

}  // namespace liaison::fltk
