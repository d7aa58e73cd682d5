#include "platform/x11/X11Display.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

namespace liaison {

namespace {

constexpr std::int32_t kChangeFailed = -1;  // DISP_CHANGE_FAILED

// Owners of the structures that XRandR allocates for its replies.
struct FreeResources {
  void operator()(XRRScreenResources* p) const { XRRFreeScreenResources(p); }
};
struct FreeOutputInfo {
  void operator()(XRROutputInfo* p) const { XRRFreeOutputInfo(p); }
};
struct FreeCrtcInfo {
  void operator()(XRRCrtcInfo* p) const { XRRFreeCrtcInfo(p); }
};
using Resources = std::unique_ptr<XRRScreenResources, FreeResources>;
using OutputInfo = std::unique_ptr<XRROutputInfo, FreeOutputInfo>;
using CrtcInfo = std::unique_ptr<XRRCrtcInfo, FreeCrtcInfo>;

// For the length of one operation, X protocol errors are recorded instead of
// going to Xlib's default handler, which would end the process. When the
// trap ends, every request sent so far has been handled by the server.
//
// A trap for requests that all wait for a reply needs no round trip of its
// own: an error reaches the client before the reply it stands for, and the
// failed request's reply comes back empty.
class ErrorTrap {
 public:
  enum class Rounds { kSync, kRepliesOnly };
  explicit ErrorTrap(Display* display, Rounds rounds = Rounds::kSync)
      : display_(display), sync_(rounds == Rounds::kSync) {
    if (sync_) XSync(display_, False);  // earlier errors go to the handler they were sent under
    error_code_ = 0;
    previous_ = XSetErrorHandler(&Record);
  }
  ~ErrorTrap() {
    if (sync_) XSync(display_, False);
    XSetErrorHandler(previous_);
  }
  ErrorTrap(const ErrorTrap&) = delete;
  ErrorTrap& operator=(const ErrorTrap&) = delete;

  // Waits until the server has handled every request; true when none failed.
  bool Sync() {
    XSync(display_, False);
    return error_code_ == 0;
  }
  bool Failed() const { return error_code_ != 0; }

 private:
  static int Record(Display*, XErrorEvent* event) {
    if (error_code_ == 0) error_code_ = event->error_code;
    return 0;
  }
  static inline int error_code_ = 0;
  Display* display_;
  bool sync_;
  XErrorHandler previous_;
};

// Other clients wait while the screen and the CRTC change together, so that
// none of them sees the one without the other.
class ServerGrab {
 public:
  explicit ServerGrab(Display* display) : display_(display) { XGrabServer(display_); }
  ~ServerGrab() { XUngrabServer(display_); }
  ServerGrab(const ServerGrab&) = delete;
  ServerGrab& operator=(const ServerGrab&) = delete;

