// The diagnostic log: one prefixed line per call, appended to Prismora.txt in
// the state directory. The file is opened and closed on every call so that
// the log survives a crash up to its last line and can be deleted at any time.
#include "diag/log.h"

#include <charconv>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/clock.h"
#include "platform/directories.h"

namespace {

struct LogTimingRec {
  int initialised = 0;           // flag: the first call of the process has run
  int haveCounter = 1;           // flag: the high-resolution counter works
  uint64_t startCount = 0;       // counter value at the first call
  uint64_t frequency = 0;        // counts per second
  double previousElapsed = 0.0;  // s, elapsed time printed on the previous line
};

LogTimingRec gLogTiming;

struct LogRouteRec {
  int boxesToLog = 0;  // flag: message boxes are written to the log
};

LogRouteRec gLogRoute;

// Keeps the log from growing without end: one full file is kept as .old.
void RotateLogIfFull(const std::string& path) {
  FILE* file = fopen(path.c_str(), "r");
  if (!file) return;
  long size = fseek(file, 0, SEEK_END) == 0 ? ftell(file) : -1;
  fclose(file);
  if (size >= kLogRotateBytes) rename(path.c_str(), OldLogFilePath().c_str());
}

void StartLogTiming() {
  uint64_t count = 0;
  if (!gClock->highResCounter(&count)) gLogTiming.haveCounter = 0;
  gLogTiming.startCount = count;
  gLogTiming.previousElapsed = 0.0;
  gLogTiming.initialised = 1;
  if (gLogTiming.haveCounter) {
    uint64_t perSecond = 0;
    // A counter without a usable rate cannot give seconds.
    if (!gClock->highResFrequency(&perSecond) || perSecond == 0) gLogTiming.haveCounter = 0;
    gLogTiming.frequency = perSecond;
  }
}

// Seconds with six decimals and a point, whatever the user's locale says:
// the toolkit switches the C library to it, and a comma would make the log
// read differently from one machine to the next.
void FormatSeconds(double seconds, char* text, size_t capacity) {
  std::to_chars_result result =
      std::to_chars(text, text + capacity - 1, seconds, std::chars_format::fixed, 6);
  *(result.ec == std::errc() ? result.ptr : text) = '\0';
}

void WritePrefix(FILE* file) {
  LocalTime now{};
  gClock->localTime(&now);
  uint64_t count = 0;
  if (gLogTiming.haveCounter && gClock->highResCounter(&count)) {
    // The full 64-bit difference and rate: the low 32 bits of a nanosecond
    // counter wrap every 4.3 seconds.
    double elapsed = double(count - gLogTiming.startCount) / double(gLogTiming.frequency);
    char total[32], step[32];
    FormatSeconds(elapsed, total, sizeof total);
    FormatSeconds(elapsed - gLogTiming.previousElapsed, step, sizeof step);
    fprintf(file, "%u/%u/%u %u:%02u:%02u (%s - %s)> ", now.day, now.month, now.year, now.hour, now.minute,
            now.second, total, step);
    gLogTiming.previousElapsed = elapsed;
  } else {
    fprintf(file, "%u/%u/%u %u:%02u:%02u> ", now.day, now.month, now.year, now.hour, now.minute, now.second);
  }
}

}  // namespace

std::string LogFilePath() { return StateDirectory() + "/Prismora.txt"; }

std::string OldLogFilePath() { return LogFilePath() + ".old"; }

void ResetLog() {
  gLogTiming = LogTimingRec{};
  gLogRoute = LogRouteRec{};
}

void SendMessageBoxesToLog(bool on) { gLogRoute.boxesToLog = on ? 1 : 0; }

bool MessageBoxesGoToLog() { return gLogRoute.boxesToLog != 0; }

void LogDebug(const char* format, ...) {
  // The store can report a damaged file before any host is installed; such
  // a line has no time to give, but it is still written.
  if (!gLogTiming.initialised && gClock) StartLogTiming();

  if (!MakeDirectories(StateDirectory())) return;
  std::string path = LogFilePath();
  RotateLogIfFull(path);
  FILE* file = fopen(path.c_str(), "a");
  if (!file) return;

  if (gClock) {
    WritePrefix(file);
  } else {
    fputs("> ", file);
  }

  va_list args;
  va_start(args, format);
  vfprintf(file, format, args);
  va_end(args);
  fflush(file);
  fclose(file);
}
