#include "music/music_player.h"

void MusicPoll() {}

void MUSICClose() {}

void MusicTogglePause() {}
