// The FLTK windows on a real X server: built from the wizard's table, placed,
// clicked, typed at and closed as a user and a window manager would.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "XProbe.h"
#include "platform/Error.h"
#include "platform/fltk/FltkMessageBox.h"
#include "platform/fltk/FltkToolkit.h"
#include "wizard/Layout.h"

namespace liaison {
namespace {

using test::Rect;
using test::Rgb;
using test::WaitFor;
using test::XProbe;
using namespace std::chrono_literals;

const WindowLayout& Wizard() {
  return FrmChangeResLayout();
}
const std::string kCaption(Wizard().caption);

// The place of a control in the window's client area, in pixels, as the
// table lays it out (a box measures its children from inside its 2-pixel
// border).
Rect Place(int row) {
  const ControlLayout& control = Wizard().controls[static_cast<std::size_t>(row)];
  Rect place{control.left / kTwipsPerPixel, control.top / kTwipsPerPixel,
             control.width / kTwipsPerPixel, control.height / kTwipsPerPixel};
  for (int up = control.container; up >= 0;) {
    const ControlLayout& container = Wizard().controls[static_cast<std::size_t>(up)];
    const int inset = container.kind == ControlKind::kBox ? 2 : 0;
    place.x += container.left / kTwipsPerPixel + inset;
    place.y += container.top / kTwipsPerPixel + inset;
    up = container.container;
  }
  return place;
}

// The owner of a window under test: records what the window reports and
// answers as the test asks. Handlers run on the test's main thread.
class Owner : public IWindowEvents {
 public:
  IWindow* window = nullptr;
  std::atomic<int> ticks{0};
  std::atomic<int> closes{0};
  std::atomic<bool> hide_on_close{true};
  std::function<void(int)> on_click;  // after the click is recorded
  std::function<void()> on_timer;
  std::function<void()> on_close;

  void OnClick(int control) override {
    {
      std::lock_guard lock(mutex_);
      clicks_.push_back(control);
    }
    if (on_click) on_click(control);
  }
  void OnTimer(int) override {
    ++ticks;
    if (on_timer) on_timer();
  }
  void OnCloseRequest() override {
    ++closes;
    if (on_close) on_close();
    if (hide_on_close) window->Hide();
  }
  std::vector<int> Clicks() {
    std::lock_guard lock(mutex_);
    return clicks_;
  }

 private:
  std::mutex mutex_;
  std::vector<int> clicks_;
};

class FltkWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // The fixture's X server writes its display name into this file.
    std::ifstream file(LIAISON_FLTK_DISPLAY_FILE);
    std::string display;
    if (file >> display) setenv("DISPLAY", display.c_str(), 1);
  }

  void SetUp() override {
    window_ = toolkit_.Create(Wizard(), owner_);
    owner_.window = window_.get();
  }

  // Shows only `page` of the five, as the wizard does.
  void OnlyPage(int page) {
    for (int step = frm::frmStep0; step <= frm::frmStep4; ++step) {
      window_->SetVisible(step, step == page);
    }
  }

  // Runs the window modally on this thread while `user` acts from another
  // one, then makes sure that the modal loop ends: the user's last act is
  // the window manager's close, which the owner answers by hiding.
  void RunModal(const std::function<void(XProbe&, unsigned long window)>& user) {
    std::atomic<bool> returned{false};
    std::string user_failure;
    std::thread hand([&] {
      try {
        XProbe probe;
        const unsigned long window = probe.WaitForWindow(kCaption);
        if (window == 0) throw std::runtime_error("the window never came up");
        user(probe, window);
        owner_.hide_on_close = true;
        if (!returned) probe.SendClose(window);
      } catch (const std::exception& failure) {
        user_failure = failure.what();
        owner_.hide_on_close = true;
        try {
          XProbe probe;
          if (const unsigned long window = probe.WaitForWindow(kCaption, 100ms)) {
            probe.SendClose(window);
          }
        } catch (...) {
        }
      }
      if (!WaitFor([&] { return returned.load(); }, 10s)) {
        std::fprintf(stderr, "the modal loop did not end\n");
        std::abort();
      }
    });
    try {
      window_->ShowModal();
    } catch (...) {
      returned = true;
      hand.join();
      throw;
    }
    returned = true;
    hand.join();
    EXPECT_EQ(user_failure, "");
  }

