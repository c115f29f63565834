#include "saver/program_reset.h"

#include "diag/log.h"
#include "engine/engine.h"
#include "music/music_list.h"
#include "music/music_player.h"
#include "patterns/options.h"
#include "patterns/pattern_apply.h"
#include "patterns/pattern_selection.h"
#include "patterns/preset.h"
#include "player/player.h"
#include "render/display.h"
#include "render/frame_renderer.h"
#include "render/pixel_format.h"
#include "saver/saver_host.h"
#include "saver/screen_saver.h"
#include "saver/settings_dialog.h"
#include "saver/settings_flags.h"

void ResetProgram() {
  ResetPlayer();
  ResetSaverHost();
  ResetSaver();
  ResetEngine();
  ResetRenderer();
  ResetDisplay();
  ResetPixelFormat();
  ResetPatternSelection();
  ResetPatternChoice();
  ResetOptions();
  ResetPatterns();
  ResetMusicPlayer();
  ResetMusicList();
  ResetConfigureDialog();
  ResetSettingsFlags();
  ResetLog();
}
