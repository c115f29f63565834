// Presenting frames through OpenGL: the frame is uploaded into a texture and
// drawn as one letterboxed quad, sampled nearest-neighbour, as the QPainter
// path draws it. Worth it only on a hardware GPU: under a software rasteriser
// the upload and the draw cost more CPU than QPainter does.
#pragma once
#include <cstdint>

class QWindow;
struct GlPresenter;

// What PRISMORA_PRESENT asks for: "painter", "opengl" or "shm" (the
// window's own MIT-SHM image); anything else, and no value, leaves the
// choice to the host.
enum class PresentChoice { Automatic, Painter, OpenGL, SharedImage };
PresentChoice PresentChoiceFrom(const char* value);

// True when directory (normally "/dev/dri") holds a DRM render node
// ("renderD" followed by digits): without one no hardware renderer can be
// had, and asking OpenGL would only load a software rasteriser to refuse it.
bool HasRenderNode(const char* directory);

// True for the GL_RENDERER strings of software rasterisers (and for none).
bool IsSoftwareRenderer(const char* renderer);

// Makes window an OpenGL window and sets up the context and the objects the
// presenter draws with. Call before the window is shown. Returns nullptr,
// with the window a raster window again, when any of it fails or, with
// hardwareOnly, when the renderer is a software rasteriser. Silent.
GlPresenter* CreateGlPresenter(QWindow* window, bool hardwareOnly);

// Uploads a 32-bit frame (0x00RRGGBB, rowPixels pixels from one row to the
// next) and shows it letterboxed in the window. False on any failure; the
// presenter is then of no further use. Silent.
bool GlPresentFrame(GlPresenter* presenter, QWindow* window, const uint8_t* pixels, int width, int height,
                    int rowPixels);

// Draws the last frame again at the window's current size (black before the
// first frame). False on any failure. Silent.
bool GlRedraw(GlPresenter* presenter, QWindow* window);

// The renderer's GL_RENDERER string.
const char* GlRendererName(const GlPresenter* presenter);

// Makes the next GlPresentFrame fail as a lost context would.
void FailNextGlPresent(GlPresenter* presenter);

// Frees the presenter and its context (nullptr is harmless).
void DestroyGlPresenter(GlPresenter* presenter);

// Puts an OpenGL window back to a raster window, for a window whose
// presenter failed or could not be made. The window is hidden afterwards.
void MakeRasterWindow(QWindow* window);
