/* Counts the frames a program puts to the X server: the damage the server
 * records on the root window and every window inside it. After each report
 * the damage is taken away again, so the next drawing reports anew; a frame
 * is one report. Drawing that lands while this counter is not yet back
 * waiting merges into one report, so the count is a lower bound.
 * Usage: damage_count SECONDS            prints the number of reports
 *        damage_count -launch N CMD...  starts CMD, prints "pid" and its id,
 *                                       then the times of the first N
 *                                       reports, in ms after the start
 *        damage_count -periods SECONDS PERIOD_MS
 *                                       prints the distribution of the times
 *                                       between reports and how many were
 *                                       shorter than PERIOD_MS or more than
 *                                       1 ms longer */
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

static int CompareDoubles(const void* a, const void* b) {
  double x = *(const double*)a, y = *(const double*)b;
  return x < y ? -1 : x > y;
}

static void PrintPeriods(double* times, unsigned long count, double period) {
  if (count < 2) {
    printf("fewer than two frames\n");
    return;
  }
  unsigned long n = count - 1, shorter = 0, longer = 0;
  double* gaps = malloc(sizeof(double) * n);
  if (!gaps) return;
  for (unsigned long i = 0; i < n; ++i) {
    gaps[i] = 1000 * (times[i + 1] - times[i]);
    /* The server's own timing blurs a frame's edges by a few microseconds. */
    if (gaps[i] < period - 0.05) shorter += 1;
    if (gaps[i] > period + 1) longer += 1;
  }
  qsort(gaps, n, sizeof(double), CompareDoubles);
  printf("%lu periods, ms: min %.3f p1 %.3f p10 %.3f median %.3f p90 %.3f p99 %.3f max %.3f\n", n, gaps[0],
         gaps[n / 100], gaps[n / 10], gaps[n / 2], gaps[n * 9 / 10], gaps[n * 99 / 100], gaps[n - 1]);
  printf("shorter than %.1f ms: %lu; more than 1 ms longer: %lu (%.1f%%)\n", period, shorter, longer,
         100.0 * (double)longer / (double)n);
  free(gaps);
}

static double Now(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

int main(int argc, char** argv) {
  int launch = argc > 3 && strcmp(argv[1], "-launch") == 0;
  int wanted = launch ? atoi(argv[2]) : 0;
  int periods = argc > 3 && strcmp(argv[1], "-periods") == 0;
  double period = periods ? atof(argv[3]) : 0;
  double seconds = launch ? 10.0 : periods ? atof(argv[2]) : argc > 1 ? atof(argv[1]) : 10.0;
  double* times = NULL;
  unsigned long capacity = 0;
  Display* display = XOpenDisplay(NULL);
  if (!display) {
    fprintf(stderr, "damage_count: cannot open the display\n");
    return 1;
  }
  int eventBase = 0, errorBase = 0;
  if (!XDamageQueryExtension(display, &eventBase, &errorBase)) {
    fprintf(stderr, "damage_count: the server has no DAMAGE extension\n");
    return 1;
  }
  /* Children of the root draw into the root's area: their damage is the
   * root's too when the server composites nothing, as Xvfb does not. */
  Damage damage = XDamageCreate(display, DefaultRootWindow(display), XDamageReportNonEmpty);
  XSync(display, False);
  double start = Now();
  if (launch) {
    pid_t child = fork();
    if (child == 0) {
      /* The program's output must not hold the reader of ours open. */
      freopen("/dev/null", "w", stdout);
      freopen("/dev/null", "w", stderr);
      execvp(argv[3], argv + 3);
      _exit(127);
    }
    printf("pid %d\n", (int)child);
    fflush(stdout);
  }
  unsigned long frames = 0;
  double end = Now() + seconds;
  struct pollfd fd = {ConnectionNumber(display), POLLIN, 0};
  for (;;) {
    double left = end - Now();
    if (left <= 0) break;
    if (!XPending(display)) {
      poll(&fd, 1, (int)(left * 1000) + 1);
      continue;
    }
    XEvent event;
    XNextEvent(display, &event);
    if (event.type != eventBase + XDamageNotify) continue;
    if (periods) {
      if (frames == capacity) {
        capacity = capacity ? 2 * capacity : 4096;
        double* grown = realloc(times, sizeof(double) * capacity);
        if (!grown) break;
        times = grown;
      }
      times[frames] = Now();
    }
    frames += 1;
    XDamageSubtract(display, damage, None, None);
    XFlush(display);
    if (launch) {
      printf("%.1f\n", 1000 * (Now() - start));
      if (frames >= (unsigned long)wanted) break;
    }
  }
  if (periods)
    PrintPeriods(times, frames, period);
  else if (!launch)
    printf("%lu\n", frames);
  free(times);
  XDamageDestroy(display, damage);
  XCloseDisplay(display);
  return 0;
}
