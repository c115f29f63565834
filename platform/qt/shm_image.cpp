// MIT-SHM images of a window's size, put straight onto the window.
#include "platform/qt/shm_image.h"

#include <sys/ipc.h>
#include <sys/shm.h>
#include <xcb/shm.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

struct ShmImage {
  xcb_connection_t* connection = nullptr;
  xcb_window_t window = 0;
  xcb_gcontext_t gc = 0;
  xcb_shm_seg_t segment = 0;
  uint8_t* memory = nullptr;
  int width = 0;
  int height = 0;
  uint8_t depth = 0;
  // A request sent after the last puts: its reply says the server has read them.
  bool putPending = false;
  xcb_get_input_focus_cookie_t afterPuts{};
  int64_t waitNanoseconds = 0;
  int64_t waits = 0;
};

namespace {

constexpr size_t kBytesPerPixel = 4;

void WaitForServer(ShmImage* image) {
  if (!image->putPending) return;
  image->putPending = false;
  auto start = std::chrono::steady_clock::now();
  std::free(xcb_get_input_focus_reply(image->connection, image->afterPuts, nullptr));
  image->waitNanoseconds +=
      std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start).count();
  ++image->waits;
}

}  // namespace

bool WindowShmFormat(xcb_connection_t* connection, xcb_window_t window, ShmPixelFormat* format) {
  xcb_get_geometry_reply_t* geometry =
      xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr);
  xcb_get_window_attributes_reply_t* attributes =
      xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, window), nullptr);
  bool answered = geometry && attributes;
  if (answered) {
    format->depth = geometry->depth;
    xcb_visualid_t visual = attributes->visual;
    const xcb_setup_t* setup = xcb_get_setup(connection);
    format->imageByteOrder = setup->image_byte_order;
    for (auto formats = xcb_setup_pixmap_formats_iterator(setup); formats.rem; xcb_format_next(&formats)) {
      if (formats.data->depth == format->depth) format->bitsPerPixel = formats.data->bits_per_pixel;
    }
    format->visualClass = 0xFF;  // none found
    for (auto screens = xcb_setup_roots_iterator(setup); screens.rem; xcb_screen_next(&screens)) {
      for (auto depths = xcb_screen_allowed_depths_iterator(screens.data); depths.rem;
           xcb_depth_next(&depths)) {
        for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem;
             xcb_visualtype_next(&visuals)) {
          if (visuals.data->visual_id != visual) continue;
          format->visualClass = visuals.data->_class;
          format->redMask = visuals.data->red_mask;
          format->greenMask = visuals.data->green_mask;
          format->blueMask = visuals.data->blue_mask;
        }
      }
    }
  }
  std::free(geometry);
  std::free(attributes);
  return answered;
}

bool ServerHasShm(xcb_connection_t* connection) {
  const xcb_query_extension_reply_t* extension = xcb_get_extension_data(connection, &xcb_shm_id);
  if (!extension || !extension->present) return false;
  xcb_shm_query_version_reply_t* version =
      xcb_shm_query_version_reply(connection, xcb_shm_query_version(connection), nullptr);
  bool present = version != nullptr;
  std::free(version);
  return present;
}

uint8_t* AttachShmSegment(xcb_connection_t* connection, size_t bytes, xcb_shm_seg_t* segment,
                          ShmRefusal* refusal) {
  int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
  if (id < 0) {
    *refusal = ShmRefusal::Memory;
    return nullptr;
  }
  void* memory = shmat(id, nullptr, 0);
  if (memory == reinterpret_cast<void*>(-1)) {
    shmctl(id, IPC_RMID, nullptr);
    *refusal = ShmRefusal::Memory;
    return nullptr;
  }
  *segment = xcb_generate_id(connection);
  xcb_generic_error_t* error =
      xcb_request_check(connection, xcb_shm_attach_checked(connection, *segment, id, 0));
  // Attached or not, nobody else needs to find the segment any more.
  shmctl(id, IPC_RMID, nullptr);
  if (error) {
    std::free(error);
    shmdt(memory);
    *refusal = ShmRefusal::Attach;
    return nullptr;
  }
  *refusal = ShmRefusal::None;
  return static_cast<uint8_t*>(memory);
}

