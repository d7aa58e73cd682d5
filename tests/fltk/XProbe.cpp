#include "XProbe.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <thread>

namespace liaison::test {

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= end) return done();
    std::this_thread::sleep_for(20ms);
  }
}

struct XProbe::Impl {
  Display* display = nullptr;
};

namespace {

// Reads a whole property; empty when the window lacks it.
std::vector<unsigned char> ReadProperty(Display* display, Window window, const char* name,
                                        Atom wanted, int& format, unsigned long& count) {
  std::vector<unsigned char> bytes;
  count = 0;
  format = 0;
  const Atom property = XInternAtom(display, name, False);
  Atom type = None;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, window, property, 0, 1 << 20, False, wanted, &type, &format,
                         &count, &after, &data) != Success) {
    return bytes;
  }
  if (data != nullptr) {
    const std::size_t unit = format == 32 ? sizeof(long) : static_cast<std::size_t>(format / 8);
    bytes.assign(data, data + count * unit);
    XFree(data);
  }
  return bytes;
}

}  // namespace

XProbe::XProbe() : impl_(new Impl) {
  // A window may go between the listing of the windows and a look at one of
  // them: such errors are no failure of the probe.
  XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  impl_->display = XOpenDisplay(nullptr);
  if (impl_->display == nullptr) {
    delete impl_;
    throw std::runtime_error("no X display for the probe");
  }
}

XProbe::~XProbe() {
  XCloseDisplay(impl_->display);
  delete impl_;
}

std::vector<unsigned long> XProbe::TopLevels() {
  Display* display = impl_->display;
  std::vector<unsigned long> found;
  // Without a window manager the program's windows are children of the
  // root; a reparenting manager puts them one level further down.
  std::function<void(Window, int)> walk = [&](Window parent, int depth) {
    Window root_return = 0;
    Window parent_return = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, parent, &root_return, &parent_return, &children, &count)) return;
    for (unsigned int i = 0; i < count; ++i) {
      found.push_back(children[i]);
      if (depth < 1) walk(children[i], depth + 1);
    }
    if (children) XFree(children);
  };
  walk(DefaultRootWindow(display), 0);
  return found;
}

bool XProbe::Showing(const std::string& title) {
  Display* display = impl_->display;
  XSync(display, False);
  for (const unsigned long window : TopLevels()) {
    const std::vector<long> pid = Cardinals(window, "_NET_WM_PID");
    if (pid.size() != 1 || pid[0] != static_cast<long>(getpid())) continue;
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, window, &attributes)) continue;
    if (attributes.map_state == IsViewable && Title(window) == title) return true;
  }
  return false;
}

unsigned long XProbe::WaitForWindow(const std::string& title, std::chrono::milliseconds timeout) {
  unsigned long result = 0;
  WaitFor(
      [&] {
        XSync(impl_->display, False);
        for (const unsigned long window : TopLevels()) {
          const std::vector<long> pid = Cardinals(window, "_NET_WM_PID");
          if (pid.size() != 1 || pid[0] != static_cast<long>(getpid())) continue;
          XWindowAttributes attributes{};
          if (!XGetWindowAttributes(impl_->display, window, &attributes)) continue;
          if (attributes.map_state == IsViewable && Title(window) == title) {
            result = window;
            return true;
          }
        }
        return false;
      },
      timeout);
  return result;
}

Rect XProbe::Geometry(unsigned long window) {
  Display* display = impl_->display;
  XWindowAttributes attributes{};
  XGetWindowAttributes(display, window, &attributes);
  int x = 0;
  int y = 0;
  Window child = 0;
  XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
  return {x, y, attributes.width, attributes.height};
}

Rect XProbe::Screen() {
  Display* display = impl_->display;
  XWindowAttributes attributes{};
  XGetWindowAttributes(display, DefaultRootWindow(display), &attributes);
  return {0, 0, attributes.width, attributes.height};
}

std::string XProbe::Title(unsigned long window) {
  int format = 0;
  unsigned long count = 0;
  const auto bytes = ReadProperty(impl_->display, window, "_NET_WM_NAME",
                                  XInternAtom(impl_->display, "UTF8_STRING", False), format, count);
  return std::string(bytes.begin(), bytes.end());
}

std::vector<std::string> XProbe::Atoms(unsigned long window, const char* property) {
  int format = 0;
  unsigned long count = 0;
  const auto bytes = ReadProperty(impl_->display, window, property, XA_ATOM, format, count);
  std::vector<std::string> names;
  const auto* atoms = reinterpret_cast<const Atom*>(bytes.data());
  for (unsigned long i = 0; i < count; ++i) {
    char* name = XGetAtomName(impl_->display, atoms[i]);
    names.emplace_back(name ? name : "");
    if (name) XFree(name);
  }
  return names;
}

std::vector<long> XProbe::Cardinals(unsigned long window, const char* property) {
  int format = 0;
  unsigned long count = 0;
  const auto bytes = ReadProperty(impl_->display, window, property, XA_CARDINAL, format, count);
  const auto* values = reinterpret_cast<const long*>(bytes.data());
  return std::vector<long>(values, values + count);
}

XProbe::SizeHints XProbe::NormalHints(unsigned long window) {
  SizeHints result;
  XSizeHints hints{};
  long supplied = 0;
  if (!XGetWMNormalHints(impl_->display, window, &hints, &supplied)) return result;
  result.has_min = (hints.flags & PMinSize) != 0;
  result.has_max = (hints.flags & PMaxSize) != 0;
  result.min_w = hints.min_width;
  result.min_h = hints.min_height;
  result.max_w = hints.max_width;
  result.max_h = hints.max_height;
  return result;
}

std::vector<Rgb> XProbe::Pixels(unsigned long window, const Rect& area) {
  std::vector<Rgb> pixels;
  XImage* image = XGetImage(impl_->display, window, area.x, area.y, static_cast<unsigned>(area.w),
                            static_cast<unsigned>(area.h), AllPlanes, ZPixmap);
  if (image == nullptr) return pixels;
  for (int y = 0; y < area.h; ++y) {
    for (int x = 0; x < area.w; ++x) {
      const unsigned long pixel = XGetPixel(image, x, y);
      // The test server's visual is 24-bit true colour.
      pixels.push_back({static_cast<std::uint8_t>((pixel >> 16) & 0xFF),
                        static_cast<std::uint8_t>((pixel >> 8) & 0xFF),
                        static_cast<std::uint8_t>(pixel & 0xFF)});
    }
  }
  XDestroyImage(image);
  return pixels;
}

void XProbe::SendClose(unsigned long window) {
  Display* display = impl_->display;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
  XFlush(display);
}

namespace {

void Run(const std::string& command) {
  if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
}

}  // namespace

void XProbe::PointAt(int root_x, int root_y) {
  Run("xdotool mousemove " + std::to_string(root_x) + " " + std::to_string(root_y));
  Display* display = impl_->display;
  WaitFor([&] {
    Window root = 0;
    Window child = 0;
    int x = -1;
    int y = -1;
    int window_x = 0;
    int window_y = 0;
    unsigned int mask = 0;
    XQueryPointer(display, DefaultRootWindow(display), &root, &child, &x, &y, &window_x, &window_y,
                  &mask);
    return x == root_x && y == root_y;
  });
}

void XProbe::Click(int root_x, int root_y) {
  PointAt(root_x, root_y);
  Run("xdotool click 1");
}

void XProbe::Keys(const std::string& keys) {
  Run("xdotool key --delay 60 " + keys);
}

}  // namespace liaison::test
