// The sound module's entry points: the only names the shared object exports
// (the static libraries inside it keep theirs to themselves).
#include "platform/sound/gst_sound.h"
#include "platform/sound_loader/sound_loader.h"

const SoundService* PrismoraSoundModuleStart() {
  InstallGstSound();
  return gSoundService;
}

void PrismoraSoundModuleFinish() { FinishGstSound(); }
