// The window service: the one window the program draws into, and the desktop
// it sits on. Input on that window arrives as queued messages (messages.h):
// key and button presses, mouse moves (lParam = x | y << 16 in frame-buffer
// pixels), WM_CLOSE for the close button or a foreign window that went away,
// WM_SIZE when the window's size changed (lParam = width | height << 16),
// WM_SHOWWINDOW when a foreign window is unmapped or wholly covered (wParam
// 0) and when it can be seen again (wParam 1).
#pragma once
#include <cstdint>

#include "platform/messages.h"

enum class WindowMode {
  FullScreen,  // borderless on the primary monitor, every other monitor covered, cursor hidden
  Ordinary,    // a normal top-level window, for trying the program out
  Foreign,     // a child of an existing X11 window; no input is delivered
};

struct WindowRequest {
  WindowMode mode = WindowMode::Ordinary;
  uint64_t foreignId = 0;  // the X11 window for WindowMode::Foreign
  uint32_t width = 640;    // client size asked for in WindowMode::Ordinary
  uint32_t height = 480;
  // FullScreen: the picture on every monitor; else the others are black.
  // Input on any monitor comes to the one window either way.
  bool allMonitors = false;
  const char* title = "Prismora";
};

// A frame to show: the whole buffer is scaled into the window, keeping its
// aspect ratio. 16 bits = 5-6-5, 24 = bytes B,G,R, 32 = 0x00RRGGBB.
struct FrameImage {
  const uint8_t* pixels = nullptr;
  uint32_t pitch = 0;  // bytes from one row to the next
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t bitsPerPixel = 32;
  // Which parts may differ from the frame given to the previous present,
  // as a grid of kFrameTileWidth x kFrameTileHeight tiles (those on the
  // right and bottom edges cut short by the frame), row by row, one byte a
  // tile, non-zero for changed. nullptr: all of it may have changed. A host
  // that did not show the previous frame whole shows this one whole.
  const uint8_t* changedTiles = nullptr;
};

constexpr uint32_t kFrameTileWidth = 64;
constexpr uint32_t kFrameTileHeight = 16;
constexpr uint32_t FrameTileColumns(uint32_t width) {
  return (width + kFrameTileWidth - 1) / kFrameTileWidth;
}
constexpr uint32_t FrameTileRows(uint32_t height) {
  return (height + kFrameTileHeight - 1) / kFrameTileHeight;
}

enum : unsigned { kDepth16 = 1u << 0, kDepth24 = 1u << 1, kDepth32 = 1u << 2 };

struct WindowService {
  // Creates and shows the window; 0 when it cannot (no display, a foreign
  // window that does not exist).
  WindowHandle (*create)(const WindowRequest& request);
  // Closes the window; harmless for 0 or an already destroyed window.
  void (*destroy)(WindowHandle window);
  // The window's client size in window pixels; false for no window.
  bool (*clientSize)(WindowHandle window, uint32_t* width, uint32_t* height);
  // Shows a frame. Failures are silent: the next present tries again.
  void (*present)(WindowHandle window, const FrameImage& frame);
  // The primary screen's size and colour depth.
  void (*desktop)(uint32_t* width, uint32_t* height, uint32_t* bitsPerPixel);
  // The pixel depths the host can present (kDepth* bits).
  unsigned (*depths)();
  // Zero-filled memory for frames of this shape (pitch bytes a row) that
  // the window can show with no copy of the program's: memory the window
  // system reads itself. nullptr when the window has none to offer; the
  // caller then uses memory of its own. Frames in it are presented as any
  // others and may be written again once present returns. It stays valid
  // until released, whatever becomes of the window.
  uint8_t* (*frameMemory)(WindowHandle window, uint32_t width, uint32_t height, uint32_t bitsPerPixel,
                          uint32_t pitch);
  void (*releaseFrameMemory)(uint8_t* memory);
  // True when the window covers a whole monitor: full screen, the root
  // window, or a host's window over one monitor (not a settings tool's
  // preview inside its dialog).
  bool (*fillsMonitor)(WindowHandle window);
};

extern const WindowService* gWindows;
