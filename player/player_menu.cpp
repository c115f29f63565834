// The player's menu: its table, the options it switches, and the window
// options written after every change.
#include <cstdio>

#include "diag/log.h"
#include "engine/engine_state.h"
#include "music/music_list.h"
#include "music/music_player.h"
#include "patterns/options.h"
#include "platform/launch.h"
#include "platform/message_box.h"
#include "platform/process_priority.h"
#include "player/player.h"
#include "saver/settings_dialog_parts.h"

namespace {

using K = MenuKind;

// The saver program, started beside this one or from PATH.
constexpr const char* kSaverProgram = "prismora";
constexpr const char* kTitle = "Prismora";

void Toggle(int32_t* flag) { *flag = *flag ? 0 : 1; }

void SetCheck(WindowHandle window, int id, bool on) { gFrameWindows->setMenuCheck(window, id, on); }

void StartSaverProgram(WindowHandle window, const char* argument, const char* failureFormat) {
  const char* arguments[] = {argument, nullptr};
  if (gLaunch->startProgram(kSaverProgram, arguments)) return;
  char text[200];
  std::snprintf(text, sizeof text, failureFormat, kSaverProgram);
  MessageBox(text, kTitle, MB_TOPMOST | MB_ICONERROR);
  (void)window;
}

// An ordinary user may lower the program's priority but often not raise it
// again. The choice is kept for the next start, which begins at normal.
void OnPriorityRefused(WindowHandle window) {
  UpdateMenuMarks(window);
  char text[200];
  std::snprintf(
      text, sizeof text,
      "The system did not allow the %s priority, so Prismora keeps running at %s priority until you "
      "start it again.",
      gWindowOptions.LowPriority ? "low" : "normal", gPlayer.runningLow ? "low" : "normal");
  MessageBox(text, kTitle, MB_ICONINFORMATION);
}

void OnMemory(WindowHandle window, int32_t systemMemory) {
  gWindowOptions.UseSystemMemory = systemMemory;
  UpdateMenuMarks(window);
  MessageBox("This setting will take effect next time you start the program.", kTitle, MB_ICONINFORMATION);
}

}  // namespace

const MenuTemplate kPlayerMenu[] = {
    {K::Popup, 0, "&File"},
    {K::Item, kIdMenuPause, "&Pause"},
    {K::Item, kIdMenuAlwaysOnTop, "&Always On Top"},
    {K::Item, kIdMenuMusic, "Mu&sic"},
    {K::Item, kIdMenuLowDensity, "Low &Density"},
    {K::Popup, 0, "&Memory"},
    {K::Radio, kIdMenuVideoMemory, "Use &Video Memory"},
    {K::Radio, kIdMenuSystemMemory, "Use &System Memory"},
    {K::End, 0, nullptr},
    {K::Popup, 0, "&Priority"},
    {K::Radio, kIdMenuPriorityLow, "&Low"},
    {K::Radio, kIdMenuPriorityNormal, "&Normal"},
    {K::End, 0, nullptr},
    {K::Separator, 0, nullptr},
    {K::Item, kIdMenuSettings, "&Prismora Settings..."},
    {K::Item, kIdMenuRunNow, "R&un Prismora now!"},
    {K::Separator, 0, nullptr},
    {K::Item, kIdMenuExit, "E&xit"},
    {K::End, 0, nullptr},
    {K::Popup, 0, "&Help"},
    {K::Item, kIdMenuHelpContents, "&Contents"},
    {K::Separator, 0, nullptr},
    {K::Item, kIdMenuAbout, "&About Prismora..."},
    {K::End, 0, nullptr},
};
const int kPlayerMenuCount = int(sizeof kPlayerMenu / sizeof kPlayerMenu[0]);

void ApplyAlwaysOnTop(WindowHandle window) {
  gFrameWindows->setTopmost(window, gWindowOptions.AlwaysOnTop != 0);
}

void ApplyPlayMusic() {
  if (!gWindowOptions.PlayMusic) {
    MUSICClose();
    return;
  }
  unsigned volume = unsigned(gOptions.MusicVolume);
  if (gOptions.MusicIndex == 0)
    MUSICInitialiseFromResource(0, volume);
  else if (gOptions.MusicIndex != -1)
    MUSICInitialise(MusicEntryLocation(gOptions.MusicIndex), volume, false, 0);
}

