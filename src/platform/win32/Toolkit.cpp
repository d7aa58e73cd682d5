// The GUI toolkit over native Win32 controls. A window is built from its
// WindowLayout: pages and frames are child containers, labels are statics,
// option buttons, check boxes and push buttons are buttons, a plain box is a
// container with a sunken edge that reports clicks, and the progress bar is
// the common-controls one. Keyboard navigation is the dialog manager's
// (IsDialogMessage) over the tab order of the layout.
#include <algorithm>
#include <cmath>
#include <deque>
#include <exception>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "platform/Error.h"
#include "platform/win32/Text.h"
#include "platform/win32/Win32Platform.h"
#include "wizard/Layout.h"

#include "platform/win32/Win32Api.h"

#include <commctrl.h>

#include "platform/win32/res/Resources.h"

namespace liaison::win32 {
namespace {

constexpr char kWindowClass[] = "LiaisonWindow";
constexpr char kFrameClass[] = "LiaisonFrame";
constexpr char kBoxClass[] = "LiaisonBox";
// Control identifiers: the row in the layout plus this, so that none is
// IDOK or IDCANCEL, which the dialog manager sends for Enter and Escape.
constexpr int kIdBase = 100;

// Flags of a box, kept in its GWLP_USERDATA.
constexpr LONG_PTR kBoxMousePressed = 1;
constexpr LONG_PTR kBoxSpacePressed = 2;

HINSTANCE Instance() {
  return GetModuleHandleA(nullptr);
}

int Pixels(double twips) {
  return static_cast<int>(std::lround(twips / kTwipsPerPixel));
}

// Why a window could not be made; the system does not always say (wine
// without a display, for one).
std::string CreationFailure(const std::string& what) {
  const DWORD error = GetLastError();
  return "Cannot create " + what + ": " +
         (error != 0 ? SystemMessage(error) : std::string("the window system gave no reason."));
}

// Button texts show "&" as it is: the dialog manager would otherwise take
// it for the mark of a keyboard shortcut.
std::string EscapeAmpersands(std::string_view text) {
  std::string escaped;
  for (const char c : text) {
    escaped.push_back(c);
    if (c == '&') escaped.push_back('&');
  }
  return escaped;
}

std::string UnescapeAmpersands(std::string_view text) {
  std::string plain;
  for (std::size_t i = 0; i < text.size(); ++i) {
    plain.push_back(text[i]);
    if (text[i] == '&' && i + 1 < text.size() && text[i + 1] == '&') ++i;
  }
  return plain;
}

std::string WindowText(HWND window) {
  const int length = GetWindowTextLengthA(window);
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  const int got = GetWindowTextA(window, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(std::max(got, 0)));
  return FromAnsi(text);
}

void NotifyClick(HWND control) {
  SendMessageA(GetAncestor(control, GA_ROOT), WM_COMMAND,
               MAKEWPARAM(GetDlgCtrlID(control), BN_CLICKED), reinterpret_cast<LPARAM>(control));
}

// Children's notifications and colour requests go to the window itself,
// whatever container they sit in.
bool ForwardToRoot(HWND container, UINT message, WPARAM w_param, LPARAM l_param, LRESULT& result) {
  switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      result = SendMessageA(GetAncestor(container, GA_ROOT), message, w_param, l_param);
      return true;
    default:
      return false;
  }
}

LRESULT CALLBACK FrameProc(HWND frame, UINT message, WPARAM w_param, LPARAM l_param) {
  LRESULT result = 0;
  if (ForwardToRoot(frame, message, w_param, l_param, result)) return result;
  return DefWindowProcA(frame, message, w_param, l_param);
}

// A plain box: reports a click of the mouse (pressed and released over it)
// and, when it can take the focus, of the space bar or Enter.
LRESULT CALLBACK BoxProc(HWND box, UINT message, WPARAM w_param, LPARAM l_param) {
  LRESULT result = 0;
  if (ForwardToRoot(box, message, w_param, l_param, result)) return result;
  const LONG_PTR flags = GetWindowLongPtrA(box, GWLP_USERDATA);
  const auto set_flags = [box](LONG_PTR value) { SetWindowLongPtrA(box, GWLP_USERDATA, value); };
  switch (message) {
    case WM_GETDLGCODE:
      return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
    case WM_LBUTTONDOWN:
      if (GetWindowLongPtrA(box, GWL_STYLE) & WS_TABSTOP) SetFocus(box);
      SetCapture(box);
      set_flags(flags | kBoxMousePressed);
      return 0;
    case WM_LBUTTONUP:
      if (flags & kBoxMousePressed) {
        set_flags(flags & ~kBoxMousePressed);
        ReleaseCapture();
        RECT client;
        GetClientRect(box, &client);
        const POINT at{static_cast<short>(LOWORD(l_param)), static_cast<short>(HIWORD(l_param))};
        if (PtInRect(&client, at)) NotifyClick(box);
      }
      return 0;
    case WM_CAPTURECHANGED:
      set_flags(flags & ~kBoxMousePressed);
      return 0;
    case WM_KEYDOWN:
      if (w_param == VK_SPACE) {
        set_flags(flags | kBoxSpacePressed);
        return 0;
      }
      break;
    case WM_KEYUP:
      if (w_param == VK_SPACE && (flags & kBoxSpacePressed)) {
        set_flags(flags & ~kBoxSpacePressed);
        NotifyClick(box);
        return 0;
      }
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      set_flags(flags & ~kBoxSpacePressed);
      InvalidateRect(box, nullptr, TRUE);
      break;
    case WM_PAINT: {
      // The sunken edge is drawn here rather than left to the window
      // system, which draws no edge round a box too thin to have a client
      // area (the separator line).
      PAINTSTRUCT paint;
      const HDC dc = BeginPaint(box, &paint);
      RECT client;
      GetClientRect(box, &client);
      FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
      DrawEdge(dc, &client, EDGE_SUNKEN, BF_RECT);
      if (GetFocus() == box) {
        InflateRect(&client, -2 * GetSystemMetrics(SM_CXEDGE), -2 * GetSystemMetrics(SM_CYEDGE));
        DrawFocusRect(dc, &client);
      }
      EndPaint(box, &paint);
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcA(box, message, w_param, l_param);
}

class Window final : public NativeWindow {
 public:
  Window(const WindowLayout& layout, IWindowEvents& events);
  ~Window() override;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

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

  void* Handle() const override { return hwnd_; }
  void* ControlHandle(int control) const override { return controls_.at(Row(control)); }

  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM w_param, LPARAM l_param);

 private:
  enum class EventKind { kClick, kTimer, kClose };
  struct Event {
    EventKind kind;
    int control;
  };

  LRESULT OnMessage(HWND hwnd, UINT message, WPARAM w_param, LPARAM l_param);
  void OnCommand(WPARAM w_param, LPARAM l_param);
  void CreateControls(int container, HWND parent);
  HWND CreateControl(int row, HWND parent, bool starts_group);
  HFONT FontFor(const FontLayout* font);
  void Destroy();

  int Row(int control) const;
  const ControlLayout& LayoutOf(int control, ControlKind kind) const;
  int RowOf(HWND control) const;
  void UpdateOptionTabStops(int container);
  void FocusFirst();
  void FixFocus();

  void Fire(Event event);
  void Dispatch(const Event& event);
  void RethrowFailure();

  const WindowLayout& layout_;
  IWindowEvents& events_;
  HWND hwnd_ = nullptr;
  std::vector<HWND> controls_;      // by row; null for the timer
  std::vector<HWND> frame_boxes_;   // the group box of a frame with a border
  std::vector<std::string> texts_;  // of controls without a text of their own
  std::vector<float> progress_;
  std::vector<bool> timer_on_;
  std::map<const FontLayout*, HFONT> fonts_;
  HWND saved_focus_ = nullptr;

  // Handlers run one at a time: an event that comes while one runs waits
  // for it. A handler's exception ends the modal loop and comes out of
  // ShowModal(); it never crosses the window procedure.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  bool in_handler_ = false;
  std::deque<Event> deferred_;
  std::exception_ptr failure_;
  bool end_modal_ = false;
};

// The top-level windows of the thread that a modal window disables.
struct DisabledWindows {
  HWND modal;
  std::vector<HWND> windows;
};

BOOL CALLBACK DisableOther(HWND window, LPARAM data) {
  auto& disabled = *reinterpret_cast<DisabledWindows*>(data);
  if (window != disabled.modal && IsWindowVisible(window) && IsWindowEnabled(window)) {
    EnableWindow(window, FALSE);
    disabled.windows.push_back(window);
  }
  return TRUE;
}

void RegisterClasses() {
  static const bool registered = [] {
    WNDCLASSEXA window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.hInstance = Instance();
    window_class.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window_class.lpfnWndProc = Window::Proc;
    window_class.lpszClassName = kWindowClass;
    RegisterClassExA(&window_class);
    window_class.lpfnWndProc = FrameProc;
    window_class.lpszClassName = kFrameClass;
    RegisterClassExA(&window_class);
    window_class.lpfnWndProc = BoxProc;
    window_class.lpszClassName = kBoxClass;
    RegisterClassExA(&window_class);
    return true;
  }();
  (void)registered;
}

Window::Window(const WindowLayout& layout, IWindowEvents& events)
    : layout_(layout), events_(events) {
  const std::size_t count = layout.controls.size();
  controls_.assign(count, nullptr);
  frame_boxes_.assign(count, nullptr);
  texts_.assign(count, std::string());
  progress_.assign(count, 0.0f);
  timer_on_.assign(count, false);
  RegisterClasses();

  DWORD style = layout.border == BorderStyle::kFixedSingle ? WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU
                                                           : WS_OVERLAPPEDWINDOW;
  style |= WS_CLIPCHILDREN;
  const DWORD ex_style = 0;
  RECT outer{0, 0, Pixels(layout.client_width), Pixels(layout.client_height)};
  AdjustWindowRectEx(&outer, style, FALSE, ex_style);
  const int width = outer.right - outer.left;
  const int height = outer.bottom - outer.top;
  int left = CW_USEDEFAULT;
  int top = 0;
  if (layout.centred) {
    left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  }
  if (!CreateWindowExA(ex_style, kWindowClass, ToAnsi(layout.caption).c_str(), style, left, top,
                       width, height, nullptr, nullptr, Instance(), this)) {
    throw Error(Error::Kind::kNoDisplay, CreationFailure("the window " + std::string(layout.name)));
  }
  try {
    SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(layout.font)), FALSE);
    if (layout.has_icon) {
      for (const auto& [which, size_x, size_y] :
           {std::tuple{ICON_BIG, SM_CXICON, SM_CYICON},
            std::tuple{ICON_SMALL, SM_CXSMICON, SM_CYSMICON}}) {
        const HANDLE icon =
            LoadImageA(Instance(), MAKEINTRESOURCEA(LIAISON_ICON), IMAGE_ICON,
                       GetSystemMetrics(size_x), GetSystemMetrics(size_y), LR_SHARED);
        if (icon) SendMessageA(hwnd_, WM_SETICON, which, reinterpret_cast<LPARAM>(icon));
      }
    }
    CreateControls(-1, hwnd_);
  } catch (...) {
    Destroy();
    throw;
  }
}

