// Translation of the toolkit's key codes into the Windows virtual-key codes
// that the window procedures test for.
#pragma once
#include <cstdint>

// The virtual-key code for a Qt key (Qt::Key value). keypad is set when the
// key came from the numeric keypad (Qt::KeypadModifier). nativeScanCode is
// the X keycode when known (0 otherwise): it places the keys of layouts whose
// symbols have no virtual-key code of their own (shifted symbols, non-Latin
// letters) by their position on a US keyboard, as Windows does. Returns 0 for
// keys the program does not know; the host then drops the event.
int QtKeyToVirtualKey(int qtKey, bool keypad, uint32_t nativeScanCode = 0);

// The virtual-key code of the key at X keycode (Linux input code + 8) as it
// sits on a US keyboard, for the keys of the main block; 0 for the others.
int VirtualKeyAtPosition(uint32_t keycode);
