#include "platform/track/embedded_track.h"

#include "platform/resources.h"

extern "C" const unsigned char prismora_track_start[];
extern "C" const unsigned char prismora_track_end[];

namespace {

bool IsTrack(ModuleHandle module, int id) { return module == 0 && id == kMusicTrackResource; }

ResourceHandle Find(ModuleHandle module, int id, uint32_t* error) {
  if (IsTrack(module, id)) return 1;
  *error = kErrorResourceNotFound;
  return 0;
}

ResourceHandle Load(ModuleHandle, ResourceHandle found, uint32_t*) { return found; }

const void* Lock(ResourceHandle, uint32_t*) { return prismora_track_start; }

uint32_t Size(ModuleHandle, ResourceHandle, uint32_t*) {
  return uint32_t(prismora_track_end - prismora_track_start);
}

const ResourceService kEmbeddedTrack = {Find, Load, Lock, Size};

}  // namespace

void InstallEmbeddedTrack() { gResources = &kEmbeddedTrack; }
