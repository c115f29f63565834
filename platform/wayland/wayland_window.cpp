// The window service on Wayland: one surface on every output, the picture on
// one (or all) of them, black on the others. Frames are written into
// shared-memory buffers, two a surface, never into one the compositor still
// reads; only the tiles that changed are written and damaged; and a frame
// waits for the compositor's frame callback of the one before, so no more
// than one is drawn per refresh and none while the surface cannot be seen.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "diag/log.h"
#include "platform/qt/letterbox.h"
#include "platform/wayland/wayland_host.h"
#include "platform/wayland/wayland_internal.h"
#include "platform/wayland/wayland_tiles.h"
#include "platform/window.h"

WaylandHostRec gWl;

namespace {

// A frame callback that has not come in this long means the compositor
// stopped drawing the surface: hidden, or its output asleep.
constexpr int64_t kHiddenAfterNs = 250'000'000;
// How long create() waits for the compositor to configure the surfaces.
constexpr int64_t kConfigureTimeoutNs = 3'000'000'000;
constexpr WindowHandle kWindowHandle = 1;

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

uint64_t NowUs() { return uint64_t(NowNs() / 1000); }

// --- Buffers ---------------------------------------------------------------

void BufferReleased(void* data, wl_buffer*) { static_cast<WlBufferRec*>(data)->busy = false; }
const wl_buffer_listener kBufferListener = {BufferReleased};

void DestroyBuffer(WlBufferRec* b) {
  if (b->buffer) wl_buffer_destroy(b->buffer);
  if (b->pixels) munmap(b->pixels, b->bytes);
  *b = WlBufferRec{};
}

bool MakeBuffer(WlBufferRec* b, uint32_t width, uint32_t height) {
  DestroyBuffer(b);
  const uint32_t stride = width * 4;
  const size_t bytes = size_t(stride) * height;
  int fd = memfd_create("prismora-frame", MFD_CLOEXEC);
  if (fd < 0) return false;
  if (ftruncate(fd, off_t(bytes)) != 0) {
    close(fd);
    return false;
  }
  void* pixels = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (pixels == MAP_FAILED) {
    close(fd);
    return false;
  }
  wl_shm_pool* pool = wl_shm_create_pool(gWl.shm, fd, int32_t(bytes));
  b->buffer = wl_shm_pool_create_buffer(pool, 0, int32_t(width), int32_t(height), int32_t(stride),
                                        WL_SHM_FORMAT_XRGB8888);
  wl_shm_pool_destroy(pool);
  close(fd);
  b->pixels = static_cast<uint8_t*>(pixels);
  b->bytes = bytes;
  b->width = width;
  b->height = height;
  b->staleWhole = true;
  wl_buffer_add_listener(b->buffer, &kBufferListener, b);
  return true;
}

// --- Surfaces ----------------------------------------------------------------

void FrameDone(void* data, wl_callback* callback, uint32_t);
const wl_callback_listener kFrameListener = {FrameDone};

void FrameDone(void* data, wl_callback* callback, uint32_t) {
  auto* out = static_cast<WlOutputRec*>(data);
  wl_callback_destroy(callback);
  if (out->frameCallback == callback) out->frameCallback = nullptr;
  // The compositor drew its output: a refresh began about now.
  RefreshPaceBlank(&out->pace, NowUs());
  if (gWl.hidden && out->picture) {
    gWl.hidden = false;
    PostMessage(gWl.window, WM_SHOWWINDOW, 1, 0);
  }
}

void Commit(WlOutputRec* out, WlBufferRec* b) {
  // A buffer smaller than the surface is a black cover's: its middle is
  // stretched, so that a compositor's rounding never samples past its edge.
  const bool stretch = b->width != out->width || b->height != out->height;
  if (out->viewport && stretch) {
    const wl_fixed_t half = wl_fixed_from_double(0.5), one = wl_fixed_from_int(1);
    wp_viewport_set_source(out->viewport, half, half, one, one);
    wp_viewport_set_destination(out->viewport, int32_t(out->surfaceWidth), int32_t(out->surfaceHeight));
  } else if (out->viewport && out->stretched) {
    const wl_fixed_t unset = wl_fixed_from_int(-1);
    wp_viewport_set_source(out->viewport, unset, unset, unset, unset);
    wp_viewport_set_destination(out->viewport, -1, -1);
  }
  out->stretched = out->viewport && stretch;
  // On a scaled output the buffer has the output's own pixels, so the
  // picture stays sharp (a stretched buffer's size is the viewport's).
  if (gWl.compositorVersion >= 3) wl_surface_set_buffer_scale(out->surface, stretch ? 1 : out->bufferScale);
  wl_surface_attach(out->surface, b->buffer, 0, 0);
  if (out->frameCallback) wl_callback_destroy(out->frameCallback);
  out->frameCallback = wl_surface_frame(out->surface);
  wl_callback_add_listener(out->frameCallback, &kFrameListener, out);
  wl_surface_commit(out->surface);
  b->busy = true;
  out->damage.assign(out->damage.size(), 0);
  out->damageWhole = false;
  wl_display_flush(gWl.display);
}

void Damage(WlOutputRec* out, int x, int y, int width, int height) {
  if (width <= 0 || height <= 0) return;
  if (gWl.compositorVersion >= 4) {
    wl_surface_damage_buffer(out->surface, x, y, width, height);
    return;
  }
  // In the compositor's units, rounded outward.
  const int s = out->bufferScale;
  wl_surface_damage(out->surface, x / s, y / s, (x + width + s - 1) / s - x / s,
                    (y + height + s - 1) / s - y / s);
}

// Buffer pixels per compositor unit on an output: its scale, where the
// compositor takes scaled buffers.
int32_t BufferScaleFor(const WlOutputRec* out) {
  return gWl.compositorVersion >= 3 ? std::max(out->scale, 1) : 1;
}

// A black picture, until the first frame (or for good on a black cover,
// where a few pixels stretched over the output do, when the compositor can
// stretch them: a whole output's buffer would hold tens of megabytes of black).
void ShowBlack(WlOutputRec* out) {
  WlBufferRec* b = &out->buffers[0];
  const bool small = out->viewport && !out->picture;
  const uint32_t width = small ? 2 : out->width, height = small ? 2 : out->height;
  if (b->busy || b->width != width || b->height != height) {
    if (!MakeBuffer(b, width, height)) return;
  } else {
    std::memset(b->pixels, 0, b->bytes);
  }
  b->staleWhole = true;
  if (small)
    wl_surface_damage(out->surface, 0, 0, INT32_MAX, INT32_MAX);
  else
    Damage(out, 0, 0, int(out->width), int(out->height));
  Commit(out, b);
}

void SurfaceConfigured(WlOutputRec* out, uint32_t width, uint32_t height) {
  if (width == 0 || height == 0) {
    width = uint32_t(out->modeWidth / std::max(out->scale, 1));
    height = uint32_t(out->modeHeight / std::max(out->scale, 1));
  }
  if (width == 0 || height == 0) return;
  const int32_t scale = BufferScaleFor(out);
  bool resized = width != out->surfaceWidth || height != out->surfaceHeight || scale != out->bufferScale;
  out->surfaceWidth = width;
  out->surfaceHeight = height;
  out->bufferScale = scale;
  out->width = width * uint32_t(scale);
  out->height = height * uint32_t(scale);
  bool first = !out->configured;
  out->configured = true;
  if (!first && !resized) return;
  out->damageWhole = true;
  for (WlBufferRec& b : out->buffers) b.staleWhole = true;
  ShowBlack(out);
  if (!first && out->picture) PostMessage(gWl.window, WM_DISPLAYCHANGE, 0, 0);
}

void DestroyCover(WlOutputRec* out) {
  if (out->frameCallback) wl_callback_destroy(out->frameCallback);
  out->frameCallback = nullptr;
  if (out->layer) zwlr_layer_surface_v1_destroy(out->layer);
  if (out->toplevel) xdg_toplevel_destroy(out->toplevel);
  if (out->xdgSurface) xdg_surface_destroy(out->xdgSurface);
  if (gWl.pointerSurface == out->surface) gWl.pointerSurface = nullptr;
  if (out->viewport) wp_viewport_destroy(out->viewport);
  out->viewport = nullptr;
  out->stretched = false;
  if (out->surface) wl_surface_destroy(out->surface);
  for (WlBufferRec& b : out->buffers) DestroyBuffer(&b);
  out->layer = nullptr;
  out->toplevel = nullptr;
  out->xdgSurface = nullptr;
  out->surface = nullptr;
  out->configured = false;
  out->width = out->height = 0;
  out->surfaceWidth = out->surfaceHeight = 0;
  out->bufferScale = 1;
}

void LayerConfigure(void* data, zwlr_layer_surface_v1* layer, uint32_t serial, uint32_t width,
                    uint32_t height) {
  zwlr_layer_surface_v1_ack_configure(layer, serial);
  SurfaceConfigured(static_cast<WlOutputRec*>(data), width, height);
}

void MovePictureOff(WlOutputRec* out);
WlOutputRec* FirstPicture();

void LayerClosed(void* data, zwlr_layer_surface_v1*) {
  // The compositor took the surface away (its output is going): let it go.
  auto* out = static_cast<WlOutputRec*>(data);
  MovePictureOff(out);
  DestroyCover(out);
}
const zwlr_layer_surface_v1_listener kLayerListener = {LayerConfigure, LayerClosed};

void XdgConfigure(void* data, xdg_surface* surface, uint32_t serial) {
  auto* out = static_cast<WlOutputRec*>(data);
  xdg_surface_ack_configure(surface, serial);
  SurfaceConfigured(out, out->pendingWidth, out->pendingHeight);
}
const xdg_surface_listener kXdgSurfaceListener = {XdgConfigure};

void ToplevelConfigure(void* data, xdg_toplevel*, int32_t width, int32_t height, wl_array*) {
  auto* out = static_cast<WlOutputRec*>(data);
  out->pendingWidth = uint32_t(std::max(width, 0));
  out->pendingHeight = uint32_t(std::max(height, 0));
}
void ToplevelClose(void*, xdg_toplevel*) { PostMessage(gWl.window, WM_CLOSE, 0, 0); }
void ToplevelBounds(void*, xdg_toplevel*, int32_t, int32_t) {}
void ToplevelCapabilities(void*, xdg_toplevel*, wl_array*) {}
const xdg_toplevel_listener kToplevelListener = {ToplevelConfigure, ToplevelClose, ToplevelBounds,
                                                 ToplevelCapabilities};

void MakeCover(WlOutputRec* out) {
  if (out->surface || gWl.window == 0) return;
  out->surface = wl_compositor_create_surface(gWl.compositor);
  // Nothing of the desktop may show through, whatever the buffer holds.
  wl_region* opaque = wl_compositor_create_region(gWl.compositor);
  wl_region_add(opaque, 0, 0, INT32_MAX, INT32_MAX);
  wl_surface_set_opaque_region(out->surface, opaque);
  wl_region_destroy(opaque);
  if (gWl.viewporter) out->viewport = wp_viewporter_get_viewport(gWl.viewporter, out->surface);
  if (gWl.layerShell) {
    out->layer = zwlr_layer_shell_v1_get_layer_surface(gWl.layerShell, out->surface, out->output,
                                                       ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "prismora");
    zwlr_layer_surface_v1_add_listener(out->layer, &kLayerListener, out);
    zwlr_layer_surface_v1_set_size(out->layer, 0, 0);
    zwlr_layer_surface_v1_set_anchor(
        out->layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                        ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    zwlr_layer_surface_v1_set_exclusive_zone(out->layer, -1);
    zwlr_layer_surface_v1_set_keyboard_interactivity(out->layer,
                                                     ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE);
  } else {
    out->xdgSurface = xdg_wm_base_get_xdg_surface(gWl.wmBase, out->surface);
    xdg_surface_add_listener(out->xdgSurface, &kXdgSurfaceListener, out);
    out->toplevel = xdg_surface_get_toplevel(out->xdgSurface);
    xdg_toplevel_add_listener(out->toplevel, &kToplevelListener, out);
    xdg_toplevel_set_title(out->toplevel, "Prismora");
    xdg_toplevel_set_app_id(out->toplevel, "prismora");
    xdg_toplevel_set_fullscreen(out->toplevel, out->output);
  }
  wl_surface_commit(out->surface);
  wl_display_flush(gWl.display);
}

WlOutputRec* FirstPicture() {
  for (auto& out : gWl.outputs) {
    if (out->picture && out->surface) return out.get();
  }
  return nullptr;
}

// The picture's output went: the picture moves to the first output left.
void MovePictureOff(WlOutputRec* out) {
  if (!out->picture) return;
  out->picture = false;
  if (FirstPicture()) return;
  for (auto& other : gWl.outputs) {
    if (other.get() == out || !other->surface) continue;
    other->picture = true;
    other->damageWhole = true;
    for (WlBufferRec& b : other->buffers) b.staleWhole = true;
    PostMessage(gWl.window, WM_DISPLAYCHANGE, 0, 0);
    return;
  }
}

// --- Outputs -------------------------------------------------------------

void OutputGeometry(void* data, wl_output*, int32_t x, int32_t y, int32_t, int32_t, int32_t, const char*,
                    const char*, int32_t) {
  auto* out = static_cast<WlOutputRec*>(data);
  out->left = x;
  out->top = y;
}
void OutputMode(void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t refresh) {
  auto* out = static_cast<WlOutputRec*>(data);
  if (!(flags & WL_OUTPUT_MODE_CURRENT)) return;
  out->modeWidth = width;
  out->modeHeight = height;
  out->refreshUs = RefreshPeriodFromMillihertz(uint64_t(std::max(refresh, 0)));
  RefreshPaceSetRefresh(&out->pace, out->refreshUs);
}
void OutputDone(void* data, wl_output*) {
  auto* out = static_cast<WlOutputRec*>(data);
  out->described = true;
  // An output that came while the saver runs is covered at once.
  if (gWl.window != 0 && !out->surface) {
    out->picture = gWl.allMonitors || !FirstPicture();
    MakeCover(out);
  } else if (out->configured && BufferScaleFor(out) != out->bufferScale) {
    // Its scale changed: buffers of the new number of pixels.
    SurfaceConfigured(out, out->surfaceWidth, out->surfaceHeight);
  }
}
void OutputScale(void* data, wl_output*, int32_t factor) { static_cast<WlOutputRec*>(data)->scale = factor; }
void OutputName(void* data, wl_output*, const char* name) { static_cast<WlOutputRec*>(data)->name = name; }
void OutputDescription(void*, wl_output*, const char*) {}
const wl_output_listener kOutputListener = {OutputGeometry, OutputMode, OutputDone,
                                            OutputScale,    OutputName, OutputDescription};

// An output that went: its cover and the output let go at once, its record
// only at the next present or create (the compositor's events arrive while
// those walk the outputs).
void LetOutputGo(WlOutputRec* out) {
  MovePictureOff(out);
  DestroyCover(out);
  if (out->output && wl_output_get_version(out->output) >= WL_OUTPUT_RELEASE_SINCE_VERSION)
    wl_output_release(out->output);
  else if (out->output)
    wl_output_destroy(out->output);
  out->output = nullptr;
  out->removed = true;
}

void PurgeRemovedOutputs() {
  std::erase_if(gWl.outputs, [](const std::unique_ptr<WlOutputRec>& out) { return out->removed; });
}

// --- Globals -------------------------------------------------------------

void WmBasePing(void*, xdg_wm_base* base, uint32_t serial) { xdg_wm_base_pong(base, serial); }
const xdg_wm_base_listener kWmBaseListener = {WmBasePing};

void Global(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
  auto bind = [&](const wl_interface* type, uint32_t most) {
    return wl_registry_bind(registry, name, type, std::min(version, most));
  };
  if (std::strcmp(interface, wl_compositor_interface.name) == 0) {
    gWl.compositorVersion = std::min(version, 4u);
    gWl.compositor = static_cast<wl_compositor*>(bind(&wl_compositor_interface, 4));
  } else if (std::strcmp(interface, wl_shm_interface.name) == 0) {
    gWl.shm = static_cast<wl_shm*>(bind(&wl_shm_interface, 1));
  } else if (std::strcmp(interface, zwlr_layer_shell_v1_interface.name) == 0) {
    gWl.layerShell = static_cast<zwlr_layer_shell_v1*>(bind(&zwlr_layer_shell_v1_interface, 3));
  } else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0) {
    gWl.wmBase = static_cast<xdg_wm_base*>(bind(&xdg_wm_base_interface, 1));
    xdg_wm_base_add_listener(gWl.wmBase, &kWmBaseListener, nullptr);
  } else if (std::strcmp(interface, wp_viewporter_interface.name) == 0) {
    gWl.viewporter = static_cast<wp_viewporter*>(bind(&wp_viewporter_interface, 1));
  } else if (std::strcmp(interface, wl_seat_interface.name) == 0) {
    WlBindSeat(name, version);
  } else if (std::strcmp(interface, wl_output_interface.name) == 0) {
    auto out = std::make_unique<WlOutputRec>();
    out->globalName = name;
    out->output = static_cast<wl_output*>(bind(&wl_output_interface, 4));
    wl_output_add_listener(out->output, &kOutputListener, out.get());
    gWl.outputs.push_back(std::move(out));
  }
}

void GlobalRemove(void*, wl_registry*, uint32_t name) {
  for (auto& out : gWl.outputs) {
    if (out->globalName == name && !out->removed) LetOutputGo(out.get());
  }
}
const wl_registry_listener kRegistryListener = {Global, GlobalRemove};

// Dispatches until done() holds or timeoutNs passed; false on a broken
// connection.
template <typename Done>
bool DispatchUntil(Done done, int64_t timeoutNs) {
  const int64_t deadline = NowNs() + timeoutNs;
  while (!done()) {
    int64_t left = deadline - NowNs();
    if (left <= 0) return true;
    if (!WlDispatch(left)) return false;
  }
  return true;
}

// --- The service ---------------------------------------------------------

void ChoosePictureOutputs() {
  std::vector<std::string> names;
  for (auto& out : gWl.outputs) names.push_back(out->name);
  int chosen = ChoosePictureOutput(names, gWl.wantedOutput);
  if (!gWl.wantedOutput.empty() && chosen >= 0 && gWl.outputs[size_t(chosen)]->name != gWl.wantedOutput)
    LogDebug("No output named %s; the picture goes on %s\n", gWl.wantedOutput.c_str(),
             gWl.outputs[size_t(chosen)]->name.c_str());
  for (size_t i = 0; i < gWl.outputs.size(); ++i)
    gWl.outputs[i]->picture = gWl.allMonitors || int(i) == chosen;
}

WindowHandle WlCreate(const WindowRequest& request) {
  if (!gWl.display || gWl.window != 0 || request.mode != WindowMode::FullScreen) return 0;
  if (gWl.outputs.empty()) {
    LogDebug("The Wayland compositor lists no output\n");
    return 0;
  }
  PurgeRemovedOutputs();
  gWl.window = kWindowHandle;
  gWl.allMonitors = request.allMonitors;
  gWl.hidden = false;
  ChoosePictureOutputs();
  // Making a cover dispatches nothing, so the list stays as it is meanwhile.
  for (auto& out : gWl.outputs) MakeCover(out.get());
  bool connected = DispatchUntil(
      [] {
        for (auto& out : gWl.outputs) {
          if (out->surface && !out->configured) return false;
        }
        return true;
      },
      kConfigureTimeoutNs);
  if (!connected || !FirstPicture() || !FirstPicture()->configured) {
    LogDebug("The Wayland compositor did not show the saver's surfaces\n");
    for (auto& out : gWl.outputs) DestroyCover(out.get());
    gWl.window = 0;
    return 0;
  }
  return gWl.window;
}

void WlDestroy(WindowHandle window) {
  if (window == 0 || window != gWl.window) return;
  for (auto& out : gWl.outputs) DestroyCover(out.get());
  gWl.window = 0;
  if (gWl.display) wl_display_flush(gWl.display);
}

bool WlClientSize(WindowHandle window, uint32_t* width, uint32_t* height) {
  WlOutputRec* out = window == gWl.window ? FirstPicture() : nullptr;
  if (!out) return false;
  *width = out->width;
  *height = out->height;
  return true;
}

void WlDesktop(uint32_t* width, uint32_t* height, uint32_t* bitsPerPixel) {
  *width = 0;
  *height = 0;
  *bitsPerPixel = 32;
  if (WlOutputRec* out = FirstPicture(); out && out->configured) {
    *width = out->width;
    *height = out->height;
    return;
  }
  if (gWl.outputs.empty()) return;
  std::vector<std::string> names;
  for (auto& out : gWl.outputs) names.push_back(out->name);
  const WlOutputRec& out = *gWl.outputs[size_t(std::max(ChoosePictureOutput(names, gWl.wantedOutput), 0))];
  *width = uint32_t(out.modeWidth / std::max(out.scale, 1) * BufferScaleFor(&out));
  *height = uint32_t(out.modeHeight / std::max(out.scale, 1) * BufferScaleFor(&out));
}

unsigned WlDepths() { return kDepth32; }

// Waits for the frame callback of the last commit; false (and the program
// told the picture is hidden) when none comes in time.
bool WaitForFrameCallback(WlOutputRec* out) {
  if (!out->frameCallback) return true;
  if (gWl.hidden) return false;
  DispatchUntil([out] { return out->frameCallback == nullptr || out->surface == nullptr; }, kHiddenAfterNs);
  if (!out->frameCallback) return out->surface != nullptr;
  gWl.hidden = true;
  PostMessage(gWl.window, WM_SHOWWINDOW, 0, 0);
  return false;
}

WlBufferRec* FreeBuffer(WlOutputRec* out) {
  bool busy[2] = {out->buffers[0].busy, out->buffers[1].busy};
  int index = ChooseFreeBuffer(busy);
  if (index < 0) {
    // Both held: a release usually follows the frame callback closely.
    DispatchUntil([out] { return !out->buffers[0].busy || !out->buffers[1].busy; }, kHiddenAfterNs);
    busy[0] = out->buffers[0].busy;
    busy[1] = out->buffers[1].busy;
    index = ChooseFreeBuffer(busy);
  }
  return index < 0 ? nullptr : &out->buffers[index];
}

void DrawInto(WlOutputRec* out, WlBufferRec* b, const FrameImage& frame) {
  WindowPixels target{b->pixels, size_t(b->width) * 4, int(b->width), int(b->height), false};
  if (b->staleWhole) {
    PaintBars(out->mapping, target);
    DrawFramePart(frame, out->mapping, 0, 0, int(frame.width), int(frame.height), target);
  } else {
    FrameImage stale = frame;
    stale.changedTiles = b->stale.data();
    ChangedRuns(stale, out->mapping, &out->runs);
    for (const ChangedRun& run : out->runs)
      DrawFramePart(frame, out->mapping, run.x0, run.y0, run.x1, run.y1, target);
  }
  b->staleWhole = false;
  std::fill(b->stale.begin(), b->stale.end(), 0);
}

void DamageChanged(WlOutputRec* out, const FrameImage& frame) {
  if (out->damageWhole) {
    Damage(out, 0, 0, int(out->width), int(out->height));
    return;
  }
  FrameImage changed = frame;
  changed.changedTiles = out->damage.data();
  ChangedRuns(changed, out->mapping, &out->runs);
  for (const ChangedRun& run : out->runs)
    Damage(out, run.windowX, run.windowY, run.windowWidth, run.windowHeight);
}

void PresentOn(WlOutputRec* out, const FrameImage& frame, bool pacing) {
  LetterboxRect picture =
      FitLetterbox(int(out->width), int(out->height), int(frame.width), int(frame.height));
  size_t tiles = size_t(FrameTileColumns(frame.width)) * FrameTileRows(frame.height);
  bool reshaped = UpdatePictureMapping(&out->mapping, int(frame.width), int(frame.height), picture) ||
                  out->damage.size() != tiles;
  // Every buffer, and the compositor's copy, lack what changed.
  MarkStale(&out->damage, &out->damageWhole, frame.changedTiles, tiles, reshaped);
  for (WlBufferRec& b : out->buffers) MarkStale(&b.stale, &b.staleWhole, frame.changedTiles, tiles, reshaped);
  if (pacing ? !WaitForFrameCallback(out) : out->frameCallback != nullptr) return;
  // Callbacks that come faster than the output refreshes (some compositors
  // answer at once) still give no more than one frame a refresh.
  if (uint64_t waitUs = pacing ? RefreshPaceWait(out->pace, NowUs()) : 0)
    DispatchUntil([] { return false; }, int64_t(waitUs) * 1000);
  WlBufferRec* b = FreeBuffer(out);
  // The waits let events in: the output may have gone meanwhile.
  if (!b || !out->surface || !out->configured) return;
  if (b->width != out->width || b->height != out->height || !b->pixels) {
    if (!MakeBuffer(b, out->width, out->height)) return;
    b->stale.assign(tiles, 0);
  }
  DrawInto(out, b, frame);
  DamageChanged(out, frame);
  Commit(out, b);
  RefreshPaceShown(&out->pace, NowUs());
}

void WlPresent(WindowHandle window, const FrameImage& frame) {
  if (window == 0 || window != gWl.window || !frame.pixels || frame.width == 0 || frame.height == 0) return;
  gWl.frameWidth = frame.width;
  gWl.frameHeight = frame.height;
  PurgeRemovedOutputs();
  // Walked by index and without a purge: outputs may come (and be marked
  // gone) while a present waits for the compositor.
  bool first = true;
  for (size_t i = 0; i < gWl.outputs.size(); ++i) {
    WlOutputRec* out = gWl.outputs[i].get();
    if (!out->picture || !out->configured) continue;
    // The first picture's callbacks pace the frames; the others keep up as
    // they can.
    PresentOn(out, frame, first);
    first = false;
  }
}

uint8_t* WlFrameMemory(WindowHandle, uint32_t, uint32_t, uint32_t, uint32_t) { return nullptr; }
void WlReleaseFrameMemory(uint8_t*) {}

// Its only window is full screen.
bool WlFillsMonitor(WindowHandle window) { return window != 0 && window == gWl.window; }

const WindowService kWaylandWindows = {WlCreate,      WlDestroy, WlClientSize,  WlPresent,
                                       WlDesktop,     WlDepths,  WlFrameMemory, WlReleaseFrameMemory,
                                       WlFillsMonitor};

}  // namespace

