// What each kind of control tells its dialog procedure when a user acts on
// it. Focus arriving on a button is no press: only Click says BN_CLICKED.
#include "platform/dialog.h"

namespace {
using K = ControlKind;
using A = DialogAction;
}  // namespace

const DialogNotice kDialogNotices[] = {
    {K::Button, A::Focus, WM_COMMAND, BN_SETFOCUS},
    {K::DefaultButton, A::Focus, WM_COMMAND, BN_SETFOCUS},
    {K::CheckBox, A::Focus, WM_COMMAND, BN_SETFOCUS},
    {K::Link, A::Focus, WM_COMMAND, BN_SETFOCUS},
    {K::Edit, A::Focus, WM_COMMAND, EN_SETFOCUS},
    {K::DropList, A::Focus, WM_COMMAND, CBN_SETFOCUS},
    {K::DropEdit, A::Focus, WM_COMMAND, CBN_SETFOCUS},
    {K::Slider, A::Focus, 0, 0},
    {K::Button, A::Click, WM_COMMAND, BN_CLICKED},
    {K::DefaultButton, A::Click, WM_COMMAND, BN_CLICKED},
    {K::CheckBox, A::Click, WM_COMMAND, BN_CLICKED},
    {K::Link, A::Click, WM_COMMAND, BN_CLICKED},
    {K::DropList, A::Choose, WM_COMMAND, CBN_SELCHANGE},
    {K::DropEdit, A::Choose, WM_COMMAND, CBN_SELCHANGE},
    {K::Edit, A::Type, WM_COMMAND, EN_CHANGE},
    {K::DropEdit, A::Type, WM_COMMAND, CBN_EDITCHANGE},
    {K::Slider, A::Slide, WM_HSCROLL, 0},
    {K::Spin, A::Spin, WM_VSCROLL, 0},
};
const int kDialogNoticeCount = int(sizeof kDialogNotices / sizeof kDialogNotices[0]);

namespace {

const DialogNotice* Row(ControlKind kind, DialogAction action) {
  for (const DialogNotice& n : kDialogNotices)
    if (n.kind == kind && n.action == action) return &n;
  return nullptr;
}

}  // namespace

bool FindDialogNotice(ControlKind kind, DialogAction action, DialogNotice* notice) {
  const DialogNotice* row = Row(kind, action);
  if (!row || row->message == 0) return false;
  *notice = *row;
  return true;
}

bool TakesDialogFocus(ControlKind kind) { return Row(kind, DialogAction::Focus) != nullptr; }

void DialogNoticeMessage(const DialogNotice& notice, int id, int position, uint32_t* message, WParam* wParam,
                         LParam* lParam) {
  *message = notice.message;
  if (notice.message == WM_COMMAND) {
    *wParam = MakeCommand(id, notice.code);
    *lParam = 0;
  } else {
    *wParam = WParam(position);
    *lParam = id;
  }
}