void DetachShmSegment(xcb_connection_t* connection, xcb_shm_seg_t segment, uint8_t* memory) {
  // The server keeps its own mapping until it handles the detach, after
  // any puts before it; ours can go now.
  xcb_shm_detach(connection, segment);
  xcb_flush(connection);
  shmdt(memory);
}

ShmRefusal ShmFormatRefusal(const ShmPixelFormat& format) {
  if (format.depth != 24 && format.depth != 32) return ShmRefusal::Depth;
  if (format.bitsPerPixel != 32 || format.imageByteOrder != XCB_IMAGE_ORDER_LSB_FIRST ||
      format.visualClass != XCB_VISUAL_CLASS_TRUE_COLOR || format.redMask != 0xFF0000u ||
      format.greenMask != 0xFF00u || format.blueMask != 0xFFu) {
    return ShmRefusal::PixelFormat;
  }
  return ShmRefusal::None;
}

ShmImage* CreateShmImage(xcb_connection_t* connection, xcb_window_t window, int width, int height,
                         ShmRefusal* refusal) {
  ShmRefusal ignored;
  if (!refusal) refusal = &ignored;
  if (!connection || !ServerHasShm(connection)) {
    *refusal = ShmRefusal::NoExtension;
    return nullptr;
  }
  ShmPixelFormat format;
  if (!WindowShmFormat(connection, window, &format)) {
    *refusal = ShmRefusal::Depth;
    return nullptr;
  }
  *refusal = ShmFormatRefusal(format);
  if (*refusal != ShmRefusal::None) return nullptr;
  if (width <= 0 || height <= 0 || width > 32767 || height > 32767) {
    *refusal = ShmRefusal::Size;
    return nullptr;
  }
  size_t bytes = size_t(width) * size_t(height) * kBytesPerPixel;
  xcb_shm_seg_t segment = 0;
  uint8_t* memory = AttachShmSegment(connection, bytes, &segment, refusal);
  if (!memory) return nullptr;
  auto* image = new ShmImage;
  image->connection = connection;
  image->window = window;
  image->segment = segment;
  image->memory = memory;
  image->width = width;
  image->height = height;
  image->depth = format.depth;
  image->gc = xcb_generate_id(connection);
  uint32_t noExposures = 0;
  xcb_create_gc(connection, image->gc, window, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
  return image;
}

void DestroyShmImage(ShmImage* image) {
  if (!image) return;
  if (image->putPending) xcb_discard_reply(image->connection, image->afterPuts.sequence);
  xcb_free_gc(image->connection, image->gc);
  DetachShmSegment(image->connection, image->segment, image->memory);
  delete image;
}

xcb_window_t ShmImageWindow(const ShmImage* image) { return image->window; }
int ShmImageWidth(const ShmImage* image) { return image->width; }
int ShmImageHeight(const ShmImage* image) { return image->height; }

WindowPixels ShmImagePixels(ShmImage* image) {
  WaitForServer(image);
  return WindowPixels{image->memory, size_t(image->width) * kBytesPerPixel, image->width, image->height,
                      image->depth == 32};
}

void ShmImageWaitTotals(const ShmImage* image, int64_t* nanoseconds, int64_t* waits) {
  *nanoseconds = image->waitNanoseconds;
  *waits = image->waits;
}

void PutShmImage(ShmImage* image, const ShmRect* rects, size_t count) {
  WaitForServer(image);  // at most one request outstanding
  for (size_t i = 0; i < count; ++i) {
    int left = std::max(0, rects[i].x), top = std::max(0, rects[i].y);
    int right = std::min(image->width, rects[i].x + rects[i].width);
    int bottom = std::min(image->height, rects[i].y + rects[i].height);
    if (left >= right || top >= bottom) continue;
    xcb_shm_put_image(image->connection, image->window, image->gc, uint16_t(image->width),
                      uint16_t(image->height), uint16_t(left), uint16_t(top), uint16_t(right - left),
                      uint16_t(bottom - top), int16_t(left), int16_t(top), image->depth,
                      XCB_IMAGE_FORMAT_Z_PIXMAP, 0, image->segment, 0);
  }
  image->afterPuts = xcb_get_input_focus(image->connection);
  image->putPending = true;
  xcb_flush(image->connection);
}
