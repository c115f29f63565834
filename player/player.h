// The windowed player: the saver's animation in an ordinary window with a
// menu, drawn in idle time, with its own options kept under "Window".
#pragma once
#include <cstdint>

#include "platform/dialog.h"
#include "platform/frame_window.h"
#include "platform/messages.h"

// Menu 110's commands.
enum : int {
  kIdMenuPause = 40001,
  kIdMenuAlwaysOnTop,
  kIdMenuMusic,
  kIdMenuLowDensity,
  kIdMenuVideoMemory,
  kIdMenuSystemMemory,
  kIdMenuPriorityLow,
  kIdMenuPriorityNormal,
  kIdMenuSettings,
  kIdMenuRunNow,
  kIdMenuExit,
  kIdMenuHelpContents,
  kIdMenuAbout,
};

// The About box's controls.
enum : int { kIdAboutVersion = 1100, kIdAboutLink };

extern const MenuTemplate kPlayerMenu[];
extern const DialogTemplate kAboutBoxTemplate;
extern const int kPlayerMenuCount;

// While the window cannot be seen, music is still looked after at this
// period (a playlist goes on to its next track) with no frames drawn.
constexpr uintptr_t kPlayerMusicTimerId = 201;
constexpr uint32_t kPlayerHiddenMusicPeriodMs = 200;

struct PlayerRec {
  WindowHandle window = 0;
  bool active = true;             // the window is not minimised
  bool hidden = false;            // nothing of the window can be seen: no frames
  int paused = 0;                 // 0 running, 1 by the user, 2 while the full-screen saver runs
  bool ready = false;             // started: frames may be drawn
  bool settingsLaunched = false;  // restart at the next activation
  bool saverLaunched = false;
  uint32_t lastSizingEdge = 0;  // WMSZ_*, 0 before any drag
  uint32_t minClientWidth = 0;  // pixels, 0 until the host said
  bool haveMinClientWidth = false;
  bool runningLow = false;  // the priority the program has: low, or the one it started with
  bool destroyed = false;
};

extern PlayerRec gPlayer;

// The program: reads the window options, creates and shows the window,
// starts the player and runs the message loop. Returns the exit code (0
// also when the window or the player could not start).
int RunPlayer();
// The start-up alone: the window open and shown, the player started; 0
// (with nothing left open) when either failed.
WindowHandle OpenPlayer();

bool StartPlayer(WindowHandle window);
void StopPlayer(WindowHandle window);

LResult PlayerWindowProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam);

// One pass of the message loop: handles one message, or sleeps until one
// comes while minimised, hidden or paused, or else draws one frame. False once
// WM_QUIT has been taken.
bool PlayerLoopStep();

// The stored options applied to the running program, and their menu marks.
void ApplyAlwaysOnTop(WindowHandle window);
void ApplyPlayMusic();
void ApplyLowDensity();
// False when the system refused; the program keeps the priority it had.
bool ApplyPriority();
void UpdateMenuMarks(WindowHandle window);
// Writes the window options and the window's placement under "Window".
void WritePlayerWindowOptions(WindowHandle window);
void OnPlayerCommand(WindowHandle window, int id);
// The client size the 4:3 rule asks for after a WM_SIZE of w x h; false
// when the shape is already right.
bool FourThreeClientSize(uint32_t w, uint32_t h, uint32_t edge, uint32_t minWidth, uint32_t* newW,
                         uint32_t* newH);
void ShowAboutBox(WindowHandle window);

void ResetPlayer();
