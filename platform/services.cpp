// The service tables, empty until a host installs its implementations.
#include "platform/clock.h"
#include "platform/event_source.h"
#include "platform/fault_guard.h"
#include "platform/frame_window.h"
#include "platform/message_box.h"
#include "platform/power.h"
#include "platform/process_priority.h"
#include "platform/text.h"
#include "platform/wallpaper.h"
#include "platform/window.h"

const ClockService* gClock = nullptr;
const EventSourceService* gEvents = nullptr;
const MessageBoxService* gMessageBoxes = nullptr;
const WindowService* gWindows = nullptr;
const FaultGuardService* gFaultGuard = nullptr;
const PowerService* gPower = nullptr;
const TextService* gText = nullptr;
const WallpaperService* gWallpaper = nullptr;
const FrameWindowService* gFrameWindows = nullptr;
const ProcessPriorityService* gProcessPriority = nullptr;