  // The centre of a control on the screen.
  static void ClickOn(XProbe& probe, unsigned long window, int row) {
    const Rect client = probe.Geometry(window);
    const Rect place = Place(row);
    probe.Click(client.x + place.x + place.w / 2, client.y + place.y + place.h / 2);
  }

  FltkToolkit toolkit_;
  Owner owner_;
  std::unique_ptr<IWindow> window_;
};

TEST_F(FltkWindowTest, MapsCentredAtTheTableSizeAboveOtherWindowsWithItsIcon) {
  window_->SetZOrder(-1);
  window_->Show();
  XProbe probe;
  const unsigned long window = probe.WaitForWindow(kCaption);
  ASSERT_NE(window, 0u);

  // 5295 x 4380 twips; the frame the layout assumes is 3 pixels on the
  // sides and below and 22 above, and the outer frame is centred.
  const Rect client = probe.Geometry(window);
  const Rect screen = probe.Screen();
  EXPECT_EQ(client.w, 353);
  EXPECT_EQ(client.h, 292);
  EXPECT_EQ(client.x, (screen.w - (353 + 6)) / 2 + 3);
  EXPECT_EQ(client.y, (screen.h - (292 + 25)) / 2 + 22);
  EXPECT_DOUBLE_EQ(window_->OuterWidth(), 5295.0 + 2 * 45);
  EXPECT_DOUBLE_EQ(window_->OuterHeight(), 4380.0 + 330 + 45);

  // A window manager may not resize it.
  const XProbe::SizeHints hints = probe.NormalHints(window);
  EXPECT_TRUE(hints.has_min && hints.has_max);
  EXPECT_EQ(hints.min_w, 353);
  EXPECT_EQ(hints.max_w, 353);
  EXPECT_EQ(hints.min_h, 292);
  EXPECT_EQ(hints.max_h, 292);

  const std::vector<std::string> state = probe.Atoms(window, "_NET_WM_STATE");
  EXPECT_NE(std::find(state.begin(), state.end(), "_NET_WM_STATE_ABOVE"), state.end());

  // _NET_WM_ICON: width, height, then that many ARGB pixels, per image.
  const std::vector<long> icon = probe.Cardinals(window, "_NET_WM_ICON");
  std::vector<std::pair<long, long>> sizes;
  int opaque = 0;
  for (std::size_t at = 0; at + 2 <= icon.size();) {
    const long w = icon[at];
    const long h = icon[at + 1];
    sizes.emplace_back(w, h);
    for (long i = 0; i < w * h; ++i) {
      if (((icon[at + 2 + static_cast<std::size_t>(i)] >> 24) & 0xFF) == 0xFF) ++opaque;
    }
    at += 2 + static_cast<std::size_t>(w * h);
  }
  EXPECT_EQ(sizes, (std::vector<std::pair<long, long>>{{16, 16}, {32, 32}}));
  EXPECT_GT(opaque, 16 * 16 / 4);

  // The logic places the outer frame in twips (pixels rounded toward zero).
  window_->SetLeft(1514);
  window_->SetTop(-29);
  EXPECT_TRUE(WaitFor([&] {
    const Rect moved = probe.Geometry(window);
    return moved.x == 100 + 3 && moved.y == -1 + 22;
  }));

  window_.reset();
  EXPECT_TRUE(WaitFor([&] { return !probe.Showing(kCaption); }));
}

TEST_F(FltkWindowTest, ClicksReachTheirRowsAndADisabledButtonStaysSilent) {
  OnlyPage(frm::frmStep2);
  window_->SetEnabled(frm::cmdPrec, false);
  RunModal([&](XProbe& probe, unsigned long window) {
    ClickOn(probe, window, frm::cmdSuiv);
    ClickOn(probe, window, frm::cmdPrec);
    // The box around the word, away from the word's own label.
    const Rect client = probe.Geometry(window);
    const Rect box = Place(frm::cmdValider);
    probe.Click(client.x + box.x + 6, client.y + box.y + box.h / 2);
    ClickOn(probe, window, frm::Label6);
    ClickOn(probe, window, frm::Label5);
    ClickOn(probe, window, frm::Picture1);
    WaitFor([&] { return owner_.Clicks().size() >= 5; });
  });
  EXPECT_EQ(owner_.Clicks(), (std::vector<int>{frm::cmdSuiv, frm::cmdValider, frm::Label6,
                                               frm::Label5, frm::Picture1}));
}

