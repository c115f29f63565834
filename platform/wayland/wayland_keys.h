// Translation of xkbcommon key symbols into the Windows virtual-key codes
// that the window procedures test for, the same as the X11 host's.
#pragma once
#include <cstdint>

// The virtual-key code for a key that gives keysym, at XKB keycode keycode
// (the Linux input code + 8, as X keycodes are). The digit row gives its
// digit whatever the layout prints on it, and symbols without a code of their
// own (shifted symbols, non-Latin letters) go by where the key sits on a US
// keyboard. 0 for keys the program does not know: they are dropped.
int KeysymToVirtualKey(uint32_t keysym, uint32_t keycode);
