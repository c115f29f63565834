// Keys that steer the saver. The commands that exist so far: pause, close,
// and morph requests; every other key ends the saver.
#include "engine/morph.h"
#include "platform/key_state.h"
#include "saver/screen_saver.h"

bool HandleKeyCommand(int virtualKey, WindowHandle window) {
  switch (virtualKey) {
    case VK_CONTROL:
      return true;
    case VK_PAUSE:
      gPaused = !gPaused;
      return true;
    case VK_ESCAPE:
      PostMessage(window, WM_CLOSE, 0, 0);
      return true;
    case 'M':
      MorphToPattern(-1);
      return true;
    default:
      break;
  }
  if (virtualKey >= '1' && virtualKey <= '9') {
    MorphToPattern(virtualKey - '1');
    return true;
  }
  if (virtualKey == '0') {
    MorphToPattern(9);
    return true;
  }
  return false;
}