TEST_F(FltkWindowTest, CloseRequestReachesTheOwnerAndEscapeDoesNothing) {
  owner_.hide_on_close = false;
  RunModal([&](XProbe& probe, unsigned long window) {
    probe.SendClose(window);
    if (!WaitFor([&] { return owner_.closes == 1; })) throw std::runtime_error("no close request");
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(probe.Showing(kCaption));

    const Rect client = probe.Geometry(window);
    probe.PointAt(client.x + client.w / 2, client.y + 4);
    XProbe::Keys("Escape");
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(probe.Showing(kCaption));
    EXPECT_EQ(owner_.closes, 1);
  });
  EXPECT_EQ(owner_.closes, 2);  // the one that ended the test
}

TEST_F(FltkWindowTest, KeyboardFollowsTheTabOrderAndEnterPressesTheFocusedButton) {
  OnlyPage(frm::frmStep0);
  bool second_option_chosen = false;
  bool first_option_chosen = true;
  owner_.on_click = [&](int control) {
    if (control == frm::cmdSuiv) {
      second_option_chosen = window_->IsChecked(frm::optnChoix2);
      first_option_chosen = window_->IsChecked(frm::optnChoix0);
    }
  };
  RunModal([&](XProbe& probe, unsigned long window) {
    const Rect client = probe.Geometry(window);
    probe.PointAt(client.x + client.w / 2, client.y + 4);
    // optnChoix0 has the focus first; then optnChoix2, cmdSuiv, cmdPrec.
    XProbe::Keys("Tab space Tab Return Tab space");
    WaitFor([&] { return owner_.Clicks().size() >= 2; });
  });
  EXPECT_EQ(owner_.Clicks(), (std::vector<int>{frm::cmdSuiv, frm::cmdPrec}));
  EXPECT_TRUE(second_option_chosen);
  EXPECT_FALSE(first_option_chosen);
}

TEST_F(FltkWindowTest, TimerTicksAboutTenTimesASecondOnlyWhileEnabled) {
  OnlyPage(frm::frmStep2);
  owner_.on_click = [&](int control) {
    if (control == frm::Label5) window_->SetTimerEnabled(frm::tmr1, true);
    if (control == frm::Label6) window_->SetTimerEnabled(frm::tmr1, false);
  };
  int while_disabled = -1;
  int in_two_seconds = -1;
  int after_stop = -1;
  int later = -1;
  RunModal([&](XProbe& probe, unsigned long window) {
    std::this_thread::sleep_for(600ms);
    while_disabled = owner_.ticks;

    ClickOn(probe, window, frm::Label5);
    WaitFor([&] { return owner_.ticks > 0; });
    const int first = owner_.ticks;
    std::this_thread::sleep_for(2s);
    in_two_seconds = owner_.ticks - first;

    ClickOn(probe, window, frm::Label6);
    WaitFor([&] { return owner_.Clicks().size() >= 2; });
    after_stop = owner_.ticks;
    std::this_thread::sleep_for(600ms);
    later = owner_.ticks;
  });
  EXPECT_EQ(while_disabled, 0);
  EXPECT_GE(in_two_seconds, 10);  // 20 expected at 100 ms
  EXPECT_LE(in_two_seconds, 30);
  EXPECT_EQ(later, after_stop);
}

struct Failure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

enum class Source { kClick, kTick, kClose };

class HandlerFailureTest : public FltkWindowTest, public ::testing::WithParamInterface<Source> {};

TEST_P(HandlerFailureTest, ComesOutOfShowModalAndTheWindowGoes) {
  OnlyPage(frm::frmStep2);
  owner_.on_click = [](int) { throw Failure("from a click"); };
  owner_.on_timer = [] { throw Failure("from a tick"); };
  owner_.on_close = [] { throw Failure("from a close request"); };
  owner_.hide_on_close = false;
  if (GetParam() == Source::kTick) window_->SetTimerEnabled(frm::tmr1, true);

  std::thread hand([&] {
    if (GetParam() == Source::kTick) return;  // the first tick fails by itself
    XProbe probe;
    const unsigned long window = probe.WaitForWindow(kCaption);
    if (window == 0) return;
    if (GetParam() == Source::kClick) ClickOn(probe, window, frm::cmdSuiv);
    if (GetParam() == Source::kClose) probe.SendClose(window);
  });
  EXPECT_THROW(window_->ShowModal(), Failure);
  hand.join();
  XProbe probe;
  EXPECT_TRUE(WaitFor([&] { return !probe.Showing(kCaption); }));
  // The next handler runs again.
  owner_.on_click = nullptr;
  owner_.on_timer = nullptr;
  owner_.on_close = nullptr;
  owner_.hide_on_close = true;
  if (GetParam() == Source::kTick) window_->SetTimerEnabled(frm::tmr1, true);
  RunModal([&](XProbe&, unsigned long) {});
}

