// The headless dialog host: controls kept in memory, a user's actions
// performed by calls that change a control and send the procedure the
// message the real toolkit would. Modal runs are driven by a test's hook.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/dialog.h"

struct HeadlessControl {
  ControlTemplate source{};
  DialogRect rect;  // pixels
  std::string text;
  int check = 0;
  int minimum = 0, maximum = 100, position = 0, step = 1;
  std::vector<std::pair<std::string, intptr_t>> items;
  int selection = -1;
  int limit = 0;  // 0 = none
  int visibleItems = 0;
  bool visible = true, enabled = true;
};

struct HeadlessDialogRec {
  WindowHandle handle = 0;
  const DialogTemplate* source = nullptr;
  DialogProc procedure = nullptr;
  std::vector<HeadlessControl> controls;
  int width = 0, height = 0;  // client pixels
  int focus = 0;
  bool ended = false;
  intptr_t code = 0;
};

struct HeadlessHelpText {
  int id;
  std::string text;
};

struct HeadlessDialogsRec {
  std::vector<HeadlessDialogRec*> open;  // innermost last
  // Drives a dialog that run() opened; when it leaves the dialog open, the
  // run ends as if Cancel had been pressed.
  void (*onModal)(WindowHandle dialog) = nullptr;
  int busyCursor = 0;  // on minus off
  std::vector<HeadlessHelpText> helpShown;
  std::vector<std::pair<std::string, std::string>> started;  // program, its arguments joined by spaces
  std::vector<std::string> browsed;
  bool failLaunch = false;
  std::string chosenFile;  // what the file chooser returns; "" = cancelled
  int chosenFilter = 0;    // the filter the user ends on; 0 = the one shown first
  int offeredFilter = 0;   // the filter the chooser was opened with
  std::vector<std::string> offeredFilters;
};

extern HeadlessDialogsRec gHeadlessDialogs;

// Installs the headless dialog and launch services and forgets every dialog.
void InstallHeadlessDialogs();

// Dialog-unit conversion with the base units of an 8-point system font
// (6 x 13 pixels).
int HeadlessDialogX(int units);
int HeadlessDialogY(int units);

// Builds a dialog and sends WM_INITDIALOG without running it, for a test to
// drive; it stays until HeadlessCloseDialog (which sends WM_DESTROY).
WindowHandle HeadlessOpenDialog(const DialogTemplate& dialogTemplate, DialogProc procedure, LParam initParam);
void HeadlessCloseDialog(WindowHandle dialog);
HeadlessDialogRec* HeadlessFindDialog(WindowHandle dialog);
HeadlessControl* HeadlessFindControl(WindowHandle dialog, int id);

// A user's actions, sent as the shared notice table says. A click, drag,
// spin, typing or choice takes the focus first when the control lacked it,
// as with a mouse. Each returns what the procedure returned last.
LResult HeadlessSend(WindowHandle dialog, uint32_t message, WParam wParam, LParam lParam);
LResult HeadlessClick(WindowHandle dialog, int id);                // buttons; check boxes flip first
LResult HeadlessMoveSlider(WindowHandle dialog, int id, int pos);  // clamped to the range
LResult HeadlessSpin(WindowHandle dialog, int spinId, int delta);  // an arrow click on a spin
LResult HeadlessType(WindowHandle dialog, int id, const char* text);
LResult HeadlessSelect(WindowHandle dialog, int id, int index);
// The user brings the focus onto control id (from elsewhere, when it was
// there already).
LResult HeadlessFocus(WindowHandle dialog, int id);
// Tab (forward) or Shift+Tab: the focus to the next visible, enabled control
// that takes it, in table order, round the end.
LResult HeadlessTab(WindowHandle dialog, bool forward);
