#include "engine/random.h"

#include "platform/clock.h"

namespace {
uint32_t gRandomState = 1;
}

namespace prismora {

void srand(uint32_t seed) { gRandomState = seed; }

int rand() {
  gRandomState = gRandomState * 214013u + 2531011u;
  return int((gRandomState >> 16) & 0x7FFFu);
}

}  // namespace prismora

float RandomFraction() { return float(prismora::rand() % 1000) / 1000.0f; }

void ReseedFromCalendar() { prismora::srand(uint32_t(CalendarTime())); }

void ResetRandom() { gRandomState = 1; }
