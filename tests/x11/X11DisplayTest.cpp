// The X11 layer against the project's test X server: every mode that a test
// expects is read back with `xrandr --current`, as a user would see it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <string>

#include "platform/x11/X11Display.h"

namespace liaison {
namespace {

constexpr std::uint32_t kSize = DM_PELSWIDTH | DM_PELSHEIGHT;
constexpr std::uint32_t kAll = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;

// Points DISPLAY at the test server: the one that CTest's fixture started, or
// one started by hand with `eval "$(scripts/lib/xserver.sh start)"`. Never a
// desktop's own display, whose modes these tests would change.
std::string UseTestServer() {
  std::ifstream file(LIAISON_X11_DISPLAY_FILE);
  std::string name;
  if (file >> name) {
    setenv("DISPLAY", name.c_str(), 1);
    return "";
  }
  if (std::getenv("LIAISON_XSERVER_DIR") != nullptr && std::getenv("DISPLAY") != nullptr) {
    return "";
  }
  return "no test X server: run the tests with ctest -L x11, or start one with "
         "eval \"$(scripts/lib/xserver.sh start)\"";
}

std::string Run(const std::string& command, int* status = nullptr) {
  std::string output;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return output;
  char buffer[4096];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  const int result = pclose(pipe);
  if (status != nullptr) *status = result;
  return output;
}

// What `xrandr --current` shows of the screen and of its connected output.
struct Shown {
  unsigned screen_width = 0, screen_height = 0;
  std::string output;
  bool primary = false;
  unsigned width = 0, height = 0;  // the current mode's
  double rate = 0;

  bool SameMode(const Shown& other) const {
    return screen_width == other.screen_width && screen_height == other.screen_height &&
           width == other.width && height == other.height && rate == other.rate;
  }
};

std::ostream& operator<<(std::ostream& out, const Shown& shown) {
  return out << "screen " << shown.screen_width << "x" << shown.screen_height << ", "
             << shown.output << (shown.primary ? " (primary) " : " ") << shown.width << "x"
             << shown.height << " at " << shown.rate << " Hz";
}

Shown Xrandr() {
  const std::string text = Run("xrandr --current");
  Shown shown;
  static const std::regex screen(R"(^Screen \d+: .*current (\d+) x (\d+),)");
  static const std::regex output(R"(^(\S+) connected (primary )?)");
  static const std::regex mode(R"(^\s+(\d+)x(\d+)\S*\s+(.*)$)");
  static const std::regex rate(R"(([0-9.]+)\*)");
  std::istringstream lines(text);
  std::string line;
  bool in_connected_output = false;
  std::smatch match;
  while (std::getline(lines, line)) {
    if (std::regex_search(line, match, screen)) {
      shown.screen_width = std::stoul(match[1]);
      shown.screen_height = std::stoul(match[2]);
    } else if (!line.empty() && line[0] != ' ') {
      in_connected_output = std::regex_search(line, match, output) && shown.output.empty();
      if (in_connected_output) {
        shown.output = match[1];
        shown.primary = match[2].matched;
      }
    } else if (in_connected_output && std::regex_search(line, match, mode)) {
      const std::string rates = match[3];
      const unsigned width = std::stoul(match[1]), height = std::stoul(match[2]);
      std::smatch current;
      if (std::regex_search(rates, current, rate)) {
        shown.width = width;
        shown.height = height;
        shown.rate = std::stod(current[1]);
      }
    }
  }
  EXPECT_FALSE(shown.output.empty()) << "xrandr --current gave:\n" << text;
  return shown;
}

// Sets the server's mode from outside, as a user would.
void XrandrSet(const std::string& arguments) {
  int status = -1;
  const std::string output = Run("xrandr " + arguments, &status);
  ASSERT_EQ(status, 0) << "xrandr " << arguments << ": " << output;
}

DISPLAY_MODE Request(std::uint32_t fields, std::uint32_t width, std::uint32_t height,
                     std::int16_t bits = 32, std::uint32_t frequency = 0) {
  DISPLAY_MODE mode{};
  mode.dmSize = sizeof mode;
  mode.dmFields = fields;
  mode.dmPelsWidth = width;
  mode.dmPelsHeight = height;
  mode.dmBitsPerPel = bits;
  mode.dmDisplayFrequency = frequency;
  return mode;
}

class X11DisplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string problem = UseTestServer();
    ASSERT_EQ(problem, "");
    std::string error;
    display_ = X11Display::Open(error);
    ASSERT_NE(display_, nullptr) << error;
  }

