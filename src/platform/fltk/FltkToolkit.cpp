#include "platform/fltk/FltkToolkit.h"

#include <FL/Fl.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Progress.H>
#include <FL/Fl_Round_Button.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/Error.h"
#include "platform/fltk/FltkIcon.h"
#include "platform/fltk/FltkRuntime.h"
#include "wizard/Layout.h"

// FLTK makes a modal window transient for another window of the program
// unless this is set; the wizard is shown with no owner window.
extern int fl_disable_transient_for;

namespace liaison {
namespace {

using fltk::Dispatcher;
using fltk::Pixels;

[[noreturn]] void Unsupported(const ControlLayout& control, const char* what) {
  throw Error(Error::Kind::kInvalidArgument,
              std::string(control.name) + " does not support " + what);
}

// A page or a frame. Pages have neither border nor caption; a frame with a
// border draws an etched line with its caption over the top edge.
class FrameGroup : public Fl_Group {
 public:
  FrameGroup(int x, int y, int w, int h, bool border) : Fl_Group(x, y, w, h), border_(border) {
    box(FL_NO_BOX);
    end();
  }
  void SetCaption(std::string_view caption) {
    caption_ = caption;
    redraw();
  }
  void draw() override {
    if (border_ && (damage() & ~FL_DAMAGE_CHILD)) {
      fl_color(color());
      fl_rectf(x(), y(), w(), h());
      fl_font(labelfont(), labelsize());
      const int line = y() + fl_height() / 2;
      // An etched line: shadow, with highlight just inside it.
      const int frame_h = h() - (line - y());
      fl_color(fl_rgb_color(0xFF, 0xFF, 0xFF));
      fl_rect(x() + 1, line + 1, w() - 1, frame_h - 1);
      fl_color(fl_rgb_color(0xA0, 0xA0, 0xA0));
      fl_rect(x(), line, w() - 1, frame_h - 1);
      if (!caption_.empty()) {
        int text_w = 0;
        int text_h = 0;
        fl_measure(caption_.c_str(), text_w, text_h, 0);
        fl_color(color());
        fl_rectf(x() + 6, y(), text_w + 4, fl_height());
        fl_color(active_r() ? labelcolor() : fl_inactive(labelcolor()));
        fl_draw(caption_.c_str(), x() + 8, y() + fl_height() - fl_descent());
      }
    }
    draw_children();
  }

 private:
  bool border_;
  std::string caption_;
};

// A plain box with a sunken border on the dialog background; a container
// that reports a click on itself (its children report their own).
class SunkenBox : public Fl_Group {
 public:
  SunkenBox(int x, int y, int w, int h) : Fl_Group(x, y, w, h) {
    box(FL_NO_BOX);
    end();
  }
  void draw() override {
    if (damage() & ~FL_DAMAGE_CHILD) {
      fl_color(color());
      fl_rectf(x(), y(), w(), h());
      fltk::DrawSunkenBorder(x(), y(), w(), h());
    }
    draw_children();
  }
  int handle(int event) override {
    switch (event) {
      case FL_PUSH:
        if (Fl_Group::handle(event)) return 1;
        return 1;
      case FL_RELEASE:
        if (Fl::event_inside(this)) do_callback();
        return 1;
      default:
        return Fl_Group::handle(event);
    }
  }
};

void Ignore(Fl_Widget*, void*) {}

struct FrameExtents {
  int left, right, top, bottom;
};

class FltkWindow final : public IWindow {
 public:
  FltkWindow(const WindowLayout& layout, IWindowEvents& events);
  ~FltkWindow() override;

  void SetText(int control, std::string_view text) override;
  std::string GetText(int control) const override;
  void SetVisible(int control, bool visible) override;
  void SetEnabled(int control, bool enabled) override;
  bool IsChecked(int control) const override;
  float GetProgressMax(int control) const override;
  float GetProgress(int control) const override;
  void SetProgress(int control, float value) override;
  void SetTimerEnabled(int control, bool enabled) override;
  double OuterWidth() const override;
  double OuterHeight() const override;
  void SetLeft(std::int32_t twips) override;
  void SetTop(std::int32_t twips) override;
  void SetZOrder(std::int32_t insert_after) override;
  void ShowModal() override;
  void Show() override;
  void Hide() override;

