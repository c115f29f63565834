// The headless player window: a rectangle and a show state in memory, with
// the messages a real window would queue when they change.
#include "platform/headless/headless.h"
#include "platform/process_priority.h"

namespace {

LParam PackSize(uint32_t w, uint32_t h) { return LParam((w & 0xFFFFu) | ((h & 0xFFFFu) << 16)); }

void UpdateClient() {
  HeadlessHostRec& h = gHeadless;
  if (h.frameShowState == kShowMaximised) {
    h.windowWidth = h.desktopWidth - h.chromeWidth;
    h.windowHeight = h.desktopHeight - h.chromeHeight;
  } else if (h.frameShowState == kShowMinimised) {
    h.windowWidth = h.windowHeight = 0;
  } else {
    h.windowWidth = uint32_t(h.frameWidth) - h.chromeWidth;
    h.windowHeight = uint32_t(h.frameHeight) - h.chromeHeight;
  }
}

void PostSizeForState() {
  WParam kind = gHeadless.frameShowState == kShowMaximised   ? SIZE_MAXIMIZED
                : gHeadless.frameShowState == kShowMinimised ? SIZE_MINIMIZED
                                                             : SIZE_RESTORED;
  PostMessage(1, WM_SIZE, kind, PackSize(gHeadless.windowWidth, gHeadless.windowHeight));
}

WindowHandle HeadlessFrameCreate(const char*, int32_t left, int32_t top, int32_t width, int32_t height,
                                 const MenuTemplate* menu, int menuCount) {
  HeadlessHostRec& h = gHeadless;
  if (h.failWindowCreate) return 0;
  h.windowExists = true;
  h.frameLeft = left == kDefaultPosition ? h.defaultLeft : left;
  h.frameTop = left == kDefaultPosition ? h.defaultTop : top;
  h.frameWidth = width;
  h.frameHeight = height;
  h.frameShowState = 0;
  h.menu = menu;
  h.menuCount = menuCount;
  UpdateClient();
  PostMessage(1, WM_GETMINMAXINFO, 0, LParam(h.minClientWidth));
  return 1;
}

void HeadlessFrameShow(WindowHandle window, int showState) {
  if (window != 1 || !gHeadless.windowExists) return;
  bool firstShow = gHeadless.frameShowState == 0;
  bool wasMinimised = gHeadless.frameShowState == kShowMinimised;
  gHeadless.frameShowState = showState;
  UpdateClient();
  PostSizeForState();
  bool minimised = showState == kShowMinimised;
  if (minimised != wasMinimised || firstShow)
    PostMessage(1, WM_ACTIVATE, WParam(minimised ? (1u << 16) : WA_ACTIVE), 0);
}

bool HeadlessFrameGetPlacement(WindowHandle window, FramePlacement* placement) {
  if (window != 1 || !gHeadless.windowExists) return false;
  placement->left = gHeadless.frameLeft;
  placement->top = gHeadless.frameTop;
  placement->width = gHeadless.frameWidth;
  placement->height = gHeadless.frameHeight;
  placement->showState = gHeadless.frameShowState == 0 ? kShowNormal : gHeadless.frameShowState;
  return true;
}

void HeadlessFrameSetPlacement(WindowHandle window, const FramePlacement& placement) {
  if (window != 1 || !gHeadless.windowExists) return;
  gHeadless.frameLeft = placement.left;
  gHeadless.frameTop = placement.top;
  gHeadless.frameWidth = placement.width;
  gHeadless.frameHeight = placement.height;
  // Placing a hidden window does not show it.
  if (gHeadless.frameShowState != 0) HeadlessFrameShow(window, placement.showState);
}

void HeadlessFrameSetClientSize(WindowHandle window, uint32_t width, uint32_t height) {
  if (window != 1 || !gHeadless.windowExists) return;
  int32_t outerW = int32_t(width + gHeadless.chromeWidth), outerH = int32_t(height + gHeadless.chromeHeight);
  if (outerW == gHeadless.frameWidth && outerH == gHeadless.frameHeight) return;
  gHeadless.frameWidth = outerW;
  gHeadless.frameHeight = outerH;
  UpdateClient();
  PostSizeForState();
}

void HeadlessFrameSetTopmost(WindowHandle window, bool topmost) {
  if (window == 1) gHeadless.topmost = topmost;
}

void HeadlessFrameSetMenuCheck(WindowHandle window, int id, bool checked) {
  if (window == 1) gHeadless.menuChecks[id] = checked;
}

bool HeadlessSetLowPriority(bool low) {
  ++gHeadless.priorityCalls;
  if (gHeadless.failPriority) return false;
  gHeadless.lowPriority = low;
  return true;
}

const FrameWindowService kFrameWindows = {
    HeadlessFrameCreate,        HeadlessFrameShow,       HeadlessFrameGetPlacement, HeadlessFrameSetPlacement,
    HeadlessFrameSetClientSize, HeadlessFrameSetTopmost, HeadlessFrameSetMenuCheck,
};
const ProcessPriorityService kPriority = {HeadlessSetLowPriority};

}  // namespace

void InstallHeadlessFrameWindows() {
  gFrameWindows = &kFrameWindows;
  gProcessPriority = &kPriority;
}

void HeadlessDragFrame(uint32_t edge, uint32_t width, uint32_t height) {
  gHeadless.frameWidth = int32_t(width + gHeadless.chromeWidth);
  gHeadless.frameHeight = int32_t(height + gHeadless.chromeHeight);
  UpdateClient();
  PostMessage(1, WM_SIZING, edge, 0);
  PostSizeForState();
}
