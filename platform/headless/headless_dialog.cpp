#include "platform/headless/headless_dialog.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/launch.h"
#include "platform/message_box.h"

HeadlessDialogsRec gHeadlessDialogs;

namespace {

WindowHandle gNextDialogHandle = 0x5000;

int Clamp(int value, int low, int high) { return std::max(low, std::min(high, value)); }

bool Focusable(const HeadlessControl& c) { return c.visible && c.enabled && TakesDialogFocus(c.source.kind); }

bool IsList(const HeadlessControl& c) {
  return c.source.kind == ControlKind::DropList || c.source.kind == ControlKind::DropEdit;
}

HeadlessControl* SpinOfEdit(HeadlessDialogRec* dialog, int editId) {
  for (HeadlessControl& c : dialog->controls)
    if (c.source.kind == ControlKind::Spin && c.source.buddy == editId) return &c;
  return nullptr;
}

LResult CopyText(const std::string& text, WParam capacity, LParam buffer) {
  if (capacity == 0 || buffer == 0) return 0;
  int written = std::snprintf(reinterpret_cast<char*>(buffer), capacity, "%s", text.c_str());
  return std::min<LResult>(written, LResult(capacity) - 1);
}

void SetText(HeadlessDialogRec* dialog, HeadlessControl& c, const char* text) {
  c.text = text ? text : "";
  // A spin's buddy shows the spin's position as a number.
  if (HeadlessControl* spin = SpinOfEdit(dialog, c.source.id)) spin->position = std::atoi(c.text.c_str());
}

LResult ControlMessage(HeadlessDialogRec* dialog, HeadlessControl& c, uint32_t message, WParam w, LParam l) {
  switch (message) {
    case DLG_SETTEXT:
      SetText(dialog, c, reinterpret_cast<const char*>(l));
      if (c.source.kind == ControlKind::DropEdit) c.selection = -1;
      return 1;
    case DLG_GETTEXT:
      if (c.source.kind == ControlKind::DropList)
        return CopyText(c.selection >= 0 ? c.items[size_t(c.selection)].first : "", w, l);
      return CopyText(c.text, w, l);
    case DLG_SETCHECK:
      c.check = int(w);
      return 1;
    case DLG_GETCHECK:
      return c.check;
    case DLG_SETRANGE:
      c.minimum = int(w);
      c.maximum = int(l);
      c.position = Clamp(c.position, c.minimum, c.maximum);
      return 1;
    case DLG_SETPOS:
      c.position = Clamp(int(intptr_t(w)), c.minimum, c.maximum);
      if (c.source.kind == ControlKind::Spin)
        for (HeadlessControl& edit : dialog->controls)
          if (edit.source.id == c.source.buddy) edit.text = std::to_string(c.position);
      return 1;
    case DLG_GETPOS:
      return c.position;
    case DLG_SETSTEP:
      c.step = int(w);
      return 1;
    case DLG_RESETCONTENT:
      c.items.clear();
      c.selection = -1;
      if (c.source.kind == ControlKind::DropEdit) c.text.clear();
      return 1;
    case DLG_ADDITEM:
      c.items.emplace_back(reinterpret_cast<const char*>(l), 0);
      return LResult(c.items.size() - 1);
    case DLG_DELETEITEM:
      if (w >= c.items.size()) return 0;
      c.items.erase(c.items.begin() + intptr_t(w));
      if (c.selection == int(w)) c.selection = -1;
      if (c.selection > int(w)) --c.selection;
      return 1;
    case DLG_GETCOUNT:
      return LResult(c.items.size());
    case DLG_SETCURSEL:
      c.selection = intptr_t(w) >= 0 && w < c.items.size() ? int(w) : -1;
      c.text = c.selection >= 0 ? c.items[size_t(c.selection)].first : "";
      return 1;
    case DLG_GETCURSEL:
      return c.selection;
    case DLG_SETITEMDATA:
      if (w >= c.items.size()) return 0;
      c.items[w].second = l;
      return 1;
    case DLG_GETITEMDATA:
      return w < c.items.size() ? c.items[w].second : -1;
    case DLG_GETITEMTEXT:
      return w < c.items.size() ? CopyText(c.items[w].first, kDialogTextMax, l) : 0;
    case DLG_LIMITTEXT:
      c.limit = int(w);
      return 1;
    case DLG_SHOW:
      c.visible = w != 0;
      return 1;
    case DLG_ENABLE:
      c.enabled = w != 0;
      return 1;
    case DLG_SETFOCUS:
      dialog->focus = c.source.id;
      return 1;
    case DLG_SETVISIBLEITEMS:
      c.visibleItems = int(w);
      return 1;
    default:
      return 0;
  }
}

LResult HeadlessDialogSend(WindowHandle handle, int id, uint32_t message, WParam w, LParam l) {
  HeadlessDialogRec* dialog = HeadlessFindDialog(handle);
  if (!dialog) return 0;
  for (HeadlessControl& c : dialog->controls)
    if (c.source.id == id) return ControlMessage(dialog, c, message, w, l);
  return 0;
}

intptr_t HeadlessRun(const DialogTemplate& dialogTemplate, DialogProc procedure, LParam initParam) {
  WindowHandle handle = HeadlessOpenDialog(dialogTemplate, procedure, initParam);
  HeadlessDialogRec* dialog = HeadlessFindDialog(handle);
  if (!dialog->ended && gHeadlessDialogs.onModal) gHeadlessDialogs.onModal(handle);
  dialog = HeadlessFindDialog(handle);
  if (dialog && !dialog->ended) HeadlessSend(handle, WM_COMMAND, MakeCommand(IDCANCEL, BN_CLICKED), 0);
  dialog = HeadlessFindDialog(handle);
  intptr_t code = dialog ? dialog->code : -1;
  HeadlessCloseDialog(handle);
  return code;
}

void HeadlessEnd(WindowHandle handle, intptr_t code) {
  if (HeadlessDialogRec* dialog = HeadlessFindDialog(handle)) {
    dialog->ended = true;
    dialog->code = code;
  }
}

bool HeadlessControlRect(WindowHandle handle, int id, DialogRect* rect) {
  HeadlessControl* c = HeadlessFindControl(handle, id);
  if (!c) return false;
  *rect = c->rect;
  return true;
}

void HeadlessClientSize(WindowHandle handle, int* width, int* height) {
  HeadlessDialogRec* dialog = HeadlessFindDialog(handle);
  *width = dialog ? dialog->width : 0;
  *height = dialog ? dialog->height : 0;
}

void HeadlessResize(WindowHandle handle, int width, int height) {
  if (HeadlessDialogRec* dialog = HeadlessFindDialog(handle)) {
    dialog->width = width;
    dialog->height = height;
  }
}

void HeadlessBusyCursor(bool on) { gHeadlessDialogs.busyCursor += on ? 1 : -1; }

void HeadlessShowHelpText(WindowHandle, int id, const char* text) {
  gHeadlessDialogs.helpShown.push_back({id, text});
}

bool HeadlessStartProgram(const char* path, const char* const* arguments) {
  if (gHeadlessDialogs.failLaunch) return false;
  std::string joined;
  for (const char* const* a = arguments; *a; ++a) joined += (joined.empty() ? "" : " ") + std::string(*a);
  gHeadlessDialogs.started.emplace_back(path, joined);
  return true;
}

bool HeadlessOpenInBrowser(const char* address) {
  // As the real opener: a local page that is not there opens nothing.
  std::error_code error;
  bool local = std::strncmp(address, "http://", 7) != 0 && std::strncmp(address, "https://", 8) != 0;
  if (gHeadlessDialogs.failLaunch || (local && !std::filesystem::exists(address, error))) return false;
  gHeadlessDialogs.browsed.emplace_back(address);
  return true;
}

bool HeadlessOpenFile(WindowHandle, const char* const* filters, int filterCount, int* filterIndex, char* path,
                      unsigned capacity) {
  gHeadlessDialogs.offeredFilter = *filterIndex;
  gHeadlessDialogs.offeredFilters.assign(filters, filters + 2 * filterCount);
  if (gHeadlessDialogs.chosenFile.empty()) return false;
  if (gHeadlessDialogs.chosenFilter) *filterIndex = gHeadlessDialogs.chosenFilter;
  std::snprintf(path, capacity, "%s", gHeadlessDialogs.chosenFile.c_str());
  return true;
}

const DialogService kHeadlessDialogService = {
    HeadlessRun,    HeadlessEnd,        HeadlessDialogSend,   HeadlessControlRect, HeadlessClientSize,
    HeadlessResize, HeadlessBusyCursor, HeadlessShowHelpText, HeadlessOpenFile,
};
const LaunchService kHeadlessLaunchService = {HeadlessStartProgram, HeadlessOpenInBrowser};

}  // namespace