  DISPLAY_MODE Query() {
    DISPLAY_MODE mode{};
    EXPECT_TRUE(display_->QueryCurrent(mode));
    return mode;
  }

  std::unique_ptr<X11Display> display_;
};

TEST_F(X11DisplayTest, QueryReadsWhatXrandrShowsAfreshEveryTime) {
  // One connection stays open while xrandr switches the server underneath it.
  for (const char* start : {"-s 800x600 -r 75", "-s 1024x768 -r 60", "-s 1920x1080",
                            "-s 1024x768 -r 85", "-s 640x480"}) {
    SCOPED_TRACE(start);
    XrandrSet(start);
    const Shown shown = Xrandr();
    DISPLAY_MODE mode;
    std::memset(&mode, 0x5A, sizeof mode);
    ASSERT_TRUE(display_->QueryCurrent(mode));
    EXPECT_EQ(mode.dmPelsWidth, shown.width);
    EXPECT_EQ(mode.dmPelsHeight, shown.height);
    EXPECT_EQ(mode.dmDisplayFrequency, std::lround(shown.rate));
    EXPECT_EQ(mode.dmBitsPerPel, 32);  // depth 24
    EXPECT_EQ(mode.dmBitsPerPelHigh, 0);
    EXPECT_EQ(mode.dmFields, kAll);
    EXPECT_EQ(mode.dmDisplayFlags, 0u);
    EXPECT_EQ(mode.dmSize, 124);
    EXPECT_EQ(mode.dmDriverExtra, 0);
    EXPECT_EQ(mode.dmSpecVersion, 0x0401);
    // The output's name, then NULs to the end of the field.
    EXPECT_EQ(std::string(mode.dmDeviceName), shown.output);
    for (std::size_t i = shown.output.size(); i < sizeof mode.dmDeviceName; ++i) {
      EXPECT_EQ(mode.dmDeviceName[i], '\0') << "at " << i;
    }
  }
}

TEST_F(X11DisplayTest, ChangeSwitchesTheOutputAndFitsTheScreen) {
  XrandrSet("-s 800x600");
  std::string error;
  const auto idle_client = X11Display::Open(error);  // another client that just waits
  ASSERT_NE(idle_client, nullptr) << error;
  struct Step {
    unsigned width, height;
  };
  for (const Step step : {Step{1024, 768}, Step{640, 480}, Step{1920, 1080}, Step{1024, 600},
                          Step{1024, 1024}, Step{800, 600}}) {
    SCOPED_TRACE(testing::Message() << step.width << "x" << step.height);
    // As the launcher asks: the query's record with a new size.
    DISPLAY_MODE mode = Query();
    mode.dmFields = kSize | DM_BITSPERPEL;
    mode.dmPelsWidth = step.width;
    mode.dmPelsHeight = step.height;
    ASSERT_EQ(display_->Change(mode, IDisplay::kUpdateRegistry), 0);
    const Shown shown = Xrandr();
    EXPECT_EQ(shown.width, step.width);
    EXPECT_EQ(shown.height, step.height);
    EXPECT_EQ(shown.screen_width, step.width);
    EXPECT_EQ(shown.screen_height, step.height);
    const DISPLAY_MODE now = Query();
    EXPECT_EQ(now.dmPelsWidth, step.width);
    EXPECT_EQ(now.dmPelsHeight, step.height);
  }
}

struct FieldCase {
  const char* start;
  DISPLAY_MODE request;
  unsigned width, height;
  long rate;
};

