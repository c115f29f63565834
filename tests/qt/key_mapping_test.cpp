// The Qt key to virtual-key table, over the keys the window procedures test.
#include "platform/qt/key_mapping.h"

#include <QtCore/qnamespace.h>
#include <gtest/gtest.h>

namespace {

struct KeyCase {
  const char* name;
  int qtKey;
  bool keypad;
  uint32_t scanCode;
  int vk;
};

const KeyCase kKeyCases[] = {
    {"A", Qt::Key_A, false, 0, 0x41},
    {"M", Qt::Key_M, false, 0, 0x4D},
    {"Z", Qt::Key_Z, false, 0, 0x5A},
    {"0", Qt::Key_0, false, 0, 0x30},
    {"5", Qt::Key_5, false, 0, 0x35},
    {"9", Qt::Key_9, false, 0, 0x39},
    {"F1", Qt::Key_F1, false, 0, 0x70},
    {"F5", Qt::Key_F5, false, 0, 0x74},
    {"F10", Qt::Key_F10, false, 0, 0x79},
    {"F12", Qt::Key_F12, false, 0, 0x7B},
    {"F24", Qt::Key_F24, false, 0, 0x87},
    {"Pause", Qt::Key_Pause, false, 0, 0x13},
    {"Space", Qt::Key_Space, false, 0, 0x20},
    {"Escape", Qt::Key_Escape, false, 0, 0x1B},
    {"Return", Qt::Key_Return, false, 0, 0x0D},
    {"keypad Enter", Qt::Key_Enter, true, 0, 0x0D},
    {"Tab", Qt::Key_Tab, false, 0, 0x09},
    {"Backspace", Qt::Key_Backspace, false, 0, 0x08},
    {"Left", Qt::Key_Left, false, 0, 0x25},
    {"Down", Qt::Key_Down, false, 0, 0x28},
    {"PageUp", Qt::Key_PageUp, false, 0, 0x21},
    {"PageDown", Qt::Key_PageDown, false, 0, 0x22},
    {"Home", Qt::Key_Home, false, 0, 0x24},
    {"End", Qt::Key_End, false, 0, 0x23},
    {"Insert", Qt::Key_Insert, false, 0, 0x2D},
    {"Delete", Qt::Key_Delete, false, 0, 0x2E},
    {"Shift", Qt::Key_Shift, false, 0, 0x10},
    {"Control", Qt::Key_Control, false, 0, 0x11},
    {"Alt", Qt::Key_Alt, false, 0, 0x12},
    {"main +", Qt::Key_Plus, false, 0, 0xBB},
    {"main =", Qt::Key_Equal, false, 0, 0xBB},
    {"main -", Qt::Key_Minus, false, 0, 0xBD},
    {"keypad +", Qt::Key_Plus, true, 0, 0x6B},
    {"keypad -", Qt::Key_Minus, true, 0, 0x6D},
    {"keypad *", Qt::Key_Asterisk, true, 0, 0x6A},
    {"keypad /", Qt::Key_Slash, true, 0, 0x6F},
    {"keypad .", Qt::Key_Period, true, 0, 0x6E},
    {"keypad 0", Qt::Key_0, true, 0, 0x60},
    {"keypad 7", Qt::Key_7, true, 0, 0x67},
    {"keypad Home (Num Lock off)", Qt::Key_Home, true, 0, 0x24},
    {";", Qt::Key_Semicolon, false, 0, 0xBA},
    {",", Qt::Key_Comma, false, 0, 0xBC},
    {".", Qt::Key_Period, false, 0, 0xBE},
    {"/", Qt::Key_Slash, false, 0, 0xBF},
    {"`", Qt::Key_QuoteLeft, false, 0, 0xC0},
    {"[", Qt::Key_BracketLeft, false, 0, 0xDB},
    {"\\", Qt::Key_Backslash, false, 0, 0xDC},
    {"]", Qt::Key_BracketRight, false, 0, 0xDD},
    {"'", Qt::Key_Apostrophe, false, 0, 0xDE},
    {"shifted ? is the / key", Qt::Key_Question, false, 0, 0xBF},
    {"shifted 5 without a scan code", Qt::Key_Percent, false, 0, 0x35},
    {"shifted 8 without a scan code", Qt::Key_Asterisk, false, 0, 0x38},
    // X keycodes: 11 is the '2' key, 58 the 'M' key, 94 the ISO extra key.
    {"AZERTY e-acute on the 2 key", Qt::Key_Eacute, false, 11, 0x32},
    {"German shifted 7 (/) on the 7 key", Qt::Key_Slash, false, 16, 0x37},
    {"Cyrillic soft sign on the M key", 0x42C, false, 58, 0x4D},
    {"ISO < > key", Qt::Key_Less, false, 94, 0xE2},
    {"unknown printable without a scan code", 0x42C, false, 0, 0},
    {"Volume Up", Qt::Key_VolumeUp, false, 0, 0},
    {"Launch Mail", Qt::Key_LaunchMail, false, 0, 0},
    {"unknown", Qt::Key_unknown, false, 0, 0},
};

TEST(QtKeyMapping, MapsKeysToVirtualKeyCodes) {
  for (const KeyCase& c : kKeyCases) {
    EXPECT_EQ(QtKeyToVirtualKey(c.qtKey, c.keypad, c.scanCode), c.vk) << c.name;
  }
}

}  // namespace