Window::~Window() {
  Destroy();
  *alive_ = false;
}

void Window::Destroy() {
  if (hwnd_ && IsWindow(hwnd_)) {
    for (std::size_t row = 0; row < timer_on_.size(); ++row) {
      if (timer_on_[row]) KillTimer(hwnd_, kIdBase + row);
    }
    DestroyWindow(hwnd_);
  }
  hwnd_ = nullptr;
  for (const auto& [layout, font] : fonts_) DeleteObject(font);
  fonts_.clear();
}

HFONT Window::FontFor(const FontLayout* font) {
  if (!font) return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  const auto found = fonts_.find(font);
  if (found != fonts_.end()) return found->second;
  const HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  const int height = -MulDiv(static_cast<int>(std::lround(font->points * 100)), dpi, 7200);
  const HFONT created =
      CreateFontA(height, 0, 0, 0, font->bold ? FW_BOLD : FW_NORMAL, font->italic, FALSE, FALSE,
                  ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                  DEFAULT_PITCH | FF_SWISS, ToAnsi(font->face).c_str());
  fonts_[font] = created;
  return created;
}

// The children of one container, in their tab order, which is also their
// order for the dialog manager. Option buttons that follow one another form
// one group; every other control starts a group of its own.
void Window::CreateControls(int container, HWND parent) {
  std::vector<int> rows;
  for (std::size_t row = 0; row < layout_.controls.size(); ++row) {
    if (layout_.controls[row].container == container) rows.push_back(static_cast<int>(row));
  }
  std::stable_sort(rows.begin(), rows.end(), [this](int a, int b) {
    return layout_.controls[a].tab_index < layout_.controls[b].tab_index;
  });
  bool after_option = false;
  for (const int row : rows) {
    const ControlLayout& control = layout_.controls[row];
    if (control.kind == ControlKind::kTimer) continue;
    const bool is_option = control.kind == ControlKind::kOption;
    const HWND created = CreateControl(row, parent, !(is_option && after_option));
    after_option = is_option;
    if (control.kind == ControlKind::kFrame || control.kind == ControlKind::kBox) {
      CreateControls(row, created);
    }
    if (control.kind == ControlKind::kFrame && control.border) {
      // Made last, so that it lies below the frame's controls.
      const HWND group_box = CreateWindowExA(
          0, "BUTTON", "", WS_CHILD | WS_VISIBLE | WS_GROUP | BS_GROUPBOX, 0, 0,
          Pixels(control.width), Pixels(control.height), created, nullptr, Instance(), nullptr);
      SendMessageA(group_box, WM_SETFONT,
                   reinterpret_cast<WPARAM>(FontFor(control.font ? control.font : layout_.font)),
                   FALSE);
      frame_boxes_[row] = group_box;
      SetText(row, control.text);
    }
  }
  UpdateOptionTabStops(container);
}

