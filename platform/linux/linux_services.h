// Operating-system services that any real host uses: the real clock and the
// fault guard.
#pragma once

void InstallLinuxServices();

// The program's scheduling priority as nice values of all its threads.
void InstallLinuxProcessPriority();

// The music turn (music_lock.h) as a lock file of the user's.
void InstallLinuxMusicLock();
