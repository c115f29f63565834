// Memory for frames shared with the X server, and frames put from it.
#include "platform/qt/shared_frame.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

struct SharedFrameRec {
  xcb_connection_t* connection = nullptr;
  xcb_shm_seg_t segment = 0;
  uint8_t* memory = nullptr;
  size_t bytes = 0;
};

// Every frame made and not yet released. The memory belongs to whoever
// asked for it, so this is never emptied but by ReleaseSharedFrame.
std::vector<SharedFrameRec> gSharedFrames;

}  // namespace

uint8_t* CreateSharedFrame(xcb_connection_t* connection, size_t bytes) {
  if (!connection || bytes == 0 || !ServerHasShm(connection)) return nullptr;
  SharedFrameRec frame;
  frame.connection = connection;
  frame.bytes = bytes;
  ShmRefusal refusal = ShmRefusal::None;
  frame.memory = AttachShmSegment(connection, bytes, &frame.segment, &refusal);
  if (!frame.memory) return nullptr;
  gSharedFrames.push_back(frame);
  return frame.memory;
}

void ReleaseSharedFrame(uint8_t* memory) {
  auto it = std::find_if(gSharedFrames.begin(), gSharedFrames.end(),
                         [memory](const SharedFrameRec& frame) { return frame.memory == memory; });
  if (!memory || it == gSharedFrames.end()) return;
  DetachShmSegment(it->connection, it->segment, it->memory);
  gSharedFrames.erase(it);
}

bool FindSharedFrame(xcb_connection_t* connection, const uint8_t* pixels, size_t bytes,
                     xcb_shm_seg_t* segment, uint32_t* offset) {
  for (const SharedFrameRec& frame : gSharedFrames) {
    if (frame.connection != connection || pixels < frame.memory) continue;
    size_t start = size_t(pixels - frame.memory);
    if (start >= frame.bytes || bytes > frame.bytes - start || start > UINT32_MAX) continue;
    *segment = frame.segment;
    *offset = uint32_t(start);
    return true;
  }
  return false;
}

size_t SharedFrameCount() { return gSharedFrames.size(); }

void PutSharedFrame(xcb_connection_t* connection, xcb_window_t window, xcb_gcontext_t gc, uint8_t depth,
                    const SharedFramePlace& place, int width, const ShmRect* rects, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    int left = std::max(0, rects[i].x), top = std::max(0, rects[i].y);
    int right = std::min(width, rects[i].x + rects[i].width);
    int bottom = std::min(place.height, rects[i].y + rects[i].height);
    if (left >= right || top >= bottom) continue;
    xcb_shm_put_image(connection, window, gc, uint16_t(place.rowPixels), uint16_t(place.height),
                      uint16_t(left), uint16_t(top), uint16_t(right - left), uint16_t(bottom - top),
                      int16_t(left), int16_t(top), depth, XCB_IMAGE_FORMAT_Z_PIXMAP, 0, place.segment,
                      place.offset);
  }
  // The server handles requests in order: its answer to this one comes
  // after it has read every put above.
  std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}