HWND Window::CreateControl(int row, HWND parent, bool starts_group) {
  const ControlLayout& control = layout_.controls[row];
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
  if (control.visible) style |= WS_VISIBLE;
  if (starts_group) style |= WS_GROUP;
  DWORD ex_style = 0;
  const char* window_class = "STATIC";
  switch (control.kind) {
    case ControlKind::kFrame:
      window_class = kFrameClass;
      style |= WS_CLIPCHILDREN;
      ex_style |= WS_EX_CONTROLPARENT;
      break;
    case ControlKind::kBox: {
      window_class = kBoxClass;
      style |= WS_CLIPCHILDREN;
      // A box that holds controls serves as a button: the keyboard reaches it.
      const bool holds_controls =
          std::any_of(layout_.controls.begin(), layout_.controls.end(),
                      [row](const ControlLayout& other) { return other.container == row; });
      if (holds_controls) style |= WS_TABSTOP;
      break;
    }
    case ControlKind::kLabel:
      style |= SS_NOTIFY | SS_NOPREFIX | (control.align == Align::kCenter ? SS_CENTER : SS_LEFT);
      break;
    case ControlKind::kOption:
      window_class = "BUTTON";
      style |= BS_AUTORADIOBUTTON | BS_MULTILINE;
      break;
    case ControlKind::kCheck:
      window_class = "BUTTON";
      style |= BS_AUTOCHECKBOX | BS_MULTILINE | WS_TABSTOP;
      break;
    case ControlKind::kButton:
      window_class = "BUTTON";
      style |= BS_PUSHBUTTON | WS_TABSTOP;
      break;
    case ControlKind::kProgress:
      window_class = PROGRESS_CLASSA;
      break;
    case ControlKind::kTimer:
      return nullptr;
  }
  // Inside a box, positions count from within its sunken edge.
  const bool in_box =
      control.container >= 0 && layout_.controls[control.container].kind == ControlKind::kBox;
  const int inset_x = in_box ? GetSystemMetrics(SM_CXEDGE) : 0;
  const int inset_y = in_box ? GetSystemMetrics(SM_CYEDGE) : 0;
  const HWND created = CreateWindowExA(
      ex_style, window_class, "", style, Pixels(control.left) + inset_x,
      Pixels(control.top) + inset_y, Pixels(control.width), Pixels(control.height), parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdBase + row)), Instance(), nullptr);
  if (!created) {
    throw Error(Error::Kind::kNoDisplay,
                CreationFailure("the control " + std::string(control.name)));
  }
  controls_[row] = created;
  SendMessageA(created, WM_SETFONT,
               reinterpret_cast<WPARAM>(FontFor(control.font ? control.font : layout_.font)),
               FALSE);
  switch (control.kind) {
    case ControlKind::kOption:
    case ControlKind::kCheck:
      SendMessageA(created, BM_SETCHECK, control.value == 1 ? BST_CHECKED : BST_UNCHECKED, 0);
      break;
    case ControlKind::kProgress:
      SendMessageA(created, PBM_SETRANGE32, 0, control.maximum);
      SendMessageA(created, PBM_SETPOS, static_cast<WPARAM>(control.value), 0);
      progress_[row] = static_cast<float>(control.value);
      break;
    default:
      break;
  }
  SetText(row, control.text);
  return created;
}

