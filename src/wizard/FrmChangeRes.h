// The resolution wizard: its step logic and the confirmation countdown, over
// a window that the GUI toolkit builds from the layout table.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/Platform.h"
#include "startup/Module1.h"
#include "wizard/Layout.h"

namespace liaison {

class frmChangeRes final : public IWindowEvents {
 public:
  explicit frmChangeRes(Launcher& launcher);
  ~frmChangeRes() override;

  // Creates the window and runs its load sequence, which shows it modally:
  // returns once the wizard has hidden itself.
  void Load();
  // Destroys the window.
  void Unload();

  void AffStep();
  // Enters `step`: sets the current step and shows its page. No click leads
  // to page 4; this is the way in for whoever needs it.
  void ShowStep(std::int16_t step) {
    CurStep_ = step;
    AffStep();
  }
  void CenterForm(std::int16_t width, std::int16_t height);

  void OnClick(int control) override;
  void OnTimer(int control) override;
  void OnCloseRequest() override;

  std::int16_t CurStep() const { return CurStep_; }
  bool ShowEchec() const { return ShowEchec_; }
  bool LastStep() const { return LastStep_; }
  std::int32_t ChangeResult() const { return ChangeResult_; }
  IWindow* window() const { return window_.get(); }

 private:
  void cmdSuiv_Click();
  void cmdPrec_Click();
  void cmdValider_Click();
  void tmr1_Timer();
  void EnterCountdown();
  // The page-0 choice to quit without changing the resolution.
  [[noreturn]] void Quit();

  Launcher& launcher_;
  const Platform& platform_;
  std::unique_ptr<IWindow> window_;
  std::int16_t CurStep_ = 0;
  bool ShowEchec_ = false;
  bool LastStep_ = false;
  std::int32_t ChangeResult_ = 0;
};

}  // namespace liaison
