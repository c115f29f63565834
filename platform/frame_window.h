// The windowed player's window: an ordinary captioned, resizable top-level
// window with a menu bar built from a menu table. It is also a window of the
// window service (window.h): frames are presented and its client size read
// there. Besides the window service's messages the host posts WM_COMMAND
// (wParam = the item's identifier) for a menu item, WM_SIZE with wParam
// SIZE_RESTORED, SIZE_MINIMIZED or SIZE_MAXIMIZED, WM_SIZING before a
// WM_SIZE the user made by dragging (wParam = the edge, WMSZ_*), WM_ACTIVATE
// when the window gains or loses the focus or is minimised or restored, and
// once, before the first WM_SIZE, WM_GETMINMAXINFO with the smallest client
// width the window can have.
#pragma once
#include <cstdint>

#include "platform/messages.h"

enum class MenuKind {
  Popup,      // opens a submenu holding the entries up to its End
  Item,       // a command; its check mark is set by the program
  Radio,      // a command shown with a round mark instead of a tick
  Separator,  //
  End,        // closes the innermost Popup
};

struct MenuTemplate {
  MenuKind kind;
  int id;            // the WM_COMMAND identifier; 0 for Popup, Separator, End
  const char* text;  // with '&' before the mnemonic
};

// Where "the desktop chooses" stands in for a coordinate.
constexpr int32_t kDefaultPosition = int32_t(0x80000000u);

enum : int { kShowNormal = 1, kShowMinimised = 2, kShowMaximised = 3 };

// The window's normal (restored) rectangle, frame included, and how it is
// shown.
struct FramePlacement {
  int32_t left = 0, top = 0;
  int32_t width = 0, height = 0;
  int showState = kShowNormal;
};

struct FrameWindowService {
  // Creates the window hidden, with its outer size width x height at
  // (left, top), or where the desktop chooses when left is
  // kDefaultPosition; 0 when it cannot. The menu table lives as long as the
  // window.
  WindowHandle (*create)(const char* title, int32_t left, int32_t top, int32_t width, int32_t height,
                         const MenuTemplate* menu, int menuCount);
  // Shows the window normal, minimised or maximised.
  void (*show)(WindowHandle window, int showState);
  // False for no window. left and top are kDefaultPosition where the
  // window system tells clients no position (Wayland).
  bool (*getPlacement)(WindowHandle window, FramePlacement* placement);
  // Sets the normal rectangle and the show state at once.
  void (*setPlacement)(WindowHandle window, const FramePlacement& placement);
  // Resizes the window so that its client area is width x height, keeping
  // its place; a WM_SIZE follows when the size changed.
  void (*setClientSize)(WindowHandle window, uint32_t width, uint32_t height);
  // Keeps the window above the others, or lets it go back among them.
  void (*setTopmost)(WindowHandle window, bool topmost);
  // Sets a menu item's tick or round mark.
  void (*setMenuCheck)(WindowHandle window, int id, bool checked);
};

extern const FrameWindowService* gFrameWindows;