void ApplyLowDensity() { EngineState.lowDensity = gWindowOptions.LowDensity != 0; }

bool ApplyPriority() {
  bool low = gWindowOptions.LowPriority != 0;
  if (gProcessPriority->setLow(low)) {
    gPlayer.runningLow = low;
    return true;
  }
  LogDebug("Priority: the system refused the %s priority\n", low ? "low" : "normal");
  return false;
}

void UpdateMenuMarks(WindowHandle window) {
  SetCheck(window, kIdMenuPause, gPlayer.paused == 1);
  SetCheck(window, kIdMenuAlwaysOnTop, gWindowOptions.AlwaysOnTop != 0);
  SetCheck(window, kIdMenuMusic, gWindowOptions.PlayMusic != 0);
  SetCheck(window, kIdMenuLowDensity, gWindowOptions.LowDensity != 0);
  SetCheck(window, kIdMenuVideoMemory, gWindowOptions.UseSystemMemory == 0);
  SetCheck(window, kIdMenuSystemMemory, gWindowOptions.UseSystemMemory != 0);
  // The priority the program has, which is not always the one asked for.
  SetCheck(window, kIdMenuPriorityLow, gPlayer.runningLow);
  SetCheck(window, kIdMenuPriorityNormal, !gPlayer.runningLow);
}

void WritePlayerWindowOptions(WindowHandle window) {
  FramePlacement placement;
  if (!gFrameWindows->getPlacement(window, &placement)) {
    // No window to measure: the stored rectangle stays as it was.
    placement.left = gWindowOptions.WindowLeft;
    placement.top = gWindowOptions.WindowTop;
    placement.width = gWindowOptions.WindowWidth;
    placement.height = gWindowOptions.WindowHeight;
    placement.showState = gWindowOptions.WindowState;
  } else if (placement.left == kDefaultPosition) {
    // The window system tells no position (Wayland): the stored one stays.
    placement.left = gWindowOptions.WindowLeft;
    placement.top = gWindowOptions.WindowTop;
  }
  SaveWindowSettings(placement.left, placement.top, placement.left + placement.width,
                     placement.top + placement.height, placement.showState);
}

void OnPlayerCommand(WindowHandle window, int id) {
  switch (id) {
    case kIdMenuPause:
      gPlayer.paused = gPlayer.paused == 0 ? 1 : 0;
      UpdateMenuMarks(window);
      return;
    case kIdMenuAlwaysOnTop:
      Toggle(&gWindowOptions.AlwaysOnTop);
      ApplyAlwaysOnTop(window);
      break;
    case kIdMenuMusic:
      Toggle(&gWindowOptions.PlayMusic);
      ApplyPlayMusic();
      break;
    case kIdMenuLowDensity:
      Toggle(&gWindowOptions.LowDensity);
      ApplyLowDensity();
      break;
    case kIdMenuVideoMemory:
    case kIdMenuSystemMemory:
      OnMemory(window, id == kIdMenuSystemMemory ? 1 : 0);
      break;
    case kIdMenuPriorityLow:
    case kIdMenuPriorityNormal:
      gWindowOptions.LowPriority = id == kIdMenuPriorityLow ? 1 : 0;
      if (!ApplyPriority()) OnPriorityRefused(window);
      break;
    case kIdMenuSettings:
      gPlayer.settingsLaunched = true;
      StartSaverProgram(window, "--settings", "Couldn't find %s to display the settings!");
      return;
    case kIdMenuRunNow:
      if (gPlayer.paused == 0) gPlayer.paused = 2;
      gPlayer.saverLaunched = true;
      StartSaverProgram(window, "/s", "Couldn't find %s!");
      return;
    case kIdMenuExit:
      PostMessage(window, WM_CLOSE, 0, 0);
      return;
    case kIdMenuHelpContents:
      OpenHelpContents();
      return;
    case kIdMenuAbout:
      ShowAboutBox(window);
      return;
    default:
      return;
  }
  UpdateMenuMarks(window);
  WritePlayerWindowOptions(window);
}
