// The screen saver's window procedure and its start and stop.
#pragma once
#include <cstdint>

#include "platform/messages.h"

constexpr uint32_t SCRM_VERIFYPW = WM_APP;
constexpr uintptr_t kFrameTimerId = 200;
// Looks after the music while no frames are drawn (paused, hidden).
constexpr uintptr_t kMusicTimerId = 201;
constexpr uint32_t kHeldMusicPeriodMs = 250;
constexpr LResult BROADCAST_QUERY_DENY = 0x424D5144;

enum : uint32_t {
  PBT_APMQUERYSUSPEND = 0,
  PBT_APMSUSPEND = 4,
  PBT_APMRESUMESUSPEND = 7,
  PBT_APMBATTERYLOW = 9,
  PBT_APMPOWERSTATUSCHANGE = 10,
};

extern bool gFirstMessage;
extern uint32_t gStartTick;
extern bool gClosing;
extern bool gPaused;
extern bool gInputSeen;
extern bool gIgnoreNextClose;
extern bool gPasswordChecked;
extern bool gWindowEnabled;
extern bool gOldWindowsNT;
extern int gSuspendCount;
extern bool gMonitorPowerOff;
extern uintptr_t gFrameTimer;
extern bool fChildPreview;  // running as the small preview inside another window
extern bool gWindowHidden;  // the window is unmapped or wholly covered: no frames
extern uint32_t gDesktopWidth, gDesktopHeight;

LResult ScreenSaverProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam);
bool StartSaver(WindowHandle window);
void StopSaver(WindowHandle window);
void SetSuspended(bool suspend);
// True while a frame can change what is seen. The host holds the frame
// timer otherwise, so the program sleeps until a message comes; add every
// "nothing to draw" condition here.
bool SaverWantsFrames();
// The pattern and background a start begins with (also the player's).
void ChooseStartPattern();

// Keys that steer the saver instead of ending it; true when handled.
bool HandleKeyCommand(int virtualKey, WindowHandle window);

void ResetSaver();
