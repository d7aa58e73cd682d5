#include "display/ChangeRes.h"
#include "settings/LinkFile.h"
#include "settings/Registry.h"
#include "startup/Module1.h"
#include "wizard/FrmChangeRes.h"

namespace liaison {

void Launcher::CheckRes() {
  IDisplay& display = platform_.display;
  state_.SavedWidth = GetCurWidth(display);
  state_.SavedHeight = GetCurHeight(display);
  state_.SavedBitsPerPel = GetCurBitsPerPel(display);

  INI_FILE ini = OpenLinkFile(platform_);
  const bool automatic = ini.Get_Key_Of_Section(kApplications, kAutoChangeRes, "") == kOk;

  if (state_.SavedWidth == 1024 && state_.SavedHeight == 768) return;
  if (automatic) {
    ChangeRes(display, 1024.0f, 768.0f, GetCurBitsPerPel(display));
    return;
  }
  state_.ResTooSmall = (state_.SavedWidth < 1024 || state_.SavedHeight < 768) ? kTrue : kFalse;
  if (state_.ResTooSmall == kFalse &&
      RegGetString(platform_.registry, IRegistry::kLocalMachine, kMovelkaKey, kRegPasAff) == kOk) {
    return;
  }

  frmChangeRes wizard(*this);
  wizard.Load();
  wizard.Unload();
}

void Launcher::RestoreRes() {
  ChangeRes(platform_.display, static_cast<float>(state_.SavedWidth),
            static_cast<float>(state_.SavedHeight), state_.SavedBitsPerPel);
}

void Launcher::Form1_Unload() {
  // The host window was never shown; its unload handler runs all the same.
  RestoreRes();
  EndProgram(platform_.program);
}

}  // namespace liaison