TEST_F(X11DisplayTest, ChangeAppliesOnlyTheFieldsTheWordNames) {
  const FieldCase cases[] = {
      {"-s 1024x768 -r 60", Request(DM_PELSHEIGHT, 1, 600), 1024, 600, 60},
      {"-s 1024x768 -r 60", Request(DM_PELSWIDTH, 1280, 1), 1280, 768, 60},
      {"-s 800x600 -r 60", Request(kSize, 1024, 768, 16), 1024, 768, 60},
      {"-s 1024x768 -r 60", Request(DM_DISPLAYFREQUENCY, 0, 0, 0, 85), 1024, 768, 85},
      {"-s 1024x768 -r 60", Request(0, 800, 600, 16, 75), 1024, 768, 60},
  };
  for (const FieldCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.start << " word " << std::hex << c.request.dmFields);
    XrandrSet(c.start);
    EXPECT_EQ(display_->Change(c.request, IDisplay::kUpdateRegistry), 0);
    const Shown shown = Xrandr();
    EXPECT_EQ(shown.width, c.width);
    EXPECT_EQ(shown.height, c.height);
    EXPECT_EQ(std::lround(shown.rate), c.rate);
    EXPECT_EQ(shown.screen_width, c.width);
  }
}

TEST_F(X11DisplayTest, ChangeRefusesWhatTheOutputCannotShowAndTouchesNothing) {
  const DISPLAY_MODE refused[] = {
      Request(kSize | DM_BITSPERPEL, 1024, 768, 16),  // X cannot change its depth
      Request(kSize | DM_BITSPERPEL, 1024, 768, 24),  // depth, not bits per pixel
      Request(DM_BITSPERPEL, 0, 0, 8),
      Request(kSize, 1000, 700),  // no such mode
      Request(kSize, 1024, 769),
      Request(kSize, 600, 800),  // the output is not rotated
      Request(kSize, 0, 0),
      Request(DM_PELSWIDTH, 1920, 0),  // 1920x600
  };
  XrandrSet("-s 800x600 -r 75");
  const Shown before = Xrandr();
  for (const DISPLAY_MODE& request : refused) {
    SCOPED_TRACE(testing::Message()
                 << request.dmPelsWidth << "x" << request.dmPelsHeight << "x"
                 << request.dmBitsPerPel << " word " << std::hex << request.dmFields);
    EXPECT_EQ(display_->Change(request, IDisplay::kUpdateRegistry), IDisplay::kBadMode);
    const Shown after = Xrandr();
    EXPECT_TRUE(after.SameMode(before)) << "before: " << before << "\nafter: " << after;
  }
}

struct RateCase {
  const char* start;
  DISPLAY_MODE request;
  long rate;
};

TEST_F(X11DisplayTest, ChangeTakesTheRateClosestToTheRecordOrToTheCurrentOne) {
  // 1024x768 exists at 60, 75 and 85 Hz, 800x600 at 60 and 75 Hz, 1280x1024 at 60 Hz.
  const RateCase cases[] = {
      {"-s 800x600 -r 60", Request(kAll, 1024, 768, 32, 75), 75},
      {"-s 800x600 -r 60", Request(kAll, 1024, 768, 32, 85), 85},
      {"-s 800x600 -r 75", Request(kAll, 1024, 768, 32, 60), 60},
      {"-s 800x600 -r 60", Request(kAll, 1024, 768, 32, 70), 75},
      {"-s 800x600 -r 60", Request(kAll, 1024, 768, 32, 200), 85},
      {"-s 800x600 -r 60", Request(kAll, 1024, 768, 32, 20), 60},
      // Without the frequency in the word, or with 0 or 1 (the default), the current rate.
      {"-s 800x600 -r 75", Request(kSize, 1024, 768, 32, 60), 75},
      {"-s 800x600 -r 60", Request(kSize, 1024, 768, 32, 85), 60},
      {"-s 800x600 -r 75", Request(kAll, 1024, 768, 32, 1), 75},
      {"-s 800x600 -r 75", Request(kAll, 1024, 768, 32, 0), 75},
      // Only the rate changes.
      {"-s 1024x768 -r 85", Request(kAll, 1024, 768, 32, 61), 60},
      // A size that has one rate only takes it, whatever the record asks.
      {"-s 800x600 -r 75", Request(kAll, 1280, 1024, 32, 75), 60},
  };
  for (const RateCase& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.start << " to " << c.request.dmPelsWidth << "x" << c.request.dmPelsHeight
                 << " at " << c.request.dmDisplayFrequency << " word " << std::hex
                 << c.request.dmFields);
    XrandrSet(c.start);
    EXPECT_EQ(display_->Change(c.request, IDisplay::kUpdateRegistry), 0);
    const Shown shown = Xrandr();
    EXPECT_EQ(shown.width, c.request.dmPelsWidth);
    EXPECT_EQ(shown.height, c.request.dmPelsHeight);
    EXPECT_EQ(std::lround(shown.rate), c.rate);
    EXPECT_EQ(Query().dmDisplayFrequency, static_cast<std::uint32_t>(c.rate));
  }
}

