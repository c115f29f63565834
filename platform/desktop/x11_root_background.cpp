// The X11 root window's background: a pixmap of the root's depth filled
// with the picture, set as the root's background and retained after the
// connection closes, with the two properties that xsetroot-style tools and
// pseudo-transparent programs read.
#include "platform/desktop/x11_root_background.h"

#include <xcb/xcb.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct ChannelRec {
  uint32_t shift = 0;  // lowest bit of the mask
  uint32_t bits = 0;   // width of the mask
};

ChannelRec ChannelOf(uint32_t mask) {
  ChannelRec c;
  if (mask == 0) return c;
  while (!(mask & 1)) {
    mask >>= 1;
    ++c.shift;
  }
  while (mask & 1) {
    mask >>= 1;
    ++c.bits;
  }
  return c;
}

uint32_t Place(uint32_t value8, const ChannelRec& c) {
  if (c.bits == 0) return 0;
  uint32_t v = c.bits >= 8 ? value8 << (c.bits - 8) : value8 >> (8 - c.bits);
  return v << c.shift;
}

// The picture's pixel at (x, y) as red, green, blue.
void ReadPixel(const FrameImage& picture, uint32_t x, uint32_t y, uint32_t* r, uint32_t* g, uint32_t* b) {
  const uint8_t* p = picture.pixels + size_t(y) * picture.pitch + size_t(x) * (picture.bitsPerPixel / 8);
  if (picture.bitsPerPixel == 16) {
    uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8;
    uint32_t r5 = v >> 11, g6 = (v >> 5) & 0x3F, b5 = v & 0x1F;
    *r = (r5 << 3) | (r5 >> 2);
    *g = (g6 << 2) | (g6 >> 4);
    *b = (b5 << 3) | (b5 >> 2);
    return;
  }
  *b = p[0];
  *g = p[1];
  *r = p[2];
}

xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name), nullptr);
  xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
  std::free(reply);
  return atom;
}

// The pixmap id a root property names, or 0.
uint32_t PixmapProperty(xcb_connection_t* connection, xcb_window_t root, xcb_atom_t atom) {
  xcb_get_property_reply_t* reply = xcb_get_property_reply(
      connection, xcb_get_property(connection, 0, root, atom, XCB_ATOM_PIXMAP, 0, 1), nullptr);
  uint32_t id = 0;
  if (reply && reply->type == XCB_ATOM_PIXMAP && reply->format == 32 &&
      xcb_get_property_value_length(reply) == 4)
    std::memcpy(&id, xcb_get_property_value(reply), 4);
  std::free(reply);
  return id;
}

bool Checked(xcb_connection_t* connection, xcb_void_cookie_t cookie) {
  xcb_generic_error_t* error = xcb_request_check(connection, cookie);
  std::free(error);
  return error == nullptr;
}

}  // namespace

