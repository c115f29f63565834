// Fuzzes the whole path a settings file takes: the text is stored as the
// user's settings.reg, loaded through the real store and GetSettings, and the
// saver runs full screen on a small headless desktop for a few hundred frames
// while random key requests arrive. Any crash, hang or sanitizer report is a
// finding; a settings file may be refused or clamped, never fatal.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/effects.h"
#include "engine/morph.h"
#include "patterns/settings_session.h"
#include "platform/font/freetype_text.h"
#include "platform/headless/headless.h"
#include "platform/key_state.h"
#include "platform/messages.h"
#include "platform/registry.h"
#include "platform/window.h"
#include "saver/program_reset.h"
#include "saver/saver_host.h"

namespace {

constexpr uint32_t kFrames = 240;
// A run whose frames stop coming is a hang: give up after this much virtual time.
constexpr uint32_t kVirtualBudgetMs = kFrames * 1000;

struct FuzzRunRec {
  std::string directory;
  uint32_t random = 1;  // the requests' own generator, seeded from the input
  uint32_t startTick = 0;
  uint32_t skipped = 0;      // virtual ms skipped on purpose
  uint32_t lastPresent = 0;  // requests and skips come once a frame
  WindowHandle window = 0;
  bool closing = false;
  const WindowService* headless = nullptr;
  WindowService windows{};
};

FuzzRunRec gRun;

uint32_t NextRandom() {
  gRun.random = gRun.random * 1103515245u + 12345u;
  return gRun.random >> 8;
}

WindowHandle FuzzCreate(const WindowRequest& request) {
  gRun.window = gRun.headless->create(request);
  return gRun.window;
}

// The saver's command keys, less Pause and Esc (a paused saver presents
// nothing, and Esc only ends the run early).
constexpr int kCommandKeys[] = {
    '0',   '1',   '2',   '3',   '4',   '5',   '6',       '7',       '8',        '9',    'A', 'C',
    'D',   'E',   'F',   'G',   'H',   'I',   'J',       'K',       'L',        'M',    'N', 'O',
    'P',   'Q',   'R',   'S',   'T',   'U',   'V',       'W',       'X',        'Y',    'Z', VK_SPACE,
    VK_F1, VK_F2, VK_F3, VK_F4, VK_F5, VK_F6, VK_F1 + 7, VK_F1 + 8, VK_F1 + 10, VK_F12,
};

void MakeRandomRequest() {
  if (NextRandom() % 2 == 0) {
    int key = kCommandKeys[NextRandom() % std::size(kCommandKeys)];
    RecordKeyDown(key);
    PostMessage(gRun.window, WM_KEYDOWN, WParam(key), 1);
    RecordKeyUp(key);
    return;
  }
  switch (NextRandom() % 8) {
    case 0:
      MorphToPattern(int(NextRandom() % 40) - 1);
      break;
    case 1:
      RequestRest();
      break;
    case 2:
      RequestWhirl();
      break;
    case 3:
      RequestBurst();
      break;
    default:
      RequestEffectToggle(EffectId(NextRandom() % kEffectCount));
      break;
  }
}

void OnPump() {
  if (gRun.window == 0 || gRun.closing) return;
  uint32_t presents = gHeadless.presentCount;
  if (presents >= kFrames) {
    gRun.closing = true;
    PostMessage(gRun.window, WM_CLOSE, 0, 0);
    return;
  }
  uint32_t ownTime = uint32_t(gHeadless.tick - gRun.startTick) - gRun.skipped;
  if (ownTime > kVirtualBudgetMs) {
    std::fprintf(stderr, "saver_run_fuzz: only %u frames in %u ms of virtual time\n", presents, ownTime);
    std::abort();
  }
  if (presents == gRun.lastPresent) return;
  gRun.lastPresent = presents;
  if (NextRandom() % 4 == 0) MakeRandomRequest();
  // Now and then whole seconds pass at once, so that jumps, morphs and the
  // effects' timers come due within a few hundred frames.
  if (NextRandom() % 8 == 0) {
    uint32_t skip = NextRandom() % 8000;
    HeadlessAdvance(skip);
    gRun.skipped += skip;
  }
}

void Setup() {
  char pattern[] = "/tmp/prismora-saver-fuzz-XXXXXX";
  if (!mkdtemp(pattern)) std::abort();
  gRun.directory = pattern;
  for (const char* variable : {"PRISMORA_STATE_DIR", "PRISMORA_DATA_DIR"})
    setenv(variable, (gRun.directory + "/" + variable).c_str(), 1);
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(gRun.directory, ignored);
  });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  if (gRun.directory.empty()) Setup();
  std::string config = gRun.directory + "/config";
  std::error_code ignored;
  std::filesystem::remove_all(config, ignored);
  std::filesystem::create_directories(config);
  {
    std::ofstream file(config + "/settings.reg", std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes), std::streamsize(size));
  }
  uint32_t seed = 2166136261u;
  for (size_t i = 0; i < size; ++i) seed = (seed ^ bytes[i]) * 16777619u;

  InstallHeadlessHost();
  InstallFreeTypeText();
  ResetProgram();
  ResetMessageQueue();
  ResetKeyState();
  ResetRegistryStore();
  if (!OpenSettingsSession(config)) return 0;
  gHeadless.desktopWidth = 320;
  gHeadless.desktopHeight = 200;
  gHeadless.onPump = OnPump;

  std::string directory = gRun.directory;
  gRun = FuzzRunRec{};
  gRun.directory = directory;
  gRun.random = seed | 1u;
  gRun.startTick = gHeadless.tick;
  gRun.headless = gWindows;
  gRun.windows = *gWindows;
  gRun.windows.create = FuzzCreate;
  gWindows = &gRun.windows;

  WindowRequest request;
  request.mode = WindowMode::FullScreen;
  RunScreenSaver(request);

  gWindows = gRun.headless;
  CloseSettingsSession();
  ResetProgram();
  ResetRegistryStore();
  ResetMessageQueue();
  return 0;
}
