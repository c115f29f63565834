// The render command. The saver runs exactly as it does on screen, full
// screen on a headless desktop of the asked size, so GetSettings derives the
// drawing size from the desktop as usual; the virtual clock moves only when
// the saver waits, so the same arguments always give the same pictures.
#include "apps/prismora/render_command.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "patterns/settings_session.h"
#include "platform/directories.h"
#include "platform/font/freetype_text.h"
#include "platform/headless/headless.h"
#include "platform/image/png_writer.h"
#include "platform/messages.h"
#include "platform/window.h"
#include "render/display.h"
#include "render/text_overlay.h"
#include "saver/saver_host.h"
#include "saver/settings_flags.h"

namespace {

constexpr int kProgressBarWidth = 40;
// Virtual time after which a run that stopped presenting is given up.
constexpr uint32_t kMaxMillisecondsPerFrame = 60000;

struct RenderRec {
  const CommandLine* commandLine = nullptr;
  const WindowService* headlessWindows = nullptr;
  WindowService windows{};  // the headless window with create and present wrapped
  WindowHandle window = 0;
  uint32_t startTick = 0;
  uint32_t written = 0;  // files written
  bool writeFailed = false;
  bool stalled = false;
  std::string error;
  bool progressBar = false;  // stderr is a terminal
  int progressShown = -1;    // per mille last drawn
};

RenderRec gRender;

void ShowProgress(uint32_t done) {
  if (!gRender.progressBar) return;
  uint32_t frames = gRender.commandLine->frames;
  int perMille = int(uint64_t(done) * 1000 / frames);
  if (perMille == gRender.progressShown && done != frames) return;
  gRender.progressShown = perMille;
  int filled = perMille * kProgressBarWidth / 1000;
  std::string bar(size_t(filled), '#');
  bar.append(size_t(kProgressBarWidth - filled), '.');
  std::fprintf(stderr, "\rprismora: [%s] %3d%% %u/%u frames", bar.c_str(), perMille / 10, done, frames);
  if (done == frames) std::fputc('\n', stderr);
  std::fflush(stderr);
}

std::string FramePath(uint32_t number) {
  char name[32];
  std::snprintf(name, sizeof name, "frame-%05u.png", number);
  return gRender.commandLine->renderDirectory + "/" + name;
}

WindowHandle RenderCreate(const WindowRequest& request) {
  gRender.window = gRender.headlessWindows->create(request);
  return gRender.window;
}

// The headless present, then the file: every K-th of the first N frames.
// The N-th ends the saver as closing its window would.
void RenderPresent(WindowHandle window, const FrameImage& frame) {
  gRender.headlessWindows->present(window, frame);
  const CommandLine& line = *gRender.commandLine;
  uint32_t count = gHeadless.presentCount;
  if (count > line.frames || gRender.writeFailed) return;
  if (count % line.every == 0) {
    std::string error;
    if (!SaveFramePng(FramePath(gRender.written + 1), frame, &error)) {
      gRender.writeFailed = true;
      gRender.error = error;
      PostMessage(window, WM_CLOSE, 0, 0);
      return;
    }
    gRender.written += 1;
  }
  ShowProgress(count);
  if (count == line.frames) PostMessage(window, WM_CLOSE, 0, 0);
}

// A run that stopped presenting is given up.
void OnRenderPump() {
  const CommandLine& line = *gRender.commandLine;
  uint64_t budget = uint64_t(line.frames + 1) * kMaxMillisecondsPerFrame;
  if (!gRender.stalled && gRender.window != 0 && uint32_t(gHeadless.tick - gRender.startTick) > budget) {
    gRender.stalled = true;
    PostMessage(gRender.window, WM_CLOSE, 0, 0);
  }
}

// A render reads the settings of --config-dir, or else a fresh store that
// holds only defaults, so that nobody's own settings change its frames.
bool OpenRenderSettings(const CommandLine& commandLine, std::string* scratch) {
  std::string directory = commandLine.configDirectory;
  if (directory.empty()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "prismora-render-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return false;
    *scratch = directory = pattern;
  }
  return OpenSettingsSession(directory);
}

}  // namespace

int RunRenderCommand(const CommandLine& commandLine) {
  const char* directory = commandLine.renderDirectory.c_str();
  // The host first: opening the store may already log (a damaged file is moved aside).
  InstallHeadlessHost();
  std::string scratch;
  if (!OpenRenderSettings(commandLine, &scratch)) {
    std::fprintf(stderr, "prismora: cannot use the settings directory %s\n",
                 scratch.empty() ? commandLine.configDirectory.c_str() : scratch.c_str());
    std::error_code ignored;
    if (!scratch.empty()) std::filesystem::remove_all(scratch, ignored);
    return 1;
  }
  // The settings flags, --pattern among them, are applied by the saver's own
  // start. A pattern that is not there is refused before anything is made.
  gSettingsFlags = commandLine.settings;
  std::string flagError;
  bool patternFound = CheckFlagPattern(&flagError);
  if (!patternFound || !MakeDirectories(commandLine.renderDirectory)) {
    if (!patternFound)
      std::fprintf(stderr, "prismora: %s\n", flagError.c_str());
    else
      std::fprintf(stderr, "prismora: cannot make the directory %s\n", directory);
    CloseSettingsSession();
    std::error_code ignored;
    if (!scratch.empty()) std::filesystem::remove_all(scratch, ignored);
    return patternFound ? 1 : 2;
  }
  InstallFreeTypeText();
  gHeadless.desktopWidth = commandLine.width;
  gHeadless.desktopHeight = commandLine.height;
  gHeadless.calendarStart = int64_t(commandLine.seed);
  gHeadless.onPump = OnRenderPump;

  gRender = RenderRec{};
  gRender.commandLine = &commandLine;
  gRender.headlessWindows = gWindows;
  gRender.windows = *gWindows;
  gRender.windows.create = RenderCreate;
  gRender.windows.present = RenderPresent;
  gRender.startTick = gHeadless.tick;
  gRender.progressBar = isatty(STDERR_FILENO) == 1;
  gWindows = &gRender.windows;

  gForcedDepth = commandLine.depth;
  if (commandLine.frameRate) gTextOverlay.frameRate = 1;
  WindowRequest request;
  request.mode = WindowMode::FullScreen;
  int code = RunScreenSaver(request);
  for (const RecordedMessageBox& box : gHeadless.messageBoxes) {
    std::string text = box.text;
    while (!text.empty() && text.back() == '\n') text.pop_back();
    for (char& c : text)
      if (c == '\n') c = ' ';
    std::fprintf(stderr, "prismora: %s\n", text.c_str());
  }
  gWindows = gRender.headlessWindows;
  CloseSettingsSession();
  std::error_code ignored;
  if (!scratch.empty()) std::filesystem::remove_all(scratch, ignored);
  uint32_t drawn = gHeadless.presentCount < commandLine.frames ? gHeadless.presentCount : commandLine.frames;
  if (gRender.progressBar && drawn < commandLine.frames && drawn > 0) std::fputc('\n', stderr);
  if (gRender.writeFailed) {
    std::fprintf(stderr, "prismora: %s\n", gRender.error.c_str());
    return 1;
  }
  if (code != 0 || drawn < commandLine.frames) {
    std::fprintf(stderr, "prismora: the saver stopped after %u of %u frames\n", drawn, commandLine.frames);
    return 1;
  }
  std::fprintf(stderr, "prismora: %u frames drawn, %u written to %s\n", drawn, gRender.written, directory);
  return 0;
}