INSTANTIATE_TEST_SUITE_P(Handlers, HandlerFailureTest,
                         ::testing::Values(Source::kClick, Source::kTick, Source::kClose),
                         [](const ::testing::TestParamInfo<Source>& info) {
                           switch (info.param) {
                             case Source::kClick:
                               return "Click";
                             case Source::kTick:
                               return "Tick";
                             case Source::kClose:
                               return "CloseRequest";
                           }
                           return "Unknown";
                         });

TEST_F(FltkWindowTest, ControlsKeepTheirStateAndRefuseWhatTheirKindLacks) {
  // As the table creates them.
  EXPECT_TRUE(window_->IsChecked(frm::optnChoix0));
  EXPECT_FALSE(window_->IsChecked(frm::optnChoix2));
  EXPECT_FALSE(window_->IsChecked(frm::chkAuto));
  EXPECT_FALSE(window_->IsChecked(frm::chkPasAff));
  EXPECT_EQ(window_->GetText(frm::lblResAct), "1024x768x32");
  EXPECT_EQ(window_->GetText(frm::Label1), "");
  EXPECT_EQ(window_->GetProgressMax(frm::pb1), 250.0f);
  EXPECT_EQ(window_->GetProgress(frm::pb1), 0.0f);

  // Texts come back as given, signs FLTK would read as symbols included.
  for (const int row : {frm::lblResAct, frm::optnChoix2, frm::chkAuto, frm::cmdSuiv}) {
    const std::string text = "Café @B 100% & co";
    window_->SetText(row, text);
    EXPECT_EQ(window_->GetText(row), text);
  }
  window_->SetProgress(frm::pb1, 249.0f);
  EXPECT_EQ(window_->GetProgress(frm::pb1), 249.0f);

  EXPECT_THROW(window_->SetProgress(frm::pb1, 251.0f), Error);
  EXPECT_THROW(window_->SetProgress(frm::pb1, -1.0f), Error);
  EXPECT_THROW(window_->SetText(frm::pb1, "x"), Error);
  EXPECT_THROW(window_->IsChecked(frm::cmdSuiv), Error);
  EXPECT_THROW(window_->SetTimerEnabled(frm::pb1, true), Error);
  EXPECT_THROW(window_->GetText(frm::kCount), Error);
}

// What the user sees of a page: counts of pixels of one colour in a control.
int Count(const std::vector<Rgb>& pixels, Rgb colour) {
  return static_cast<int>(std::count(pixels.begin(), pixels.end(), colour));
}

// Pixels that read as red, the smoothed edges of red letters included.
int Reddish(const std::vector<Rgb>& pixels) {
  return static_cast<int>(std::count_if(pixels.begin(), pixels.end(), [](const Rgb& pixel) {
    return pixel.red >= 200 && pixel.green <= 90 && pixel.blue <= 90;
  }));
}

TEST_F(FltkWindowTest, FailureTextIsRedAndTheBarFillsWithTheHighlight) {
  OnlyPage(frm::frmStep1);
  window_->SetVisible(frm::lblEchec, true);
  int pure_red = 0;
  int red_in_failure_text = 0;
  int red_in_announcement = 0;
  RunModal([&](XProbe& probe, unsigned long window) {
    std::this_thread::sleep_for(400ms);
    const std::vector<Rgb> failure_text = probe.Pixels(window, Place(frm::lblEchec));
    pure_red = Count(failure_text, Rgb{255, 0, 0});
    red_in_failure_text = Reddish(failure_text);
    red_in_announcement = Reddish(probe.Pixels(window, Place(frm::Label4)));
  });
  EXPECT_GT(pure_red, 20);
  EXPECT_GT(red_in_failure_text, 300);
  EXPECT_EQ(red_in_announcement, 0);

  OnlyPage(frm::frmStep2);
  window_->SetProgress(frm::pb1, 125.0f);  // half of 250
  const Rgb highlight{0x00, 0x78, 0xD7};
  int left_half = 0;
  int right_half = 0;
  RunModal([&](XProbe& probe, unsigned long window) {
    std::this_thread::sleep_for(400ms);
    Rect bar = Place(frm::pb1);
    // Left of the middle, and right of it beyond the bar's border.
    bar.w = bar.w / 2 - 4;
    left_half = Count(probe.Pixels(window, bar), highlight);
    bar.x += bar.w + 8;
    right_half = Count(probe.Pixels(window, bar), highlight);
  });
  const Rect bar = Place(frm::pb1);
  EXPECT_GT(left_half, (bar.w / 2 - 4) * bar.h / 2);
  EXPECT_EQ(right_half, 0);
}

