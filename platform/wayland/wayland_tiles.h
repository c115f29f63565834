// The Wayland window service's bookkeeping that needs no compositor: which
// output shows the picture, which buffer may be written, and what of the
// picture each buffer lacks.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The index of the output named wanted, else of the first one; -1 for none.
int ChoosePictureOutput(const std::vector<std::string>& names, const std::string& wanted);

// The buffer to write the next frame into: one the compositor does not
// hold, the first such; -1 when both are held.
int ChooseFreeBuffer(const bool busy[2]);

// Adds a frame's changed tiles (changed: tileCount bytes, nullptr for all of
// it) to what a buffer lacks. A new frame shape (reshaped) leaves the whole
// picture lacking, with stale resized to tileCount.
void MarkStale(std::vector<uint8_t>* stale, bool* whole, const uint8_t* changed, size_t tileCount,
               bool reshaped);
