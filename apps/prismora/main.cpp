// The screen saver program: reads the command line, brings up the host and
// runs the saver in the chosen mode.
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "apps/prismora/render_command.h"
#include "diag/log.h"
#include "patterns/settings_session.h"
#include "platform/desktop/desktop_wallpaper.h"
#include "platform/directories.h"
#include "platform/font/freetype_text.h"
#include "platform/qt/qt_dialog.h"
#include "platform/qt/qt_host.h"
#include "platform/sound/gst_sound.h"
#include "platform/termination.h"
#include "platform/track/embedded_track.h"
#include "render/display.h"
#include "saver/command_line.h"
#include "saver/saver_host.h"
#include "saver/screen_saver.h"
#include "saver/settings_dialog.h"

namespace {

// The root window of the default screen, for -root without a locker's window.
uint64_t RootWindowId() {
  int screenNumber = 0;
  xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
  uint64_t root = 0;
  if (!xcb_connection_has_error(connection)) {
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; it.rem && i < screenNumber; ++i) xcb_screen_next(&it);
    if (it.rem) root = it.data->root;
  }
  xcb_disconnect(connection);
  return root;
}

int RunSaverMode(const CommandLine& commandLine) {
  WindowRequest request;
  switch (commandLine.mode) {
    case SaverMode::FullScreen:
      request.mode = WindowMode::FullScreen;
      break;
    case SaverMode::Window:
      request.mode = WindowMode::Ordinary;
      gWindowMode = 1;
      break;
    default:
      request.mode = WindowMode::Foreign;
      request.foreignId = commandLine.rootWindow ? RootWindowId() : commandLine.windowId;
      gWindowMode = 1;
      fChildPreview = true;
      break;
  }
  gForcedDepth = commandLine.depth;
  if (request.mode == WindowMode::Foreign && request.foreignId == 0) {
    std::fprintf(stderr, "prismora: no root window to draw into\n");
    return 1;
  }
  int code = RunScreenSaver(request);
  if (code != 0 && request.mode == WindowMode::Foreign && !TerminationRequested())
    std::fprintf(stderr, "prismora: cannot draw into window 0x%llx\n", (unsigned long long)request.foreignId);
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  CommandLine commandLine;
  std::string error;
  if (!ParseCommandLine(argc, argv, std::getenv("XSCREENSAVER_WINDOW"), &commandLine, &error)) {
    std::fprintf(stderr, "prismora: %s\n", error.c_str());
    return 2;
  }
  if (commandLine.mode == SaverMode::Help) {
    std::fputs(UsageText(), stdout);
    return 0;
  }
  // Rendering needs no display at all.
  if (commandLine.mode == SaverMode::Render) return RunRenderCommand(commandLine);
  if (!InstallQtHost(argc, argv)) {
    std::fprintf(stderr, "prismora: cannot open the display (is DISPLAY set?)\n");
    return 1;
  }
  InstallTerminationHandler();
  InstallFreeTypeText();
  InstallDesktopWallpaper();
  std::string configDirectory =
      commandLine.configDirectory.empty() ? ConfigDirectory() : commandLine.configDirectory;
  // A store that cannot be used is reported when the settings are loaded.
  OpenSettingsSession(configDirectory);
  // The sound system starts here, before the first frame or the dialog's
  // music preview: its first start on a machine can take a second.
  InstallGstSound();
  InstallEmbeddedTrack();
  int code;
  if (commandLine.mode == SaverMode::Settings) {
    InstallQtDialogHost();
    // The dialog ends with 1 (OK) or 0 (Cancel); -1 when it could not be shown.
    code = RunSettingsDialog() < 0 ? 1 : 0;
  } else {
    code = RunSaverMode(commandLine);
  }
  CloseSettingsSession();
  FinishGstSound();
  ReraiseTermination();
  return code;
}
