// The resolution wizard driven as a user would, on the headless toolkit: the
// pages, the buttons, the countdown, what it writes and where the run goes.
#include <gtest/gtest.h>

#include <set>

#include "platform/memory/Memory.h"
#include "settings/LinkFile.h"
#include "startup/Module1.h"
#include "wizard/FrmChangeRes.h"

namespace liaison {
namespace {

using memory::HeadlessWindow;
using Step = std::function<void(HeadlessWindow&)>;

constexpr int kPages[] = {frm::frmStep0, frm::frmStep1, frm::frmStep2, frm::frmStep3,
                          frm::frmStep4};

// The page on show, or -1 when none or several are.
int PageOnShow(const HeadlessWindow& w) {
  int page = -1;
  for (int i = 0; i < 5; ++i) {
    if (w.State(kPages[i]).visible) {
      if (page != -1) return -1;
      page = i;
    }
  }
  return page;
}

frmChangeRes& Wizard(HeadlessWindow& w) {
  return dynamic_cast<frmChangeRes&>(w.events());
}

void Click(HeadlessWindow& w, int control) {
  ASSERT_TRUE(w.Click(control)) << control;
}

enum class End { kReturned, kEnded };

class WizardTest : public ::testing::Test {
 protected:
  void SetUpMachine(std::uint32_t width, std::uint32_t height, std::int16_t bits,
                    const std::string& keys = "APPLICATION_NAME=Atelier\n") {
    machine = std::make_unique<memory::Machine>(width, height, bits);
    machine->LinkFile() = "[APPLICATIONS]\n" + keys;
  }

  void Then(Step step) { machine->toolkit.script.push_back(std::move(step)); }
  void ThenClick(int control) {
    Then([control](HeadlessWindow& w) { Click(w, control); });
  }
  void ThenTick(int times) {
    Then([times](HeadlessWindow& w) {
      for (int i = 0; i < times; ++i) ASSERT_TRUE(w.Tick(frm::tmr1)) << "tick " << i + 1;
    });
  }

  // A whole run of the launcher, which opens the wizard from a small display.
  End RunMain() {
    Launcher launcher(machine->platform);
    try {
      launcher.Main();
    } catch (const memory::ProgramEnded&) {
      return End::kEnded;
    }
    EXPECT_TRUE(machine->toolkit.script.empty()) << "the wizard closed before the script's end";
    return End::kReturned;
  }

  std::string Key(std::string_view key) {
    return OpenLinkFile(machine->platform).Get_Key_Of_Section("APPLICATIONS", key, "(absent)");
  }

