// The "New Pattern" name dialog: a prompt, a name of at most 30 characters,
// refused while the store cannot keep it or another pattern has it.
#include <cstdio>

#include "patterns/pattern_library.h"
#include "saver/settings_dialog.h"

LResult NameDialogProc(WindowHandle dialog, uint32_t message, WParam wParam, LParam) {
  ConfigDialogRec& c = gConfigDialog;
  switch (message) {
    case WM_INITDIALOG:
      SendDlgItemMessage(dialog, kIdNameEdit, DLG_LIMITTEXT, kPatternNameMax);
      SendDlgItemMessage(dialog, kIdNamePrompt, DLG_SETTEXT, 0, LParam(c.namePrompt));
      SendDlgItemMessage(dialog, kIdNameEdit, DLG_SETTEXT, 0, LParam(c.nameProposed));
      SendDlgItemMessage(dialog, kIdNameEdit, DLG_SETFOCUS);
      c.namePrompt[0] = c.nameProposed[0] = c.nameResult[0] = '\0';
      return 1;
    case WM_COMMAND:
      if (CommandCode(wParam) != BN_CLICKED) return 0;
      if (CommandId(wParam) == IDOK) {
        SendDlgItemMessage(dialog, kIdNameEdit, DLG_GETTEXT, sizeof c.nameResult, LParam(c.nameResult));
        if (!CheckPatternName(c.nameResult)) {
          c.nameResult[0] = '\0';
          SendDlgItemMessage(dialog, kIdNameEdit, DLG_SETFOCUS);
          return 1;
        }
        gDialogs->end(dialog, 1);
        return 1;
      }
      if (CommandId(wParam) == IDCANCEL) {
        c.nameResult[0] = '\0';
        gDialogs->end(dialog, 0);
        return 1;
      }
      return 0;
    case WM_CLOSE:
      c.nameResult[0] = '\0';
      gDialogs->end(dialog, 0);
      return 1;
    default:
      return 0;
  }
}

bool AskPatternName(const char* prompt, const char* proposed, char* name, uint32_t capacity) {
  ConfigDialogRec& c = gConfigDialog;
  std::snprintf(c.namePrompt, sizeof c.namePrompt, "%s", prompt);
  std::snprintf(c.nameProposed, sizeof c.nameProposed, "%s", proposed);
  c.nameResult[0] = '\0';
  if (gDialogs->run(kNameDialogTemplate, NameDialogProc, 0) != 1) c.nameResult[0] = '\0';
  std::snprintf(name, capacity, "%s", c.nameResult);
  c.nameResult[0] = '\0';
  return name[0] != '\0';
}