void InstallHeadlessDialogs() {
  for (HeadlessDialogRec* dialog : gHeadlessDialogs.open) delete dialog;
  gHeadlessDialogs = HeadlessDialogsRec{};
  gDialogs = &kHeadlessDialogService;
  gLaunch = &kHeadlessLaunchService;
}

int HeadlessDialogX(int units) { return (units * 6 + 2) / 4; }
int HeadlessDialogY(int units) { return (units * 13 + 4) / 8; }

WindowHandle HeadlessOpenDialog(const DialogTemplate& dialogTemplate, DialogProc procedure,
                                LParam initParam) {
  auto* dialog = new HeadlessDialogRec;
  dialog->handle = gNextDialogHandle++;
  dialog->source = &dialogTemplate;
  dialog->procedure = procedure;
  dialog->width = HeadlessDialogX(dialogTemplate.width);
  dialog->height = HeadlessDialogY(dialogTemplate.height);
  for (int i = 0; i < dialogTemplate.count; ++i) {
    HeadlessControl c;
    c.source = dialogTemplate.controls[i];
    c.rect = {HeadlessDialogX(c.source.x), HeadlessDialogY(c.source.y), HeadlessDialogX(c.source.width),
              HeadlessDialogY(c.source.height)};
    if (c.source.text && c.source.kind != ControlKind::DropList) c.text = c.source.text;
    dialog->controls.push_back(c);
  }
  gHeadlessDialogs.open.push_back(dialog);
  WindowHandle handle = dialog->handle;
  procedure(handle, WM_INITDIALOG, 0, initParam);
  // Shown, the dialog puts the focus on its first control unless the
  // procedure chose one; that says nothing, as on the toolkit.
  dialog = HeadlessFindDialog(handle);
  if (dialog && dialog->focus == 0)
    for (const HeadlessControl& c : dialog->controls)
      if (Focusable(c)) {
        dialog->focus = c.source.id;
        break;
      }
  return handle;
}

