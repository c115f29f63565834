// The dialog service: modal dialogs described by a control table, whose
// procedures are ordinary message-driven code. Controls are read and written
// by identifier through control messages; what the user does comes back to
// the procedure as WM_COMMAND, WM_HSCROLL, WM_VSCROLL, WM_HELP and
// WM_CONTEXTMENU, and its timers as WM_TIMER.
#pragma once
#include <cstdint>

#include "platform/messages.h"

enum : uint32_t {
  WM_HELP = 0x0053,         // lParam = the control's identifier
  WM_CONTEXTMENU = 0x007B,  // wParam = the control's identifier
  WM_INITDIALOG = 0x0110,   // lParam = the caller's value
  WM_HSCROLL = 0x0114,      // lParam = the trackbar's identifier, wParam = its new position
  WM_VSCROLL = 0x0115,      // lParam = the spin's identifier, wParam = its new position
};

// Notification codes in the high word of a WM_COMMAND's wParam.
enum : uint32_t {
  BN_CLICKED = 0,
  CBN_SELCHANGE = 1,
  CBN_SETFOCUS = 3,
  CBN_EDITCHANGE = 5,
  BN_SETFOCUS = 6,
  EN_SETFOCUS = 0x0100,
  EN_CHANGE = 0x0300,
};

constexpr WParam MakeCommand(int id, uint32_t code) { return WParam(uint32_t(id) | (code << 16)); }
constexpr int CommandId(WParam wParam) { return int(wParam & 0xFFFF); }
constexpr uint32_t CommandCode(WParam wParam) { return uint32_t(wParam >> 16) & 0xFFFF; }

enum class ControlKind {
  Group,          // a frame, with an optional title
  Label,          // static text (options: kLeft/kCentre/kRight)
  Button,         // push button
  DefaultButton,  // the button Enter presses
  CheckBox,
  Edit,      // one-line text; with a Spin naming it as buddy it is a number field
  Spin,      // up-down arrows attached to its buddy edit (the control's `buddy`)
  Slider,    // horizontal trackbar
  DropList,  // drop-down list without typing
  DropEdit,  // drop-down list whose field also takes typed text
  Link,      // underlined blue text that acts when clicked
};

enum : uint32_t { kAlignLeft = 0, kAlignCentre = 1, kAlignRight = 2 };

// What a user does to a control. The user's own moves only: focus set by a
// procedure or coming back with the window is no Focus.
enum class DialogAction {
  Focus,   // Tab, Shift+Tab, an access key or a click moved the focus onto it
  Click,   // a button pressed, a check box flipped, the link followed
  Choose,  // an item of a list chosen
  Type,    // text typed into an edit or a list's field
  Slide,   // a trackbar moved
  Spin,    // an arrow of a spin pressed
};

// The notification a control of a kind sends for an action: WM_COMMAND with
// code, or WM_HSCROLL / WM_VSCROLL with the position. Every host sends these
// and no others, so a procedure sees the same messages on each.
struct DialogNotice {
  ControlKind kind;
  DialogAction action;
  uint32_t message;  // 0: the control takes the focus but says nothing
  uint32_t code;
};
extern const DialogNotice kDialogNotices[];
extern const int kDialogNoticeCount;
// The notice for kind and action; false when there is none to send.
bool FindDialogNotice(ControlKind kind, DialogAction action, DialogNotice* notice);
// The control takes the keyboard focus (it is in the Tab order).
bool TakesDialogFocus(ControlKind kind);
// The notice as the message its procedure receives, for control id (a
// trackbar's or spin's new position in position).
void DialogNoticeMessage(const DialogNotice& notice, int id, int position, uint32_t* message, WParam* wParam,
                         LParam* lParam);

// One control of a template; the rectangle is in dialog units (a quarter of
// the font's average character width across, an eighth of its height down).
struct ControlTemplate {
  int id;  // -1 for controls the procedure never addresses
  ControlKind kind;
  int x, y, width, height;
  const char* text;
  uint32_t align = kAlignLeft;
  int buddy = 0;  // Spin: the edit it drives
  // A control without text of its own: the label or check box whose text
  // names it. A label's access key moves the focus to it.
  int label = 0;
};