int SetX11RootBackground(const FrameImage& picture) {
  if (!picture.pixels || picture.width == 0 || picture.height == 0 || picture.width > 32767 ||
      picture.height > 32767)
    return EINVAL;
  int screenNumber = 0;
  xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
  if (xcb_connection_has_error(connection)) {
    xcb_disconnect(connection);
    return ECONNREFUSED;
  }
  const xcb_setup_t* setup = xcb_get_setup(connection);
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(setup);
  for (int i = 0; it.rem && i < screenNumber; ++i) xcb_screen_next(&it);
  if (!it.rem) {
    xcb_disconnect(connection);
    return ECONNREFUSED;
  }
  xcb_screen_t* screen = it.data;
  // The root visual's masks and the pixel size for the root's depth.
  xcb_visualtype_t* visual = nullptr;
  for (xcb_depth_iterator_t d = xcb_screen_allowed_depths_iterator(screen); d.rem && !visual;
       xcb_depth_next(&d))
    for (xcb_visualtype_iterator_t v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v))
      if (v.data->visual_id == screen->root_visual) {
        visual = v.data;
        break;
      }
  uint32_t bitsPerPixel = 0;
  for (xcb_format_iterator_t f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f))
    if (f.data->depth == screen->root_depth) bitsPerPixel = f.data->bits_per_pixel;
  if (!visual || visual->_class != XCB_VISUAL_CLASS_TRUE_COLOR ||
      (bitsPerPixel != 16 && bitsPerPixel != 32)) {
    xcb_disconnect(connection);
    return ENOTSUP;
  }
  ChannelRec red = ChannelOf(visual->red_mask), green = ChannelOf(visual->green_mask),
             blue = ChannelOf(visual->blue_mask);
  bool msbFirst = setup->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
  uint32_t bytesPerPixel = bitsPerPixel / 8;

  uint16_t width = uint16_t(picture.width), height = uint16_t(picture.height);
  xcb_pixmap_t pixmap = xcb_generate_id(connection);
  xcb_gcontext_t gc = xcb_generate_id(connection);
  bool ok = Checked(connection, xcb_create_pixmap_checked(connection, screen->root_depth, pixmap,
                                                          screen->root, width, height));
  if (ok) xcb_create_gc(connection, gc, pixmap, 0, nullptr);

  // Rows go up in bands that fit in one request.
  uint32_t rowBytes = uint32_t(width) * bytesPerPixel;
  uint64_t maxRequest = uint64_t(xcb_get_maximum_request_length(connection)) * 4;
  uint32_t band = uint32_t((maxRequest > 64 ? maxRequest - 64 : 0) / rowBytes);
  if (band == 0) ok = false;
  if (band > height) band = height;
  std::vector<uint8_t> data(ok ? size_t(rowBytes) * band : 0);
  for (uint32_t top = 0; ok && top < height; top += band) {
    uint32_t rows = top + band > height ? height - top : band;
    for (uint32_t y = 0; y < rows; ++y) {
      uint8_t* out = data.data() + size_t(y) * rowBytes;
      for (uint32_t x = 0; x < width; ++x) {
        uint32_t r = 0, g = 0, b = 0;
        ReadPixel(picture, x, top + y, &r, &g, &b);
        uint32_t v = Place(r, red) | Place(g, green) | Place(b, blue);
        for (uint32_t i = 0; i < bytesPerPixel; ++i) {
          uint32_t shift = msbFirst ? 8 * (bytesPerPixel - 1 - i) : 8 * i;
          out[size_t(x) * bytesPerPixel + i] = uint8_t(v >> shift);
        }
      }
    }
    ok = Checked(connection, xcb_put_image_checked(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, width,
                                                   uint16_t(rows), 0, int16_t(top), 0, screen->root_depth,
                                                   uint32_t(rows) * rowBytes, data.data()));
  }
  if (ok) xcb_free_gc(connection, gc);
  if (!ok) {
    xcb_disconnect(connection);
    return EIO;
  }

  xcb_grab_server(connection);
  xcb_atom_t rootId = Atom(connection, "_XROOTPMAP_ID");
  xcb_atom_t setrootId = Atom(connection, "ESETROOT_PMAP_ID");
  // A pixmap that a setter left behind (both properties name it) belongs to
  // that setter's retained client, which is ended to free it.
  uint32_t oldRoot = PixmapProperty(connection, screen->root, rootId);
  uint32_t oldSetroot = PixmapProperty(connection, screen->root, setrootId);
  if (oldRoot != 0 && oldRoot == oldSetroot) xcb_kill_client(connection, oldRoot);
  xcb_change_window_attributes(connection, screen->root, XCB_CW_BACK_PIXMAP, &pixmap);
  xcb_clear_area(connection, 0, screen->root, 0, 0, 0, 0);
  xcb_change_property(connection, XCB_PROP_MODE_REPLACE, screen->root, rootId, XCB_ATOM_PIXMAP, 32, 1,
                      &pixmap);
  xcb_change_property(connection, XCB_PROP_MODE_REPLACE, screen->root, setrootId, XCB_ATOM_PIXMAP, 32, 1,
                      &pixmap);
  xcb_ungrab_server(connection);
  ok = Checked(connection, xcb_set_close_down_mode_checked(connection, XCB_CLOSE_DOWN_RETAIN_PERMANENT));
  xcb_disconnect(connection);
  return ok ? 0 : EIO;
}
