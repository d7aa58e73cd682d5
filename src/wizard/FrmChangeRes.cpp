#include "wizard/FrmChangeRes.h"

#include <cmath>
#include <string>

#include "display/ChangeRes.h"
#include "settings/LinkFile.h"
#include "settings/Registry.h"

namespace liaison {
namespace {

constexpr std::string_view kSuivant = "Suivant >";
constexpr std::string_view kTerminer = "Terminer >|";
constexpr std::string_view kQuitter = "Ne pas changer ma résolution d'écran et quitter ";

constexpr int kPages[] = {frm::frmStep0, frm::frmStep1, frm::frmStep2, frm::frmStep3,
                          frm::frmStep4};

// Whole-number rounding of a window size in twips, a half to the even
// neighbour.
std::int32_t RoundTwips(double twips) {
  return static_cast<std::int32_t>(std::nearbyint(twips));
}

}  // namespace

frmChangeRes::frmChangeRes(Launcher& launcher)
    : launcher_(launcher), platform_(launcher.platform()) {}

frmChangeRes::~frmChangeRes() = default;

void frmChangeRes::Load() {
  window_ = platform_.toolkit.Create(FrmChangeResLayout(), *this);
  const std::string& app = launcher_.state().AppName;
  window_->SetText(frm::Label1, app + " nécessite une résolution d'écran minimale :");
  window_->SetText(frm::optnChoix2, std::string(kQuitter) + app);
  window_->SetText(frm::Label8, app +
                                    " va continuer à être exécuté et votre résolution ne sera pas "
                                    "modifiée. Pour ne plus voir apparaître cette fenêtre, cochez "
                                    "la case ci-dessous.");
  window_->SetText(frm::Label7,
                   "Votre résolution d'écran a été modifiée. L'ancienne résolution sera restaurée "
                   "lorsque vous quitterez ce programme. " +
                       app +
                       " peut changer la résolution d'écran de manière automatique. Pour cela, "
                       "cochez la case ci-dessous.");
  window_->SetText(frm::chkAuto,
                   "Je veux que la résolution de mon écran soit automatiquement modifiée aux "
                   "prochains démarrages de " +
                       app + ".");
  window_->SetZOrder(-1);
  AffStep();
  window_->ShowModal();
}

void frmChangeRes::Unload() {
  window_.reset();
}

void frmChangeRes::AffStep() {
  const RunState& run = launcher_.state();
  for (const int page : kPages) window_->SetVisible(page, false);
  window_->SetVisible(kPages[CurStep_], true);
  window_->SetVisible(frm::cmdPrec, CurStep_ != 0);
  LastStep_ = false;

  switch (CurStep_) {
    case 0: {
      window_->SetText(frm::lblResMin, MinimumResolution(run.SavedBitsPerPel));
      window_->SetText(frm::lblResAct,
                       ResolutionString(run.SavedWidth, run.SavedHeight, run.SavedBitsPerPel));
      INI_FILE ini = OpenLinkFile(platform_);
      ini.Set_Key_Of_Section(kApplications, kResOrigine, window_->GetText(frm::lblResAct));
      const std::string app = ini.Get_Key_Of_Section(kApplications, kApplicationName, "");
      window_->SetText(frm::optnChoix2, std::string(kQuitter) + app);
      break;
    }
    case 1:
      window_->SetVisible(frm::lblEchec, ShowEchec_);
      break;
    case 2:
      EnterCountdown();
      break;
    default:
      LastStep_ = true;
      break;
  }
  window_->SetText(frm::cmdSuiv, LastStep_ ? kTerminer : kSuivant);
}

void frmChangeRes::CenterForm(std::int16_t width, std::int16_t height) {
  // 32-bit arithmetic: a 16-bit size times 15 does not fit in 16 bits.
  const std::int32_t outer_width = RoundTwips(window_->OuterWidth());
  window_->SetLeft(width * kTwipsPerPixel / 2 - outer_width / 2);
  const std::int32_t outer_height = RoundTwips(window_->OuterHeight());
  window_->SetTop(height * kTwipsPerPixel / 2 - outer_height / 2);
}

void frmChangeRes::OnClick(int control) {
  switch (control) {
    case frm::cmdSuiv:
      cmdSuiv_Click();
      break;
    case frm::cmdPrec:
      cmdPrec_Click();
      break;
    case frm::cmdValider:
    case frm::Label6:
      cmdValider_Click();
      break;
    default:
      break;
  }
}

void frmChangeRes::OnTimer(int control) {
  if (control == frm::tmr1) tmr1_Timer();
}

void frmChangeRes::OnCloseRequest() {
  if (CurStep_ >= 3) {
    // The same as "Terminer >|".
    cmdSuiv_Click();
    return;
  }
  if (CurStep_ == 2) {
    // Never leave an unconfirmed mode behind.
    window_->SetTimerEnabled(frm::tmr1, false);
    launcher_.RestoreRes();
  }
  Quit();
}

void frmChangeRes::Quit() {
  if (launcher_.state().ResTooSmall != kFalse) {
    // The host window's unload puts the saved mode back and ends the program.
    window_->Hide();
    launcher_.Form1_Unload();
  }
  INI_FILE ini = OpenLinkFile(platform_);
  ini.Set_Key_Of_Section(kApplications, kResOrigine, "");
  window_->Hide();
  EndProgram(platform_.program);
}

void frmChangeRes::cmdSuiv_Click() {
  INI_FILE ini = OpenLinkFile(platform_);
  switch (CurStep_) {
    case 0:
      if (window_->IsChecked(frm::optnChoix0)) {
        CurStep_ = 1;
        AffStep();
      } else {
        Quit();
      }
      break;
    case 3:
      if (window_->IsChecked(frm::chkAuto)) {
        ini.Set_Key_Of_Section(kApplications, kAutoChangeRes, kOk);
        ini.Set_Key_Of_Section(kApplications, kResOrigine, launcher_.state().ResAtStart);
      }
      window_->Hide();
      break;
    case 4:
      if (window_->IsChecked(frm::chkPasAff)) {
        RegSaveString(platform_.registry, IRegistry::kLocalMachine, kMovelkaKey, kRegPasAff, kOk);
      }
      window_->Hide();
      break;
    default:
      ++CurStep_;
      AffStep();
      break;
  }
}

void frmChangeRes::cmdPrec_Click() {
  CurStep_ = (CurStep_ == 4) ? 1 : static_cast<std::int16_t>(CurStep_ - 1);
  AffStep();
}

void frmChangeRes::EnterCountdown() {
  const RunState& run = launcher_.state();
  IDisplay& display = platform_.display;
  window_->SetEnabled(frm::cmdSuiv, false);
  window_->SetEnabled(frm::cmdPrec, false);
  window_->SetProgress(frm::pb1, 0.0f);
  ChangeResult_ = ChangeRes(display, 1024.0f, 768.0f, run.SavedBitsPerPel);
  CenterForm(1024, 768);
  const std::int16_t width = GetCurWidth(display);
  const std::int32_t result = ChangeResult_;
  const std::int16_t height = GetCurHeight(display);
  if (!(width == 1024 && result == 0 && height == 768)) {
    // Not taken: the bar is one short of full, so the next tick fills it and
    // the one after puts the saved mode back.
    window_->SetProgress(frm::pb1, window_->GetProgressMax(frm::pb1) - 1.0f);
  }
  window_->SetTimerEnabled(frm::tmr1, true);
}

void frmChangeRes::tmr1_Timer() {
  const float maximum = window_->GetProgressMax(frm::pb1);
  const float value = window_->GetProgress(frm::pb1);
  if (maximum != value) {
    window_->SetProgress(frm::pb1, value + 1.0f);
    return;
  }
  const RunState& run = launcher_.state();
  window_->SetTimerEnabled(frm::tmr1, false);
  ChangeRes(platform_.display, static_cast<float>(run.SavedWidth),
            static_cast<float>(run.SavedHeight), run.SavedBitsPerPel);
  CenterForm(run.SavedWidth, run.SavedHeight);
  ShowEchec_ = true;
  CurStep_ = 1;
  window_->SetEnabled(frm::cmdPrec, true);
  window_->SetEnabled(frm::cmdSuiv, true);
  AffStep();
}

void frmChangeRes::cmdValider_Click() {
  window_->SetTimerEnabled(frm::tmr1, false);
  CurStep_ = 3;
  window_->SetEnabled(frm::cmdSuiv, true);
  AffStep();
}

}  // namespace liaison
