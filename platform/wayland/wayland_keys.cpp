// xkbcommon key symbols to Windows virtual-key codes.
#include "platform/wayland/wayland_keys.h"

#include <xkbcommon/xkbcommon-keysyms.h>

#include <cstddef>

#include "platform/key_state.h"
#include "platform/qt/key_mapping.h"

namespace {

struct KeysymCode {
  uint32_t keysym;
  int vk;
};

// The keypad's own codes; with Num Lock off its keys give navigation
// symbols, which map as the navigation keys do.
constexpr KeysymCode kKeypad[] = {
    {XKB_KEY_KP_Add, VK_ADD},       {XKB_KEY_KP_Subtract, VK_SUBTRACT}, {XKB_KEY_KP_Multiply, VK_MULTIPLY},
    {XKB_KEY_KP_Divide, VK_DIVIDE}, {XKB_KEY_KP_Decimal, VK_DECIMAL},   {XKB_KEY_KP_Separator, VK_DECIMAL},
    {XKB_KEY_KP_Enter, VK_RETURN},  {XKB_KEY_KP_Home, VK_HOME},         {XKB_KEY_KP_End, VK_END},
    {XKB_KEY_KP_Page_Up, VK_PRIOR}, {XKB_KEY_KP_Page_Down, VK_NEXT},    {XKB_KEY_KP_Left, VK_LEFT},
    {XKB_KEY_KP_Up, VK_UP},         {XKB_KEY_KP_Right, VK_RIGHT},       {XKB_KEY_KP_Down, VK_DOWN},
    {XKB_KEY_KP_Insert, VK_INSERT}, {XKB_KEY_KP_Delete, VK_DELETE},     {XKB_KEY_KP_Begin, VK_CLEAR},
};

constexpr KeysymCode kNamed[] = {
    {XKB_KEY_BackSpace, VK_BACK},
    {XKB_KEY_Tab, VK_TAB},
    {XKB_KEY_ISO_Left_Tab, VK_TAB},
    {XKB_KEY_Clear, VK_CLEAR},
    {XKB_KEY_Return, VK_RETURN},
    {XKB_KEY_Shift_L, VK_SHIFT},
    {XKB_KEY_Shift_R, VK_SHIFT},
    {XKB_KEY_Control_L, VK_CONTROL},
    {XKB_KEY_Control_R, VK_CONTROL},
    {XKB_KEY_Alt_L, VK_MENU},
    {XKB_KEY_Alt_R, VK_MENU},
    {XKB_KEY_ISO_Level3_Shift, VK_MENU},
    {XKB_KEY_Meta_L, VK_LWIN},
    {XKB_KEY_Meta_R, VK_LWIN},
    {XKB_KEY_Super_L, VK_LWIN},
    {XKB_KEY_Super_R, VK_LWIN},
    {XKB_KEY_Menu, VK_APPS},
    {XKB_KEY_Pause, VK_PAUSE},
    {XKB_KEY_Caps_Lock, VK_CAPITAL},
    {XKB_KEY_Num_Lock, VK_NUMLOCK},
    {XKB_KEY_Scroll_Lock, VK_SCROLL},
    {XKB_KEY_Print, VK_SNAPSHOT},
    {XKB_KEY_Escape, VK_ESCAPE},
    {XKB_KEY_space, VK_SPACE},
    {XKB_KEY_Prior, VK_PRIOR},
    {XKB_KEY_Next, VK_NEXT},
    {XKB_KEY_End, VK_END},
    {XKB_KEY_Home, VK_HOME},
    {XKB_KEY_Left, VK_LEFT},
    {XKB_KEY_Up, VK_UP},
    {XKB_KEY_Right, VK_RIGHT},
    {XKB_KEY_Down, VK_DOWN},
    {XKB_KEY_Insert, VK_INSERT},
    {XKB_KEY_Delete, VK_DELETE},
    // The punctuation keys, by their unshifted and shifted US symbols.
    {XKB_KEY_semicolon, VK_OEM_1},
    {XKB_KEY_colon, VK_OEM_1},
    {XKB_KEY_equal, VK_OEM_PLUS},
    {XKB_KEY_plus, VK_OEM_PLUS},
    {XKB_KEY_comma, VK_OEM_COMMA},
    {XKB_KEY_less, VK_OEM_COMMA},
    {XKB_KEY_minus, VK_OEM_MINUS},
    {XKB_KEY_underscore, VK_OEM_MINUS},
    {XKB_KEY_period, VK_OEM_PERIOD},
    {XKB_KEY_greater, VK_OEM_PERIOD},
    {XKB_KEY_slash, VK_OEM_2},
    {XKB_KEY_question, VK_OEM_2},
    {XKB_KEY_grave, VK_OEM_3},
    {XKB_KEY_asciitilde, VK_OEM_3},
    {XKB_KEY_bracketleft, VK_OEM_4},
    {XKB_KEY_braceleft, VK_OEM_4},
    {XKB_KEY_backslash, VK_OEM_5},
    {XKB_KEY_bar, VK_OEM_5},
    {XKB_KEY_bracketright, VK_OEM_6},
    {XKB_KEY_braceright, VK_OEM_6},
    {XKB_KEY_apostrophe, VK_OEM_7},
    {XKB_KEY_quotedbl, VK_OEM_7},
};

// Shifted digits of a US keyboard, in the order of their digits 1..9, 0.
constexpr uint32_t kShiftedDigits[] = {
    XKB_KEY_exclam,      XKB_KEY_at,        XKB_KEY_numbersign, XKB_KEY_dollar,    XKB_KEY_percent,
    XKB_KEY_asciicircum, XKB_KEY_ampersand, XKB_KEY_asterisk,   XKB_KEY_parenleft, XKB_KEY_parenright};

template <size_t N>
int Lookup(const KeysymCode (&table)[N], uint32_t keysym) {
  for (const KeysymCode& entry : table) {
    if (entry.keysym == keysym) return entry.vk;
  }
  return 0;
}

}  // namespace

int KeysymToVirtualKey(uint32_t keysym, uint32_t keycode) {
  if (keysym >= XKB_KEY_KP_0 && keysym <= XKB_KEY_KP_9) return VK_NUMPAD0 + int(keysym - XKB_KEY_KP_0);
  if (int vk = Lookup(kKeypad, keysym)) return vk;
  if ((keycode >= 10 && keycode <= 19) || keycode == 94) return VirtualKeyAtPosition(keycode);
  if (keysym >= XKB_KEY_a && keysym <= XKB_KEY_z) return 'A' + int(keysym - XKB_KEY_a);
  if (keysym >= XKB_KEY_A && keysym <= XKB_KEY_Z) return 'A' + int(keysym - XKB_KEY_A);
  if (keysym >= XKB_KEY_0 && keysym <= XKB_KEY_9) return '0' + int(keysym - XKB_KEY_0);
  if (keysym >= XKB_KEY_F1 && keysym <= XKB_KEY_F24) return VK_F1 + int(keysym - XKB_KEY_F1);
  if (int vk = Lookup(kNamed, keysym)) return vk;
  // A printable symbol without a code of its own (a non-Latin letter, a
  // symbol of another layout): go by where the key is.
  bool printable = (keysym > 0x20 && keysym < 0x7F) || (keysym >= 0xA0 && keysym < 0xFF00) ||
                   (keysym & 0xFF000000u) == 0x01000000u;
  if (!printable) return 0;
  if (int vk = VirtualKeyAtPosition(keycode)) return vk;
  for (int i = 0; i < 10; ++i) {
    if (kShiftedDigits[i] == keysym) return i == 9 ? '0' : '1' + i;
  }
  return 0;
}
