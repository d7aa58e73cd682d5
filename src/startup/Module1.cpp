#include "startup/Module1.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include "display/ChangeRes.h"
#include "platform/Error.h"
#include "settings/LinkFile.h"
#include "settings/Registry.h"

namespace liaison {
namespace {

constexpr std::string_view kWarningText =
    "Votre résolution a été modifié depuis le dernier lancement de votre logiciel, Veuillez "
    "sauvegarder vos nouveaux paramètres";
constexpr std::string_view kWarningTitle = "Attention modification !!";

// Reads a decimal number: blanks around it, a sign and a fraction with "."
// are accepted; anything else is not a number.
bool ParseDecimal(std::string_view text, double& value) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return false;
  const auto last = text.find_last_not_of(" \t");
  text = text.substr(first, last - first + 1);
  std::size_t i = 0;
  if (text[i] == '+' || text[i] == '-') ++i;
  std::size_t digits = 0;
  bool point = false;
  for (std::size_t j = i; j < text.size(); ++j) {
    if (text[j] >= '0' && text[j] <= '9') {
      ++digits;
    } else if (text[j] == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  if (digits == 0 || digits > 300) return false;
  value = std::strtod(std::string(text).c_str(), nullptr);
  return true;
}

// A resolution string taken apart: the width stays text until the display
// change that uses it.
struct Resolution {
  std::string width;
  float height = 0;
  std::int16_t bits = 0;
};

class LinkValue {
 public:
  LinkValue(std::string_view value, const std::string& path) : value_(value), path_(path) {}

  [[noreturn]] void Fail(Error::Kind kind, const std::string& problem) const {
    throw Error(kind, "RES_ORIGINE=\"" + value_ + "\" in " + path_ + " is not a display mode " +
                          "such as 800x600x16: " + problem +
                          ". Correct or empty the value, then start the program again.");
  }

  float ToSingle(std::string_view text, const char* what) const {
    double value = 0;
    if (!ParseDecimal(text, value))
      Fail(Error::Kind::kTypeMismatch,
           std::string("the ") + what + " \"" + std::string(text) + "\" is not a number");
    if (std::fabs(value) > std::numeric_limits<float>::max())
      Fail(Error::Kind::kOverflow, std::string("the ") + what + " is too large");
    return static_cast<float>(value);
  }

  std::int16_t ToInteger(std::string_view text, const char* what) const {
    double value = 0;
    if (!ParseDecimal(text, value))
      Fail(Error::Kind::kTypeMismatch,
           std::string("the ") + what + " \"" + std::string(text) + "\" is not a number");
    const double rounded = std::nearbyint(value);
    if (rounded < -32768.0 || rounded > 32767.0)
      Fail(Error::Kind::kOverflow,
           std::string("the ") + what + " " + std::string(text) + " is out of range");
    return static_cast<std::int16_t>(rounded);
  }

  Resolution TakeApart() const {
    std::string_view text = value_;
    const auto p1 = text.find('x');
    if (p1 == std::string_view::npos) Fail(Error::Kind::kInvalidArgument, "it has no \"x\"");
    Resolution parts;
    parts.width.assign(text.substr(0, p1));
    const std::string_view rest = text.substr(p1 + 1);
    const auto p2 = rest.find('x');
    if (p2 == std::string_view::npos) Fail(Error::Kind::kInvalidArgument, "it has only one \"x\"");
    parts.height = ToSingle(rest.substr(0, p2), "height");
    parts.bits = ToInteger(rest.substr(p2 + 1), "colour depth");
    return parts;
  }

 private:
  std::string value_;
  std::string path_;
};

// Switches to a mode taken apart from the link file; the width is converted
// only now.
void ChangeTo(IDisplay& display, const LinkValue& value, const Resolution& parts) {
  const float width = value.ToSingle(parts.width, "width");
  // The display record holds 32-bit sizes; say which value is at fault.
  for (const float size : {width, parts.height}) {
    if (!(std::fabs(static_cast<double>(size)) < 2147483647.5)) {
      value.Fail(Error::Kind::kOverflow, "a size is too large for a display mode");
    }
  }
  ChangeRes(display, width, parts.height, parts.bits);
}

}  // namespace

void Launcher::Main() {
  IDisplay& display = platform_.display;
  INI_FILE ini = OpenLinkFile(platform_);
  const std::string path = ini.Path();

  state_.AppName = ini.Get_Key_Of_Section(kApplications, kApplicationName, "");
  {
    const std::int16_t width = GetCurWidth(display);
    const std::int16_t height = GetCurHeight(display);
    const std::int16_t bits = GetCurBitsPerPel(display);
    state_.ResAtStart = ResolutionString(width, height, bits);
  }
  const bool automatic = ini.Get_Key_Of_Section(kApplications, kAutoChangeRes, "") == kOk;
  std::string recorded = ini.Get_Key_Of_Section(kApplications, kResOrigine, "");

  const std::int16_t width = GetCurWidth(display);
  const std::int16_t height = GetCurHeight(display);
  if (width > 1024 && height > 768) {
    if (!recorded.empty()) {
      ini.Set_Key_Of_Section(kApplications, kResOrigine, "");
      EndProgram(platform_.program);
    }
    ini.Set_Key_Of_Section(kApplications, kResOrigine, state_.ResAtStart);
    Launch();
    EndProgram(platform_.program);
  }

  if (recorded.empty()) {  // nothing recorded: check, then start
    CheckRes();
    Launch();
    return;
  }

  const LinkValue value(recorded, path);
  if (!automatic) {  // put the recorded mode back
    const Resolution parts = value.TakeApart();
    ini.Set_Key_Of_Section(kApplications, kResOrigine, "");
    ChangeTo(display, value, parts);
    return;
  }

  const Resolution parts = value.TakeApart();
  const std::string current =
      ResolutionString(GetCurWidth(display), GetCurHeight(display), GetCurBitsPerPel(display));
  recorded = ini.Get_Key_Of_Section(kApplications, kResOrigine, "");

  if (current == MinimumResolution(GetCurBitsPerPel(display))) {  // back to the recorded mode
    ChangeTo(display, value, parts);
    return;
  }
  if (recorded == current) {  // at the recorded mode: switch to 1024x768
    const std::string minimum = MinimumResolution(GetCurBitsPerPel(display));
    const LinkValue minimum_value(minimum, path);
    ChangeTo(display, minimum_value, minimum_value.TakeApart());
    Launch();
    return;
  }

  // The mode changed since the last launch: warn, forget, check again.
  platform_.message_box.Show(kWarningText, kWarningTitle, IMessageBox::kOkOnly);
  for (const std::string_view name : {kRegResOrigine, kRegResLogiciel, kRegAutoChangeRes}) {
    RegSaveString(platform_.registry, IRegistry::kLocalMachine, kMovelkaKey, name, "");
  }
  ini.Set_Key_Of_Section(kApplications, kResOrigine, "");
  CheckRes();
  Launch();
}

void Launcher::Launch() {
  INI_FILE ini = OpenLinkFile(platform_);
  state_.AppName = ini.Get_Key_Of_Section(kApplications, kApplicationName, "");
  std::string file = platform_.program.Folder();
  file.push_back(platform_.separator);
  file.append(state_.AppName);
  file.append(platform_.suffix);
  const std::string reason = platform_.process.Start(file, IProcess::kShowMinimized);
  if (!reason.empty()) {
    throw Error(Error::Kind::kCannotStart, "Cannot start the application \"" + file +
                                               "\": " + reason + ". Check APPLICATION_NAME in " +
                                               ini.Path() + ".");
  }
}

}  // namespace liaison