WlOutputRec* WlFindOutputBySurface(wl_surface* surface) {
  for (auto& out : gWl.outputs) {
    if (surface && out->surface == surface) return out.get();
  }
  return nullptr;
}

// Every surface's points are measured on the first picture's frame grid,
// carried on past the picture, so the pointer crossing from one output to
// the next moves as far as it looks, not by a jump between two surfaces'
// own coordinates.
void WlPointToFrame(wl_surface* surface, int x, int y, int* frameX, int* frameY) {
  const WlOutputRec* out = WlFindOutputBySurface(surface);
  const WlOutputRec* picture = FirstPicture();
  if (out && picture && out != picture) {
    x += out->left - picture->left;
    y += out->top - picture->top;
  }
  if (picture) {
    x *= picture->bufferScale;
    y *= picture->bufferScale;
  }
  *frameX = x;
  *frameY = y;
  if (picture && gWl.frameWidth > 0)
    WindowToFramePosition(picture->mapping.picture, int(gWl.frameWidth), int(gWl.frameHeight), x, y, frameX,
                          frameY);
  // The message carries 16-bit signed halves.
  *frameX = std::clamp(*frameX, -32768, 32767);
  *frameY = std::clamp(*frameY, -32768, 32767);
}

bool InstallWaylandFullScreen(const char* outputName) {
  ResetWaylandHost();
  gWl.display = wl_display_connect(nullptr);
  if (!gWl.display) {
    LogDebug("Cannot connect to the Wayland compositor\n");
    return false;
  }
  gWl.wantedOutput = outputName ? outputName : "";
  gWl.registry = wl_display_get_registry(gWl.display);
  wl_registry_add_listener(gWl.registry, &kRegistryListener, nullptr);
  // The globals, then what each output and the seat say about themselves.
  bool ok = wl_display_roundtrip(gWl.display) >= 0 && wl_display_roundtrip(gWl.display) >= 0;
  if (!ok || !gWl.compositor || !gWl.shm || (!gWl.layerShell && !gWl.wmBase)) {
    LogDebug("The Wayland compositor offers no %s\n", !ok ? "connection"
                                                      : (!gWl.compositor || !gWl.shm)
                                                          ? "shared-memory surfaces"
                                                          : "shell");
    ResetWaylandHost();
    return false;
  }
  gWindows = &kWaylandWindows;
  InstallWaylandEvents();
  return true;
}

