// Shared by the Wayland host's parts: the connection, the outputs with the
// surface covering each, and the seat.
#pragma once
#include <wayland-client.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/messages.h"
#include "platform/qt/frame_copy.h"
#include "platform/refresh_pacing.h"
#include "viewporter-client-protocol.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

struct xkb_context;
struct xkb_keymap;
struct xkb_state;

// One shared-memory buffer of a surface, and what of the picture it lacks.
struct WlBufferRec {
  wl_buffer* buffer = nullptr;
  uint8_t* pixels = nullptr;
  size_t bytes = 0;
  uint32_t width = 0, height = 0;
  bool busy = false;  // the compositor holds it: not written until released
  // The frame tiles changed since this buffer last had the picture drawn,
  // or the whole picture.
  std::vector<uint8_t> stale;
  bool staleWhole = true;
};

struct WlOutputRec {
  uint32_t globalName = 0;
  wl_output* output = nullptr;
  std::string name;
  int32_t modeWidth = 0, modeHeight = 0;
  int32_t scale = 1;
  int32_t left = 0, top = 0;  // its place in the compositor's space, as it says
  uint64_t refreshUs = 0;     // of its current mode; 0 unknown
  bool described = false;     // its first done event came
  bool removed = false;       // the compositor took it away; the record goes at the next purge
  // The surface covering it.
  wl_surface* surface = nullptr;
  zwlr_layer_surface_v1* layer = nullptr;
  xdg_surface* xdgSurface = nullptr;
  xdg_toplevel* toplevel = nullptr;
  wp_viewport* viewport = nullptr;               // stretches a black cover's small buffer over it
  bool stretched = false;                        // the viewport's destination is set
  uint32_t pendingWidth = 0, pendingHeight = 0;  // the toplevel's configure, until its surface's
  uint32_t surfaceWidth = 0, surfaceHeight = 0;  // configured size, in the compositor's units
  int32_t bufferScale = 1;                       // buffer pixels per unit: the output's scale
  uint32_t width = 0, height = 0;                // the size in buffer pixels, which frames fill
  bool configured = false;
  bool picture = false;  // shows the picture; else stays black
  WlBufferRec buffers[2];
  wl_callback* frameCallback = nullptr;  // asked for with the last commit, not yet done
  // What of the surface's picture differs from what the compositor was
  // last given, for its damage.
  std::vector<uint8_t> damage;
  bool damageWhole = true;
  PictureMapping mapping;
  std::vector<ChangedRun> runs;
  RefreshPaceRec pace;  // the shared rule: no two frames in one refresh of this output
};

struct WaylandHostRec {
  wl_display* display = nullptr;
  wl_registry* registry = nullptr;
  wl_compositor* compositor = nullptr;
  uint32_t compositorVersion = 0;
  wl_shm* shm = nullptr;
  zwlr_layer_shell_v1* layerShell = nullptr;
  xdg_wm_base* wmBase = nullptr;
  wp_viewporter* viewporter = nullptr;
  wl_seat* seat = nullptr;
  uint32_t seatVersion = 0;
  wl_keyboard* keyboard = nullptr;
  wl_pointer* pointer = nullptr;
  xkb_context* xkb = nullptr;
  xkb_keymap* keymap = nullptr;
  xkb_state* keyState = nullptr;
  wl_surface* pointerSurface = nullptr;               // the surface the pointer is over
  unsigned buttons = 0;                               // MK_* bits of the buttons held
  std::vector<std::unique_ptr<WlOutputRec>> outputs;  // in the order the compositor listed them
  std::string wantedOutput;
  WindowHandle window = 0;  // the one window: every cover's input comes to it
  bool allMonitors = false;
  bool hidden = false;  // told WM_SHOWWINDOW 0: frame callbacks stopped coming
  bool terminationPosted = false;
  bool connectionLost = false;
  uint32_t frameWidth = 0, frameHeight = 0;  // the last frame presented
};

extern WaylandHostRec gWl;

// wayland_window.cpp
WlOutputRec* WlFindOutputBySurface(wl_surface* surface);
// The frame pixel at (x, y) on a surface, on the first picture's frame grid
// carried on past the picture (black covers included).
void WlPointToFrame(wl_surface* surface, int x, int y, int* frameX, int* frameY);

// wayland_input.cpp
void WlBindSeat(uint32_t name, uint32_t version);
void WlReleaseSeat();

// wayland_events.cpp: reads and dispatches what the compositor sent, waiting
// up to timeoutNs for it (0: only what has come; negative: until something
// comes). False when the connection broke.
bool WlDispatch(int64_t timeoutNs);
void InstallWaylandEvents();
