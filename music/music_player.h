// The music player. Sound is not built yet: these keep the calls in place.
#pragma once

void MusicPoll();
void MUSICClose();
