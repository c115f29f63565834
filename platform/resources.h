// Resources carried inside a program file: the embedded music track. Found,
// loaded, locked and measured in four steps, each of which can come up
// empty, with an error code saying why.
#pragma once
#include <cstdint>

using ModuleHandle = uintptr_t;  // 0: the running program itself
using ResourceHandle = uintptr_t;

constexpr int kMusicTrackResource = 127;

struct ResourceService {
  // 0 when module has no such resource; *error then says why.
  ResourceHandle (*find)(ModuleHandle module, int id, uint32_t* error);
  ResourceHandle (*load)(ModuleHandle module, ResourceHandle found, uint32_t* error);
  // The first byte; nullptr on failure. Valid while the module is loaded.
  const void* (*lock)(ResourceHandle loaded, uint32_t* error);
  // The byte count; 0 on failure.
  uint32_t (*size)(ModuleHandle module, ResourceHandle found, uint32_t* error);
};

// Installed by the host; by default a program without resources.
extern const ResourceService* gResources;

constexpr uint32_t kErrorResourceNotFound = 1814;  // the code a missing resource gives
