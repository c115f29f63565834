// The two message boxes the user sees: errors and yes/no questions.
#include "diag/log.h"
#include "platform/message_box.h"

namespace {
constexpr const char* kCaption = "Prismora";
}

void ReportError(const char* text) {
  if (MessageBoxesGoToLog()) {
    LogDebug("Error: %s\n", text);
    return;
  }
  MessageBox(text, kCaption, MB_TOPMOST | MB_ICONERROR);
}

bool AskYesNo(bool defaultYes, const char* text) {
  if (MessageBoxesGoToLog()) {
    LogDebug("Question: %s (answered %s)\n", text, defaultYes ? "Yes" : "No");
    return defaultYes;
  }
  uint32_t flags = MB_TOPMOST | MB_ICONQUESTION | MB_YESNO;
  if (!defaultYes) flags |= MB_DEFBUTTON2;
  return MessageBox(text, kCaption, flags) == IDYES;
}
