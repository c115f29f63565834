/* A stand-in for the window a screen-saver host hands to its hack: a plain
 * black top-level window owned by another process, 640x400 or the size given
 * as WIDTHxHEIGHT. It prints the window's id in hex on stdout once the window
 * is mapped, then waits. On SIGTERM or SIGINT, or on a line "destroy" on
 * stdin, it destroys the window and keeps its X connection open two more
 * seconds, so a test sees the hack react to DestroyNotify and not to the
 * connection closing. Lines "unmap" and "map" unmap and map it again, as a
 * host hides its window. */
#define _GNU_SOURCE
#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/signalfd.h>
#include <time.h>
#include <unistd.h>
#include <xcb/xcb.h>

enum { kDefaultWidth = 640, kDefaultHeight = 400 };

static void DrainEvents(xcb_connection_t* connection) {
  xcb_generic_event_t* event;
  while ((event = xcb_poll_for_event(connection)) != NULL) free(event);
}

static int WaitForMapNotify(xcb_connection_t* connection, xcb_window_t window) {
  xcb_generic_event_t* event;
  while ((event = xcb_wait_for_event(connection)) != NULL) {
    int mapped =
        (event->response_type & 0x7f) == XCB_MAP_NOTIFY && ((xcb_map_notify_event_t*)event)->window == window;
    free(event);
    if (mapped) return 1;
  }
  return 0;
}

typedef struct {
  int open; /* cleared at end of input, so the caller stops polling it */
  size_t used;
  char line[256];
} StdinReader;

enum Command { kNone, kDestroy, kUnmap, kMap };

/* Reads what stdin has; the last complete command line in it, if any. */
static enum Command ReadCommand(StdinReader* reader) {
  char chunk[256];
  enum Command command = kNone;
  ssize_t count = read(STDIN_FILENO, chunk, sizeof chunk);
  if (count <= 0) {
    if (count == 0 || errno != EINTR) reader->open = 0;
    return kNone;
  }
  for (ssize_t i = 0; i < count; ++i) {
    if (chunk[i] == '\n') {
      reader->line[reader->used] = '\0';
      reader->used = 0;
      if (strcmp(reader->line, "destroy") == 0) return kDestroy;
      if (strcmp(reader->line, "unmap") == 0) command = kUnmap;
      if (strcmp(reader->line, "map") == 0) command = kMap;
    } else if (reader->used + 1 < sizeof reader->line) {
      reader->line[reader->used++] = chunk[i];
    }
  }
  return command;
}

static void KeepConnectionFor(xcb_connection_t* connection, int milliseconds) {
  struct timespec start, now;
  clock_gettime(CLOCK_MONOTONIC, &start);
  for (;;) {
    clock_gettime(CLOCK_MONOTONIC, &now);
    long elapsed = (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000;
    if (elapsed >= milliseconds) return;
    struct pollfd x = {.fd = xcb_get_file_descriptor(connection), .events = POLLIN};
    poll(&x, 1, (int)(milliseconds - elapsed));
    DrainEvents(connection);
  }
}

int main(int argc, char** argv) {
  unsigned width = kDefaultWidth, height = kDefaultHeight;
  if (argc > 1 && (sscanf(argv[1], "%ux%u", &width, &height) != 2 || width == 0 || height == 0)) {
    fprintf(stderr, "e2e_window: the size must be WIDTHxHEIGHT, not %s\n", argv[1]);
    return 2;
  }
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  sigprocmask(SIG_BLOCK, &signals, NULL);
  int signal_fd = signalfd(-1, &signals, SFD_CLOEXEC);
  if (signal_fd < 0) {
    perror("e2e_window: signalfd");
    return 1;
  }

  int screen_number = 0;
  xcb_connection_t* connection = xcb_connect(NULL, &screen_number);
  if (xcb_connection_has_error(connection)) {
    fprintf(stderr, "e2e_window: cannot connect to the X display\n");
    return 1;
  }
  xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
  for (int i = 0; i < screen_number; ++i) xcb_screen_next(&screens);
  xcb_screen_t* screen = screens.data;

  xcb_window_t window = xcb_generate_id(connection);
  uint32_t values[] = {screen->black_pixel, XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_EXPOSURE};
  xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, (uint16_t)width,
                    (uint16_t)height, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                    XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
  static const char kTitle[] = "e2e_window";
  xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                      sizeof kTitle - 1, kTitle);
  xcb_map_window(connection, window);
  xcb_flush(connection);
  if (!WaitForMapNotify(connection, window)) {
    fprintf(stderr, "e2e_window: lost the X connection before the window was mapped\n");
    return 1;
  }
  printf("0x%08x\n", (unsigned)window);
  fflush(stdout);

  StdinReader reader = {.open = 1};
  for (;;) {
    struct pollfd fds[3] = {
        {.fd = xcb_get_file_descriptor(connection), .events = POLLIN},
        {.fd = signal_fd, .events = POLLIN},
        {.fd = reader.open ? STDIN_FILENO : -1, .events = POLLIN},
    };
    if (poll(fds, 3, -1) < 0 && errno != EINTR) {
      perror("e2e_window: poll");
      return 1;
    }
    DrainEvents(connection);
    if (xcb_connection_has_error(connection)) {
      fprintf(stderr, "e2e_window: the X connection failed\n");
      return 1;
    }
    int destroy = (fds[1].revents & POLLIN) != 0;
    if (fds[2].revents & (POLLNVAL | POLLERR))
      reader.open = 0;
    else if (fds[2].revents & (POLLIN | POLLHUP)) {
      enum Command command = ReadCommand(&reader);
      destroy |= command == kDestroy;
      if (command == kUnmap) xcb_unmap_window(connection, window);
      if (command == kMap) xcb_map_window(connection, window);
      xcb_flush(connection);
    }
    if (destroy) break;
  }

  xcb_destroy_window(connection, window);
  xcb_flush(connection);
  KeepConnectionFor(connection, 2000);
  xcb_disconnect(connection);
  return 0;
}