  std::unique_ptr<memory::Machine> machine;
};

TEST_F(WizardTest, OpensOnPageZeroWithItsTexts) {
  SetUpMachine(800, 600, 16);
  Then([this](HeadlessWindow& w) {
    EXPECT_TRUE(w.modal);
    EXPECT_EQ(w.z_order, -1);
    EXPECT_EQ(PageOnShow(w), 0);
    EXPECT_FALSE(w.State(frm::cmdPrec).visible);
    EXPECT_EQ(w.GetText(frm::cmdSuiv), "Suivant >");
    EXPECT_EQ(w.GetText(frm::lblResMin), "1024x768x16");
    EXPECT_EQ(w.GetText(frm::lblResAct), "800x600x16");
    EXPECT_EQ(w.GetText(frm::Label1), "Atelier nécessite une résolution d'écran minimale :");
    EXPECT_EQ(w.GetText(frm::optnChoix2),
              "Ne pas changer ma résolution d'écran et quitter Atelier");
    EXPECT_EQ(w.GetText(frm::Label7),
              "Votre résolution d'écran a été modifiée. L'ancienne résolution sera restaurée "
              "lorsque vous quitterez ce programme. Atelier peut changer la résolution d'écran de "
              "manière automatique. Pour cela, cochez la case ci-dessous.");
    EXPECT_EQ(w.GetText(frm::chkAuto),
              "Je veux que la résolution de mon écran soit automatiquement modifiée aux prochains "
              "démarrages de Atelier.");
    EXPECT_EQ(w.GetText(frm::Label8),
              "Atelier va continuer à être exécuté et votre résolution ne sera pas modifiée. Pour "
              "ne plus voir apparaître cette fenêtre, cochez la case ci-dessous.");
    EXPECT_TRUE(w.IsChecked(frm::optnChoix0));
    EXPECT_FALSE(w.State(frm::tmr1).timer);
    EXPECT_EQ(Key("RES_ORIGINE"), "800x600x16");
  });
  ThenClick(frm::optnChoix2);
  ThenClick(frm::cmdSuiv);
  EXPECT_EQ(RunMain(), End::kEnded);
}

TEST_F(WizardTest, TypicalRunConfirmsAndAsksForAutomaticChange) {
  SetUpMachine(800, 600, 16);
  ThenClick(frm::cmdSuiv);
  Then([](HeadlessWindow& w) {
    EXPECT_EQ(PageOnShow(w), 1);
    EXPECT_FALSE(w.State(frm::lblEchec).visible);
    EXPECT_TRUE(w.State(frm::cmdPrec).visible);
  });
  ThenClick(frm::cmdSuiv);
  Then([this](HeadlessWindow& w) {
    EXPECT_EQ(PageOnShow(w), 2);
    EXPECT_EQ(machine->display.Mode(), "1024x768x16");
    EXPECT_FALSE(w.State(frm::cmdSuiv).enabled);
    EXPECT_FALSE(w.State(frm::cmdPrec).enabled);
    EXPECT_EQ(w.GetProgress(frm::pb1), 0.0f);
    EXPECT_EQ(Wizard(w).ChangeResult(), 0);
    // Centred for 1024x768: half the screen less half the window, in twips.
    EXPECT_EQ(w.left, 7680 - 5385 / 2);
    EXPECT_EQ(w.top, 5760 - 4755 / 2);
  });
  ThenTick(1);
  Then([](HeadlessWindow& w) { EXPECT_EQ(w.GetProgress(frm::pb1), 1.0f); });
  ThenClick(frm::Label6);
  Then([](HeadlessWindow& w) {
    EXPECT_EQ(PageOnShow(w), 3);
    EXPECT_FALSE(w.State(frm::tmr1).timer);
    EXPECT_EQ(w.GetText(frm::cmdSuiv), "Terminer >|");
    EXPECT_TRUE(w.State(frm::cmdSuiv).enabled);
    // No way back from here.
    EXPECT_TRUE(w.State(frm::cmdPrec).visible);
    EXPECT_FALSE(w.Click(frm::cmdPrec));
  });
  ThenClick(frm::chkAuto);
  ThenClick(frm::cmdSuiv);
  EXPECT_EQ(RunMain(), End::kReturned);
  EXPECT_EQ(machine->toolkit.window, nullptr);  // unloaded
  EXPECT_EQ(machine->display.Mode(), "1024x768x16");
  EXPECT_EQ(Key("AutoChangeRes"), "OK");
  EXPECT_EQ(Key("RES_ORIGINE"), "800x600x16");
  ASSERT_EQ(machine->process.started.size(), 1u);
  EXPECT_EQ(machine->process.started[0].first, "/opt/app/Atelier");

  // The two runs after it alternate the mode.
  EXPECT_EQ(RunMain(), End::kReturned);
  EXPECT_EQ(machine->display.Mode(), "800x600x16");
  EXPECT_EQ(machine->process.started.size(), 1u);
  EXPECT_EQ(RunMain(), End::kReturned);
  EXPECT_EQ(machine->display.Mode(), "1024x768x16");
  EXPECT_EQ(machine->process.started.size(), 2u);
  EXPECT_EQ(Key("RES_ORIGINE"), "800x600x16");
}

TEST_F(WizardTest, FinishingWithoutTheBoxWritesNothing) {
  SetUpMachine(800, 600, 16);
  ThenClick(frm::cmdSuiv);
  ThenClick(frm::cmdSuiv);
  ThenClick(frm::cmdValider);
  Then([this](HeadlessWindow&) { EXPECT_EQ(machine->profile.writes, 1); });
  ThenClick(frm::cmdSuiv);
  EXPECT_EQ(RunMain(), End::kReturned);
  EXPECT_EQ(machine->profile.writes, 1);
  EXPECT_EQ(Key("AutoChangeRes"), "(absent)");
  EXPECT_EQ(machine->display.Mode(), "1024x768x16");
  EXPECT_EQ(machine->process.started.size(), 1u);
}

TEST_F(WizardTest, UnconfirmedSwitchComesBackOnThe251stTick) {
  SetUpMachine(800, 600, 16);
  ThenClick(frm::cmdSuiv);
  ThenClick(frm::cmdSuiv);
  ThenTick(250);
  Then([this](HeadlessWindow& w) {
    EXPECT_EQ(w.GetProgress(frm::pb1), 250.0f);
    EXPECT_EQ(PageOnShow(w), 2);
    EXPECT_EQ(machine->display.Mode(), "1024x768x16");
  });
  ThenTick(1);
  Then([this](HeadlessWindow& w) {
    EXPECT_EQ(machine->display.Mode(), "800x600x16");
    EXPECT_EQ(PageOnShow(w), 1);
    EXPECT_TRUE(w.State(frm::lblEchec).visible);
    EXPECT_TRUE(Wizard(w).ShowEchec());
    EXPECT_FALSE(w.State(frm::tmr1).timer);
    EXPECT_TRUE(w.State(frm::cmdPrec).enabled);
    EXPECT_TRUE(w.State(frm::cmdSuiv).enabled);
    EXPECT_EQ(w.GetText(frm::cmdSuiv), "Suivant >");
    EXPECT_EQ(w.left, 6000 - 5385 / 2);
    EXPECT_EQ(w.top, 4500 - 4755 / 2);
  });
  // The failure text stays on every later visit; a new attempt starts from 0.
  ThenClick(frm::cmdPrec);
  ThenClick(frm::cmdSuiv);
  Then([](HeadlessWindow& w) { EXPECT_TRUE(w.State(frm::lblEchec).visible); });
  ThenClick(frm::cmdSuiv);
  Then([this](HeadlessWindow& w) {
    EXPECT_EQ(w.GetProgress(frm::pb1), 0.0f);
    EXPECT_EQ(machine->display.Mode(), "1024x768x16");
  });
  ThenClick(frm::cmdValider);
  ThenClick(frm::cmdSuiv);
  EXPECT_EQ(RunMain(), End::kReturned);
  EXPECT_EQ(machine->display.Mode(), "1024x768x16");
}

TEST_F(WizardTest, SwitchThatDidNotTakeExpiresOnTheSecondTick) {
  for (const bool refused : {false, true}) {
    SCOPED_TRACE(refused ? "refused" : "accepted but not taken");
    SetUpMachine(800, 600, 16);
    if (refused) {
      machine->display.refused_sizes.insert({1024, 768});
    } else {
      machine->display.ignore_changes = true;
    }
    ThenClick(frm::cmdSuiv);
    ThenClick(frm::cmdSuiv);
    Then([refused](HeadlessWindow& w) {
      EXPECT_EQ(w.GetProgress(frm::pb1), 249.0f);
      EXPECT_EQ(Wizard(w).ChangeResult(), refused ? IDisplay::kBadMode : 0);
    });
    ThenTick(1);
    Then([](HeadlessWindow& w) {
      EXPECT_EQ(w.GetProgress(frm::pb1), 250.0f);
      EXPECT_EQ(PageOnShow(w), 2);
    });
    ThenTick(1);
    Then([](HeadlessWindow& w) {
      EXPECT_EQ(PageOnShow(w), 1);
      EXPECT_TRUE(w.State(frm::lblEchec).visible);
    });
    ThenClick(frm::cmdPrec);
    ThenClick(frm::optnChoix2);
    ThenClick(frm::cmdSuiv);
    EXPECT_EQ(RunMain(), End::kEnded);
    EXPECT_EQ(machine->display.Mode(), "800x600x16");
    EXPECT_TRUE(machine->process.started.empty());
  }
}

TEST_F(WizardTest, ConfirmationBeforeTheExpiryStillLeadsOn) {
  SetUpMachine(800, 600, 16);
  machine->display.ignore_changes = true;
  ThenClick(frm::cmdSuiv);
  ThenClick(frm::cmdSuiv);
  ThenClick(frm::Label6);
  Then([](HeadlessWindow& w) { EXPECT_EQ(PageOnShow(w), 3); });
  ThenClick(frm::cmdSuiv);
  EXPECT_EQ(RunMain(), End::kReturned);
}

TEST_F(WizardTest, BackToPageZeroWritesTheStartModeAgain) {
  SetUpMachine(800, 600, 16);
  ThenClick(frm::cmdSuiv);
  Then([this](HeadlessWindow&) {
    EXPECT_EQ(machine->profile.writes, 1);
    OpenLinkFile(machine->platform).Set_Key_Of_Section("APPLICATIONS", "RES_ORIGINE", "edited");
  });
  ThenClick(frm::cmdPrec);
  Then([this](HeadlessWindow& w) {
    EXPECT_EQ(PageOnShow(w), 0);
    EXPECT_EQ(machine->profile.writes, 3);
    EXPECT_EQ(Key("RES_ORIGINE"), "800x600x16");
  });
  ThenClick(frm::optnChoix2);
  ThenClick(frm::cmdSuiv);
  EXPECT_EQ(RunMain(), End::kEnded);
}

struct QuitCase {
  const char* what;
  std::uint32_t width, height;
  const char* res_origine_after;
};

TEST_F(WizardTest, QuittingFromPageZeroStartsNothing) {
  const QuitCase cases[] = {
      {"too small: the page-0 record stays", 800, 600, "800x600x16"},
      {"large enough: the record is emptied", 1280, 768, ""},
  };
  for (const QuitCase& c : cases) {
    SCOPED_TRACE(c.what);
    SetUpMachine(c.width, c.height, 16);
    ThenClick(frm::optnChoix2);
    ThenClick(frm::cmdSuiv);
    EXPECT_EQ(RunMain(), End::kEnded);
    EXPECT_EQ(Key("RES_ORIGINE"), c.res_origine_after);
    EXPECT_TRUE(machine->process.started.empty());
    EXPECT_TRUE(machine->display.requests.empty());
  }
}

TEST_F(WizardTest, PageFourStoresTheChoiceAndLeadsBackToPageOne) {
  SetUpMachine(1280, 768, 16);
  Then([](HeadlessWindow& w) {
    Wizard(w).ShowStep(4);
    EXPECT_EQ(PageOnShow(w), 4);
    EXPECT_EQ(w.GetText(frm::cmdSuiv), "Terminer >|");
    EXPECT_TRUE(Wizard(w).LastStep());
  });
  ThenClick(frm::cmdPrec);
  Then([](HeadlessWindow& w) {
    EXPECT_EQ(PageOnShow(w), 1);
    EXPECT_EQ(w.GetText(frm::cmdSuiv), "Suivant >");
    Wizard(w).ShowStep(4);
  });
  ThenClick(frm::chkPasAff);
  ThenClick(frm::cmdSuiv);
  EXPECT_EQ(RunMain(), End::kReturned);
  EXPECT_EQ(machine->registry.Text("PasAff"), std::optional<std::string>("OK"));
  EXPECT_EQ(machine->registry.OpenKeys(), 0u);
  EXPECT_EQ(machine->process.started.size(), 1u);
}

struct CloseCase {
  const char* what;
  std::uint32_t width, height;
  int clicks_before;  // on "Suivant >"
  End end;
  const char* mode_after;
  const char* res_origine_after;
  bool started;
};

TEST_F(WizardTest, ClosingTheWindowNeverLeavesAnUnconfirmedMode) {
  const CloseCase cases[] = {
      {"page 0, too small", 800, 600, 0, End::kEnded, "800x600x16", "800x600x16", false},
      {"page 1, too small", 800, 600, 1, End::kEnded, "800x600x16", "800x600x16", false},
      {"countdown, too small", 800, 600, 2, End::kEnded, "800x600x16", "800x600x16", false},
      {"countdown, large enough", 1280, 768, 2, End::kEnded, "1280x768x16", "", false},
      {"page 0, large enough", 1280, 768, 0, End::kEnded, "1280x768x16", "", false},
  };
  for (const CloseCase& c : cases) {
    SCOPED_TRACE(c.what);
    SetUpMachine(c.width, c.height, 16);
    for (int i = 0; i < c.clicks_before; ++i) ThenClick(frm::cmdSuiv);
    Then([](HeadlessWindow& w) { w.RequestClose(); });
    EXPECT_EQ(RunMain(), c.end);
    EXPECT_EQ(machine->display.Mode(), c.mode_after);
    EXPECT_EQ(Key("RES_ORIGINE"), c.res_origine_after);
    EXPECT_EQ(!machine->process.started.empty(), c.started);
  }
}

TEST_F(WizardTest, ClosingAfterTheConfirmationFinishes) {
  SetUpMachine(800, 600, 16);
  ThenClick(frm::cmdSuiv);
  ThenClick(frm::cmdSuiv);
  ThenClick(frm::cmdValider);
  ThenClick(frm::chkAuto);
  Then([](HeadlessWindow& w) { w.RequestClose(); });
  EXPECT_EQ(RunMain(), End::kReturned);
  EXPECT_EQ(machine->display.Mode(), "1024x768x16");
  EXPECT_EQ(Key("AutoChangeRes"), "OK");
  EXPECT_EQ(machine->process.started.size(), 1u);
}

TEST_F(WizardTest, CentresForAnySizeTheDisplayReports) {
  SetUpMachine(800, 600, 16);
  Then([](HeadlessWindow& w) {
    frmChangeRes& wizard = Wizard(w);
    wizard.CenterForm(32767, 32767);
    EXPECT_EQ(w.left, 32767 * 15 / 2 - 5385 / 2);
    EXPECT_EQ(w.top, 32767 * 15 / 2 - 4755 / 2);
    wizard.CenterForm(100, 100);  // a screen smaller than the window
    EXPECT_EQ(w.left, 750 - 2692);
    EXPECT_EQ(w.top, 750 - 2377);
    // A size with a half rounds to the even neighbour before halving.
    w.outer_width_twips = 5386.5;
    wizard.CenterForm(1024, 768);
    EXPECT_EQ(w.left, 7680 - 5386 / 2);
  });
  ThenClick(frm::optnChoix2);
  ThenClick(frm::cmdSuiv);
  EXPECT_EQ(RunMain(), End::kEnded);
}

// The layout table as the window is created, before any of the wizard's code.
struct NoEvents : IWindowEvents {
  void OnClick(int) override {}
  void OnTimer(int) override {}
  void OnCloseRequest() override {}
};

TEST(WizardLayout, WindowAsCreated) {
  const WindowLayout& layout = FrmChangeResLayout();
  EXPECT_EQ(layout.Find("optnChoix", 0), frm::optnChoix0);
  EXPECT_EQ(layout.Find("optnChoix", 2), frm::optnChoix2);
  EXPECT_EQ(layout.Find("optnChoix", 1), -1);
  EXPECT_EQ(layout.Find("frmStep", 4), frm::frmStep4);
  EXPECT_EQ(layout.Find("Label6"), frm::Label6);

  std::set<int> tabs;
  for (const ControlLayout& c : layout.controls) {
    if (c.kind != ControlKind::kTimer) {
      EXPECT_TRUE(tabs.insert(c.tab_index).second) << c.name;
    }
  }
  EXPECT_EQ(tabs.size(), 25u);
  EXPECT_EQ(*tabs.begin(), 0);
  EXPECT_EQ(*tabs.rbegin(), 24);
  EXPECT_EQ(layout.controls[frm::frmStep0].left - layout.controls[frm::frmStep1].left, 120);
  EXPECT_EQ(layout.controls[frm::frmStep1].top - layout.controls[frm::frmStep4].top, 120);
  EXPECT_EQ(layout.controls[frm::Label6].container, frm::cmdValider);

  NoEvents events;
  memory::HeadlessWindow w(layout, events);
  EXPECT_FALSE(w.State(frm::tmr1).timer);
  EXPECT_EQ(w.GetProgress(frm::pb1), 0.0f);
  EXPECT_EQ(w.GetProgressMax(frm::pb1), 250.0f);
  EXPECT_FALSE(w.State(frm::lblEchec).visible);
  EXPECT_FALSE(w.State(frm::frmStep3).visible);
  EXPECT_TRUE(w.IsChecked(frm::optnChoix0));
  EXPECT_FALSE(w.IsChecked(frm::optnChoix2));
  EXPECT_FALSE(w.IsChecked(frm::chkAuto));
  EXPECT_FALSE(w.IsChecked(frm::chkPasAff));
  for (int empty : {frm::Label1, frm::Label7, frm::Label8, frm::chkAuto, frm::optnChoix2}) {
    EXPECT_EQ(w.GetText(empty), "") << empty;
  }
  EXPECT_EQ(w.GetText(frm::lblResMin), "1024x768x32");
  EXPECT_EQ(w.GetText(frm::lblResAct), "1024x768x32");
  EXPECT_NE(w.GetText(frm::Label4).find("le résolution d'écran"), std::string::npos);
  EXPECT_NE(w.GetText(frm::lblEchec).find("résolutin d'écran"), std::string::npos);
}

}  // namespace
}  // namespace liaison
