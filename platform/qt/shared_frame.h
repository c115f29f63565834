// Frames drawn straight into memory shared with the X server (MIT-SHM). A
// window whose pixels are laid out as a 32-bit frame's puts such a frame's
// changed parts onto itself from there: no copy of ours, and no server-side
// pixmap between as the backing store has.
#pragma once
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <cstddef>
#include <cstdint>

#include "platform/qt/shm_image.h"

// bytes of zero-filled memory shared with the server; nullptr where the
// server has no MIT-SHM or cannot reach our memory (a display elsewhere).
uint8_t* CreateSharedFrame(xcb_connection_t* connection, size_t bytes);

// Detaches and frees memory from CreateSharedFrame; nullptr and memory it
// did not give are ignored.
void ReleaseSharedFrame(uint8_t* memory);

// The segment holding bytes from pixels on, and their offset in it; false
// unless all of them lie in one shared frame of connection.
bool FindSharedFrame(xcb_connection_t* connection, const uint8_t* pixels, size_t bytes,
                     xcb_shm_seg_t* segment, uint32_t* offset);

// How many shared frames exist now.
size_t SharedFrameCount();

// Where a 32-bit frame lies in a segment: its first pixel's offset, the
// pixels from one row to the next, and its height.
struct SharedFramePlace {
  xcb_shm_seg_t segment = 0;
  uint32_t offset = 0;
  int rowPixels = 0;
  int height = 0;
};

// Puts the rectangles of the frame at the same place in window (which must
// take pixels as ShmFormatRefusal accepts them, at depth), then waits until
// the server has read them: the caller may write the memory again as soon
// as this returns. Rectangles are clipped to the frame.
void PutSharedFrame(xcb_connection_t* connection, xcb_window_t window, xcb_gcontext_t gc, uint8_t depth,
                    const SharedFramePlace& place, int width, const ShmRect* rects, size_t count);
