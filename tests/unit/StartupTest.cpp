// What a run of the launcher does, from the display mode and the link file it
// finds: the mode afterwards, the link file, the registry, what was started.
#include <gtest/gtest.h>

#include <sstream>

#include "platform/Error.h"
#include "platform/memory/Memory.h"
#include "settings/LinkFile.h"
#include "startup/Module1.h"

namespace liaison {
namespace {

// Thrown by the test's script when the wizard shows, to stop the run there.
struct WizardShown {};

enum class End { kReturned, kEnded, kError, kWizard };

struct Outcome {
  End end;
  std::string error;
  Error::Kind kind = Error::Kind::kOverflow;
};

class StartupTest : public ::testing::Test {
 protected:
  void SetUpMachine(std::uint32_t width, std::uint32_t height, std::int16_t bits,
                    const std::string& keys) {
    machine = std::make_unique<memory::Machine>(width, height, bits);
    if (!keys.empty()) machine->LinkFile() = "[APPLICATIONS]\n" + keys;
    machine->toolkit.script.push_back([](memory::HeadlessWindow&) { throw WizardShown{}; });
  }

  Outcome RunMain() {
    Launcher launcher(machine->platform);
    try {
      launcher.Main();
      return {End::kReturned, ""};
    } catch (const memory::ProgramEnded&) {
      return {End::kEnded, ""};
    } catch (const WizardShown&) {
      return {End::kWizard, ""};
    } catch (const Error& error) {
      return {End::kError, error.what(), error.kind()};
    }
  }

  std::string Key(std::string_view key) {
    return OpenLinkFile(machine->platform).Get_Key_Of_Section("APPLICATIONS", key, "(absent)");
  }
  std::vector<std::string> Started() {
    std::vector<std::string> files;
    for (const auto& [file, style] : machine->process.started) {
      EXPECT_EQ(style, 2);
      files.push_back(file);
    }
    return files;
  }

