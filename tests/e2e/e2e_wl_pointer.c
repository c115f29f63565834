/* A pointer for the Wayland tests: sway without input devices gives its
 * clients none, so this one drives the seat through the virtual-pointer
 * protocol. Usage: e2e_wl_pointer STEP...  where a step is
 *   move DX DY   a relative move, in pixels
 *   click        a press and release of the left button
 *   wheel        one notch of the wheel
 *   sleep MS     a pause (the first one lets clients take the new pointer)
 * Exits 1 when the compositor has no virtual pointers. */
#include <linux/input-event-codes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <wayland-client.h>

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

static struct zwlr_virtual_pointer_manager_v1* manager;
static struct wl_seat* seat;

static void Global(void* data, struct wl_registry* registry, uint32_t name, const char* interface,
                   uint32_t version) {
  (void)data;
  (void)version;
  if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
    manager = wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
  else if (strcmp(interface, wl_seat_interface.name) == 0 && !seat)
    seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
}

static void GlobalRemove(void* data, struct wl_registry* registry, uint32_t name) {
  (void)data;
  (void)registry;
  (void)name;
}

static const struct wl_registry_listener kRegistry = {Global, GlobalRemove};

static uint32_t NowMs(void) {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (uint32_t)(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

static void Pause(long ms) {
  struct timespec pause = {ms / 1000, (ms % 1000) * 1000000};
  nanosleep(&pause, NULL);
}

int main(int argc, char** argv) {
  struct wl_display* display = wl_display_connect(NULL);
  if (!display) {
    fprintf(stderr, "e2e_wl_pointer: no Wayland display\n");
    return 1;
  }
  struct wl_registry* registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &kRegistry, NULL);
  wl_display_roundtrip(display);
  if (!manager) {
    fprintf(stderr, "e2e_wl_pointer: the compositor has no virtual pointers\n");
    return 1;
  }
  struct zwlr_virtual_pointer_v1* pointer =
      zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, seat);
  wl_display_roundtrip(display);
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "move") == 0 && i + 2 < argc) {
      zwlr_virtual_pointer_v1_motion(pointer, NowMs(), wl_fixed_from_int(atoi(argv[i + 1])),
                                     wl_fixed_from_int(atoi(argv[i + 2])));
      i += 2;
    } else if (strcmp(argv[i], "click") == 0) {
      zwlr_virtual_pointer_v1_button(pointer, NowMs(), BTN_LEFT, WL_POINTER_BUTTON_STATE_PRESSED);
      zwlr_virtual_pointer_v1_frame(pointer);
      zwlr_virtual_pointer_v1_button(pointer, NowMs(), BTN_LEFT, WL_POINTER_BUTTON_STATE_RELEASED);
    } else if (strcmp(argv[i], "wheel") == 0) {
      zwlr_virtual_pointer_v1_axis(pointer, NowMs(), WL_POINTER_AXIS_VERTICAL_SCROLL, wl_fixed_from_int(10));
    } else if (strcmp(argv[i], "sleep") == 0 && i + 1 < argc) {
      wl_display_roundtrip(display);
      Pause(atol(argv[++i]));
      continue;
    } else {
      fprintf(stderr, "e2e_wl_pointer: unknown step '%s'\n", argv[i]);
      return 2;
    }
    zwlr_virtual_pointer_v1_frame(pointer);
    wl_display_roundtrip(display);
  }
  zwlr_virtual_pointer_v1_destroy(pointer);
  wl_display_roundtrip(display);
  /* Freed so that a sanitized build's leak check passes the helper. */
  wl_proxy_destroy((struct wl_proxy*)manager);
  if (seat) wl_proxy_destroy((struct wl_proxy*)seat);
  wl_registry_destroy(registry);
  wl_display_disconnect(display);
  return 0;
}
