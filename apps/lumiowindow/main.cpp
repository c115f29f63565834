// The windowed player program: brings up the host, the sound and the
// settings store, and runs the player until its window closes. The command
// line is not read.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "patterns/options.h"
#include "patterns/settings_session.h"
#include "platform/desktop/desktop_wallpaper.h"
#include "platform/directories.h"
#include "platform/font/freetype_text.h"
#include "platform/qt/qt_dialog.h"
#include "platform/qt/qt_host.h"
#include "platform/sound_loader/sound_loader.h"
#include "platform/termination.h"
#include "platform/track/embedded_track.h"
#include "player/player.h"

int main(int argc, char** argv) {
  if (!InstallQtHost(argc, argv)) {
    std::fprintf(stderr, "lumiowindow: cannot open the display (is DISPLAY set?)\n");
    return 1;
  }
  InstallTerminationHandler();
  InstallFreeTypeText();
  InstallDesktopWallpaper();
  // The About box and the launches of the saver program.
  InstallQtDialogHost();
  OpenSettingsSession(ConfigDirectory());
  // The drawing path is chosen once, when the window is made: system memory
  // is the QPainter path; video memory lets the host take OpenGL where a
  // hardware GPU renders it. A path the user forces in the environment wins.
  LoadWindowSettings();
  if (gWindowOptions.UseSystemMemory) setenv("PRISMORA_PRESENT", "painter", 0);
  InstallSoundLoader();
  InstallEmbeddedTrack();
  int code = RunPlayer();
  CloseSettingsSession();
  FinishSoundLoader();
  ReraiseTermination();
  return code;
}
