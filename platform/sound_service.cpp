// The sound and resource service tables and the sound result texts, shared
// by every implementation.
#include "platform/resources.h"
#include "platform/sound.h"

const SoundService* gSoundService = nullptr;

namespace {

ResourceHandle NoResource(ModuleHandle, int, uint32_t* error) {
  *error = kErrorResourceNotFound;
  return 0;
}
ResourceHandle NoLoad(ModuleHandle, ResourceHandle, uint32_t* error) {
  *error = kErrorResourceNotFound;
  return 0;
}
const void* NoLock(ResourceHandle, uint32_t* error) {
  *error = kErrorResourceNotFound;
  return nullptr;
}
uint32_t NoSize(ModuleHandle, ResourceHandle, uint32_t* error) {
  *error = kErrorResourceNotFound;
  return 0;
}

const ResourceService kNoResources = {NoResource, NoLoad, NoLock, NoSize};

struct ResultText {
  FMOD_RESULT result;
  const char* text;
};

const ResultText kResultTexts[] = {
    {FMOD_OK, "No errors."},
    {FMOD_ERR_BADCOMMAND, "The call does not apply to this kind of object."},
    {FMOD_ERR_CHANNEL_ALLOC, "No channel could be allocated to play the sound."},
    {FMOD_ERR_FILE_BAD, "The file could not be read."},
    {FMOD_ERR_FILE_NOTFOUND, "File not found."},
    {FMOD_ERR_FORMAT, "Unsupported file or audio format."},
    {FMOD_ERR_HTTP, "The HTTP server answered with an error."},
    {FMOD_ERR_HTTP_TIMEOUT, "The HTTP request timed out."},
    {FMOD_ERR_INITIALIZATION, "The sound system was not initialised for this call."},
    {FMOD_ERR_INITIALIZED, "The sound system is already initialised."},
    {FMOD_ERR_INTERNAL, "An internal error occurred in the sound system."},
    {FMOD_ERR_INVALID_HANDLE, "An invalid object handle was used."},
    {FMOD_ERR_INVALID_PARAM, "An invalid parameter was passed to this function."},
    {FMOD_ERR_MEMORY, "Not enough memory or resources."},
    {FMOD_ERR_NET_CONNECT, "Couldn't connect to the specified host."},
    {FMOD_ERR_NET_URL, "The specified URL couldn't be resolved."},
    {FMOD_ERR_NOTREADY, "The operation could not be performed because the object is not ready yet."},
    {FMOD_ERR_OUTPUT_CREATEBUFFER, "Error creating the output buffer."},
    {FMOD_ERR_OUTPUT_INIT, "The sound output could not be initialised."},
    {FMOD_ERR_TAGNOTFOUND, "The specified tag could not be found or there are no tags."},
};

}  // namespace

const ResourceService* gResources = &kNoResources;

const char* FMOD_ErrorString(FMOD_RESULT result) {
  for (const ResultText& entry : kResultTexts)
    if (entry.result == result) return entry.text;
  return "Unknown error.";
}
