// The program's own random generator. It is not the C library's: its
// sequence is fixed, so a run with a fixed seed repeats exactly.
#pragma once
#include <cstdint>

namespace prismora {

void srand(uint32_t seed);
// 0..32767.
int rand();

}  // namespace prismora

// U: (rand() mod 1000) / 1000, a fraction in [0, 0.999].
float RandomFraction();
// Reseeds from the calendar time in whole seconds.
void ReseedFromCalendar();
void ResetRandom();
