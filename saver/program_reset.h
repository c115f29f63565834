// Puts every program-wide record back to its initial state, in a fixed
// order, freeing what the records own.
#pragma once

void ResetProgram();
