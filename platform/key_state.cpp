// Key state recorded by the host from its key events.
#include "platform/key_state.h"

namespace {

struct KeyStateRec {
  bool down[256] = {};
  bool pressedSinceQuery[256] = {};
};

KeyStateRec gKeys;

bool Valid(int vk) { return vk >= 0 && vk < 256; }

}  // namespace

void RecordKeyDown(int vk) {
  if (!Valid(vk)) return;
  gKeys.down[vk] = true;
  gKeys.pressedSinceQuery[vk] = true;
}

void RecordKeyUp(int vk) {
  if (Valid(vk)) gKeys.down[vk] = false;
}

void RecordKeyHeld(int vk, bool held) {
  if (Valid(vk)) gKeys.down[vk] = held;
}

void ReleaseAllKeys() {
  for (bool& down : gKeys.down) down = false;
}

int16_t GetAsyncKeyState(int vk) {
  if (!Valid(vk)) return 0;
  int16_t state = gKeys.down[vk] ? int16_t(0x8000) : int16_t(0);
  if (gKeys.pressedSinceQuery[vk]) state = int16_t(state | 1);
  gKeys.pressedSinceQuery[vk] = false;
  return state;
}

void GetKeyboardState(uint8_t state[256]) {
  for (int vk = 0; vk < 256; ++vk) state[vk] = gKeys.down[vk] ? 0x80 : 0;
}

void ResetKeyState() { gKeys = KeyStateRec{}; }