struct DialogTemplate {
  const char* title;
  int width, height;  // dialog units
  const char* fontFace;
  int fontPoints;
  const ControlTemplate* controls;
  int count;
  bool contextHelp;  // a What's This button in the caption
};

using DialogProc = LResult (*)(WindowHandle dialog, uint32_t message, WParam wParam, LParam lParam);

// Control messages, sent to one control by identifier.
enum : uint32_t {
  DLG_SETTEXT = 1,      // lParam = const char*
  DLG_GETTEXT,          // wParam = capacity, lParam = char*; returns the length copied
  DLG_SETCHECK,         // wParam = 0/1
  DLG_GETCHECK,         // returns 0/1
  DLG_SETRANGE,         // slider, spin: wParam = minimum, lParam = maximum
  DLG_SETPOS,           // slider, spin: wParam = position
  DLG_GETPOS,           // slider, spin: returns the position
  DLG_SETSTEP,          // slider: wParam = page size and tick interval
  DLG_RESETCONTENT,     // lists: remove every item
  DLG_ADDITEM,          // lists: lParam = const char*; returns the new index
  DLG_DELETEITEM,       // lists: wParam = index
  DLG_GETCOUNT,         // lists: returns the number of items
  DLG_SETCURSEL,        // lists: wParam = index, or -1 for none
  DLG_GETCURSEL,        // lists: returns the index, -1 for none (a DropEdit holding typed text)
  DLG_SETITEMDATA,      // lists: wParam = index, lParam = data
  DLG_GETITEMDATA,      // lists: wParam = index; returns the data, -1 for no such item
  DLG_GETITEMTEXT,      // lists: wParam = index, lParam = char[kDialogTextMax]; returns the length
  DLG_LIMITTEXT,        // edits and DropEdit: wParam = characters
  DLG_SHOW,             // wParam = 0/1
  DLG_ENABLE,           // wParam = 0/1
  DLG_SETFOCUS,         //
  DLG_SETVISIBLEITEMS,  // lists: wParam = items the open list shows
};

constexpr int kDialogTextMax = 260;  // with the terminating NUL

struct DialogRect {
  int left = 0, top = 0, width = 0, height = 0;  // pixels, in the dialog's client area
};

struct DialogService {
  // Builds the dialog from its template, sends WM_INITDIALOG (lParam =
  // initParam) and runs until the procedure calls end; returns the code it
  // passed, or -1 when the dialog cannot be made. Messages for other windows
  // wait in the queue meanwhile.
  intptr_t (*run)(const DialogTemplate& dialogTemplate, DialogProc procedure, LParam initParam);
  void (*end)(WindowHandle dialog, intptr_t code);
  // A control message; 0 for an unknown control or a message the control
  // does not take.
  LResult (*send)(WindowHandle dialog, int id, uint32_t message, WParam wParam, LParam lParam);
  // A control's rectangle; false for an unknown control.
  bool (*controlRect)(WindowHandle dialog, int id, DialogRect* rect);
  // The client area's size, and setting it (position and stacking stay).
  void (*clientSize)(WindowHandle dialog, int* width, int* height);
  void (*resize)(WindowHandle dialog, int width, int height);
  // The wait cursor over the whole program, on or off.
  void (*busyCursor)(bool on);
  // Shows text as context help beside control id until the user clicks.
  void (*showHelpText)(WindowHandle dialog, int id, const char* text);
  // A file chooser for an existing file. filters holds filterCount pairs of
  // a name and its patterns ("*.mp3;*.ogg"); *filterIndex (from 1) is the
  // filter shown first and, after a choice, the one last used. False when
  // the user cancelled.
  bool (*openFile)(WindowHandle dialog, const char* const* filters, int filterCount, int* filterIndex,
                   char* path, unsigned capacity);
};

extern const DialogService* gDialogs;

inline LResult SendDlgItemMessage(WindowHandle dialog, int id, uint32_t message, WParam wParam = 0,
                                  LParam lParam = 0) {
  return gDialogs->send(dialog, id, message, wParam, lParam);
}