void HeadlessCloseDialog(WindowHandle handle) {
  auto& open = gHeadlessDialogs.open;
  auto it =
      std::find_if(open.begin(), open.end(), [handle](HeadlessDialogRec* d) { return d->handle == handle; });
  if (it == open.end()) return;
  HeadlessDialogRec* dialog = *it;
  dialog->procedure(handle, WM_DESTROY, 0, 0);
  open.erase(std::find(open.begin(), open.end(), dialog));
  delete dialog;
}

HeadlessDialogRec* HeadlessFindDialog(WindowHandle handle) {
  for (HeadlessDialogRec* dialog : gHeadlessDialogs.open)
    if (dialog->handle == handle) return dialog;
  return nullptr;
}

HeadlessControl* HeadlessFindControl(WindowHandle handle, int id) {
  HeadlessDialogRec* dialog = HeadlessFindDialog(handle);
  if (!dialog) return nullptr;
  for (HeadlessControl& c : dialog->controls)
    if (c.source.id == id) return &c;
  return nullptr;
}

LResult HeadlessSend(WindowHandle handle, uint32_t message, WParam wParam, LParam lParam) {
  HeadlessDialogRec* dialog = HeadlessFindDialog(handle);
  return dialog ? dialog->procedure(handle, message, wParam, lParam) : 0;
}

