// The music player. Sound is not built yet: these keep the calls in place.
#pragma once

void MusicPoll();
void MUSICClose();
// Pauses the playing music, or resumes it when paused; nothing without music.
void MusicTogglePause();