int Window::Row(int control) const {
  if (control < 0 || static_cast<std::size_t>(control) >= layout_.controls.size()) {
    throw Error(Error::Kind::kInvalidArgument, "The window " + std::string(layout_.name) +
                                                   " has no control " + std::to_string(control) +
                                                   ".");
  }
  return control;
}

const ControlLayout& Window::LayoutOf(int control, ControlKind kind) const {
  const ControlLayout& layout = layout_.controls[static_cast<std::size_t>(Row(control))];
  if (layout.kind != kind) {
    throw Error(Error::Kind::kInvalidArgument, "The control " + std::string(layout.name) + " of " +
                                                   std::string(layout_.name) +
                                                   " does not support this operation.");
  }
  return layout;
}

int Window::RowOf(HWND control) const {
  if (!control) return -1;
  const int row = GetDlgCtrlID(control) - kIdBase;
  if (row < 0 || static_cast<std::size_t>(row) >= controls_.size()) return -1;
  return controls_[row] == control ? row : -1;
}

// Only the selected option button of a group is a tab stop (the first one
// when none is selected), as in a dialog: Tab enters the group at the
// selected option and the arrow keys move within it.
void Window::UpdateOptionTabStops(int container) {
  std::vector<HWND> options;
  HWND selected = nullptr;
  for (std::size_t row = 0; row < layout_.controls.size(); ++row) {
    const ControlLayout& control = layout_.controls[row];
    if (control.container != container || control.kind != ControlKind::kOption) continue;
    options.push_back(controls_[row]);
    if (!selected && SendMessageA(controls_[row], BM_GETCHECK, 0, 0) == BST_CHECKED) {
      selected = controls_[row];
    }
  }
  if (options.empty()) return;
  if (!selected) selected = options.front();
  for (const HWND option : options) {
    LONG_PTR style = GetWindowLongPtrA(option, GWL_STYLE);
    style =
        option == selected ? (style | WS_TABSTOP) : (style & ~static_cast<LONG_PTR>(WS_TABSTOP));
    SetWindowLongPtrA(option, GWL_STYLE, style);
  }
}

