// The headless implementations of the clock, events, window, message boxes
// and fault guard.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/clock.h"
#include "platform/event_source.h"
#include "platform/fault_guard.h"
#include "platform/headless/headless.h"
#include "platform/headless/scripted_sound.h"
#include "platform/message_box.h"
#include "platform/music_lock.h"
#include "platform/wallpaper.h"

HeadlessHostRec gHeadless;

namespace {

uint32_t HeadlessTick() { return gHeadless.tick; }

int64_t HeadlessCalendar() {
  return gHeadless.calendarStart + int64_t(uint32_t(gHeadless.tick - 1000u) / 1000u);
}

// A 1 MHz counter that follows the virtual clock.
bool HeadlessCounter(uint64_t* count) {
  if (!gHeadless.haveHighResCounter) return false;
  *count = uint64_t(gHeadless.tick) * 1000u;
  return true;
}

bool HeadlessFrequency(uint64_t* perSecond) {
  if (!gHeadless.haveHighResCounter) return false;
  *perSecond = 1000000u;
  return true;
}

void HeadlessLocalTime(LocalTime* out) {
  int64_t s = HeadlessCalendar();
  out->year = 1970;
  out->month = 1;
  out->day = 1 + unsigned(s / 86400);
  out->hour = unsigned(s / 3600 % 24);
  out->minute = unsigned(s / 60 % 60);
  out->second = unsigned(s % 60);
}

void HeadlessPump() {
  if (gHeadless.onPump) gHeadless.onPump();
}

void HeadlessWait(uint32_t ms) {
  gHeadless.tick += ms;
  gHeadless.waitedMilliseconds += ms;
  HeadlessPump();
}

// The virtual clock moves in whole milliseconds: a part of one counts whole.
void HeadlessWaitMicroseconds(uint64_t us) { HeadlessWait(uint32_t((us + 999) / 1000)); }

WindowHandle HeadlessCreate(const WindowRequest& request) {
  if (gHeadless.failWindowCreate) return 0;
  gHeadless.windowExists = true;
  gHeadless.windowMode = request.mode;
  if (request.mode == WindowMode::FullScreen) {
    gHeadless.windowWidth = gHeadless.desktopWidth;
    gHeadless.windowHeight = gHeadless.desktopHeight;
  } else {
    gHeadless.windowWidth = request.width;
    gHeadless.windowHeight = request.height;
  }
  return 1;
}

void HeadlessDestroy(WindowHandle window) {
  if (window == 1) gHeadless.windowExists = false;
}

bool HeadlessClientSize(WindowHandle window, uint32_t* width, uint32_t* height) {
  if (window != 1 || !gHeadless.windowExists) return false;
  *width = gHeadless.windowWidth;
  *height = gHeadless.windowHeight;
  return true;
}

// Copies the changed tiles of frame into the shown picture, all of it when
// the frame says nothing or does not match what is shown.
void UpdateShown(const FrameImage& frame) {
  FrameImage& shown = gHeadless.shownFormat;
  uint32_t columns = FrameTileColumns(frame.width), rows = FrameTileRows(frame.height);
  uint64_t tiles = uint64_t(columns) * rows;
  gHeadless.tilesPresented += tiles;
  bool sameFormat = shown.pixels && shown.width == frame.width && shown.height == frame.height &&
                    shown.pitch == frame.pitch && shown.bitsPerPixel == frame.bitsPerPixel;
  size_t bytes = size_t(frame.pitch) * frame.height;
  if (frame.changedTiles)
    gHeadless.lastChangedTiles.assign(frame.changedTiles, frame.changedTiles + tiles);
  else
    gHeadless.lastChangedTiles.clear();
  if (!frame.changedTiles || !sameFormat) {
    gHeadless.shownPixels.assign(frame.pixels, frame.pixels + bytes);
    shown = frame;
    shown.pixels = gHeadless.shownPixels.data();
    shown.changedTiles = nullptr;
    gHeadless.tilesSent += tiles;
    gHeadless.wholePresents += 1;
    return;
  }
  uint32_t bytesPerPixel = frame.bitsPerPixel / 8;
  for (uint32_t row = 0; row < rows; ++row) {
    for (uint32_t column = 0; column < columns; ++column) {
      if (!frame.changedTiles[size_t(row) * columns + column]) continue;
      gHeadless.tilesSent += 1;
      uint32_t left = column * kFrameTileWidth, top = row * kFrameTileHeight;
      uint32_t right = std::min(left + kFrameTileWidth, frame.width);
      uint32_t bottom = std::min(top + kFrameTileHeight, frame.height);
      for (uint32_t y = top; y < bottom; ++y) {
        size_t offset = size_t(y) * frame.pitch + size_t(left) * bytesPerPixel;
        std::memcpy(gHeadless.shownPixels.data() + offset, frame.pixels + offset,
                    size_t(right - left) * bytesPerPixel);
      }
    }
  }
}

void HeadlessPresent(WindowHandle, const FrameImage& frame) {
  ++gHeadless.presentCount;
  gHeadless.lastFrame = frame;
  if (gHeadless.keepFrames && frame.pixels) {
    size_t bytes = size_t(frame.pitch) * frame.height;
    gHeadless.lastFramePixels.assign(frame.pixels, frame.pixels + bytes);
  }
  if (gHeadless.keepShown && frame.pixels) UpdateShown(frame);
}

uint8_t* HeadlessFrameMemory(WindowHandle window, uint32_t, uint32_t height, uint32_t, uint32_t pitch) {
  if (!gHeadless.offerFrameMemory || window != 1 || !gHeadless.windowExists) return nullptr;
  auto* memory = static_cast<uint8_t*>(std::calloc(size_t(pitch) * height, 1));
  if (memory) gHeadless.frameMemoryHeld.push_back(memory);
  return memory;
}

void HeadlessReleaseFrameMemory(uint8_t* memory) {
  auto& held = gHeadless.frameMemoryHeld;
  auto it = std::find(held.begin(), held.end(), memory);
  if (it == held.end()) return;
  held.erase(it);
  std::free(memory);
}

void HeadlessDesktop(uint32_t* width, uint32_t* height, uint32_t* bitsPerPixel) {
  *width = gHeadless.desktopWidth;
  *height = gHeadless.desktopHeight;
  *bitsPerPixel = gHeadless.desktopBitsPerPixel;
}

unsigned HeadlessDepths() { return gHeadless.depths; }

bool HeadlessFillsMonitor(WindowHandle window) {
  if (window != 1 || !gHeadless.windowExists) return false;
  return gHeadless.windowMode == WindowMode::FullScreen ||
         (gHeadless.windowMode == WindowMode::Foreign && gHeadless.foreignFillsMonitor);
}

int HeadlessMessageBox(const char* text, const char* caption, uint32_t flags) {
  gHeadless.messageBoxes.push_back(RecordedMessageBox{text ? text : "", caption ? caption : "", flags});
  if (gHeadless.messageBoxAnswer != 0) return gHeadless.messageBoxAnswer;
  return (flags & 0xF) == MB_YESNO ? IDYES : IDOK;
}

// No recovery headless: a fault in a test is a failure that must show.
bool HeadlessRunGuarded(void (*work)(void*), void* context, FaultReport*) {
  work(context);
  return true;
}

int HeadlessSetWallpaper(const char* path, const FrameImage& picture) {
  ++gHeadless.wallpaperCalls;
  gHeadless.wallpaperPath = path ? path : "";
  gHeadless.wallpaperWidth = picture.width;
  gHeadless.wallpaperHeight = picture.height;
  return gHeadless.wallpaperResult;
}

const ClockService kClock = {HeadlessTick, HeadlessCalendar, HeadlessCounter, HeadlessFrequency,
                             HeadlessLocalTime};
const EventSourceService kEvents = {HeadlessPump, HeadlessWait, HeadlessWaitMicroseconds};
const WindowService kWindows = {
    HeadlessCreate, HeadlessDestroy,     HeadlessClientSize,         HeadlessPresent,     HeadlessDesktop,
    HeadlessDepths, HeadlessFrameMemory, HeadlessReleaseFrameMemory, HeadlessFillsMonitor};
bool HeadlessAcquireMusicTurn() {
  if (gHeadless.musicTurnTaken) return false;
  gHeadless.musicTurnHeld = true;
  return true;
}

void HeadlessReleaseMusicTurn() { gHeadless.musicTurnHeld = false; }

const MusicLockService kMusicLock = {HeadlessAcquireMusicTurn, HeadlessReleaseMusicTurn};
const MessageBoxService kMessageBoxes = {HeadlessMessageBox};
const FaultGuardService kFaultGuard = {HeadlessRunGuarded};
const WallpaperService kWallpaper = {HeadlessSetWallpaper};

}  // namespace

void InstallHeadlessHost() {
  // Frame memory still held belongs to a display not yet cleaned up.
  std::vector<uint8_t*> held = std::move(gHeadless.frameMemoryHeld);
  gHeadless = HeadlessHostRec{};
  gHeadless.frameMemoryHeld = std::move(held);
  gClock = &kClock;
  gEvents = &kEvents;
  gWindows = &kWindows;
  gMessageBoxes = &kMessageBoxes;
  gFaultGuard = &kFaultGuard;
  gWallpaper = &kWallpaper;
  gMusicLock = &kMusicLock;
  InstallScriptedSound();
  InstallHeadlessFrameWindows();
}

void HeadlessAdvance(uint32_t ms) { gHeadless.tick += ms; }