 private:
  struct Control {
    const ControlLayout* layout = nullptr;
    FltkWindow* owner = nullptr;
    int row = 0;
    Fl_Widget* widget = nullptr;
    std::string text;
    bool timer_enabled = false;
    bool in_tick = false;
  };

  Control& At(int row);
  const Control& At(int row) const;
  void Build();
  void BuildChildren(int container, Fl_Group& group, int origin_x, int origin_y, int depth);
  Fl_Widget* MakeWidget(Control& control, int x, int y, int w, int h);
  void ShowWindow();
  void Centre();
  FrameExtents Frame() const;
  void SendAbove(bool above) const;
  void StopTimers();
  void KeepFocus(int row);
  void FocusFirst();

  static void ClickCallback(Fl_Widget* widget, void* data);
  static void CloseCallback(Fl_Widget* widget, void* data);
  static void TimerCallback(void* data);

  const WindowLayout& layout_;
  IWindowEvents& events_;
  std::unique_ptr<Fl_Double_Window> window_;
  std::vector<Control> controls_;
  std::vector<int> tab_order_;  // rows that can take the focus, by tab index
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  bool placed_ = false;
  bool above_ = false;
  bool modal_open_ = false;
};

FltkWindow::FltkWindow(const WindowLayout& layout, IWindowEvents& events)
    : layout_(layout), events_(events) {
  fltk::EnsureStarted();
  Build();
}

FltkWindow::~FltkWindow() {
  *alive_ = false;
  StopTimers();
  for (Control& control : controls_) {
    if (control.widget) control.widget->callback(Ignore, nullptr);
  }
  window_->callback(Ignore, nullptr);
  window_->hide();
  if (Dispatcher::InHandler()) {
    // A widget of this window may be running its callback: FLTK deletes the
    // window once the callback has returned.
    Fl::delete_widget(window_.release());
  } else {
    window_.reset();
  }
  Fl::flush();
}

FltkWindow::Control& FltkWindow::At(int row) {
  if (row < 0 || row >= static_cast<int>(controls_.size())) {
    throw Error(Error::Kind::kInvalidArgument,
                "Control " + std::to_string(row) + " is not on " + std::string(layout_.name));
  }
  return controls_[static_cast<std::size_t>(row)];
}

const FltkWindow::Control& FltkWindow::At(int row) const {
  return const_cast<FltkWindow*>(this)->At(row);
}

void FltkWindow::Build() {
  const int width = Pixels(layout_.client_width);
  const int height = Pixels(layout_.client_height);
  Fl_Group::current(nullptr);
  window_ = std::make_unique<Fl_Double_Window>(width, height);
  window_->end();
  window_->copy_label(std::string(layout_.caption).c_str());
  window_->callback(CloseCallback, this);
  window_->xclass("liaison");
  window_->resizable(nullptr);
  if (layout_.border == BorderStyle::kFixedSingle) {
    window_->size_range(width, height, width, height);
  } else {
    window_->size_range(1, 1);
  }
  if (layout_.has_icon) window_->icons(fltk::WindowIcons(), fltk::kIconCount);

  controls_.resize(layout_.controls.size());
  for (std::size_t row = 0; row < controls_.size(); ++row) {
    Control& control = controls_[row];
    control.layout = &layout_.controls[row];
    control.owner = this;
    control.row = static_cast<int>(row);
    control.text = control.layout->text;
  }
  BuildChildren(-1, *window_, 0, 0, 0);
  for (const Control& control : controls_) {
    if (control.layout->kind != ControlKind::kTimer && control.layout->container >= 0 &&
        control.widget == nullptr) {
      throw Error(Error::Kind::kInvalidArgument,
                  std::string(control.layout->name) + " lies in no container of the window");
    }
  }
  for (const Control& control : controls_) {
    switch (control.layout->kind) {
      case ControlKind::kOption:
      case ControlKind::kCheck:
      case ControlKind::kButton:
        tab_order_.push_back(control.row);
        break;
      default:
        break;
    }
  }
  std::stable_sort(tab_order_.begin(), tab_order_.end(), [this](int a, int b) {
    return controls_[static_cast<std::size_t>(a)].layout->tab_index <
           controls_[static_cast<std::size_t>(b)].layout->tab_index;
  });
}

void FltkWindow::BuildChildren(int container, Fl_Group& group, int origin_x, int origin_y,
                               int depth) {
  if (depth > static_cast<int>(controls_.size())) {
    throw Error(Error::Kind::kInvalidArgument, "The containers of the window form a loop");
  }
  // FLTK moves the focus in the order of the children: create them in the
  // order of their tab indexes.
  std::vector<Control*> children;
  for (Control& control : controls_) {
    if (control.layout->container == container && control.layout->kind != ControlKind::kTimer) {
      children.push_back(&control);
    }
  }
  std::stable_sort(children.begin(), children.end(), [](const Control* a, const Control* b) {
    return a->layout->tab_index < b->layout->tab_index;
  });
  for (Control* control : children) {
    const ControlLayout& layout = *control->layout;
    const int x = origin_x + Pixels(layout.left);
    const int y = origin_y + Pixels(layout.top);
    Fl_Widget* widget = MakeWidget(*control, x, y, Pixels(layout.width), Pixels(layout.height));
    group.add(widget);
    control->widget = widget;
    if (!layout.visible) widget->hide();
    if (layout.kind == ControlKind::kFrame) {
      BuildChildren(control->row, *static_cast<Fl_Group*>(widget), x, y, depth + 1);
    } else if (layout.kind == ControlKind::kBox) {
      // A box measures its children from inside its border.
      BuildChildren(control->row, *static_cast<Fl_Group*>(widget), x + fltk::kSunkenBorder,
                    y + fltk::kSunkenBorder, depth + 1);
    }
  }
}

Fl_Widget* FltkWindow::MakeWidget(Control& control, int x, int y, int w, int h) {
  const ControlLayout& layout = *control.layout;
  const fltk::FontChoice font = fltk::FontFor(layout.font ? *layout.font : *layout_.font);
  const Fl_Color ink =
      layout.colour ? fl_rgb_color(layout.colour->red, layout.colour->green, layout.colour->blue)
                    : FL_FOREGROUND_COLOR;
  const Fl_Align wrapped_beside = FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_WRAP;
  const std::string literal = fltk::Literal(layout.text);
  Fl_Group::current(nullptr);
  Fl_Widget* widget = nullptr;
  switch (layout.kind) {
    case ControlKind::kFrame: {
      auto* frame = new FrameGroup(x, y, w, h, layout.border);
      if (layout.border) frame->SetCaption(layout.text);
      widget = frame;
      break;
    }
    case ControlKind::kLabel: {
      const Fl_Align align = (layout.align == Align::kCenter ? FL_ALIGN_TOP : FL_ALIGN_TOP_LEFT) |
                             FL_ALIGN_INSIDE | FL_ALIGN_WRAP;
      auto* label = new fltk::TextBox(x, y, w, h, align, true);
      label->SetText(layout.text);
      label->callback(ClickCallback, &control);
      widget = label;
      break;
    }
    case ControlKind::kOption: {
      auto* option = new fltk::KeyButton<Fl_Round_Button>(x, y, w, h);
      option->type(FL_RADIO_BUTTON);
      option->copy_label(literal.c_str());
      option->align(wrapped_beside);
      option->value(layout.value != 0 ? 1 : 0);
      option->callback(Ignore, nullptr);
      widget = option;
      break;
    }
    case ControlKind::kCheck: {
      auto* check = new fltk::KeyButton<Fl_Check_Button>(x, y, w, h);
      check->copy_label(literal.c_str());
      check->align(wrapped_beside);
      check->value(layout.value == 1 ? 1 : 0);
      check->callback(Ignore, nullptr);
      widget = check;
      break;
    }
    case ControlKind::kButton: {
      auto* button = new fltk::KeyButton<Fl_Button>(x, y, w, h);
      button->copy_label(literal.c_str());
      button->callback(ClickCallback, &control);
      widget = button;
      break;
    }
    case ControlKind::kBox: {
      auto* box = new SunkenBox(x, y, w, h);
      box->callback(ClickCallback, &control);
      widget = box;
      break;
    }
    case ControlKind::kProgress: {
      auto* bar = new Fl_Progress(x, y, w, h);
      bar->minimum(0.0f);
      bar->maximum(static_cast<float>(layout.maximum));
      bar->value(static_cast<float>(layout.value));
      bar->color(fl_rgb_color(0xE6, 0xE6, 0xE6));
      bar->selection_color(fltk::HighlightColour());
      widget = bar;
      break;
    }
    case ControlKind::kTimer:
      Unsupported(layout, "a place in the window");
  }
  widget->labelfont(font.face);
  widget->labelsize(font.size);
  widget->labelcolor(ink);
  return widget;
}

void FltkWindow::SetText(int row, std::string_view text) {
  Control& control = At(row);
  switch (control.layout->kind) {
    case ControlKind::kLabel:
      static_cast<fltk::TextBox*>(control.widget)->SetText(text);
      break;
    case ControlKind::kOption:
    case ControlKind::kCheck:
    case ControlKind::kButton:
      control.widget->copy_label(fltk::Literal(text).c_str());
      control.widget->redraw();
      break;
    case ControlKind::kFrame:
      static_cast<FrameGroup*>(control.widget)->SetCaption(text);
      break;
    default:
      Unsupported(*control.layout, "a text");
  }
  control.text = text;
}

std::string FltkWindow::GetText(int row) const {
  const Control& control = At(row);
  switch (control.layout->kind) {
    case ControlKind::kLabel:
    case ControlKind::kOption:
    case ControlKind::kCheck:
    case ControlKind::kButton:
    case ControlKind::kFrame:
      return control.text;
    default:
      Unsupported(*control.layout, "a text");
  }
}

void FltkWindow::SetVisible(int row, bool visible) {
  Control& control = At(row);
  if (control.layout->kind == ControlKind::kTimer) Unsupported(*control.layout, "visibility");
  if (visible) {
    control.widget->show();
  } else {
    control.widget->hide();
    KeepFocus(row);
  }
  window_->redraw();
}

void FltkWindow::SetEnabled(int row, bool enabled) {
  Control& control = At(row);
  if (control.layout->kind == ControlKind::kTimer) {
    SetTimerEnabled(row, enabled);
    return;
  }
  if (enabled) {
    control.widget->activate();
  } else {
    control.widget->deactivate();
    KeepFocus(row);
  }
  window_->redraw();
}

// When the control that had the focus has just been hidden or disabled, the
// focus moves on to the next control in tab order, as in any dialog.
void FltkWindow::KeepFocus(int row) {
  if (!window_->shown() || Fl::focus() != nullptr || tab_order_.empty()) return;
  const int tab = At(row).layout->tab_index;
  auto next = std::find_if(tab_order_.begin(), tab_order_.end(), [&](int candidate) {
    return controls_[static_cast<std::size_t>(candidate)].layout->tab_index > tab;
  });
  for (std::size_t tried = 0; tried < tab_order_.size(); ++tried) {
    if (next == tab_order_.end()) next = tab_order_.begin();
    if (controls_[static_cast<std::size_t>(*next)].widget->take_focus()) return;
    ++next;
  }
}

// A window that comes up gives the focus to its first control in tab order
// that can take it, whether or not a window manager focuses the window.
void FltkWindow::FocusFirst() {
  if (window_->contains(Fl::focus())) return;
  for (const int row : tab_order_) {
    if (controls_[static_cast<std::size_t>(row)].widget->take_focus()) return;
  }
}

bool FltkWindow::IsChecked(int row) const {
  const Control& control = At(row);
  switch (control.layout->kind) {
    case ControlKind::kOption:
      return static_cast<const Fl_Button*>(control.widget)->value() != 0;
    case ControlKind::kCheck:
      return static_cast<const Fl_Button*>(control.widget)->value() == 1;
    default:
      Unsupported(*control.layout, "a checked state");
  }
}

float FltkWindow::GetProgressMax(int row) const {
  const Control& control = At(row);
  if (control.layout->kind != ControlKind::kProgress) Unsupported(*control.layout, "a maximum");
  return static_cast<const Fl_Progress*>(control.widget)->maximum();
}

float FltkWindow::GetProgress(int row) const {
  const Control& control = At(row);
  if (control.layout->kind != ControlKind::kProgress) Unsupported(*control.layout, "a value");
  return static_cast<const Fl_Progress*>(control.widget)->value();
}

void FltkWindow::SetProgress(int row, float value) {
  Control& control = At(row);
  if (control.layout->kind != ControlKind::kProgress) Unsupported(*control.layout, "a value");
  auto* bar = static_cast<Fl_Progress*>(control.widget);
  if (!(value >= bar->minimum() && value <= bar->maximum())) {
    throw Error(Error::Kind::kInvalidArgument, "Invalid property value " + std::to_string(value) +
                                                   " for " + std::string(control.layout->name));
  }
  bar->value(value);
}

void FltkWindow::SetTimerEnabled(int row, bool enabled) {
  Control& control = At(row);
  if (control.layout->kind != ControlKind::kTimer) Unsupported(*control.layout, "a timer");
  if (enabled == control.timer_enabled) return;
  control.timer_enabled = enabled;
  if (enabled) {
    // During a tick, the tick itself schedules the next one.
    if (!control.in_tick)
      Fl::add_timeout(control.layout->interval / 1000.0, TimerCallback, &control);
  } else {
    Fl::remove_timeout(TimerCallback, &control);
  }
}

void FltkWindow::StopTimers() {
  for (Control& control : controls_) {
    if (control.layout->kind != ControlKind::kTimer) continue;
    control.timer_enabled = false;
    Fl::remove_timeout(TimerCallback, &control);
  }
}

void FltkWindow::TimerCallback(void* data) {
  Control& control = *static_cast<Control*>(data);
  if (!control.timer_enabled) return;
  const double interval = control.layout->interval / 1000.0;
  if (Dispatcher::InHandler()) {
    // A handler runs a loop of its own: the tick waits until it is done.
    Fl::repeat_timeout(interval, TimerCallback, data);
    return;
  }
  FltkWindow* self = control.owner;
  const std::shared_ptr<bool> alive = self->alive_;
  control.in_tick = true;
  Dispatcher::Run([&] { self->events_.OnTimer(control.row); });
  if (!*alive) return;  // the handler unloaded the window
  control.in_tick = false;
  if (Dispatcher::Failed()) {
    control.timer_enabled = false;
  } else if (control.timer_enabled) {
    Fl::repeat_timeout(interval, TimerCallback, data);
  }
}

void FltkWindow::ClickCallback(Fl_Widget*, void* data) {
  Control& control = *static_cast<Control*>(data);
  FltkWindow* self = control.owner;
  const int row = control.row;
  Dispatcher::Run([&] { self->events_.OnClick(row); });
}

void FltkWindow::CloseCallback(Fl_Widget*, void* data) {
  // FLTK closes a window on Escape through the same callback: this window
  // has no cancel button, so Escape does nothing.
  if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
  auto* self = static_cast<FltkWindow*>(data);
  Dispatcher::Run([&] { self->events_.OnCloseRequest(); });
}

FrameExtents FltkWindow::Frame() const {
  if (window_->shown()) {
    // The frame that the window manager reports, when it does.
    const Atom extents = XInternAtom(fl_display, "_NET_FRAME_EXTENTS", True);
    if (extents != None) {
      Atom type = None;
      int format = 0;
      unsigned long count = 0;
      unsigned long after = 0;
      unsigned char* data = nullptr;
      if (XGetWindowProperty(fl_display, fl_xid(window_.get()), extents, 0, 4, False, XA_CARDINAL,
                             &type, &format, &count, &after, &data) == Success &&
          type == XA_CARDINAL && format == 32 && count == 4 && data != nullptr) {
        const auto* values = reinterpret_cast<const long*>(data);
        const FrameExtents real{static_cast<int>(values[0]), static_cast<int>(values[1]),
                                static_cast<int>(values[2]), static_cast<int>(values[3])};
        XFree(data);
        return real;
      }
      if (data) XFree(data);
    }
  }
  // The frame the layout assumes: the side width on the left, right and
  // bottom, the title bar and side above.
  const int side = Pixels(layout_.frame_left);
  return {side, side, Pixels(layout_.frame_top), side};
}

double FltkWindow::OuterWidth() const {
  const FrameExtents frame = Frame();
  return static_cast<double>(window_->w() + frame.left + frame.right) * kTwipsPerPixel;
}

double FltkWindow::OuterHeight() const {
  const FrameExtents frame = Frame();
  return static_cast<double>(window_->h() + frame.top + frame.bottom) * kTwipsPerPixel;
}

void FltkWindow::SetLeft(std::int32_t twips) {
  const int left = static_cast<int>(twips / kTwipsPerPixel);
  window_->position(left + Frame().left, window_->y());
  placed_ = true;
  Fl::flush();
}

void FltkWindow::SetTop(std::int32_t twips) {
  const int top = static_cast<int>(twips / kTwipsPerPixel);
  window_->position(window_->x(), top + Frame().top);
  placed_ = true;
  Fl::flush();
}

void FltkWindow::Centre() {
  int screen_x = 0;
  int screen_y = 0;
  int screen_w = 0;
  int screen_h = 0;
  Fl::screen_xywh(screen_x, screen_y, screen_w, screen_h, 0);
  const FrameExtents frame = Frame();
  const int outer_w = window_->w() + frame.left + frame.right;
  const int outer_h = window_->h() + frame.top + frame.bottom;
  window_->position(screen_x + (screen_w - outer_w) / 2 + frame.left,
                    screen_y + (screen_h - outer_h) / 2 + frame.top);
}

void FltkWindow::SetZOrder(std::int32_t insert_after) {
  constexpr std::int32_t kTopMost = -1;
  constexpr std::int32_t kNotTopMost = -2;
  if (insert_after != kTopMost && insert_after != kNotTopMost) return;
  above_ = insert_after == kTopMost;
  if (window_->shown()) SendAbove(above_);
}

// Asks the window manager to keep the window above ordinary windows, or to
// stop doing so.
void FltkWindow::SendAbove(bool above) const {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = fl_xid(window_.get());
  event.xclient.message_type = XInternAtom(fl_display, "_NET_WM_STATE", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = above ? 1 : 0;  // _NET_WM_STATE_ADD or _REMOVE
  event.xclient.data.l[1] =
      static_cast<long>(XInternAtom(fl_display, "_NET_WM_STATE_ABOVE", False));
  event.xclient.data.l[2] = 0;
  event.xclient.data.l[3] = 1;  // from an application
  XSendEvent(fl_display, RootWindow(fl_display, fl_screen), False,
             SubstructureRedirectMask | SubstructureNotifyMask, &event);
  XFlush(fl_display);
}

void FltkWindow::ShowWindow() {
  if (!placed_ && layout_.centred) Centre();
  placed_ = true;
  if (window_->shown()) {
    window_->show();  // raises it
    return;
  }
  if (above_) {
    // The state must be on the window before the window manager handles its
    // mapping: FLTK creates and maps in one go, so hold the server meanwhile.
    XGrabServer(fl_display);
  }
  fl_disable_transient_for = 1;
  window_->show();
  fl_disable_transient_for = 0;
  // FLTK types the UTF-8 title as Latin-1 in WM_NAME; say what it is.
  const Atom utf8 = XInternAtom(fl_display, "UTF8_STRING", False);
  const std::string title(layout_.caption);
  for (const Atom name : {XA_WM_NAME, XA_WM_ICON_NAME}) {
    XChangeProperty(fl_display, fl_xid(window_.get()), name, utf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title.data()),
                    static_cast<int>(title.size()));
  }
  FocusFirst();
  if (above_) {
    const Atom state = XInternAtom(fl_display, "_NET_WM_STATE", False);
    const Atom above = XInternAtom(fl_display, "_NET_WM_STATE_ABOVE", False);
    XChangeProperty(fl_display, fl_xid(window_.get()), state, XA_ATOM, 32, PropModeAppend,
                    reinterpret_cast<const unsigned char*>(&above), 1);
    XUngrabServer(fl_display);
    SendAbove(true);
  }
  Fl::flush();
}

void FltkWindow::Show() {
  ShowWindow();
}

void FltkWindow::ShowModal() {
  const std::shared_ptr<bool> alive = alive_;
  window_->set_modal();
  modal_open_ = true;
  ShowWindow();
  while (*alive && modal_open_ && !Dispatcher::Failed()) Fl::wait();
  if (*alive) {
    modal_open_ = false;
    if (Dispatcher::Failed()) {
      // A handler failed: the window goes, and the failure comes out here.
      StopTimers();
      window_->hide();
      Fl::flush();
    }
    window_->clear_modal_states();
  }
  Dispatcher::RethrowPending();
}

void FltkWindow::Hide() {
  if (modal_open_) fltk::WakeLoop();
  modal_open_ = false;
  window_->hide();
  Fl::flush();
}

}  // namespace

std::unique_ptr<IWindow> FltkToolkit::Create(const WindowLayout& layout, IWindowEvents& events) {
  return std::make_unique<FltkWindow>(layout, events);
}

std::string FltkToolkit::ResolvedFamily(std::string_view face) {
  return fltk::ResolveFamily(face);
}

}  // namespace liaison