void Window::FocusFirst() {
  const HWND first = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
  SetFocus(first ? first : hwnd_);
}

// After a control was hidden or disabled: the focus moves on when it was
// there, so that the keyboard keeps working.
void Window::FixFocus() {
  if (GetActiveWindow() != hwnd_) return;
  const HWND focus = GetFocus();
  if (focus && focus != hwnd_ && IsChild(hwnd_, focus) && IsWindowVisible(focus) &&
      IsWindowEnabled(focus)) {
    return;
  }
  FocusFirst();
}

void Window::SetText(int control, std::string_view text) {
  const ControlLayout& layout = layout_.controls[static_cast<std::size_t>(Row(control))];
  switch (layout.kind) {
    case ControlKind::kLabel:
      SetWindowTextA(controls_[control], ToAnsi(text).c_str());
      break;
    case ControlKind::kOption:
    case ControlKind::kCheck:
    case ControlKind::kButton:
      SetWindowTextA(controls_[control], ToAnsi(EscapeAmpersands(text)).c_str());
      break;
    default:
      if (frame_boxes_[control]) {
        SetWindowTextA(frame_boxes_[control], ToAnsi(EscapeAmpersands(text)).c_str());
      }
      texts_[control].assign(text);
      break;
  }
}

std::string Window::GetText(int control) const {
  const ControlLayout& layout = layout_.controls[static_cast<std::size_t>(Row(control))];
  switch (layout.kind) {
    case ControlKind::kLabel:
      return WindowText(controls_[control]);
    case ControlKind::kOption:
    case ControlKind::kCheck:
    case ControlKind::kButton:
      return UnescapeAmpersands(WindowText(controls_[control]));
    default:
      return texts_[control];
  }
}