 private:
  Display* display_;
};

const XRRModeInfo* FindMode(const XRRScreenResources& resources, RRMode id) {
  for (int i = 0; i < resources.nmode; ++i) {
    if (resources.modes[i].id == id) return &resources.modes[i];
  }
  return nullptr;
}

double RefreshRate(const XRRModeInfo& mode) {
  double lines = mode.vTotal;
  if (mode.modeFlags & RR_DoubleScan) lines *= 2;
  if (mode.modeFlags & RR_Interlace) lines /= 2;
  if (mode.hTotal == 0 || lines == 0) return 0;
  return static_cast<double>(mode.dotClock) / (mode.hTotal * lines);
}

// A mode's size on the screen under a CRTC's rotation.
struct Size {
  unsigned width;
  unsigned height;
};
Size SizeOnScreen(const XRRModeInfo& mode, Rotation rotation) {
  if (rotation & (RR_Rotate_90 | RR_Rotate_270)) return {mode.height, mode.width};
  return {mode.width, mode.height};
}

// The output that stands for "the display", with its CRTC and current mode.
struct Head {
  RROutput output_id;
  OutputInfo output;
  RRCrtc crtc_id;
  CrtcInfo crtc;
  const XRRModeInfo* mode;  // points into the resources
};

std::optional<Head> FindHead(Display* display, Window root, XRRScreenResources& resources) {
  OutputInfo output;
  RROutput id = XRRGetOutputPrimary(display, root);
  if (id != None) {
    output.reset(XRRGetOutputInfo(display, &resources, id));
    if (output && output->crtc == None) output.reset();
  }
  for (int i = 0; !output && i < resources.noutput; ++i) {
    id = resources.outputs[i];
    output.reset(XRRGetOutputInfo(display, &resources, id));
    if (output && (output->connection != RR_Connected || output->crtc == None)) output.reset();
  }
  if (!output) return std::nullopt;

  Head head{id, std::move(output), 0, nullptr, nullptr};
  head.crtc_id = head.output->crtc;
  head.crtc.reset(XRRGetCrtcInfo(display, &resources, head.crtc_id));
  if (!head.crtc || head.crtc->mode == None) return std::nullopt;
  head.mode = FindMode(resources, head.crtc->mode);
  if (head.mode == nullptr) return std::nullopt;
  return head;
}

// The fields that a query fills, from one record into another.
void CopyQueried(const DISPLAY_MODE& from, DISPLAY_MODE& to) {
  std::memcpy(to.dmDeviceName, from.dmDeviceName, sizeof to.dmDeviceName);
  to.dmSpecVersion = from.dmSpecVersion;
  to.dmDriverVersion = from.dmDriverVersion;
  to.dmSize = from.dmSize;
  to.dmDriverExtra = from.dmDriverExtra;
  to.dmFields = from.dmFields;
  to.dmBitsPerPel = from.dmBitsPerPel;
  to.dmBitsPerPelHigh = from.dmBitsPerPelHigh;
  to.dmPelsWidth = from.dmPelsWidth;
  to.dmPelsHeight = from.dmPelsHeight;
  to.dmDisplayFlags = from.dmDisplayFlags;
  to.dmDisplayFrequency = from.dmDisplayFrequency;
}

// Bits per pixel of the root window's depth in the server's pixmap formats.
int BitsPerPixel(Display* display) {
  const int depth = DefaultDepth(display, DefaultScreen(display));
  int bits = depth;
  int count = 0;
  XPixmapFormatValues* formats = XListPixmapFormats(display, &count);
  for (int i = 0; i < count; ++i) {
    if (formats[i].depth == depth) bits = formats[i].bits_per_pixel;
  }
  if (formats != nullptr) XFree(formats);
  return bits;
}

// Copies an 8-bit name into a fixed field, cut so that no multi-byte
// character is split and a NUL always follows.
void CopyName(char (&field)[32], const char* name, int length) {
  std::memset(field, 0, sizeof field);
  if (name == nullptr || length <= 0) return;
  std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(length), sizeof field - 1);
  if (n < static_cast<std::size_t>(length)) {
    while (n > 0 && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80) --n;
  }
  std::memcpy(field, name, n);
}

}  // namespace

struct X11Display::Impl {
  Display* display = nullptr;
  // The last answer, and the configuration times it was read at: while the
  // server reports the same times, no output or CRTC has changed since.
  bool known = false;
  Time timestamp = 0;
  Time config_timestamp = 0;
  DISPLAY_MODE last{};
  ~Impl() {
    if (display != nullptr) XCloseDisplay(display);
  }
  Window Root() const { return DefaultRootWindow(display); }
};