void ResetWaylandHost() {
  if (gWl.display) {
    WlDestroy(gWl.window);
    for (auto& out : gWl.outputs) LetOutputGo(out.get());
    gWl.outputs.clear();
    WlReleaseSeat();
    // Its destroy request came with version 3.
    if (gWl.layerShell && zwlr_layer_shell_v1_get_version(gWl.layerShell) >= 3)
      zwlr_layer_shell_v1_destroy(gWl.layerShell);
    else if (gWl.layerShell)
      wl_proxy_destroy(reinterpret_cast<wl_proxy*>(gWl.layerShell));
    if (gWl.wmBase) xdg_wm_base_destroy(gWl.wmBase);
    if (gWl.viewporter) wp_viewporter_destroy(gWl.viewporter);
    if (gWl.shm) wl_shm_destroy(gWl.shm);
    if (gWl.compositor) wl_compositor_destroy(gWl.compositor);
    if (gWl.registry) wl_registry_destroy(gWl.registry);
    wl_display_disconnect(gWl.display);
  }
  gWl = WaylandHostRec{};
}

WaylandCoverage WaylandCoverageNow() {
  WaylandCoverage c;
  c.layerShell = gWl.layerShell != nullptr;
  for (auto& out : gWl.outputs) {
    if (out->removed) continue;
    c.outputs += 1;
    if (out->surface && out->configured) c.covered += 1;
    if (out->surface && out->picture) c.pictureOutputs += 1;
  }
  return c;
}