void Window::SetVisible(int control, bool visible) {
  const HWND window = controls_[Row(control)];
  if (!window) {
    throw Error(Error::Kind::kInvalidArgument,
                "The control " + std::string(layout_.controls[control].name) + " cannot be shown.");
  }
  ShowWindow(window, visible ? SW_SHOW : SW_HIDE);
  FixFocus();
}

void Window::SetEnabled(int control, bool enabled) {
  const HWND window = controls_[Row(control)];
  if (!window) {
    throw Error(Error::Kind::kInvalidArgument, "The control " +
                                                   std::string(layout_.controls[control].name) +
                                                   " cannot be enabled or disabled.");
  }
  EnableWindow(window, enabled ? TRUE : FALSE);
  FixFocus();
}

bool Window::IsChecked(int control) const {
  const ControlKind kind = layout_.controls[static_cast<std::size_t>(Row(control))].kind;
  if (kind != ControlKind::kOption && kind != ControlKind::kCheck) {
    LayoutOf(control, ControlKind::kCheck);  // reports the misuse
  }
  return SendMessageA(controls_[control], BM_GETCHECK, 0, 0) == BST_CHECKED;
}

float Window::GetProgressMax(int control) const {
  LayoutOf(control, ControlKind::kProgress);
  return static_cast<float>(SendMessageA(controls_[control], PBM_GETRANGE, FALSE, 0));
}

float Window::GetProgress(int control) const {
  LayoutOf(control, ControlKind::kProgress);
  return progress_[control];
}

void Window::SetProgress(int control, float value) {
  LayoutOf(control, ControlKind::kProgress);
  const float maximum = GetProgressMax(control);
  if (!(value >= 0.0f && value <= maximum)) {
    throw Error(Error::Kind::kInvalidArgument,
                "Invalid property value: " + std::to_string(value) + " for the progress bar " +
                    std::string(layout_.controls[control].name) + ".");
  }
  progress_[control] = value;
  SendMessageA(controls_[control], PBM_SETPOS, static_cast<WPARAM>(std::lround(value)), 0);
}

