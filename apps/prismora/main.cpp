// The screen saver program: reads the command line, brings up the host and
// runs the saver in the chosen mode.
#include <poll.h>
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "apps/prismora/render_command.h"
#include "diag/log.h"
#include "patterns/settings_session.h"
#include "platform/desktop/desktop_wallpaper.h"
#include "platform/desktop/xscreensaver_list.h"
#include "platform/directories.h"
#include "platform/font/freetype_text.h"
#include "platform/idle/idle_watcher.h"
#include "platform/linux/linux_services.h"
#include "platform/qt/qt_dialog.h"
#include "platform/qt/qt_host.h"
#include "platform/sound_loader/sound_loader.h"
#include "platform/termination.h"
#include "platform/track/embedded_track.h"
#include "platform/wayland/wayland_host.h"
#include "render/display.h"
#include "render/text_overlay.h"
#include "saver/command_line.h"
#include "saver/saver_host.h"
#include "saver/screen_saver.h"
#include "saver/settings_dialog.h"
#include "saver/settings_flags.h"

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

// After a failure in a host's window: exiting would make XScreenSaver start
// the program again at once, and a box would wait behind the lock. So the
// window is painted black (the server repaints it from then on) and the
// program waits for the host's SIGTERM, or for the window to go away.
void DrawBlackUntilStopped(uint64_t windowId) {
  int screenNumber = 0;
  xcb_connection_t* connection = windowId != 0 ? xcb_connect(nullptr, &screenNumber) : nullptr;
  if (connection && xcb_connection_has_error(connection)) {
    xcb_disconnect(connection);
    connection = nullptr;
  }
  if (connection) {
    const uint32_t values[] = {0, XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    auto window = xcb_window_t(windowId);
    xcb_void_cookie_t cookie = xcb_change_window_attributes_checked(
        connection, window, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
    xcb_clear_area(connection, 0, window, 0, 0, 0, 0);
    if (xcb_generic_error_t* error = xcb_request_check(connection, cookie)) {
      free(error);  // the window is already gone: nothing to wait for
      xcb_disconnect(connection);
      return;
    }
  }
  LogDebug("Drawing black into window 0x%llx until stopped\n", (unsigned long long)windowId);
  for (bool windowGone = false; !windowGone && !TerminationRequested();) {
    pollfd fds[2] = {{TerminationWakeFd(), POLLIN, 0},
                     {connection ? xcb_get_file_descriptor(connection) : -1, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) continue;
    if (!connection) continue;
    if (xcb_connection_has_error(connection)) break;
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
      if ((event->response_type & 0x7F) == XCB_DESTROY_NOTIFY) windowGone = true;
      free(event);
    }
  }
  if (connection) xcb_disconnect(connection);
}

// A fresh private folder under the temporary directory; "" when none can be made.
std::string ScratchSettingsDirectory() {
  std::error_code error;
  std::string pattern = (std::filesystem::temp_directory_path(error) / "prismora-settings-XXXXXX").string();
  if (error || !mkdtemp(pattern.data())) return "";
  return pattern;
}

// Full screen in a Wayland session goes through the compositor itself, unless
// --x11 asks for X11; without a compositor to reach, X11 is tried.
bool UseWayland(const CommandLine& commandLine) {
  const char* display = std::getenv("WAYLAND_DISPLAY");
  if (commandLine.mode != SaverMode::FullScreen || commandLine.forceX11 || !display || !*display)
    return false;
  if (InstallWaylandFullScreen(commandLine.outputName.c_str())) return true;
  std::fprintf(stderr, "prismora: cannot reach the Wayland compositor; trying X11\n");
  return false;
}

const char* ModeName(const CommandLine& commandLine, bool wayland) {
  switch (commandLine.mode) {
    case SaverMode::FullScreen:
      return wayland ? "full screen (Wayland)" : "full screen";
    case SaverMode::Window:
      return "in a window";
    case SaverMode::Preview:
      return "preview";
    case SaverMode::Foreign:
      return "in a host's window";
    default:
      return "settings";
  }
}

int RunSaverMode(const CommandLine& commandLine) {
  WindowRequest request;
  switch (commandLine.mode) {
    case SaverMode::FullScreen:
      request.mode = WindowMode::FullScreen;
      request.allMonitors = commandLine.allMonitors;
      break;
    case SaverMode::Window:
      request.mode = WindowMode::Ordinary;
      gWindowMode = 1;
      break;
    case SaverMode::Preview:
      request.mode = WindowMode::Foreign;
      request.foreignId = commandLine.windowId;
      gWindowMode = 1;
      fChildPreview = true;
      break;
    default:
      // The window's width decides between the saver's rules and the
      // preview's, once it is known (RunScreenSaver).
      request.mode = WindowMode::Foreign;
      request.foreignId = commandLine.rootWindow ? RootWindowId() : commandLine.windowId;
      break;
  }
  const bool wayland = UseWayland(commandLine);
  gForcedDepth = commandLine.depth;
  if (request.mode == WindowMode::Foreign && request.foreignId == 0) {
    std::fprintf(stderr, "prismora: no root window to draw into\n");
    return 1;
  }
  if (commandLine.frameRate) gTextOverlay.frameRate = 1;
  char label[160];
  char window[32] = "its own";
  if (request.mode == WindowMode::Foreign)
    std::snprintf(window, sizeof window, "0x%llx", (unsigned long long)request.foreignId);
  std::snprintf(label, sizeof label, "Prismora %s, %s, window %s", PRISMORA_VERSION,
                ModeName(commandLine, wayland), window);
  int code = RunScreenSaver(request, label);
  if (wayland) ResetWaylandHost();
  if (code != 0 && request.mode == WindowMode::Foreign && !TerminationRequested()) {
    std::fprintf(stderr, "prismora: cannot draw into window 0x%llx\n", (unsigned long long)request.foreignId);
    LogDebug("Cannot draw into window 0x%llx\n", (unsigned long long)request.foreignId);
    DrawBlackUntilStopped(request.foreignId);
  }
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
  // Rendering needs no display at all, nor does editing a host's list.
  if (commandLine.mode == SaverMode::Render) return RunRenderCommand(commandLine);
  if (commandLine.mode == SaverMode::Idle) {
    InstallTerminationHandler();
    int code = RunIdleWatcher(argc, argv, commandLine.idleSeconds);
    ReraiseTermination();
    return code;
  }
  if (commandLine.mode == SaverMode::AddToXScreenSaver ||
      commandLine.mode == SaverMode::RemoveFromXScreenSaver)
    return EditXScreenSaverList(commandLine.mode == SaverMode::AddToXScreenSaver);
  // From the start, and held while the toolkit connects to the display: a
  // SIGTERM then is acted on once it has, rather than failing it half-way.
  InstallTerminationHandler();
  const bool hosted = commandLine.mode == SaverMode::Foreign || commandLine.mode == SaverMode::Preview;
  SendMessageBoxesToLog(hosted);
  if (!commandLine.ignoredOptions.empty())
    LogDebug("Ignored the host's options: %s\n", commandLine.ignoredOptions.c_str());
  if (!commandLine.rejectedSettings.empty())
    LogDebug("Ignored settings flags: %s\n", commandLine.rejectedSettings.c_str());
  gSettingsFlags = commandLine.settings;
  if (!commandLine.unknownOptions.empty())
    LogDebug("Ignored unknown options: %s\n", commandLine.unknownOptions.c_str());
  HoldTermination(true);
  bool hostReady = InstallQtHost(argc, argv);
  HoldTermination(false);
  if (!hostReady) {
    ReraiseTermination();
    std::fprintf(stderr, "prismora: cannot open the display (is DISPLAY set?)\n");
    if (commandLine.mode == SaverMode::Foreign) {
      // An exit would have the host start the program again at once.
      LogDebug("Cannot open the display; waiting to be stopped\n");
      DrawBlackUntilStopped(0);
      ReraiseTermination();
    }
    return 1;
  }
  ReraiseTermination();
  InstallLinuxMusicLock();
  InstallFreeTypeText();
  InstallDesktopWallpaper();
  std::string configDirectory =
      commandLine.configDirectory.empty() ? ConfigDirectory() : commandLine.configDirectory;
  if (commandLine.mode == SaverMode::Settings) LogDebug("Prismora %s, settings\n", PRISMORA_VERSION);
  std::string scratchDirectory;
  if (!OpenSettingsSession(configDirectory)) {
    const bool saver = commandLine.mode != SaverMode::Settings;
    std::string text = "Can't use the settings folder " + configDirectory +
                       "\nIt must be a folder this user can create and write to." +
                       (saver ? " The saver runs with the default settings." : "");
    ReportError(text.c_str());
    // The dialog would have nowhere to keep what the user sets.
    if (!saver || TerminationRequested()) {
      ReraiseTermination();
      return 1;
    }
    // The saver still runs, on defaults kept in a folder of its own for this
    // run only, rather than failing with a second, vaguer message.
    scratchDirectory = ScratchSettingsDirectory();
    if (!scratchDirectory.empty()) OpenSettingsSession(scratchDirectory);
  }
  // A pattern that is not there is a mistake on the command line, told before
  // anything shows; in a host's window the saver logs it and chooses its own.
  std::string flagError;
  if (!hosted && !CheckFlagPattern(&flagError)) {
    std::fprintf(stderr, "prismora: %s\n", flagError.c_str());
    CloseSettingsSession();
    if (!scratchDirectory.empty()) {
      std::error_code ignored;
      std::filesystem::remove_all(scratchDirectory, ignored);
    }
    return 2;
  }
  // The sound module is loaded when music first starts: the saver starts it
  // before its first frame, the dialog at its first music preview. Without
  // music it is never mapped.
  InstallSoundLoader();
  InstallEmbeddedTrack();
  int code;
  if (commandLine.mode == SaverMode::Settings) {
    InstallQtDialogHost();
    LoadSoundModule();
    // The dialog ends with 1 (OK) or 0 (Cancel); -1 when it could not be shown.
    code = RunSettingsDialog(commandLine.configDirectory.c_str()) < 0 ? 1 : 0;
  } else {
    code = RunSaverMode(commandLine);
  }
  CloseSettingsSession();
  if (!scratchDirectory.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(scratchDirectory, ignored);
  }
  FinishSoundLoader();
  ReraiseTermination();
  return code;
}
