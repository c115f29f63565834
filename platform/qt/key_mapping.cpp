// Qt key codes to Windows virtual-key codes.
#include "platform/qt/key_mapping.h"

#include <QtCore/qnamespace.h>

#include "platform/key_state.h"

namespace {

// X keycodes (Linux input codes + 8) of the main block, as they sit on a US
// keyboard, from keycode 10 on.
constexpr int kRowFrom10[] = {
    '1',         '2',      '3', '4', '5', '6', '7', '8',          '9',           '0',      VK_OEM_MINUS,
    VK_OEM_PLUS,     // 10-21
    0,           0,  // 22-23
    'Q',         'W',      'E', 'R', 'T', 'Y', 'U', 'I',          'O',           'P',      VK_OEM_4,
    VK_OEM_6,        // 24-35
    0,           0,  // 36-37
    'A',         'S',      'D', 'F', 'G', 'H', 'J', 'K',          'L',           VK_OEM_1, VK_OEM_7,
    VK_OEM_3,                                                                               // 38-49
    0,           VK_OEM_5,                                                                  // 50-51
    'Z',         'X',      'C', 'V', 'B', 'N', 'M', VK_OEM_COMMA, VK_OEM_PERIOD, VK_OEM_2,  // 52-61
};

int PositionalKey(uint32_t keycode) { return VirtualKeyAtPosition(keycode); }

int KeypadKey(int qtKey) {
  if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return VK_NUMPAD0 + (qtKey - Qt::Key_0);
  switch (qtKey) {
    case Qt::Key_Plus:
      return VK_ADD;
    case Qt::Key_Minus:
      return VK_SUBTRACT;
    case Qt::Key_Asterisk:
      return VK_MULTIPLY;
    case Qt::Key_Slash:
      return VK_DIVIDE;
    case Qt::Key_Period:
    case Qt::Key_Comma:
      return VK_DECIMAL;
    default:
      return 0;  // navigation keys with Num Lock off map as usual
  }
}

int NamedKey(int qtKey) {
  if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return 'A' + (qtKey - Qt::Key_A);
  if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return '0' + (qtKey - Qt::Key_0);
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return VK_F1 + (qtKey - Qt::Key_F1);
  switch (qtKey) {
    case Qt::Key_Backspace:
      return VK_BACK;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return VK_TAB;
    case Qt::Key_Clear:
      return VK_CLEAR;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return VK_RETURN;
    case Qt::Key_Shift:
      return VK_SHIFT;
    case Qt::Key_Control:
      return VK_CONTROL;
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
      return VK_MENU;
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
      return VK_LWIN;
    case Qt::Key_Menu:
      return VK_APPS;
    case Qt::Key_Pause:
      return VK_PAUSE;
    case Qt::Key_CapsLock:
      return VK_CAPITAL;
    case Qt::Key_NumLock:
      return VK_NUMLOCK;
    case Qt::Key_ScrollLock:
      return VK_SCROLL;
    case Qt::Key_Print:
      return VK_SNAPSHOT;
    case Qt::Key_Escape:
      return VK_ESCAPE;
    case Qt::Key_Space:
      return VK_SPACE;
    case Qt::Key_PageUp:
      return VK_PRIOR;
    case Qt::Key_PageDown:
      return VK_NEXT;
    case Qt::Key_End:
      return VK_END;
    case Qt::Key_Home:
      return VK_HOME;
    case Qt::Key_Left:
      return VK_LEFT;
    case Qt::Key_Up:
      return VK_UP;
    case Qt::Key_Right:
      return VK_RIGHT;
    case Qt::Key_Down:
      return VK_DOWN;
    case Qt::Key_Insert:
      return VK_INSERT;
    case Qt::Key_Delete:
      return VK_DELETE;
    // The punctuation keys, by their unshifted and shifted US symbols.
    case Qt::Key_Semicolon:
    case Qt::Key_Colon:
      return VK_OEM_1;
    case Qt::Key_Equal:
    case Qt::Key_Plus:
      return VK_OEM_PLUS;
    case Qt::Key_Comma:
    case Qt::Key_Less:
      return VK_OEM_COMMA;
    case Qt::Key_Minus:
    case Qt::Key_Underscore:
      return VK_OEM_MINUS;
    case Qt::Key_Period:
    case Qt::Key_Greater:
      return VK_OEM_PERIOD;
    case Qt::Key_Slash:
    case Qt::Key_Question:
      return VK_OEM_2;
    case Qt::Key_QuoteLeft:
    case Qt::Key_AsciiTilde:
      return VK_OEM_3;
    case Qt::Key_BracketLeft:
    case Qt::Key_BraceLeft:
      return VK_OEM_4;
    case Qt::Key_Backslash:
    case Qt::Key_Bar:
      return VK_OEM_5;
    case Qt::Key_BracketRight:
    case Qt::Key_BraceRight:
      return VK_OEM_6;
    case Qt::Key_Apostrophe:
    case Qt::Key_QuoteDbl:
      return VK_OEM_7;
    default:
      return 0;
  }
}

// Shifted digits of a US keyboard: Windows reports the digit key itself.
int ShiftedDigit(int qtKey) {
  switch (qtKey) {
    case Qt::Key_Exclam:
      return '1';
    case Qt::Key_At:
      return '2';
    case Qt::Key_NumberSign:
      return '3';
    case Qt::Key_Dollar:
      return '4';
    case Qt::Key_Percent:
      return '5';
    case Qt::Key_AsciiCircum:
      return '6';
    case Qt::Key_Ampersand:
      return '7';
    case Qt::Key_Asterisk:
      return '8';
    case Qt::Key_ParenLeft:
      return '9';
    case Qt::Key_ParenRight:
      return '0';
    default:
      return 0;
  }
}

}  // namespace

int VirtualKeyAtPosition(uint32_t keycode) {
  if (keycode == 94) return VK_OEM_102;
  if (keycode < 10 || keycode >= 10 + sizeof kRowFrom10 / sizeof kRowFrom10[0]) return 0;
  return kRowFrom10[keycode - 10];
}

int QtKeyToVirtualKey(int qtKey, bool keypad, uint32_t nativeScanCode) {
  if (keypad) {
    int vk = KeypadKey(qtKey);
    if (vk != 0) return vk;
  } else if ((nativeScanCode >= 10 && nativeScanCode <= 19) || nativeScanCode == 94) {
    // The digit row gives its digit whatever the layout prints on it
    // (AZERTY, or a shifted symbol); the ISO extra key has a code of its own.
    return PositionalKey(nativeScanCode);
  }
  int vk = NamedKey(qtKey);
  if (vk != 0) return vk;
  // A printable symbol without a code of its own: go by where the key is.
  bool printable = qtKey > 0 && qtKey < Qt::Key_Escape;
  if (printable && !keypad) {
    vk = PositionalKey(nativeScanCode);
    if (vk != 0) return vk;
    return ShiftedDigit(qtKey);
  }
  return 0;
}
