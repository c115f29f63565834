// One frame: erase, draw every live particle into every arm, present, pace.
#pragma once
#include <cstdint>

void DrawFrame();
void ResetRenderer();
