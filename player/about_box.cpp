// The player's About box: its version and the link to the about page.
#include <cstdio>

#include "platform/dialog.h"
#include "platform/message_box.h"
#include "player/player.h"
#include "saver/settings_dialog_parts.h"

#ifndef PRISMORA_VERSION
#define PRISMORA_VERSION "?.??"
#endif

namespace {

using K = ControlKind;

constexpr ControlTemplate kAboutControls[] = {
    {IDOK, K::DefaultButton, 56, 46, 50, 14, "OK"},
    {-1, K::Group, 5, 3, 152, 38, nullptr},
    {kIdAboutVersion, K::Label, 10, 12, 142, 10, "Prismora Version ?.??", kAlignCentre},
    {kIdAboutLink, K::Link, 10, 26, 142, 10, "About Prismora", kAlignCentre},
};

}  // namespace

const DialogTemplate kAboutBoxTemplate = {
    "About Prismora",
    162,
    65,
    "MS Sans Serif",
    8,
    kAboutControls,
    int(sizeof kAboutControls / sizeof kAboutControls[0]),
    false,
};

namespace {

LResult AboutProc(WindowHandle dialog, uint32_t message, WParam wParam, LParam) {
  switch (message) {
    case WM_INITDIALOG: {
      char text[64];
      std::snprintf(text, sizeof text, "%s Version %.9s", "Prismora", PRISMORA_VERSION);
      SendDlgItemMessage(dialog, kIdAboutVersion, DLG_SETTEXT, 0, LParam(text));
      return 1;
    }
    case WM_COMMAND:
      // Tabbing onto the link or OK is no press of it.
      if (CommandCode(wParam) != BN_CLICKED) return 0;
      switch (CommandId(wParam)) {
        case IDOK:
        case IDCANCEL:
          gDialogs->end(dialog, IDOK);
          return 1;
        case kIdAboutLink:
          OpenAboutPage();
          return 1;
        default:
          return 0;
      }
    default:
      return 0;
  }
}

}  // namespace

void ShowAboutBox(WindowHandle) { gDialogs->run(kAboutBoxTemplate, AboutProc, 0); }
