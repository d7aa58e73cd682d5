#include "wizard/Layout.h"

#include <array>

namespace liaison {
namespace {

constexpr FontLayout kWindowFont{"Arial", 9.75, false, false};
constexpr FontLayout kResolutionFont{"Arial", 12.0, true, false};
constexpr FontLayout kFailureFont{"Arial", 9.75, false, true};
constexpr Colour kPureRed{255, 0, 0};

constexpr ControlKind F = ControlKind::kFrame;
constexpr ControlKind L = ControlKind::kLabel;
constexpr ControlKind O = ControlKind::kOption;
constexpr ControlKind C = ControlKind::kCheck;
constexpr ControlKind B = ControlKind::kButton;
constexpr ControlKind X = ControlKind::kBox;
constexpr ControlKind P = ControlKind::kProgress;
constexpr ControlKind T = ControlKind::kTimer;
constexpr Align kL = Align::kLeft;
constexpr Align kC = Align::kCenter;

// clang-format off
constexpr std::array<ControlLayout, frm::kCount> kWizardControls{{
  // kind name        idx container         left  top   width height text  font colour align tab visible border value max interval
  {F, "frmStep",      0, -1,               240,  120,  4935, 3615, "", nullptr, nullptr, kL,  0, true,  false, 0, 0, 0},
  {F, "frmStep",      1, -1,               120,  120,  4935, 3615, "", nullptr, nullptr, kL, 11, true,  false, 0, 0, 0},
  {F, "frmStep",      2, -1,               120,  120,  4935, 3615, "", nullptr, nullptr, kL, 13, true,  false, 0, 0, 0},
  {F, "frmStep",      3, -1,               120,  120,  4935, 3615, "", nullptr, nullptr, kL, 19, false, false, 0, 0, 0},
  {F, "frmStep",      4, -1,               120,    0,  4935, 3615, "", nullptr, nullptr, kL, 22, true,  false, 0, 0, 0},
  // Page 0: the choice.
  {L, "Label1",      -1, frm::frmStep0,    120,  120,  4695,  495, "", nullptr, nullptr, kL,  1, true, false, 0, 0, 0},
  {L, "lblResMin",   -1, frm::frmStep0,    135,  720,  4725,  285, "1024x768x32", &kResolutionFont, nullptr, kC, 2, true, false, 0, 0, 0},
  {L, "Label2",      -1, frm::frmStep0,    120, 1080,  3495,  255, "Votre résolution d'écran actuelle est de :", nullptr, nullptr, kL, 3, true, false, 0, 0, 0},
  {L, "lblResAct",   -1, frm::frmStep0,    135, 1440,  4725,  285, "1024x768x32", &kResolutionFont, nullptr, kC, 4, true, false, 0, 0, 0},
  {L, "Label3",      -1, frm::frmStep0,    120, 1920,  3255,  255, "Que voulez-vous faire ?", nullptr, nullptr, kL, 5, true, false, 0, 0, 0},
  {O, "optnChoix",    0, frm::frmStep0,    240, 2280,  4695,  255, "Changer ma résolution d'écran", nullptr, nullptr, kL, 6, true, false, 1, 0, 0},
  {O, "optnChoix",    2, frm::frmStep0,    240, 2640,  4455,  495, "", nullptr, nullptr, kL, 7, true, false, 0, 0, 0},
  // Page 1: before the change.
  {L, "Label4",      -1, frm::frmStep1,    120,  120,  4695,  975,
   "Votre résolution d'écran va être modifiée lorsque vous cliquerez sur Suivant. Vous aurez alors "
   "25 secondes pour confirmer le changement. Passé ce délai, le résolution d'écran sera restaurée "
   "à sa valeur actuelle.", nullptr, nullptr, kL, 12, true, false, 0, 0, 0},
  {L, "lblEchec",    -1, frm::frmStep1,    120, 1680,  4695, 1455,
   "La dernière tentative de changement de résolution d'écran a échoué ou vous ne l'avez pas "
   "validée. Pour essayer à nouveau de changer votre résolutin d'écran, cliquez sur Suivant. Vous "
   "pouvez aussi cliquer sur Précédent pour choisir une autre option du menu principal.",
   &kFailureFont, &kPureRed, kL, 17, false, false, 0, 0, 0},
  // Page 2: the confirmation countdown.
  {L, "Label5",      -1, frm::frmStep2,    120,  120,  4695, 1215,
   "Votre résolution d'écran a été modifiée. Pour maintenir cette résolution, veuillez cliquer sur "
   "VALIDER avant que la barre ci-dessous ne soit remplie. Dans le cas contraire, votre écran "
   "retrouvera sa résolution précédente.", nullptr, nullptr, kL, 15, true, false, 0, 0, 0},
  {X, "cmdValider",  -1, frm::frmStep2,   1590, 2280,  1815,  495, "", nullptr, nullptr, kL, 16, true, false, 0, 0, 0},
  {L, "Label6",      -1, frm::cmdValider,  480,  120,   825,  240, "VALIDER", nullptr, nullptr, kL, 18, true, false, 0, 0, 0},
  {P, "pb1",         -1, frm::frmStep2,    150, 3120,  4695,  495, "", nullptr, nullptr, kL, 14, true, false, 0, 250, 0},
  {T, "tmr1",        -1, frm::frmStep2,      0,    0,     0,    0, "", nullptr, nullptr, kL, -1, false, false, 0, 0, 100},
  // Page 3: after the confirmation.
  {L, "Label7",      -1, frm::frmStep3,    120,  120,  4695, 1215, "", nullptr, nullptr, kL, 20, true, false, 0, 0, 0},
  {C, "chkAuto",     -1, frm::frmStep3,    240, 1800,  4575,  735, "", nullptr, nullptr, kL, 21, true, false, 0, 0, 0},
  // Page 4: no change.
  {L, "Label8",      -1, frm::frmStep4,    120,  120,  4695,  735, "", nullptr, nullptr, kL, 24, true, false, 0, 0, 0},
  {C, "chkPasAff",   -1, frm::frmStep4,    240, 2040,  4695,  735,
   "Lorsqu'il n'est pas nécessaire de changer ma résolution d'écran, je ne veux pas que cette "
   "fenêtre s'affiche.", nullptr, nullptr, kL, 23, true, false, 0, 0, 0},
  // Below the pages.
  {X, "Picture1",    -1, -1,               120, 3720,  4935,   55, "", nullptr, nullptr, kL, 10, true, false, 0, 0, 0},
  {B, "cmdPrec",     -1, -1,               810, 3960,  1455,  375, "< Précédent", nullptr, nullptr, kL, 9, true, false, 0, 0, 0},
  {B, "cmdSuiv",     -1, -1,              2730, 3960,  1455,  375, "Suivant >", nullptr, nullptr, kL, 8, true, false, 0, 0, 0},
}};

constexpr std::array<ControlLayout, form1::kCount> kForm1Controls{{
  {F, "Frame1",      -1, -1,               120,  120,  3615, 1695, "Frame1", nullptr, nullptr, kL, 0, true, true, 0, 0, 0},
}};
// clang-format on

constexpr WindowLayout kWizard{
    "frmChangeRes",
    "Réglage de la résolution d'écran",
    5295,
    4380,
    BorderStyle::kFixedSingle,
    45,
    330,
    true,
    true,
    &kWindowFont,
    kWizardControls,
};

constexpr WindowLayout kForm1{
    "Form1", "Form1", 3915,  1965,         BorderStyle::kSizable, 60,
    345,     false,   false, &kWindowFont, kForm1Controls,
};

}  // namespace

int WindowLayout::Find(std::string_view control_name, int index) const {
  for (std::size_t row = 0; row < controls.size(); ++row) {
    if (controls[row].name == control_name && controls[row].index == index) {
      return static_cast<int>(row);
    }
  }
  return -1;
}

const WindowLayout& FrmChangeResLayout() {
  return kWizard;
}
const WindowLayout& Form1Layout() {
  return kForm1;
}

}  // namespace liaison
