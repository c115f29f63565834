#include "engine/rot_angles.h"

#include <cmath>
#include <cstdlib>

#include "diag/log.h"
#include "engine/engine.h"
#include "engine/engine_state.h"
#include "engine/morph.h"
#include "engine/random.h"

RotAngle* gRotAngle = nullptr;
uint32_t gRotAngleCount = 0;

void RebuildArms() {
  EngineStateRec& e = EngineState;
  if (!gMorphing) PlaceAttractors();
  e.fadeAge = uint32_t(float(100 - e.fadeSpeed) * float(e.trailLength) / 100);
  if (!gMorphing) SetupRotAngles();
}

void SetupRotAngles() {
  ReleaseRotAngles();
  ReseedFromCalendar();
  uint32_t count = EngineState.armCount;
  gRotAngle = static_cast<RotAngle*>(std::calloc(count ? count : 1, sizeof(RotAngle)));
  if (!gRotAngle) {
    LogDebug("SetupRotAngles: Allocating memory for gRotAngle failed.\n");
    return;
  }
  for (uint32_t i = 0; i < count; ++i) {
    float angle = float(i) * 2 * 3.141593f / float(count);
    if (angle >= 6.293186f) break;
    RotAngle& r = gRotAngle[i];
    r.angle = angle;
    r.extra = 0;
    r.cosA = std::cos(angle);
    r.sinA = std::sin(angle);
    r.negSinA = -r.sinA;
    r.cosA2 = r.cosA;
    gRotAngleCount = i + 1;
  }
}

void ReleaseRotAngles() {
  std::free(gRotAngle);
  gRotAngle = nullptr;
  gRotAngleCount = 0;
}
