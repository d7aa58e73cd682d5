#include "platform/fltk/FltkMessageBox.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <string>

#include "platform/fltk/FltkRuntime.h"
#include "wizard/Layout.h"

namespace liaison {
namespace {

using fltk::Dispatcher;

constexpr int kMargin = 12;
constexpr int kIconSize = 32;
constexpr int kIconGap = 12;
constexpr int kTextWidthMax = 420;
constexpr int kButtonWidth = 75;  // the usual push button of a dialog
constexpr int kButtonHeight = 23;
constexpr std::uint32_t kIconBits = 0xF0;

// The error sign: a red disc with a white cross.
class ErrorSign : public Fl_Widget {
 public:
  ErrorSign(int x, int y) : Fl_Widget(x, y, kIconSize, kIconSize) {}
  void draw() override {
    fl_color(fl_rgb_color(0xC4, 0x2B, 0x1C));
    fl_pie(x(), y(), w(), h(), 0, 360);
    fl_color(FL_WHITE);
    fl_line_style(FL_SOLID | FL_CAP_ROUND, 3);
    const int inset = w() * 5 / 16;
    fl_line(x() + inset, y() + inset, x() + w() - inset, y() + h() - inset);
    fl_line(x() + w() - inset, y() + inset, x() + inset, y() + h() - inset);
    fl_line_style(0);
  }
};

void Close(Fl_Widget* widget, void*) {
  Fl_Window* window = widget->as_window() ? widget->as_window() : widget->window();
  window->hide();
}

// Texts of the program may end lines the Windows way.
std::string UnixLines(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  return out;
}

}  // namespace

void FltkMessageBox::Show(std::string_view text, std::string_view title, std::uint32_t style) {
  fltk::EnsureStarted();
  const fltk::FontChoice font = fltk::FontFor(*FrmChangeResLayout().font);
  const std::string body = UnixLines(text);
  const bool error_sign = (style & kIconBits) == IMessageBox::kIconError;

  // The text's own size, wrapped at the widest line a message box allows.
  fl_font(font.face, font.size);
  int text_w = kTextWidthMax;
  int text_h = 0;
  fl_measure(body.c_str(), text_w, text_h, 0);
  text_w = std::max(text_w, 1);
  text_h = std::max(text_h, fl_height());

  const int icon_w = error_sign ? kIconSize + kIconGap : 0;
  const int content_h = std::max(text_h, error_sign ? kIconSize : 0);
  const int width = std::max(kMargin + icon_w + text_w + kMargin, kButtonWidth + 2 * kMargin);
  const int height = kMargin + content_h + kMargin + kButtonHeight + kMargin;

  Fl_Group::current(nullptr);
  Fl_Double_Window window(width, height);
  if (error_sign) new ErrorSign(kMargin, kMargin);
  const int text_y = kMargin + (content_h - text_h) / 2;
  auto* message = new fltk::TextBox(kMargin + icon_w, text_y, text_w, text_h,
                                    FL_ALIGN_TOP_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_WRAP, false);
  message->labelfont(font.face);
  message->labelsize(font.size);
  message->SetText(body);
  auto* ok =
      new fltk::KeyButton<Fl_Button>((width - kButtonWidth) / 2, height - kMargin - kButtonHeight,
                                     kButtonWidth, kButtonHeight, "OK");
  ok->labelfont(font.face);
  ok->labelsize(font.size);
  ok->callback(Close);
  window.end();
  window.copy_label(std::string(title).c_str());
  window.xclass("liaison");
  window.size_range(width, height, width, height);
  // Escape and the window manager's close button close it as OK does.
  window.callback(Close);

  int screen_x = 0;
  int screen_y = 0;
  int screen_w = 0;
  int screen_h = 0;
  Fl::screen_xywh(screen_x, screen_y, screen_w, screen_h, 0);
  window.position(screen_x + (screen_w - width) / 2, screen_y + (screen_h - height) / 2);
  window.set_modal();
  window.show();
  ok->take_focus();
  while (window.shown() && !Dispatcher::Failed()) Fl::wait();
  window.hide();
  Fl::flush();
  Dispatcher::RethrowPending();
}

}  // namespace liaison
