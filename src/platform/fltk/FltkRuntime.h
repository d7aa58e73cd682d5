// What the FLTK windows of the layer share: the lazy start of the toolkit
// (display, scheme, colours, fonts), the dispatch of the owner's handlers
// that keeps exceptions from crossing FLTK, and the few widgets of our own.
// Internal to the FLTK layer: this header includes FL/ headers.
#pragma once

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Group.H>

#include <exception>
#include <string>
#include <string_view>

#include "wizard/Layout.h"

namespace liaison::fltk {

// Opens the display and sets the toolkit up, once per process. Throws Error
// (kNoDisplay) when there is no display to open.
void EnsureStarted();

// Pixels of a length in twips.
int Pixels(int twips);

// The FLTK font and pixel size for a font of the layout (9.75 pt is 13 px).
struct FontChoice {
  Fl_Font face;
  int size;
};
FontChoice FontFor(const FontLayout& font);
// The family that renders `face`: the face itself when fontconfig knows it,
// otherwise its metric-compatible stand-in (Arial: Liberation Sans).
std::string ResolveFamily(std::string_view face);

// The dialog colours.
Fl_Color HighlightColour();

// Makes the loop that waits in Fl::wait() look at its condition again, even
// when a timer's callback, which runs inside that wait, changed it.
void WakeLoop();

// Runs one of the owner's handlers. An exception it throws is kept for the
// loop that waits below (ShowModal, a message box), which ends and rethrows
// it; after a failure no further handler runs.
class Dispatcher {
 public:
  template <class F>
  static void Run(F&& handler) {
    if (pending_) return;
    ++depth_;
    try {
      handler();
    } catch (...) {
      pending_ = std::current_exception();
      WakeLoop();
    }
    --depth_;
  }
  // True while a handler runs (a widget must then not be deleted at once).
  static bool InHandler() { return depth_ > 0; }
  static bool Failed() { return static_cast<bool>(pending_); }
  // Rethrows the kept exception, if any, and forgets it.
  static void RethrowPending();

 private:
  static inline int depth_ = 0;
  static inline std::exception_ptr pending_;
};

// The text as FLTK labels show it literally ("@" starts a symbol otherwise).
std::string Literal(std::string_view text);

// Draws the classic two-pixel sunken border of a plain box.
void DrawSunkenBorder(int x, int y, int w, int h);
inline constexpr int kSunkenBorder = 2;

// Static text drawn as given (no symbols), wrapped at word boundaries and
// clipped to the control; reports a click (press and release inside).
class TextBox : public Fl_Box {
 public:
  TextBox(int x, int y, int w, int h, Fl_Align align, bool clickable);
  void SetText(std::string_view text);
  const std::string& text() const { return text_; }
  void draw() override;
  int handle(int event) override;

 private:
  std::string text_;
  Fl_Align text_align_;
  bool clickable_;
};

// A push button, option button or check box that acts on Enter as on Space
// when it has the focus.
template <class Base>
class KeyButton : public Base {
 public:
  using Base::Base;
  int handle(int event) override {
    if (event == FL_KEYBOARD && Fl::focus() == this &&
        (Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter) &&
        !(Fl::event_state() & (FL_SHIFT | FL_CTRL | FL_ALT | FL_META))) {
      const int key = Fl::e_keysym;
      Fl::e_keysym = ' ';
      const int used = Base::handle(event);
      Fl::e_keysym = key;
      return used;
    }
    return Base::handle(event);
  }
};

}  // namespace liaison::fltk
