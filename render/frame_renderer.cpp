// The frame renderer, in its plain form: every live particle rotated into
// every arm as a single pixel. The drawing-side effects come later.
#include "render/frame_renderer.h"

#include "engine/particles.h"
#include "engine/rot_angles.h"
#include "patterns/options.h"
#include "platform/clock.h"
#include "platform/event_source.h"
#include "render/display.h"
#include "render/pixel_format.h"

namespace {

struct RendererRec {
  float centreX = 0, centreY = 0;
};

RendererRec gRenderer;

int Rounded(float v) { return int(v + 0.5f); }

void DrawParticle(const TrailParticle& p) {
  float dx = p.x - gRenderer.centreX, dy = p.y - gRenderer.centreY;
  for (uint32_t i = 0; i < gRotAngleCount; ++i) {
    const RotAngle& arm = gRotAngle[i];
    if (arm.angle >= 6.2731857f) break;
    int x = Rounded(gRenderer.centreX + dx * arm.cosA + dy * arm.sinA);
    int y = Rounded(gRenderer.centreY + dx * arm.negSinA + dy * arm.cosA2);
    if (x >= 0 && y >= 0 && uint32_t(x) < gScreenWidth && uint32_t(y) < gScreenHeight) WritePixel(p.pixel, x, y);
  }
}

}  // namespace

void DrawFrame() {
  uint32_t start = GetTickCount();
  DDClearBackSurface();
  if (gRenderer.centreX == 0) {
    gRenderer.centreX = float(gScreenWidth) * 0.5f;
    gRenderer.centreY = float(gScreenHeight) * 0.5f;
  }
  if (DDLockBackSurface()) {
    for (const TrailParticle* p = gParticles; p; p = p->next) DrawParticle(*p);
    DDUnlockBackSurface();
    DDPresent();
  }
  // A frame lasts at least 900 / "Max FPS" ms; the wait sleeps.
  if (gOptions.MaxFps > 0) {
    uint32_t period = 900 / gOptions.MaxFps;
    uint32_t spent = GetTickCount() - start;
    if (spent < period) WaitMilliseconds(period - spent);
  }
}

void ResetRenderer() { gRenderer = RendererRec{}; }