TEST(FltkFonts, ArialIsRenderedByAnInstalledFamily) {
  const std::string family = FltkToolkit::ResolvedFamily("Arial");
  EXPECT_TRUE(family == "Arial" || family == "Liberation Sans") << family;
}

// --- The message box ---------------------------------------------------------

enum class Answer { kReturn, kSpace, kEscape, kClose };

class FltkMessageBoxTest : public ::testing::TestWithParam<Answer> {
 protected:
  static void SetUpTestSuite() {
    std::ifstream file(LIAISON_FLTK_DISPLAY_FILE);
    std::string display;
    if (file >> display) setenv("DISPLAY", display.c_str(), 1);
  }
};

TEST_P(FltkMessageBoxTest, ClosesOnTheUsersAnswerAndShowsTheErrorSignOnlyWhenAsked) {
  const std::string title = "Attention modification !!";
  const std::string text =
      "Votre résolution a été modifié depuis le dernier lancement de votre logiciel, Veuillez "
      "sauvegarder vos nouveaux paramètres";
  for (const std::uint32_t style : {IMessageBox::kOkOnly, IMessageBox::kIconError}) {
    SCOPED_TRACE(style);
    Rect box;
    Rect screen;
    int sign_pixels = -1;
    std::string failure;
    std::atomic<bool> returned{false};
    std::thread hand([&] {
      try {
        XProbe probe;
        const unsigned long window = probe.WaitForWindow(title);
        if (window == 0) throw std::runtime_error("no message box");
        box = probe.Geometry(window);
        screen = probe.Screen();
        std::this_thread::sleep_for(300ms);
        sign_pixels = Count(probe.Pixels(window, {0, 0, 56, box.h}), Rgb{0xC4, 0x2B, 0x1C});
        probe.PointAt(box.x + box.w / 2, box.y + 4);
        switch (GetParam()) {
          case Answer::kReturn:
            XProbe::Keys("Return");
            break;
          case Answer::kSpace:
            XProbe::Keys("space");
            break;
          case Answer::kEscape:
            XProbe::Keys("Escape");
            break;
          case Answer::kClose:
            probe.SendClose(window);
            break;
        }
      } catch (const std::exception& error) {
        failure = error.what();
      }
      if (!WaitFor([&] { return returned.load(); }, 10s)) {
        std::fprintf(stderr, "the message box did not close\n");
        std::abort();
      }
    });
    FltkMessageBox().Show(text, title, style);
    returned = true;
    hand.join();
    EXPECT_EQ(failure, "");
    // Sized to its text (wrapped, so wider than tall), centred.
    EXPECT_GT(box.w, box.h);
    EXPECT_LT(box.w, screen.w / 2);
    EXPECT_LE(std::abs(box.x + box.w / 2 - screen.w / 2), 1);
    EXPECT_LE(std::abs(box.y + box.h / 2 - screen.h / 2), 1);
    if (style == IMessageBox::kIconError) {
      EXPECT_GT(sign_pixels, 200);
    } else {
      EXPECT_EQ(sign_pixels, 0);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Answers, FltkMessageBoxTest,
                         ::testing::Values(Answer::kReturn, Answer::kSpace, Answer::kEscape,
                                           Answer::kClose),
                         [](const ::testing::TestParamInfo<Answer>& info) {
                           switch (info.param) {
                             case Answer::kReturn:
                               return "Enter";
                             case Answer::kSpace:
                               return "Space";
                             case Answer::kEscape:
                               return "Escape";
                             case Answer::kClose:
                               return "CloseButton";
                           }
                           return "Unknown";
                         });

}  // namespace
}  // namespace liaison
