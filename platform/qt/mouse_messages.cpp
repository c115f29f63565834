// Mouse events to queued messages.
#include "platform/qt/mouse_messages.h"

#include <QtGui/QMouseEvent>

#include "platform/key_state.h"

void PostMouseMessage(WindowHandle window, const QMouseEvent& event, int x, int y) {
  Qt::MouseButtons buttons = event.buttons();
  unsigned keys = 0;
  if (buttons & Qt::LeftButton) keys |= MK_LBUTTON;
  if (buttons & Qt::RightButton) keys |= MK_RBUTTON;
  if (buttons & Qt::MiddleButton) keys |= MK_MBUTTON;
  if (event.modifiers() & Qt::ShiftModifier) keys |= MK_SHIFT;
  if (event.modifiers() & Qt::ControlModifier) keys |= MK_CONTROL;
  RecordKeyHeld(VK_CONTROL, (event.modifiers() & Qt::ControlModifier) != 0);
  if (event.type() == QEvent::MouseMove) {
    PostMessage(window, WM_MOUSEMOVE, keys, PackPoint(x, y));
    return;
  }
  int vk = 0;
  uint32_t message = 0;
  if (event.button() == Qt::LeftButton) {
    vk = VK_LBUTTON;
    message = WM_LBUTTONDOWN;
  } else if (event.button() == Qt::RightButton) {
    vk = VK_RBUTTON;
    message = WM_RBUTTONDOWN;
  } else if (event.button() == Qt::MiddleButton) {
    vk = VK_MBUTTON;
    message = WM_MBUTTONDOWN;
  } else {
    return;
  }
  if (event.type() == QEvent::MouseButtonPress) {
    RecordKeyDown(vk);
    PostMessage(window, message, keys, PackPoint(x, y));
  } else {
    RecordKeyUp(vk);
  }
}
