// Times how long a program takes to put its first window on the screen:
// from its start to the moment the window is mapped, and to the moment its
// whole area has been drawn. Watches the X server from outside, through a
// connection of its own: top-level maps through SubstructureNotify on the
// root window, drawing through the DAMAGE extension on the root window
// (every rectangle drawn anywhere on the screen).
//
//   liaison_window_timer [--verbose] [--timeout SECONDS] COMMAND [ARG...]
//
// Prints "MAP_MS DRAWN_MS WINDOW" on success; the window is the first
// ordinary (not override-redirect) top-level window that the command maps.
// The command is then ended with what it started (SIGTERM to its process
// group, SIGKILL to what lingers) and reaped.
// Exit status 1 when no window came up and was drawn within the timeout.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

// The process id that a window's _NET_WM_PID names, or 0.
long WindowPid(Display* display, Window window) {
  const Atom property = XInternAtom(display, "_NET_WM_PID", True);
  if (property == None) return 0;
  Atom type = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  long pid = 0;
  if (XGetWindowProperty(display, window, property, 0, 1, False, XA_CARDINAL, &type, &format,
                         &count, &after, &data) == Success &&
      type == XA_CARDINAL && format == 32 && count == 1 && data != nullptr) {
    pid = *reinterpret_cast<const long*>(data);
  }
  if (data) XFree(data);
  return pid;
}

// Whether process `pid` is `ancestor` or one of its descendants (the
// command may run the program that shows the window under another, such as
// a tracer).
bool DescendsFrom(long pid, pid_t ancestor) {
  for (int depth = 0; pid > 1 && depth < 64; ++depth) {
    if (pid == ancestor) return true;
    std::FILE* stat = std::fopen(("/proc/" + std::to_string(pid) + "/stat").c_str(), "r");
    if (stat == nullptr) return false;
    long parent = 0;
    // pid (comm) state ppid: comm may hold blanks and parentheses, so look
    // after the last ')'.
    char line[1024] = {};
    const bool read = std::fgets(line, sizeof line, stat) != nullptr;
    std::fclose(stat);
    const char* close = read ? std::strrchr(line, ')') : nullptr;
    if (close == nullptr || std::sscanf(close + 1, " %*c %ld", &parent) != 1) return false;
    pid = parent;
  }
  return false;
}

// Which pixels of the watched window have been drawn since it was mapped.
class Coverage {
 public:
  int x() const { return x_; }
  int y() const { return y_; }
  int w() const { return w_; }
  int h() const { return h_; }
  void Reset(int x, int y, int w, int h) {
    x_ = x;
    y_ = y;
    w_ = w;
    h_ = h;
    drawn_.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), false);
    missing_ = static_cast<long>(w) * h;
  }
  // Adds a rectangle in root coordinates; true once every pixel is drawn.
  bool Add(int x, int y, int w, int h) {
    const int left = std::max(x, x_);
    const int top = std::max(y, y_);
    const int right = std::min(x + w, x_ + w_);
    const int bottom = std::min(y + h, y_ + h_);
    for (int row = top; row < bottom; ++row) {
      for (int column = left; column < right; ++column) {
        auto cell = drawn_.begin() + (static_cast<long>(row - y_) * w_ + (column - x_));
        if (!*cell) {
          *cell = true;
          --missing_;
        }
      }
    }
    return missing_ == 0;
  }

 private:
  int x_ = 0, y_ = 0, w_ = 0, h_ = 0;
  std::vector<bool> drawn_;
  long missing_ = 1;
};

// Ends the command and whatever it started (its process group), and reaps it.
void EndChild(pid_t child, bool reaped) {
  kill(-child, SIGTERM);
  for (int i = 0; !reaped && i < 200; ++i) {
    int status = 0;
    reaped = waitpid(child, &status, WNOHANG) == child;
    if (!reaped) usleep(10000);
  }
  kill(-child, SIGKILL);
  if (!reaped) waitpid(child, nullptr, 0);
}

// Whether the area (root coordinates) shows more than one colour: a window
// that only its background fills is not drawn yet.
bool ShowsContent(Display* display, Window root, int x, int y, int w, int h) {
  XImage* image = XGetImage(display, root, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h),
                            AllPlanes, ZPixmap);
  if (image == nullptr) return false;
  const unsigned long first = XGetPixel(image, 0, 0);
  bool varied = false;
  for (int row = 0; row < h && !varied; ++row) {
    for (int column = 0; column < w && !varied; ++column) {
      varied = XGetPixel(image, column, row) != first;
    }
  }
  XDestroyImage(image);
  return varied;
}

}  // namespace

