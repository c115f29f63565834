// A window's picture in memory shared with the X server (MIT-SHM): frames
// are drawn into it and put straight onto the window, with no server-side
// pixmap between (the backing store puts into a pixmap of its own and then
// copies that onto the window: a whole extra copy in the server).
#pragma once
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <cstddef>
#include <cstdint>

#include "platform/qt/frame_copy.h"

struct ShmImage;

// Why a window cannot have a shared image.
enum class ShmRefusal { None, NoExtension, Depth, PixelFormat, Size, Memory, Attach };

// What the server says of the window's pixels, for ShmFormatRefusal.
struct ShmPixelFormat {
  uint8_t depth = 0;         // the window's
  uint8_t bitsPerPixel = 0;  // of the server's Z-pixmap format for that depth
  uint8_t imageByteOrder = XCB_IMAGE_ORDER_LSB_FIRST;
  uint8_t visualClass = XCB_VISUAL_CLASS_TRUE_COLOR;
  uint32_t redMask = 0, greenMask = 0, blueMask = 0;
};

// None when frame_copy's 0xAARRGGBB pixels, little-endian, are what the
// server reads for such a window: depth 24 or 32, 32 bits a pixel, true
// colour with red, green and blue in the bytes frame_copy writes them to.
ShmRefusal ShmFormatRefusal(const ShmPixelFormat& format);

// The server's pixel format for window; false when it does not answer.
bool WindowShmFormat(xcb_connection_t* connection, xcb_window_t window, ShmPixelFormat* format);

// Whether the server offers MIT-SHM at all.
bool ServerHasShm(xcb_connection_t* connection);

// bytes of zero-filled memory attached to the server as *segment; nullptr,
// with refusal saying why, when it cannot be had or attached. The segment
// is marked for removal once attached, so it goes with the process.
uint8_t* AttachShmSegment(xcb_connection_t* connection, size_t bytes, xcb_shm_seg_t* segment,
                          ShmRefusal* refusal);
void DetachShmSegment(xcb_connection_t* connection, xcb_shm_seg_t segment, uint8_t* memory);

// A width x height image for window, attached to the server. nullptr, with
// refusal saying why, when the server has no MIT-SHM, the window's pixels
// are not ShmFormatRefusal's, memory cannot be had, or the server cannot
// attach it (a display on another machine). The segment is marked for
// removal once attached, so it goes with the process whatever happens.
ShmImage* CreateShmImage(xcb_connection_t* connection, xcb_window_t window, int width, int height,
                         ShmRefusal* refusal);

// Detaches the image from the server and frees it; nullptr is ignored.
void DestroyShmImage(ShmImage* image);

xcb_window_t ShmImageWindow(const ShmImage* image);
int ShmImageWidth(const ShmImage* image);
int ShmImageHeight(const ShmImage* image);

// The image's pixels to write into, once the server has finished reading
// what was put before (one reply to a request sent after the last puts;
// normally come long before). Alpha is set for a 32-bit deep window.
WindowPixels ShmImagePixels(ShmImage* image);

// The time spent waiting for the server in ShmImagePixels, in nanoseconds,
// and how many waits there were: for measurements.
void ShmImageWaitTotals(const ShmImage* image, int64_t* nanoseconds, int64_t* waits);

struct ShmRect {
  int x, y, width, height;
};

// Puts the rectangles of the image at the same place in the window, then
// flushes. Rectangles are clipped to the image.
void PutShmImage(ShmImage* image, const ShmRect* rects, size_t count);
