// The headless host: a clock that moves only when the program waits, a
// window that keeps what was presented, message boxes that are recorded and
// answered by a scripted default. The whole program runs on it in tests and
// in the render command, bit for bit repeatably.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/frame_window.h"
#include "platform/window.h"

struct RecordedMessageBox {
  std::string text;
  std::string caption;
  uint32_t flags = 0;
};

struct HeadlessHostRec {
  uint32_t tick = 1000;            // virtual GetTickCount, ms
  int64_t calendarStart = 1;       // calendar seconds at tick 1000
  bool haveHighResCounter = true;  // switch to test the log without one
  uint32_t desktopWidth = 1920;
  uint32_t desktopHeight = 1080;
  uint32_t desktopBitsPerPixel = 32;
  unsigned depths = kDepth16 | kDepth24 | kDepth32;
  bool failWindowCreate = false;  // switch to test start-up failure
  uint32_t windowWidth = 0;       // client size of the created window
  uint32_t windowHeight = 0;
  bool windowExists = false;
  WindowMode windowMode = WindowMode::Ordinary;  // of the created window
  bool foreignFillsMonitor = true;               // false: a foreign window is a settings tool's preview
  unsigned presentCount = 0;
  FrameImage lastFrame;                  // as presented (the caller's memory)
  std::vector<uint8_t> lastFramePixels;  // a copy, kept when keepFrames is set
  bool keepFrames = false;
  // The window offers frame memory of its own when set, as a real one may;
  // each block given and not yet released is here.
  bool offerFrameMemory = false;
  std::vector<uint8_t*> frameMemoryHeld;
  // The window's picture as a real one keeps it when keepShown is set: a
  // present copies only the tiles it names as changed, and the whole frame
  // for nullptr or when the frame's size, pitch or depth is new.
  bool keepShown = false;
  std::vector<uint8_t> shownPixels;
  std::vector<uint8_t> lastChangedTiles;  // the last present's map; empty for a whole one
  FrameImage shownFormat;                 // size, pitch and depth of shownPixels
  // Over the presents while keepShown: tiles in the frames, and tiles sent
  // (all of a frame's for a whole copy).
  uint64_t tilesPresented = 0;
  uint64_t tilesSent = 0;
  unsigned wholePresents = 0;
  int messageBoxAnswer = 0;  // 0: IDOK or IDYES as the box offers; else this
  std::vector<RecordedMessageBox> messageBoxes;
  uint64_t waitedMilliseconds = 0;  // total virtual time spent in waits
  // The wallpaper calls: how many, the last file and picture size, and the
  // result every call returns (0 succeeds, else an errno code).
  unsigned wallpaperCalls = 0;
  std::string wallpaperPath;
  uint32_t wallpaperWidth = 0;
  uint32_t wallpaperHeight = 0;
  int wallpaperResult = 0;
  // The player's framed window: its outer normal rectangle, how it is
  // shown, the frame around the client area, and what the program set.
  int32_t frameLeft = 0, frameTop = 0;
  int32_t frameWidth = 0, frameHeight = 0;
  int frameShowState = 0;                     // 0 until shown
  int32_t defaultLeft = 40, defaultTop = 30;  // where the desktop places a window
  uint32_t chromeWidth = 8;                   // outer minus client width, pixels
  uint32_t chromeHeight = 46;                 // outer minus client height: caption, menu bar, borders
  uint32_t minClientWidth = 112;              // the smallest client width the window allows
  bool topmost = false;
  std::map<int, bool> menuChecks;
  const MenuTemplate* menu = nullptr;
  int menuCount = 0;
  bool lowPriority = false;   // the process priority the program asked for
  bool failPriority = false;  // switch: the system refuses a change
  unsigned priorityCalls = 0;
  // The music turn: whether another process holds it, and whether we do.
  bool musicTurnTaken = false;
  bool musicTurnHeld = false;
  // Called at every pump, so a test can feed messages at chosen moments.
  void (*onPump)() = nullptr;
};

extern HeadlessHostRec gHeadless;

// Installs the headless services into every service table and resets the
// host record to its defaults.
void InstallHeadlessHost();
// The player's window and the process priority (InstallHeadlessHost
// installs them too).
void InstallHeadlessFrameWindows();

// The user drags an edge (WMSZ_*) of the player's window until its client
// area is width x height: WM_SIZING and WM_SIZE are queued.
void HeadlessDragFrame(uint32_t edge, uint32_t width, uint32_t height);

// Moves the virtual clock forward without waiting.
void HeadlessAdvance(uint32_t ms);