  std::unique_ptr<memory::Machine> machine;
};

const std::vector<std::string> kNothing;
const std::vector<std::string> kAtelier{"/opt/app/Atelier"};

struct Case {
  const char* what;
  std::uint32_t width, height;
  std::int16_t bits;
  const char* keys;     // the link file's APPLICATIONS section
  const char* pas_aff;  // the registry's PasAff, or null for none
  End end;
  const char* mode_after;
  const char* res_origine_after;  // the wizard's first page records the mode it shows
  bool started;
};

TEST_F(StartupTest, EachRunDoesOneThing) {
  const char* app = "APPLICATION_NAME=Atelier\n";
  const Case cases[] = {
      // Large display.
      {"large, nothing recorded: record and start", 1280, 1024, 32, "APPLICATION_NAME=Atelier\n",
       nullptr, End::kEnded, "1280x1024x32", "1280x1024x32", true},
      {"large, recorded: forget", 1280, 1024, 32,
       "RES_ORIGINE=800x600x16\nAPPLICATION_NAME=Atelier\n", nullptr, End::kEnded, "1280x1024x32",
       "", false},
      {"1152x864 is large", 1152, 864, 32, app, nullptr, End::kEnded, "1152x864x32", "1152x864x32",
       true},
      {"1280x800 is large", 1280, 800, 32, app, nullptr, End::kEnded, "1280x800x32", "1280x800x32",
       true},
      // Small display, nothing recorded.
      {"1024x768: accepted as it is", 1024, 768, 16, app, nullptr, End::kReturned, "1024x768x16",
       "(absent)", true},
      {"1280x768 with PasAff: accepted", 1280, 768, 32, app, "OK", End::kReturned, "1280x768x32",
       "(absent)", true},
      {"1024x1024 with PasAff: accepted", 1024, 1024, 32, app, "OK", End::kReturned, "1024x1024x32",
       "(absent)", true},
      {"1280x768 without PasAff: wizard", 1280, 768, 32, app, nullptr, End::kWizard, "1280x768x32",
       "1280x768x32", false},
      {"PasAff \"ok\" is not OK: wizard", 1280, 768, 32, app, "ok", End::kWizard, "1280x768x32",
       "1280x768x32", false},
      {"800x600 with PasAff: still the wizard", 800, 600, 32, app, "OK", End::kWizard, "800x600x32",
       "800x600x32", false},
      {"1024x600 is too small: wizard", 1024, 600, 32, app, "OK", End::kWizard, "1024x600x32",
       "1024x600x32", false},
      {"800x600 with automatic change: switch and start", 800, 600, 16,
       "APPLICATION_NAME=Atelier\nAutoChangeRes=OK\n", nullptr, End::kReturned, "1024x768x16",
       "(absent)", true},
      {"no link file at all: the wizard", 800, 600, 16, "", nullptr, End::kWizard, "800x600x16",
       "800x600x16", false},
      // Small display, something recorded, no automatic change: put it back.
      {"put the recorded mode back", 800, 600, 32,
       "APPLICATION_NAME=Atelier\nAutoChangeRes=\nRES_ORIGINE=1280x1024x32\n", nullptr,
       End::kReturned, "1280x1024x32", "", false},
      {"\"ok\" is not OK: put back", 1024, 768, 16,
       "APPLICATION_NAME=Atelier\nAutoChangeRes=ok\nRES_ORIGINE=800x600x16\n", nullptr,
       End::kReturned, "800x600x16", "", false},
      {"blanks around the numbers are read", 1024, 768, 16,
       "APPLICATION_NAME=Atelier\nRES_ORIGINE=\" 800 x600x 16 \"\n", nullptr, End::kReturned,
       "800x600x16", "", false},
      // Automatic change on: the display alternates.
      {"at the recorded mode: switch to 1024x768 and start", 800, 600, 16,
       "APPLICATION_NAME=Atelier\nAutoChangeRes=OK\nRES_ORIGINE=800x600x16\n", nullptr,
       End::kReturned, "1024x768x16", "800x600x16", true},
      {"at 1024x768: back to the recorded mode", 1024, 768, 16,
       "APPLICATION_NAME=Atelier\nAutoChangeRes=OK\nRES_ORIGINE=800x600x16\n", nullptr,
       End::kReturned, "800x600x16", "800x600x16", false},
      {"recorded 1024x768 at 1024x768: nothing changes", 1024, 768, 32,
       "APPLICATION_NAME=Atelier\nAutoChangeRes=OK\nRES_ORIGINE=1024x768x32\n", nullptr,
       End::kReturned, "1024x768x32", "1024x768x32", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUpMachine(c.width, c.height, c.bits, c.keys);
    if (c.pas_aff != nullptr) machine->registry.SetText("PasAff", c.pas_aff);
    const Outcome run = RunMain();
    EXPECT_EQ(run.end, c.end) << run.error;
    EXPECT_EQ(machine->display.Mode(), c.mode_after);
    EXPECT_EQ(Key("RES_ORIGINE"), c.res_origine_after);
    EXPECT_EQ(Started(), c.started ? kAtelier : kNothing);
    EXPECT_TRUE(machine->message_box.shown.empty());
    EXPECT_EQ(machine->registry.OpenKeys(), 0u);
  }
}

TEST_F(StartupTest, ExactlyAtTheLimitNeitherTheRegistryNorTheWizardIsAsked) {
  SetUpMachine(1024, 768, 32, "APPLICATION_NAME=Atelier\n");
  EXPECT_EQ(RunMain().end, End::kReturned);
  EXPECT_EQ(machine->registry.reads, 0);
  EXPECT_EQ(machine->toolkit.created, 0);
  EXPECT_TRUE(machine->display.requests.empty());
}

TEST_F(StartupTest, ChangedModeWarnsForgetsAndChecksAgain) {
  SetUpMachine(800, 600, 32,
               "APPLICATION_NAME=Atelier\nAutoChangeRes=OK\nRES_ORIGINE=800x600x16\n");
  machine->registry.SetText("RES_LOGICIEL", "old");
  EXPECT_EQ(RunMain().end, End::kReturned);
  ASSERT_EQ(machine->message_box.shown.size(), 1u);
  EXPECT_EQ(machine->message_box.shown[0].title, "Attention modification !!");
  EXPECT_EQ(machine->message_box.shown[0].text,
            "Votre résolution a été modifié depuis le dernier lancement de votre logiciel, "
            "Veuillez sauvegarder vos nouveaux paramètres");
  EXPECT_EQ(machine->message_box.shown[0].style, 0u);
  for (const char* name : {"RES_ORIGINE", "RES_LOGICIEL", "AUTOCHANGERES"}) {
    EXPECT_EQ(machine->registry.Text(name), std::optional<std::string>("")) << name;
  }
  EXPECT_EQ(Key("RES_ORIGINE"), "");
  EXPECT_EQ(Key("AutoChangeRes"), "OK");
  // The check that follows still sees the automatic change, at the current depth.
  EXPECT_EQ(machine->display.Mode(), "1024x768x32");
  EXPECT_EQ(Started(), kAtelier);
}

struct BadValue {
  const char* what;
  const char* keys;
  Error::Kind kind;
  const char* res_origine_after;  // what the link file holds after the error
  const char* mode_after;
};

TEST_F(StartupTest, ValuesThatAreNoDisplayModeEndTheRunAtTheRightStep) {
  const BadValue cases[] = {
      {"one separator: fails before anything is written", "RES_ORIGINE=1024x768\n",
       Error::Kind::kInvalidArgument, "1024x768", "800x600x32"},
      {"no separator", "RES_ORIGINE=garbage\n", Error::Kind::kInvalidArgument, "garbage",
       "800x600x32"},
      {"height not a number", "RES_ORIGINE=800xtallx16\n", Error::Kind::kTypeMismatch,
       "800xtallx16", "800x600x32"},
      {"depth not a number", "RES_ORIGINE=800x600x\n", Error::Kind::kTypeMismatch, "800x600x",
       "800x600x32"},
      {"depth out of range", "RES_ORIGINE=800x600x99999\n", Error::Kind::kOverflow, "800x600x99999",
       "800x600x32"},
      {"width not a number: fails at the switch, after the write", "RES_ORIGINE=widex600x16\n",
       Error::Kind::kTypeMismatch, "", "800x600x32"},
      {"width too large for the display record", "RES_ORIGINE=99999999999x600x16\n",
       Error::Kind::kOverflow, "", "800x600x32"},
      {"automatic change, one separator: fails before the warning",
       "AutoChangeRes=OK\nRES_ORIGINE=1024x768\n", Error::Kind::kInvalidArgument, "1024x768",
       "800x600x32"},
  };
  for (const BadValue& c : cases) {
    SCOPED_TRACE(c.what);
    SetUpMachine(800, 600, 32, std::string("APPLICATION_NAME=Atelier\n") + c.keys);
    const Outcome run = RunMain();
    ASSERT_EQ(run.end, End::kError);
    EXPECT_EQ(run.kind, c.kind);
    // The report names the key, the value and the link file.
    EXPECT_NE(run.error.find("RES_ORIGINE"), std::string::npos) << run.error;
    EXPECT_NE(run.error.find("/opt/app/liaison.ini"), std::string::npos) << run.error;
    EXPECT_EQ(Key("RES_ORIGINE"), c.res_origine_after);
    EXPECT_EQ(machine->display.Mode(), c.mode_after);
    EXPECT_TRUE(machine->process.started.empty());
    EXPECT_TRUE(machine->message_box.shown.empty());
  }
}

TEST_F(StartupTest, WidthThatIsNoNumberGoesUnnoticedWhenTheModeChanged) {
  SetUpMachine(800, 600, 32,
               "APPLICATION_NAME=Atelier\nAutoChangeRes=OK\nRES_ORIGINE=widex600x16\n");
  EXPECT_EQ(RunMain().end, End::kReturned);
  EXPECT_EQ(machine->message_box.shown.size(), 1u);
  EXPECT_EQ(Started(), kAtelier);
}

TEST_F(StartupTest, ProgramThatCannotStartEndsTheRunAfterTheRecord) {
  SetUpMachine(1280, 1024, 32, "APPLICATION_NAME=\n");
  machine->process.failure = "No such file or directory";
  const Outcome run = RunMain();
  ASSERT_EQ(run.end, End::kError);
  EXPECT_EQ(run.kind, Error::Kind::kCannotStart);
  EXPECT_NE(run.error.find("\"/opt/app/\""), std::string::npos) << run.error;
  EXPECT_NE(run.error.find("No such file or directory"), std::string::npos) << run.error;
  EXPECT_NE(run.error.find("APPLICATION_NAME"), std::string::npos) << run.error;
  EXPECT_EQ(Key("RES_ORIGINE"), "1280x1024x32");
}

TEST_F(StartupTest, ApplicationNameIsReadAgainRightBeforeTheLaunch) {
  SetUpMachine(1280, 1024, 32, "APPLICATION_NAME=Atelier\n");
  machine->platform.suffix = ".exe";
  machine->program.folder = "C:\\Program Files\\Atelier";
  machine->platform.separator = '\\';
  machine->files.texts["C:\\Program Files\\Atelier\\liaison.ini"] =
      "[applications]\napplication_name = \"Mon Atelier\"\n";
  EXPECT_EQ(RunMain().end, End::kEnded);
  EXPECT_EQ(Started(), std::vector<std::string>{"C:\\Program Files\\Atelier\\Mon Atelier.exe"});
}

TEST_F(StartupTest, ErrorIsReportedOnStandardErrorAndInABox) {
  SetUpMachine(800, 600, 32, "APPLICATION_NAME=Atelier\nRES_ORIGINE=1024x768\n");
  std::ostringstream err;
  EXPECT_EQ(RunLauncher(machine->platform, err, true), 1);
  EXPECT_NE(err.str().find("RES_ORIGINE=\"1024x768\""), std::string::npos) << err.str();
  ASSERT_EQ(machine->message_box.shown.size(), 1u);
  EXPECT_EQ(machine->message_box.shown[0].style, IMessageBox::kIconError);
  EXPECT_NE(machine->message_box.shown[0].text.find("/opt/app/liaison.ini"), std::string::npos);

  SetUpMachine(800, 600, 32, "APPLICATION_NAME=Atelier\nRES_ORIGINE=1024x768\n");
  std::ostringstream quiet;
  EXPECT_EQ(RunLauncher(machine->platform, quiet, false), 1);
  EXPECT_TRUE(machine->message_box.shown.empty());

  SetUpMachine(1024, 768, 32, "APPLICATION_NAME=Atelier\n");
  std::ostringstream none;
  EXPECT_EQ(RunLauncher(machine->platform, none, true), 0);
  EXPECT_EQ(none.str(), "");
}

}  // namespace
}  // namespace liaison
