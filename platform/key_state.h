// Key state as the window procedures read it, with Windows virtual-key
// codes. Hosts record key presses and releases here as they translate them.
#pragma once
#include <cstdint>

enum : int {
  VK_LBUTTON = 0x01,
  VK_RBUTTON = 0x02,
  VK_MBUTTON = 0x04,
  VK_BACK = 0x08,
  VK_TAB = 0x09,
  VK_CLEAR = 0x0C,
  VK_RETURN = 0x0D,
  VK_SHIFT = 0x10,
  VK_CONTROL = 0x11,
  VK_MENU = 0x12,
  VK_PAUSE = 0x13,
  VK_CAPITAL = 0x14,
  VK_ESCAPE = 0x1B,
  VK_SPACE = 0x20,
  VK_PRIOR = 0x21,
  VK_NEXT = 0x22,
  VK_END = 0x23,
  VK_HOME = 0x24,
  VK_LEFT = 0x25,
  VK_UP = 0x26,
  VK_RIGHT = 0x27,
  VK_DOWN = 0x28,
  VK_SNAPSHOT = 0x2C,
  VK_INSERT = 0x2D,
  VK_DELETE = 0x2E,
  // '0'..'9' and 'A'..'Z' are their ASCII codes.
  VK_LWIN = 0x5B,
  VK_APPS = 0x5D,
  VK_NUMPAD0 = 0x60,
  VK_MULTIPLY = 0x6A,
  VK_ADD = 0x6B,
  VK_SUBTRACT = 0x6D,
  VK_DECIMAL = 0x6E,
  VK_DIVIDE = 0x6F,
  VK_F1 = 0x70,  // VK_F1 + n - 1 is Fn, up to F24
  VK_F2 = 0x71,
  VK_F3 = 0x72,
  VK_F4 = 0x73,
  VK_F5 = 0x74,
  VK_F6 = 0x75,
  VK_F10 = 0x79,
  VK_F12 = 0x7B,
  VK_NUMLOCK = 0x90,
  VK_SCROLL = 0x91,
  VK_OEM_1 = 0xBA,       // ;:
  VK_OEM_PLUS = 0xBB,    // =+
  VK_OEM_COMMA = 0xBC,   // ,<
  VK_OEM_MINUS = 0xBD,   // -_
  VK_OEM_PERIOD = 0xBE,  // .>
  VK_OEM_2 = 0xBF,       // /?
  VK_OEM_3 = 0xC0,       // `~
  VK_OEM_4 = 0xDB,       // [{
  VK_OEM_5 = 0xDC,       // \|
  VK_OEM_6 = 0xDD,       // ]}
  VK_OEM_7 = 0xDE,       // '"
  VK_OEM_102 = 0xE2,     // the extra key left of Z on ISO keyboards
};

// Host side: a key went down or up.
void RecordKeyDown(int vk);
void RecordKeyUp(int vk);
// Host side: whether a modifier is held, as an input event reports it. It
// corrects the held state only and counts as no press.
void RecordKeyHeld(int vk, bool held);
// Host side: the window lost the keyboard, so no release will reach it;
// every key counts as up. Presses not yet queried are kept.
void ReleaseAllKeys();

// Bit 15 set while the key is down; bit 0 set when the key was pressed since
// the previous query of that key (the query clears it).
int16_t GetAsyncKeyState(int vk);
// 256 entries; bit 7 set while the key is down.
void GetKeyboardState(uint8_t state[256]);

void ResetKeyState();
