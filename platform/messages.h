// The program's message queue: window-system events arrive here as messages
// with the numbering of the Windows window procedures that consume them.
#pragma once
#include <cstdint>

using WindowHandle = uintptr_t;  // 0 = no window
using WParam = uintptr_t;
using LParam = intptr_t;
using LResult = intptr_t;

enum : uint32_t {
  WM_CREATE = 0x0001,
  WM_DESTROY = 0x0002,
  WM_SIZE = 0x0005,
  WM_ACTIVATE = 0x0006,  // wParam: low word WA_*, high word non-zero while minimised
  WM_ENABLE = 0x000A,
  WM_PAINT = 0x000F,
  WM_CLOSE = 0x0010,
  WM_QUIT = 0x0012,
  WM_SHOWWINDOW = 0x0018,     // wParam: 0 when nothing of the window can be seen, 1 when it can again
  WM_GETMINMAXINFO = 0x0024,  // lParam: the smallest client width the window allows
  WM_DISPLAYCHANGE = 0x007E,  // the monitors changed and the full-screen window moved or resized
  WM_NCPAINT = 0x0085,
  WM_KEYDOWN = 0x0100,
  WM_KEYUP = 0x0101,
  WM_CHAR = 0x0102,
  WM_SYSKEYDOWN = 0x0104,
  WM_SYSKEYUP = 0x0105,
  WM_COMMAND = 0x0111,
  WM_SYSCOMMAND = 0x0112,
  WM_TIMER = 0x0113,
  WM_MOUSEMOVE = 0x0200,
  WM_LBUTTONDOWN = 0x0201,
  WM_RBUTTONDOWN = 0x0204,
  WM_MBUTTONDOWN = 0x0207,
  WM_SIZING = 0x0214,  // wParam: the edge being dragged (WMSZ_*)
  WM_POWERBROADCAST = 0x0218,
  WM_PALETTECHANGED = 0x0311,
  WM_APP = 0x8000,
};

enum : uint32_t { SC_MONITORPOWER = 0xF170 };
enum : uint32_t { WA_INACTIVE = 0, WA_ACTIVE = 1 };
enum : uint32_t { SIZE_RESTORED = 0, SIZE_MINIMIZED = 1, SIZE_MAXIMIZED = 2 };
enum : uint32_t {
  WMSZ_LEFT = 1,
  WMSZ_RIGHT = 2,
  WMSZ_TOP = 3,
  WMSZ_TOPLEFT = 4,
  WMSZ_TOPRIGHT = 5,
  WMSZ_BOTTOM = 6,
  WMSZ_BOTTOMLEFT = 7,
  WMSZ_BOTTOMRIGHT = 8,
};

// Mouse-message wParam bits.
enum : unsigned {
  MK_LBUTTON = 0x01,
  MK_RBUTTON = 0x02,
  MK_SHIFT = 0x04,
  MK_CONTROL = 0x08,
  MK_MBUTTON = 0x10,
};

// A point or a size as mouse and WM_SIZE messages carry it in lParam.
inline LParam PackPoint(int x, int y) {
  return LParam((uint32_t(x) & 0xFFFFu) | ((uint32_t(y) & 0xFFFFu) << 16));
}

struct Message {
  WindowHandle window = 0;
  uint32_t message = 0;
  WParam wParam = 0;
  LParam lParam = 0;
};

// Appends a message to the queue; always succeeds.
void PostMessage(WindowHandle window, uint32_t message, WParam wParam, LParam lParam);

// Pumps window-system events, then looks at the queue. With remove set the
// message is taken off the queue. A due timer yields WM_TIMER only when no
// other message waits, as on Windows. Returns false when nothing waits.
bool PeekMessage(Message* out, bool remove);

// Waits (sleeping) until a message or a due timer is available and takes it.
// Returns false when the message is WM_QUIT.
bool GetMessage(Message* out);

// Starts or restarts timer id on window with the given period; returns id
// (non-zero), or 0 for id 0.
uintptr_t SetTimer(WindowHandle window, uintptr_t id, uint32_t periodMs);
// Stops timer id; false when it did not run.
bool KillTimer(WindowHandle window, uintptr_t id);
// Holds timer id (it never comes due, so a wait with nothing else to do
// sleeps until a message arrives) or releases it, due at once. Holding is
// not starting: false when the timer does not run. SetTimer keeps the hold.
bool HoldTimer(WindowHandle window, uintptr_t id, bool hold);

// Empties the queue and stops every timer (for start-up and tests).
void ResetMessageQueue();
// Number of queued messages (timers not counted).
unsigned QueuedMessageCount();
