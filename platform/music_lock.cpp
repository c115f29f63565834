// The music-turn service table, empty until a host installs one.
#include "platform/music_lock.h"

const MusicLockService* gMusicLock = nullptr;