TEST_F(X11DisplayTest, ChangeToTheCurrentModeKeepsItAndFitsALargerScreen) {
  XrandrSet("-s 1024x768 -r 75");
  const Shown before = Xrandr();
  EXPECT_EQ(display_->Change(Query(), IDisplay::kUpdateRegistry), 0);
  EXPECT_TRUE(Xrandr().SameMode(before));

  // A screen larger than the output's mode shrinks to it, as with xrandr -s.
  XrandrSet("--fb 1280x1024");
  ASSERT_EQ(Xrandr().screen_width, 1280u);
  EXPECT_EQ(display_->Change(Request(kSize, 1024, 768), 0), 0);
  const Shown after = Xrandr();
  EXPECT_EQ(after.screen_width, 1024u);
  EXPECT_EQ(after.screen_height, 768u);
  EXPECT_EQ(std::lround(after.rate), 75);
}

TEST_F(X11DisplayTest, BroadcastLeavesTheModeAsChanged) {
  XrandrSet("-s 800x600");
  ASSERT_EQ(display_->Change(Request(kSize, 1152, 864), 1), 0);
  display_->Broadcast(0x001B, 0, 0);
  display_->Broadcast(0x007E, 32, 1152 + 864 * 65536);
  const Shown shown = Xrandr();
  EXPECT_EQ(shown.width, 1152u);
  EXPECT_EQ(shown.screen_height, 864u);
}

// The test server's output, for the record: the dummy driver's first output
// is connected, primary, and the only one with a CRTC in use.
TEST_F(X11DisplayTest, TheTestServerHasAPrimaryDummyOutput) {
  const Shown shown = Xrandr();
  EXPECT_TRUE(shown.primary);
  EXPECT_EQ(std::string(Query().dmDeviceName), shown.output);
}

class ScopedDisplayVariable {
 public:
  explicit ScopedDisplayVariable(const char* value) {
    if (const char* old = std::getenv("DISPLAY")) old_ = old;
    if (value != nullptr) {
      setenv("DISPLAY", value, 1);
    } else {
      unsetenv("DISPLAY");
    }
  }
  ~ScopedDisplayVariable() {
    if (old_) {
      setenv("DISPLAY", old_->c_str(), 1);
    } else {
      unsetenv("DISPLAY");
    }
  }

 private:
  std::optional<std::string> old_;
};

TEST(X11DisplayOpen, NamesTheDisplayThatNoServerAnswersOn) {
  int number = 4000;
  while (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(number)) ||
         std::filesystem::exists("/tmp/.X" + std::to_string(number) + "-lock")) {
    ++number;
  }
  const std::string dead = ":" + std::to_string(number);
  struct Case {
    const char* value;
    std::string named;
  };
  for (const Case& c : {Case{dead.c_str(), "\"" + dead + "\""}, Case{nullptr, "(DISPLAY not set)"},
                        Case{"", "(DISPLAY not set)"}}) {
    SCOPED_TRACE(c.named);
    ScopedDisplayVariable variable(c.value);
    std::string error;
    EXPECT_EQ(X11Display::Open(error), nullptr);
    EXPECT_NE(error.find("cannot open the X display " + c.named), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace liaison