X11Display::X11Display(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
X11Display::~X11Display() = default;

std::unique_ptr<X11Display> X11Display::Open(std::string& error) {
  const char* name = XDisplayName(nullptr);  // DISPLAY, as Xlib reads it
  std::string shown = "(DISPLAY not set)";
  if (name != nullptr && *name != '\0') {
    shown.assign(1, '"').append(name).append(1, '"');
  }
  auto impl = std::make_unique<Impl>();
  impl->display = XOpenDisplay(nullptr);
  if (impl->display == nullptr) {
    error.assign("cannot open the X display ").append(shown);
    return nullptr;
  }
  int event_base = 0, error_base = 0, major = 0, minor = 0;
  if (!XRRQueryExtension(impl->display, &event_base, &error_base) ||
      !XRRQueryVersion(impl->display, &major, &minor) || major < 1 || (major == 1 && minor < 3)) {
    error.assign("the X display ").append(shown).append(" has no RandR 1.3 extension");
    return nullptr;
  }
  return std::unique_ptr<X11Display>(new X11Display(std::move(impl)));
}

void* X11Display::Connection() const {
  return impl_->display;
}

bool X11Display::QueryCurrent(DISPLAY_MODE& mode) {
  Display* display = impl_->display;
  ErrorTrap trap(display, ErrorTrap::Rounds::kRepliesOnly);
  const Resources resources(XRRGetScreenResourcesCurrent(display, impl_->Root()));
  if (!resources) return false;
  if (impl_->known && resources->timestamp == impl_->timestamp &&
      resources->configTimestamp == impl_->config_timestamp) {
    CopyQueried(impl_->last, mode);
    return true;
  }
  const auto head = FindHead(display, impl_->Root(), *resources);
  if (!head) return false;

  const Size size = SizeOnScreen(*head->mode, head->crtc->rotation);
  DISPLAY_MODE filled = mode;
  CopyName(filled.dmDeviceName, head->output->name, head->output->nameLen);
  filled.dmSpecVersion = 0x0401;
  filled.dmDriverVersion = 0;
  filled.dmSize = sizeof(DISPLAY_MODE);
  filled.dmDriverExtra = 0;
  filled.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
  filled.dmBitsPerPel = static_cast<std::int16_t>(BitsPerPixel(display));
  filled.dmBitsPerPelHigh = 0;
  filled.dmPelsWidth = size.width;
  filled.dmPelsHeight = size.height;
  filled.dmDisplayFlags = 0;
  filled.dmDisplayFrequency = static_cast<std::uint32_t>(std::lround(RefreshRate(*head->mode)));
  mode = filled;
  impl_->last = filled;
  impl_->timestamp = resources->timestamp;
  impl_->config_timestamp = resources->configTimestamp;
  impl_->known = true;
  return true;
}

std::int32_t X11Display::Change(const DISPLAY_MODE& wanted, std::uint32_t /*flags*/) {
  // The flags can only ask to record the mode as the display's setting,
  // which has no persistent counterpart on an X server.
  Display* display = impl_->display;
  const Window root = impl_->Root();
  ErrorTrap trap(display);
  ServerGrab grab(display);  // released before the trap's final round trip

  const Resources resources(XRRGetScreenResourcesCurrent(display, root));
  if (!resources) return kChangeFailed;
  const auto head = FindHead(display, root, *resources);
  if (!head || trap.Failed()) return kChangeFailed;
  const XRRCrtcInfo& crtc = *head->crtc;

  if ((wanted.dmFields & DM_BITSPERPEL) && wanted.dmBitsPerPel != BitsPerPixel(display)) {
    return IDisplay::kBadMode;
  }
  const Size current = SizeOnScreen(*head->mode, crtc.rotation);
  const unsigned width = (wanted.dmFields & DM_PELSWIDTH) ? wanted.dmPelsWidth : current.width;
  const unsigned height = (wanted.dmFields & DM_PELSHEIGHT) ? wanted.dmPelsHeight : current.height;
  // 0 and 1 stand for the hardware's default rate, as on Windows: keep the current one.
  const double rate = (wanted.dmFields & DM_DISPLAYFREQUENCY) && wanted.dmDisplayFrequency > 1
                          ? wanted.dmDisplayFrequency
                          : RefreshRate(*head->mode);

  // Among the output's modes of that size, the one closest to the rate; on a
  // tie the current mode, then the output's order of preference.
  const XRRModeInfo* chosen = nullptr;
  double chosen_distance = 0;
  for (int i = 0; i < head->output->nmode; ++i) {
    const XRRModeInfo* candidate = FindMode(*resources, head->output->modes[i]);
    if (candidate == nullptr) continue;
    const Size size = SizeOnScreen(*candidate, crtc.rotation);
    if (size.width != width || size.height != height) continue;
    const double distance = std::fabs(RefreshRate(*candidate) - rate);
    if (chosen == nullptr || distance < chosen_distance ||
        (distance == chosen_distance && candidate->id == crtc.mode)) {
      chosen = candidate;
      chosen_distance = distance;
    }
  }
  if (chosen == nullptr) return IDisplay::kBadMode;

  // The screen after the change: the box around every CRTC that stays on,
  // this one at its place in the new mode.
  const Size next = SizeOnScreen(*chosen, crtc.rotation);
  int screen_width = crtc.x + static_cast<int>(next.width);
  int screen_height = crtc.y + static_cast<int>(next.height);
  // The other lit outputs, in one request rather than one per CRTC.
  int monitor_count = 0;
  XRRMonitorInfo* monitors = XRRGetMonitors(display, root, True, &monitor_count);
  for (int i = 0; i < monitor_count; ++i) {
    const XRRMonitorInfo& monitor = monitors[i];
    bool ours = false;
    for (int o = 0; o < monitor.noutput; ++o) ours = ours || monitor.outputs[o] == head->output_id;
    if (ours) continue;
    screen_width = std::max(screen_width, monitor.x + monitor.width);
    screen_height = std::max(screen_height, monitor.y + monitor.height);
  }
  if (monitors != nullptr) XRRFreeMonitors(monitors);
  int min_width = 0, min_height = 0, max_width = 0, max_height = 0;
  if (!XRRGetScreenSizeRange(display, root, &min_width, &min_height, &max_width, &max_height)) {
    return kChangeFailed;
  }
  screen_width = std::max(screen_width, min_width);
  screen_height = std::max(screen_height, min_height);
  if (screen_width > max_width || screen_height > max_height) return kChangeFailed;

  Window ignored_root = 0;
  int ignored_x = 0, ignored_y = 0;
  unsigned old_width = 0, old_height = 0, ignored_border = 0, ignored_depth = 0;
  if (!XGetGeometry(display, root, &ignored_root, &ignored_x, &ignored_y, &old_width, &old_height,
                    &ignored_border, &ignored_depth)) {
    return kChangeFailed;
  }
  const bool same_mode = chosen->id == crtc.mode;
  const bool same_screen = static_cast<unsigned>(screen_width) == old_width &&
                           static_cast<unsigned>(screen_height) == old_height;
  if (same_mode && same_screen) return 0;

  // Keep the screen's resolution in dots per inch, as xrandr does.
  const int screen = DefaultScreen(display);
  const int old_width_mm = DisplayWidthMM(display, screen);
  const int old_height_mm = DisplayHeightMM(display, screen);
  const auto millimetres = [](int pixels, int reference_pixels, int reference_mm) {
    if (reference_pixels <= 0 || reference_mm <= 0)
      return static_cast<int>(pixels * 25.4 / 96 + 0.5);
    return static_cast<int>(static_cast<double>(pixels) * reference_mm / reference_pixels + 0.5);
  };
  const int width_mm = millimetres(screen_width, DisplayWidth(display, screen), old_width_mm);
  const int height_mm = millimetres(screen_height, DisplayHeight(display, screen), old_height_mm);

  const auto set_crtc = [&](RRMode mode) {
    const Status status =
        mode == None
            ? XRRSetCrtcConfig(display, resources.get(), head->crtc_id, CurrentTime, 0, 0, None,
                               RR_Rotate_0, nullptr, 0)
            : XRRSetCrtcConfig(display, resources.get(), head->crtc_id, CurrentTime, crtc.x, crtc.y,
                               mode, crtc.rotation, crtc.outputs, crtc.noutput);
    return status == RRSetConfigSuccess && trap.Sync();
  };
  // Best effort back to the old state after a refused step.
  const auto restore = [&] {
    XRRSetScreenSize(display, root, static_cast<int>(old_width), static_cast<int>(old_height),
                     old_width_mm, old_height_mm);
    set_crtc(crtc.mode);
    return kChangeFailed;
  };

  // As xrandr: a CRTC that would not fit the new screen is switched off
  // before the screen changes size, and set after it.
  const bool fits = crtc.x + static_cast<int>(crtc.width) <= screen_width &&
                    crtc.y + static_cast<int>(crtc.height) <= screen_height;
  bool crtc_off = false;
  if (!same_mode && !fits) {
    if (!set_crtc(None)) return restore();
    crtc_off = true;
  }
  if (!same_screen) {
    XRRSetScreenSize(display, root, screen_width, screen_height, width_mm, height_mm);
    if (!trap.Sync()) return restore();
  }
  if (!same_mode || crtc_off) {
    if (!set_crtc(chosen->id)) return restore();
  }
  return 0;
}

void X11Display::Broadcast(std::uint32_t /*message*/, std::uintptr_t /*w_param*/,
                           std::intptr_t /*l_param*/) {
  // RandR clients hear of a change from the server; a round trip makes sure
  // that it has been applied.
  ErrorTrap trap(impl_->display);
}

}  // namespace liaison