void Window::SetTimerEnabled(int control, bool enabled) {
  const ControlLayout& timer = LayoutOf(control, ControlKind::kTimer);
  const auto id = static_cast<UINT_PTR>(kIdBase + control);
  if (enabled && timer.interval > 0) {
    SetTimer(hwnd_, id, static_cast<UINT>(timer.interval), nullptr);
  } else {
    KillTimer(hwnd_, id);
  }
  timer_on_[control] = enabled;
}

double Window::OuterWidth() const {
  RECT outer;
  GetWindowRect(hwnd_, &outer);
  return static_cast<double>(outer.right - outer.left) * kTwipsPerPixel;
}

double Window::OuterHeight() const {
  RECT outer;
  GetWindowRect(hwnd_, &outer);
  return static_cast<double>(outer.bottom - outer.top) * kTwipsPerPixel;
}

void Window::SetLeft(std::int32_t twips) {
  RECT outer;
  GetWindowRect(hwnd_, &outer);
  SetWindowPos(hwnd_, nullptr, Pixels(twips), outer.top, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Window::SetTop(std::int32_t twips) {
  RECT outer;
  GetWindowRect(hwnd_, &outer);
  SetWindowPos(hwnd_, nullptr, outer.left, Pixels(twips), 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Window::SetZOrder(std::int32_t insert_after) {
  SetWindowPos(hwnd_, reinterpret_cast<HWND>(static_cast<INT_PTR>(insert_after)), 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE);
}

void Window::ShowModal() {
  RethrowFailure();
  // The program's other windows take no input while this one is up.
  DisabledWindows disabled{hwnd_, {}};
  EnumThreadWindows(GetCurrentThreadId(), DisableOther, reinterpret_cast<LPARAM>(&disabled));

  end_modal_ = false;
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
  const std::shared_ptr<bool> alive = alive_;
  bool quit = false;
  WPARAM quit_code = 0;
  while (*alive && !end_modal_) {
    MSG message;
    const BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got == 0 || got == -1) {
      quit = true;
      quit_code = got == 0 ? message.wParam : 0;
      break;
    }
    if (!IsDialogMessageA(hwnd_, &message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  for (const HWND window : disabled.windows) {
    if (IsWindow(window)) EnableWindow(window, TRUE);
  }
  if (!*alive) return;
  if (quit) {
    PostQuitMessage(static_cast<int>(quit_code));  // for the loop further out, if any
    throw Error(Error::Kind::kNoDisplay,
                "The window system ended the message loop of " + std::string(layout_.name) + ".");
  }
  RethrowFailure();
}

void Window::Show() {
  end_modal_ = false;
  ShowWindow(hwnd_, SW_SHOW);
}

void Window::Hide() {
  ShowWindow(hwnd_, SW_HIDE);
  end_modal_ = true;
}

void Window::RethrowFailure() {
  if (failure_) {
    const std::exception_ptr failure = failure_;
    failure_ = nullptr;
    std::rethrow_exception(failure);
  }
}

void Window::Fire(Event event) {
  if (failure_) return;
  if (in_handler_) {
    deferred_.push_back(event);
    return;
  }
  const std::shared_ptr<bool> alive = alive_;
  in_handler_ = true;
  try {
    Dispatch(event);
    while (*alive && !deferred_.empty() && !end_modal_ && !failure_) {
      const Event next = deferred_.front();
      deferred_.pop_front();
      Dispatch(next);
    }
  } catch (...) {
    if (!*alive) return;  // the window went with the handler: nothing to report to
    failure_ = std::current_exception();
    end_modal_ = true;
  }
  if (!*alive) return;
  in_handler_ = false;
  if (end_modal_) deferred_.clear();
}

void Window::Dispatch(const Event& event) {
  switch (event.kind) {
    case EventKind::kClick:
      events_.OnClick(event.control);
      break;
    case EventKind::kTimer:
      if (timer_on_[event.control]) events_.OnTimer(event.control);
      break;
    case EventKind::kClose:
      events_.OnCloseRequest();
      break;
  }
}

void Window::OnCommand(WPARAM w_param, LPARAM l_param) {
  const int id = LOWORD(w_param);
  const int code = HIWORD(w_param);
  const auto from = reinterpret_cast<HWND>(l_param);
  if (!from) {
    // From the dialog manager: Enter clicks the push button or box that has
    // the focus (neither button is the default); Escape does nothing.
    if (id != IDOK) return;
    const HWND focus = GetFocus();
    const int row = RowOf(focus);
    if (row < 0 || !IsWindowEnabled(focus)) return;
    const ControlKind kind = layout_.controls[row].kind;
    if (kind == ControlKind::kButton || kind == ControlKind::kBox) {
      Fire({EventKind::kClick, row});
    }
    return;
  }
  const int row = RowOf(from);
  if (row < 0) return;
  switch (layout_.controls[row].kind) {
    case ControlKind::kLabel:
      if (code == STN_CLICKED) Fire({EventKind::kClick, row});
      break;
    case ControlKind::kOption:
      if (code == BN_CLICKED) {
        UpdateOptionTabStops(layout_.controls[row].container);
        Fire({EventKind::kClick, row});
      }
      break;
    case ControlKind::kCheck:
    case ControlKind::kButton:
    case ControlKind::kBox:
      if (code == BN_CLICKED) Fire({EventKind::kClick, row});
      break;
    default:
      break;
  }
}

LRESULT Window::OnMessage(HWND hwnd, UINT message, WPARAM w_param, LPARAM l_param) {
  switch (message) {
    case WM_COMMAND:
      OnCommand(w_param, l_param);
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      const auto dc = reinterpret_cast<HDC>(w_param);
      const int row = RowOf(reinterpret_cast<HWND>(l_param));
      const Colour* colour = row >= 0 ? layout_.controls[row].colour : nullptr;
      SetTextColor(
          dc, colour ? RGB(colour->red, colour->green, colour->blue) : GetSysColor(COLOR_BTNTEXT));
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_TIMER: {
      const int row = static_cast<int>(w_param) - kIdBase;
      if (row >= 0 && static_cast<std::size_t>(row) < timer_on_.size() && timer_on_[row]) {
        Fire({EventKind::kTimer, row});
      }
      return 0;
    }
    case WM_CLOSE:
      // The window stays: the handler decides.
      Fire({EventKind::kClose, -1});
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(w_param) == WA_INACTIVE) {
        const HWND focus = GetFocus();
        if (focus && IsChild(hwnd, focus)) saved_focus_ = focus;
      } else if (!HIWORD(w_param)) {
        if (saved_focus_ && IsWindow(saved_focus_) && IsChild(hwnd, saved_focus_) &&
            IsWindowVisible(saved_focus_) && IsWindowEnabled(saved_focus_)) {
          SetFocus(saved_focus_);
        } else {
          FocusFirst();
        }
      }
      return 0;
    default:
      return DefWindowProcA(hwnd, message, w_param, l_param);
  }
}

LRESULT CALLBACK Window::Proc(HWND hwnd, UINT message, WPARAM w_param, LPARAM l_param) {
  if (message == WM_NCCREATE) {
    auto* window = static_cast<Window*>(reinterpret_cast<CREATESTRUCTA*>(l_param)->lpCreateParams);
    window->hwnd_ = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
  }
  auto* window = reinterpret_cast<Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (message == WM_NCDESTROY) SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
  if (!window) return DefWindowProcA(hwnd, message, w_param, l_param);
  return window->OnMessage(hwnd, message, w_param, l_param);
}

}  // namespace

Toolkit::Toolkit() {
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_PROGRESS_CLASS;
  InitCommonControlsEx(&controls);
}

std::unique_ptr<IWindow> Toolkit::Create(const WindowLayout& layout, IWindowEvents& events) {
  return std::make_unique<Window>(layout, events);
}

}  // namespace liaison::win32