int main(int argc, char** argv) {
  bool verbose = false;
  double timeout_s = 20.0;
  int first = 1;
  while (first < argc && argv[first][0] == '-') {
    if (std::strcmp(argv[first], "--verbose") == 0) {
      verbose = true;
      ++first;
    } else if (std::strcmp(argv[first], "--timeout") == 0 && first + 1 < argc) {
      timeout_s = std::atof(argv[first + 1]);
      first += 2;
    } else if (std::strcmp(argv[first], "--") == 0) {
      ++first;
      break;
    } else {
      std::fprintf(stderr, "%s: unknown option %s\n", argv[0], argv[first]);
      return 2;
    }
  }
  if (first >= argc) {
    std::fprintf(stderr, "usage: %s [--verbose] [--timeout SECONDS] COMMAND [ARG...]\n", argv[0]);
    return 2;
  }

  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "%s: cannot open the display\n", argv[0]);
    return 2;
  }
  int damage_event = 0;
  int damage_error = 0;
  if (!XDamageQueryExtension(display, &damage_event, &damage_error)) {
    std::fprintf(stderr, "%s: the X server has no DAMAGE extension\n", argv[0]);
    return 2;
  }
  int major = 1;
  int minor = 1;
  XDamageQueryVersion(display, &major, &minor);
  const Window root = DefaultRootWindow(display);
  XSelectInput(display, root, SubstructureNotifyMask);
  const Damage damage = XDamageCreate(display, root, XDamageReportRawRectangles);
  XSync(display, False);

  // The command leads a process group of its own, so that what it starts
  // ends with it.
  posix_spawnattr_t spawn_attributes;
  posix_spawnattr_init(&spawn_attributes);
  posix_spawnattr_setflags(&spawn_attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&spawn_attributes, 0);
  pid_t child = 0;
  bool reaped = false;
  const Clock::time_point start = Clock::now();
  const int spawned =
      posix_spawnp(&child, argv[first], nullptr, &spawn_attributes, argv + first, environ);
  posix_spawnattr_destroy(&spawn_attributes);
  if (spawned != 0) {
    std::fprintf(stderr, "%s: cannot start %s\n", argv[0], argv[first]);
    return 2;
  }

  Window target = None;
  Clock::time_point mapped{};
  Clock::time_point drawn{};
  Coverage coverage;
  const Clock::time_point deadline =
      start + std::chrono::milliseconds(static_cast<long>(timeout_s * 1000));
  bool done = false;
  while (!done) {
    if (!XPending(display)) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) break;
      pollfd fd{ConnectionNumber(display), POLLIN, 0};
      poll(&fd, 1, static_cast<int>(std::min<long>(left.count(), 50)));
      int status = 0;
      if (waitpid(child, &status, WNOHANG) == child) {
        std::fprintf(stderr, "%s: the command ended (status %d) before its window was drawn\n",
                     argv[0], status);
        reaped = true;
        break;
      }
      continue;
    }
    XEvent event;
    XNextEvent(display, &event);
    const Clock::time_point now = Clock::now();
    if (event.type == MapNotify && event.xmap.event == root && target == None &&
        !event.xmap.override_redirect) {
      XWindowAttributes attributes;
      if (!XGetWindowAttributes(display, event.xmap.window, &attributes)) continue;
      const long pid = WindowPid(display, event.xmap.window);
      if (verbose) {
        std::fprintf(stderr, "%8.2f ms  map 0x%lx %dx%d+%d+%d pid %ld\n", Ms(start, now),
                     event.xmap.window, attributes.width, attributes.height, attributes.x,
                     attributes.y, pid);
      }
      if (attributes.width * attributes.height <= 4) continue;
      if (pid != 0 && !DescendsFrom(pid, child)) continue;
      target = event.xmap.window;
      mapped = now;
      coverage.Reset(attributes.x + attributes.border_width, attributes.y + attributes.border_width,
                     attributes.width, attributes.height);
    } else if (event.type == damage_event + XDamageNotify) {
      const auto& notify = reinterpret_cast<const XDamageNotifyEvent&>(event);
      if (verbose) {
        std::fprintf(stderr, "%8.2f ms  damage %dx%d+%d+%d\n", Ms(start, now), notify.area.width,
                     notify.area.height, notify.area.x, notify.area.y);
      }
      if (target != None &&
          coverage.Add(notify.area.x, notify.area.y, notify.area.width, notify.area.height)) {
        if (ShowsContent(display, root, coverage.x(), coverage.y(), coverage.w(), coverage.h())) {
          drawn = now;
          done = true;
        } else {
          // Only the background so far: wait for the program's own drawing.
          coverage.Reset(coverage.x(), coverage.y(), coverage.w(), coverage.h());
        }
      }
    }
  }
  XDamageDestroy(display, damage);
  XCloseDisplay(display);
  EndChild(child, reaped);
  if (!done) {
    if (target == None) {
      std::fprintf(stderr, "%s: no window within %.1f s\n", argv[0], timeout_s);
    } else {
      std::fprintf(stderr, "%s: window 0x%lx mapped after %.2f ms, not fully drawn within %.1f s\n",
                   argv[0], target, Ms(start, mapped), timeout_s);
    }
    return 1;
  }
  std::printf("%.3f %.3f 0x%lx\n", Ms(start, mapped), Ms(start, drawn), target);
  return 0;
}
