/* What an X server tells about its display's refresh: each CRTC's mode rate
 * from RandR, the Present extension's capabilities for the root window, and
 * the vertical blanks Present reports: ten successive ones, their mean
 * spacing, and how far their times lie from CLOCK_MONOTONIC now (a real
 * blank lies within a refresh of it).
 * Usage: vblank_probe   (prints one line) */
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <xcb/present.h>
#include <xcb/randr.h>
#include <xcb/xcb.h>

static double NowUs(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec * 1e6 + (double)t.tv_nsec / 1e3;
}

int main(void) {
  xcb_connection_t* c = xcb_connect(NULL, NULL);
  if (xcb_connection_has_error(c)) {
    printf("no display\n");
    return 1;
  }
  xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  xcb_randr_get_screen_resources_current_reply_t* res =
      xcb_randr_get_screen_resources_current_reply(c, xcb_randr_get_screen_resources_current(c, root), NULL);
  printf("RandR:");
  if (res) {
    xcb_randr_crtc_t* crtcs = xcb_randr_get_screen_resources_current_crtcs(res);
    xcb_randr_mode_info_t* modes = xcb_randr_get_screen_resources_current_modes(res);
    int nmodes = xcb_randr_get_screen_resources_current_modes_length(res);
    for (int i = 0; i < xcb_randr_get_screen_resources_current_crtcs_length(res); ++i) {
      xcb_randr_get_crtc_info_reply_t* info =
          xcb_randr_get_crtc_info_reply(c, xcb_randr_get_crtc_info(c, crtcs[i], res->config_timestamp), NULL);
      if (!info) continue;
      for (int m = 0; m < nmodes && info->mode; ++m) {
        if (modes[m].id != info->mode) continue;
        double total = (double)modes[m].htotal * modes[m].vtotal;
        printf(" crtc %u %ux%u %.2f Hz;", crtcs[i], info->width, info->height,
               total > 0 ? modes[m].dot_clock / total : 0.0);
      }
      free(info);
    }
    free(res);
  }
  const xcb_query_extension_reply_t* present = xcb_get_extension_data(c, &xcb_present_id);
  if (!present || !present->present) {
    printf(" no Present\n");
    return 0;
  }
  xcb_present_query_capabilities_reply_t* caps =
      xcb_present_query_capabilities_reply(c, xcb_present_query_capabilities(c, root), NULL);
  printf(" Present capabilities %u;", caps ? caps->capabilities : 0);
  free(caps);
  xcb_present_event_t eid = xcb_generate_id(c);
  xcb_present_select_input(c, eid, root, XCB_PRESENT_EVENT_MASK_COMPLETE_NOTIFY);
  uint64_t firstUst = 0, firstMsc = 0, lastUst = 0, lastMsc = 0;
  double offset = 0;
  int seen = 0;
  for (uint32_t serial = 1; serial <= 10; ++serial) {
    xcb_present_notify_msc(c, root, serial, 0, 1, 0);
    xcb_flush(c);
    xcb_generic_event_t* event;
    while ((event = xcb_wait_for_event(c)) != NULL) {
      if ((event->response_type & 0x7F) == XCB_GE_GENERIC) {
        xcb_present_complete_notify_event_t* done = (xcb_present_complete_notify_event_t*)event;
        if (done->event_type == XCB_PRESENT_COMPLETE_NOTIFY && done->serial == serial) {
          if (seen++ == 0) {
            firstUst = done->ust;
            firstMsc = done->msc;
          }
          lastUst = done->ust;
          lastMsc = done->msc;
          offset = NowUs() - (double)done->ust;
          free(event);
          break;
        }
      }
      free(event);
    }
  }
  if (lastMsc > firstMsc)
    printf(" %d blanks: %.1f us apart, msc %llu, the last %.0f us before now\n", seen,
           (double)(lastUst - firstUst) / (double)(lastMsc - firstMsc), (unsigned long long)lastMsc, offset);
  else
    printf(" blanks did not advance\n");
  xcb_disconnect(c);
  return 0;
}