namespace {

// Sends what the shared table says control id tells for action.
LResult Notice(WindowHandle handle, int id, DialogAction action, int position = 0) {
  HeadlessControl* c = HeadlessFindControl(handle, id);
  DialogNotice notice;
  if (!c || !FindDialogNotice(c->source.kind, action, &notice)) return 0;
  uint32_t message = 0;
  WParam wParam = 0;
  LParam lParam = 0;
  DialogNoticeMessage(notice, id, position, &message, &wParam, &lParam);
  return HeadlessSend(handle, message, wParam, lParam);
}

// A click or a drag takes the focus first, as a mouse does.
void TakeFocus(WindowHandle handle, int id) {
  HeadlessDialogRec* dialog = HeadlessFindDialog(handle);
  HeadlessControl* c = HeadlessFindControl(handle, id);
  if (!dialog || !c || dialog->focus == id || !Focusable(*c)) return;
  dialog->focus = id;
  Notice(handle, id, DialogAction::Focus);
}

}  // namespace

LResult HeadlessClick(WindowHandle handle, int id) {
  TakeFocus(handle, id);
  HeadlessControl* c = HeadlessFindControl(handle, id);
  if (!c) return 0;
  if (c->source.kind == ControlKind::CheckBox) c->check = !c->check;
  return Notice(handle, id, DialogAction::Click);
}

LResult HeadlessMoveSlider(WindowHandle handle, int id, int pos) {
  TakeFocus(handle, id);
  HeadlessControl* c = HeadlessFindControl(handle, id);
  if (!c) return 0;
  c->position = Clamp(pos, c->minimum, c->maximum);
  return Notice(handle, id, DialogAction::Slide, c->position);
}

LResult HeadlessSpin(WindowHandle handle, int spinId, int delta) {
  HeadlessControl* spin = HeadlessFindControl(handle, spinId);
  if (!spin) return 0;
  TakeFocus(handle, spin->source.buddy);
  spin = HeadlessFindControl(handle, spinId);
  HeadlessControl* edit = HeadlessFindControl(handle, spin->source.buddy);
  int current = edit ? std::atoi(edit->text.c_str()) : spin->position;
  spin->position = Clamp(current + delta, spin->minimum, spin->maximum);
  if (edit) edit->text = std::to_string(spin->position);
  return Notice(handle, spinId, DialogAction::Spin, spin->position);
}

LResult HeadlessType(WindowHandle handle, int id, const char* text) {
  TakeFocus(handle, id);
  HeadlessControl* c = HeadlessFindControl(handle, id);
  if (!c) return 0;
  c->text = text;
  if (c->limit > 0 && c->text.size() > size_t(c->limit)) c->text.resize(size_t(c->limit));
  if (c->source.kind == ControlKind::DropEdit) c->selection = -1;
  return Notice(handle, id, DialogAction::Type);
}

LResult HeadlessSelect(WindowHandle handle, int id, int index) {
  TakeFocus(handle, id);
  HeadlessControl* c = HeadlessFindControl(handle, id);
  if (!c || !IsList(*c) || index < 0 || size_t(index) >= c->items.size()) return 0;
  c->selection = index;
  c->text = c->items[size_t(index)].first;
  return Notice(handle, id, DialogAction::Choose);
}

LResult HeadlessFocus(WindowHandle handle, int id) {
  HeadlessDialogRec* dialog = HeadlessFindDialog(handle);
  if (!dialog) return 0;
  dialog->focus = id;
  return Notice(handle, id, DialogAction::Focus);
}

LResult HeadlessTab(WindowHandle handle, bool forward) {
  HeadlessDialogRec* dialog = HeadlessFindDialog(handle);
  if (!dialog || dialog->controls.empty()) return 0;
  const int count = int(dialog->controls.size());
  int at = 0;
  while (at < count && dialog->controls[size_t(at)].source.id != dialog->focus) ++at;
  if (at == count) at = forward ? count - 1 : 0;
  for (int step = 1; step <= count; ++step) {
    const HeadlessControl& c = dialog->controls[size_t((at + (forward ? step : count - step)) % count)];
    if (Focusable(c)) return HeadlessFocus(handle, c.source.id);
  }
  return 0;
}
