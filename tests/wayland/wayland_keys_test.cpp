// Keys of a real keyboard layout, through xkbcommon as the seat's keymap
// gives them, into the codes the window procedures test for.
#include "platform/wayland/wayland_keys.h"

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon.h>

#include "platform/key_state.h"

namespace {

// Linux input codes of the keys used below.
constexpr uint32_t kEsc = 1, kDigit1 = 2, kDigit5 = 6, kDigit0 = 11, kQ = 16, kA = 30, kLeftCtrl = 29,
                   kSemicolon = 39, kLeftShift = 42, kZ = 44, kM = 50, kLeftAlt = 56, kSpace = 57, kF1 = 59,
                   kKeypad7 = 71, kLess = 86, kF11 = 87, kF12 = 88, kVolumeUp = 115, kPause = 119;

class Layout {
 public:
  explicit Layout(const char* name, const char* variant = "") {
    context_ = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    xkb_rule_names names{"evdev", "pc105", name, variant, ""};
    keymap_ = xkb_keymap_new_from_names(context_, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (keymap_) state_ = xkb_state_new(keymap_);
  }
  ~Layout() {
    if (state_) xkb_state_unref(state_);
    if (keymap_) xkb_keymap_unref(keymap_);
    xkb_context_unref(context_);
  }
  bool Ready() const { return state_ != nullptr; }
  // The code a press of the key gives, with Num Lock or Shift as asked.
  int Code(uint32_t inputCode, bool shift = false, bool numLock = false) {
    xkb_mod_mask_t mods = 0;
    if (shift) mods |= 1u << xkb_keymap_mod_get_index(keymap_, XKB_MOD_NAME_SHIFT);
    xkb_mod_mask_t locked = numLock ? 1u << xkb_keymap_mod_get_index(keymap_, XKB_MOD_NAME_NUM) : 0;
    xkb_state_update_mask(state_, mods, 0, locked, 0, 0, 0);
    return KeysymToVirtualKey(xkb_state_key_get_one_sym(state_, inputCode + 8), inputCode + 8);
  }

 private:
  xkb_context* context_ = nullptr;
  xkb_keymap* keymap_ = nullptr;
  xkb_state* state_ = nullptr;
};

struct KeyCase {
  const char* layout;
  uint32_t inputCode;
  bool shift;
  bool numLock;
  int expected;
};

TEST(WaylandKeysTest, KeysOfRealLayoutsGiveTheCodesTheCommandsTestFor) {
  const KeyCase cases[] = {
      // The command keys on a US keyboard (letters and F1 to F10 below); a
      // media key has no code: it is dropped.
      {"us", kEsc, false, false, VK_ESCAPE},
      {"us", kSpace, false, false, VK_SPACE},
      {"us", kPause, false, false, VK_PAUSE},
      {"us", kLeftCtrl, false, false, VK_CONTROL},
      {"us", kDigit5, false, false, '5'},
      {"us", kDigit0, false, false, '0'},
      {"us", kA, true, false, 'A'},
      {"us", kF11, false, false, VK_F1 + 10},
      {"us", kF12, false, false, VK_F12},
      {"us", kVolumeUp, false, false, 0},
      // Keys that end the saver must not be dropped as unknown (B among the
      // letters below).
      {"us", kLeftAlt, false, false, VK_MENU},
      {"us", kLeftShift, false, false, VK_SHIFT},
      // Shifted digits are still the digit keys; punctuation by its US key.
      {"us", kDigit1, true, false, '1'},
      {"us", kSemicolon, true, false, VK_OEM_1},
      // The keypad with and without Num Lock.
      {"us", kKeypad7, false, true, VK_NUMPAD0 + 7},
      {"us", kKeypad7, false, false, VK_HOME},
      // Other layouts: the digit row gives digits (AZERTY prints symbols
      // there), letters go by their own symbol, non-Latin ones by position.
      {"fr", kDigit5, false, false, '5'},
      {"fr", kDigit0, false, false, '0'},
      {"fr", kQ, false, false, 'A'},
      {"fr", kA, false, false, 'Q'},
      {"de", kZ, false, false, 'Y'},
      {"de", kLess, false, false, 0xE2},
      {"ru", kQ, false, false, 'Q'},
      {"ru", kM, false, false, 'M'},
  };
  for (const KeyCase& c : cases) {
    Layout layout(c.layout);
    ASSERT_TRUE(layout.Ready()) << "no keymap for layout " << c.layout;
    EXPECT_EQ(layout.Code(c.inputCode, c.shift, c.numLock), c.expected)
        << c.layout << " key " << c.inputCode << (c.shift ? " shifted" : "")
        << (c.numLock ? " num lock" : "");
  }
}

TEST(WaylandKeysTest, EveryLetterAndFunctionKeyOfUsLayoutMaps) {
  Layout us("us");
  ASSERT_TRUE(us.Ready());
  // The letters by their rows on the keyboard, and F1 to F10 in a run.
  const char* rows[] = {"QWERTYUIOP", "ASDFGHJKL", "ZXCVBNM"};
  const uint32_t rowStart[] = {16, 30, 44};
  for (int r = 0; r < 3; ++r) {
    for (int i = 0; rows[r][i]; ++i) EXPECT_EQ(us.Code(rowStart[r] + uint32_t(i)), rows[r][i]) << rows[r][i];
  }
  for (int n = 0; n < 10; ++n) EXPECT_EQ(us.Code(kF1 + uint32_t(n)), VK_F1 + n) << "F" << n + 1;
}

}  // namespace
