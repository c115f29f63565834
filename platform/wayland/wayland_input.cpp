// The seat's keyboard and pointer as queued messages, the same messages the
// X11 host posts. The seat gains and loses them as devices come and go (a
// virtual keyboard exists only while it types), so they are taken and let go
// as its capabilities change.
#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cstring>

#include "platform/key_state.h"
#include "platform/wayland/wayland_internal.h"
#include "platform/wayland/wayland_keys.h"

namespace {

bool ModifierActive(const char* name) {
  return gWl.keyState && xkb_state_mod_name_is_active(gWl.keyState, name, XKB_STATE_MODS_EFFECTIVE) > 0;
}

unsigned HeldKeys() {
  unsigned keys = gWl.buttons;
  if (ModifierActive(XKB_MOD_NAME_SHIFT)) keys |= MK_SHIFT;
  if (ModifierActive(XKB_MOD_NAME_CTRL)) keys |= MK_CONTROL;
  return keys;
}

void DropKeymap() {
  if (gWl.keyState) xkb_state_unref(gWl.keyState);
  if (gWl.keymap) xkb_keymap_unref(gWl.keymap);
  gWl.keyState = nullptr;
  gWl.keymap = nullptr;
}

// --- Keyboard ------------------------------------------------------------

void KeyboardKeymap(void*, wl_keyboard*, uint32_t format, int32_t fd, uint32_t size) {
  DropKeymap();
  if (format != WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 || size == 0) {
    close(fd);
    return;
  }
  void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  close(fd);
  if (text == MAP_FAILED) return;
  if (!gWl.xkb) gWl.xkb = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  if (gWl.xkb) {
    gWl.keymap = xkb_keymap_new_from_buffer(gWl.xkb, static_cast<const char*>(text),
                                            strnlen(static_cast<const char*>(text), size),
                                            XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
  }
  munmap(text, size);
  if (gWl.keymap) gWl.keyState = xkb_state_new(gWl.keymap);
}

void KeyboardEnter(void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {}

// Keys held when the focus went are released where this program cannot see.
void KeyboardLeave(void*, wl_keyboard*, uint32_t, wl_surface*) { ReleaseAllKeys(); }

void KeyboardKey(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t key, uint32_t state) {
  if (!gWl.keyState || gWl.window == 0) return;
  const uint32_t keycode = key + 8;
  int vk = KeysymToVirtualKey(xkb_state_key_get_one_sym(gWl.keyState, keycode), keycode);
  // Ctrl is held when the modifiers say so; its own press and release are
  // recorded as they come.
  if (vk != VK_CONTROL) RecordKeyHeld(VK_CONTROL, ModifierActive(XKB_MOD_NAME_CTRL));
  if (vk == 0) return;
  const bool alt = ModifierActive(XKB_MOD_NAME_ALT);
  const bool system = alt || vk == VK_MENU || vk == VK_F10;
  const uint32_t context = alt ? 1u << 29 : 0u;
  if (state == WL_KEYBOARD_KEY_STATE_PRESSED) {
    RecordKeyDown(vk);
    PostMessage(gWl.window, system ? WM_SYSKEYDOWN : WM_KEYDOWN, WParam(vk), LParam(1u | context));
  } else {
    RecordKeyUp(vk);
    PostMessage(gWl.window, system ? WM_SYSKEYUP : WM_KEYUP, WParam(vk), LParam(0xC0000001u | context));
  }
}

void KeyboardModifiers(void*, wl_keyboard*, uint32_t, uint32_t depressed, uint32_t latched, uint32_t locked,
                       uint32_t group) {
  if (gWl.keyState) xkb_state_update_mask(gWl.keyState, depressed, latched, locked, 0, 0, group);
}

void KeyboardRepeat(void*, wl_keyboard*, int32_t, int32_t) {}

const wl_keyboard_listener kKeyboardListener = {KeyboardKeymap, KeyboardEnter,     KeyboardLeave,
                                                KeyboardKey,    KeyboardModifiers, KeyboardRepeat};

// --- Pointer ---------------------------------------------------------------

void PostMove(wl_fixed_t sx, wl_fixed_t sy) {
  if (gWl.window == 0 || !gWl.pointerSurface) return;
  int x = 0, y = 0;
  WlPointToFrame(gWl.pointerSurface, wl_fixed_to_int(sx), wl_fixed_to_int(sy), &x, &y);
  PostMessage(gWl.window, WM_MOUSEMOVE, HeldKeys(), PackPoint(x, y));
}

void PointerEnter(void*, wl_pointer* pointer, uint32_t serial, wl_surface* surface, wl_fixed_t sx,
                  wl_fixed_t sy) {
  gWl.pointerSurface = WlFindOutputBySurface(surface) ? surface : nullptr;
  if (!gWl.pointerSurface) return;
  // No cursor over the saver.
  wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0);
  PostMove(sx, sy);
}

void PointerLeave(void*, wl_pointer*, uint32_t, wl_surface*) { gWl.pointerSurface = nullptr; }

void PointerMotion(void*, wl_pointer*, uint32_t, wl_fixed_t sx, wl_fixed_t sy) { PostMove(sx, sy); }

void PointerButton(void*, wl_pointer*, uint32_t, uint32_t, uint32_t button, uint32_t state) {
  if (gWl.window == 0) return;
  int vk = 0;
  uint32_t message = 0;
  unsigned bit = 0;
  if (button == BTN_LEFT) {
    vk = VK_LBUTTON;
    message = WM_LBUTTONDOWN;
    bit = MK_LBUTTON;
  } else if (button == BTN_RIGHT) {
    vk = VK_RBUTTON;
    message = WM_RBUTTONDOWN;
    bit = MK_RBUTTON;
  } else if (button == BTN_MIDDLE) {
    vk = VK_MBUTTON;
    message = WM_MBUTTONDOWN;
    bit = MK_MBUTTON;
  } else {
    return;
  }
  RecordKeyHeld(VK_CONTROL, ModifierActive(XKB_MOD_NAME_CTRL));
  if (state == WL_POINTER_BUTTON_STATE_PRESSED) {
    gWl.buttons |= bit;
    RecordKeyDown(vk);
    PostMessage(gWl.window, message, HeldKeys(), 0);
  } else {
    gWl.buttons &= ~bit;
    RecordKeyUp(vk);
  }
}

// A turn of the wheel is a press of the button it sits on.
void PointerAxis(void*, wl_pointer*, uint32_t, uint32_t, wl_fixed_t value) {
  if (gWl.window == 0 || value == 0) return;
  RecordKeyHeld(VK_CONTROL, ModifierActive(XKB_MOD_NAME_CTRL));
  PostMessage(gWl.window, WM_MBUTTONDOWN, HeldKeys(), 0);
}

void PointerFrame(void*, wl_pointer*) {}
void PointerAxisSource(void*, wl_pointer*, uint32_t) {}
void PointerAxisStop(void*, wl_pointer*, uint32_t, uint32_t) {}
void PointerAxisDiscrete(void*, wl_pointer*, uint32_t, int32_t) {}
void PointerAxisValue120(void*, wl_pointer*, uint32_t, int32_t) {}

const wl_pointer_listener kPointerListener = {
    PointerEnter, PointerLeave,      PointerMotion,   PointerButton,       PointerAxis,
    PointerFrame, PointerAxisSource, PointerAxisStop, PointerAxisDiscrete, PointerAxisValue120};

// --- Seat ------------------------------------------------------------------

void ReleaseKeyboard() {
  if (!gWl.keyboard) return;
  if (wl_keyboard_get_version(gWl.keyboard) >= WL_KEYBOARD_RELEASE_SINCE_VERSION)
    wl_keyboard_release(gWl.keyboard);
  else
    wl_keyboard_destroy(gWl.keyboard);
  gWl.keyboard = nullptr;
  DropKeymap();
  ReleaseAllKeys();
}

void ReleasePointer() {
  if (!gWl.pointer) return;
  if (wl_pointer_get_version(gWl.pointer) >= WL_POINTER_RELEASE_SINCE_VERSION)
    wl_pointer_release(gWl.pointer);
  else
    wl_pointer_destroy(gWl.pointer);
  gWl.pointer = nullptr;
  gWl.pointerSurface = nullptr;
  gWl.buttons = 0;
}

void SeatCapabilities(void*, wl_seat* seat, uint32_t capabilities) {
  bool keyboard = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
  bool pointer = (capabilities & WL_SEAT_CAPABILITY_POINTER) != 0;
  if (keyboard && !gWl.keyboard) {
    gWl.keyboard = wl_seat_get_keyboard(seat);
    wl_keyboard_add_listener(gWl.keyboard, &kKeyboardListener, nullptr);
  } else if (!keyboard) {
    ReleaseKeyboard();
  }
  if (pointer && !gWl.pointer) {
    gWl.pointer = wl_seat_get_pointer(seat);
    wl_pointer_add_listener(gWl.pointer, &kPointerListener, nullptr);
  } else if (!pointer) {
    ReleasePointer();
  }
}

void SeatName(void*, wl_seat*, const char*) {}

const wl_seat_listener kSeatListener = {SeatCapabilities, SeatName};

}  // namespace

void WlBindSeat(uint32_t name, uint32_t version) {
  // One seat is enough: a saver ends on the first input it sees.
  if (gWl.seat) return;
  gWl.seatVersion = std::min(version, 5u);
  gWl.seat = static_cast<wl_seat*>(wl_registry_bind(gWl.registry, name, &wl_seat_interface, gWl.seatVersion));
  wl_seat_add_listener(gWl.seat, &kSeatListener, nullptr);
}

void WlReleaseSeat() {
  ReleaseKeyboard();
  ReleasePointer();
  if (gWl.seat) {
    if (wl_seat_get_version(gWl.seat) >= WL_SEAT_RELEASE_SINCE_VERSION)
      wl_seat_release(gWl.seat);
    else
      wl_seat_destroy(gWl.seat);
  }
  gWl.seat = nullptr;
  if (gWl.xkb) xkb_context_unref(gWl.xkb);
  gWl.xkb = nullptr;
}
