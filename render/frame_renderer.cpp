// The frame renderer. Every frame is drawn afresh from the live particle
// list (or, while painting, over the previous picture): each particle is
// offset from the screen centre, bent by its own drawing effects (twists,
// tunnel, loop the loop), optionally mapped onto the sphere or turned inside
// out, and then written once per arm of the rotation table, mirrored, tilted
// or doubled as the effects ask.
//
// Arithmetic is double precision except where a value is deliberately kept
// as a float, which is written float(...): those roundings are part of the
// picture, so that it repeats bit for bit.
#include "render/frame_renderer.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "engine/effects.h"
#include "engine/engine_state.h"
#include "engine/morph.h"
#include "engine/particles.h"
#include "engine/random.h"
#include "engine/rot_angles.h"
#include "patterns/options.h"
#include "patterns/preset.h"
#include "platform/clock.h"
#include "platform/event_source.h"
#include "render/display.h"
#include "render/pixel_format.h"
#include "render/text_overlay.h"

uint32_t gFps = 0;
uint32_t gFpsFrames = 0;
uint32_t gFpsWindowStart = 0;
int32_t gShedRate = 0;
float g3DPhase = 0;
float gSphereAngle = 0;
float gSphereRadius = 0;
float gSphereStep = 0;
int gSphereEnding = 0;
int gSphereFast = 0;
float gCentreX = 0, gCentreY = 0;
uint32_t gWhitePixel = 0;
uint32_t gTileSize = 0;

namespace {

// The angle at which an arm no longer counts (2π − 0.01).
constexpr float kLastArmAngle = 6.2731857f;
// π as the drawing effects store it.
constexpr float kPiF = 3.1415929f;

// Positions this far out are off every surface. Conversions are clamped to
// them so that a particle flung to infinity (or NaN) neither overflows the
// conversion nor the mirror and sprite arithmetic done on the result.
constexpr double kFarAway = double(1 << 30);

int Truncated(double v) {
  if (!(v > -kFarAway)) return -(1 << 30);  // NaN lands here too
  if (v > kFarAway) return 1 << 30;
  return int(v);
}

// Half up, then toward zero.
int Rounded(double v) { return Truncated(v + 0.5); }

// A colour component scaled by a factor; kept to 0..255 so that a packed
// pixel never spills into its neighbour channel.
int Scaled(int component, double factor) { return std::clamp(Rounded(double(component) * factor), 0, 255); }

uint32_t PackScaled(int r, int g, int b, double factor) {
  return PackPixel(uint32_t(Scaled(r, factor)), uint32_t(Scaled(g, factor)), uint32_t(Scaled(b, factor)));
}

// What every particle of one frame shares.
struct FrameRec {
  int width = 0, height = 0;        // pixels
  double centreX = 0, centreY = 0;  // pixels
  float q = 0, k = 0;               // twist scales
  float armFade = 0;                // fa: colour factor of split-off and merging arms
  float tilt = 0;                   // w: 3D tilt
  float cosPhi = 1, sinPhi = 0;     // sphere rotation
  float sphereRadius = 0;           // R, pixels
  float mirrorFade = 0;
  float morphProgress = 0;  // p
  bool morphing = false, from3D = false, target3D = false;
  bool spherical = false, inverse = false, inverseAlternate = false;
  bool mirrored = false, colourfulArms = false, complementary = false;
  bool tilted = false, doubleSize = false, squareTiled = false;
};

// The colour of a mirrored copy. A pixel whose mirror is unscaled takes
// the arm's own colour; sprites always take the components.
struct MirrorColourRec {
  int red = 0, green = 0, blue = 0;
  uint32_t packed = 0;
  bool unscaled = false;
};

MirrorColourRec MirrorColour(const FrameRec& f, const TrailParticle& p) {
  MirrorColourRec m;
  if (double(f.mirrorFade) <= 0.999) {
    bool arm = f.colourfulArms;
    m.red = Scaled(arm ? p.armRed : p.headRed, f.mirrorFade);
    m.green = Scaled(arm ? p.armGreen : p.headGreen, f.mirrorFade);
    m.blue = Scaled(arm ? p.armBlue : p.headBlue, f.mirrorFade);
    m.packed = PackPixel(uint32_t(m.red), uint32_t(m.green), uint32_t(m.blue));
  } else if (f.complementary) {
    m.red = p.armRed;
    m.green = p.armGreen;
    m.blue = p.armBlue;
    m.packed = PackPixel(uint32_t(m.red), uint32_t(m.green), uint32_t(m.blue));
  } else {
    m.red = p.headRed;
    m.green = p.headGreen;
    m.blue = p.headBlue;
    m.unscaled = true;
  }
  return m;
}

// The direction of (x, y) in [0, 2π).
double Direction(double x, double y) {
  if (x == 0) return y > 0 ? double(1.5707964f) : double(4.712389f);
  double a = std::atan(y / x);
  if (x < 0) a += double(kPiF);
  if (x > 0 && y < 0) a += double(kTwoPi);
  return a;
}

double Length(float x, float y) { return std::sqrt(double(x) * double(x) + double(y) * double(y)); }

// Where the frame's pixels go: the locked surface, copied out of the
// program-wide record so that no store makes the compiler read it again.
// Bytes is the pixel size, fixed for the frame; 0 stands for any other size
// and writes through WritePixel.
// Every pixel put marks its cell, so the display knows what to clear and send.
template <uint32_t Bytes>
struct Canvas {
  uint8_t* base = nullptr;
  uint32_t pitch = 0;  // bytes per row
  uint8_t* cells = nullptr;
  uint32_t cellRowShift = 0;

  void Put(uint32_t packed, int x, int y) const {
    if constexpr (Bytes == 0)
      WritePixel(packed, x, y);
    else
      StorePixel<Bytes>(base + size_t(uint32_t(y)) * pitch + size_t(uint32_t(x)) * Bytes, packed);
    MarkCell(cells, cellRowShift, x, y);
  }
};

bool InPixelBounds(const FrameRec& f, int x, int y) {
  int right = f.doubleSize ? f.width - 1 : f.width;
  int bottom = f.doubleSize ? f.height - 1 : f.height;
  return x >= 0 && y >= 0 && x < right && y < bottom;
}

template <uint32_t Bytes>
void WriteBlock(const FrameRec& f, Canvas<Bytes> canvas, uint32_t c, int x, int y) {
  canvas.Put(c, x, y);
  if (f.doubleSize) {
    canvas.Put(c, x + 1, y);
    canvas.Put(c, x, y + 1);
    canvas.Put(c, x + 1, y + 1);
  }
}

// Square Tiled: the particle repeated over a grid instead of the arms.
template <uint32_t Bytes>
void DrawTiles(const FrameRec& f, Canvas<Bytes> canvas, const TrailParticle& p, uint32_t c, float dx,
               float dy) {
  int tile = int(gTileSize);
  if (tile <= 0) return;
  // Remainders keep the dividend's sign; a negative one fails the unsigned test.
  int y0 = Truncated(f.centreY + double(dy)) % tile;
  int x0 = Truncated(f.centreX + double(dx)) % tile;
  if (uint32_t(y0) >= uint32_t(f.height) || uint32_t(x0) >= uint32_t(f.width)) return;
  for (int y = y0; y < f.height; y += tile) {
    for (int x = x0; x < f.width; x += tile) {
      if (p.ball)
        PlotBall(x, y, p.headRed, p.headGreen, p.headBlue, p.ballSize);
      else if (InPixelBounds(f, x, y))
        WriteBlock(f, canvas, c, x, y);
    }
  }
}

// The particle's offsets as the arms see them.
struct ProjectionRec {
  float dx = 0, dy = 0;         // after the particle's own effects (and Inverse Distance in mode 0)
  float u = 0, v = 0;           // Inverse Distance, for the odd arms in mode 1
  float sx = 0, sy = 0, z = 0;  // on the sphere
};

template <uint32_t Bytes>
void DrawArms(const FrameRec& f, Canvas<Bytes> canvas, TrailParticle& p, uint32_t c,
              const ProjectionRec& pr) {
  uint32_t fadedHead = 0, fadedArm = 0;
  if (f.morphing) {
    fadedHead = PackScaled(p.headRed, p.headGreen, p.headBlue, f.armFade);
    if (f.colourfulArms) fadedArm = PackScaled(p.armRed, p.armGreen, p.armBlue, f.armFade);
  }
  MirrorColourRec mirror;
  if (f.mirrored) mirror = MirrorColour(f, p);
  uint32_t lifetime = p.lifetime;
  bool starShape = p.star && p.age > lifetime / 2;

  for (uint32_t i = 0; i < gRotAngleCount; ++i) {
    const RotAngle& arm = gRotAngle[i];
    bool odd = (i & 1) != 0;
    uint32_t armColour = c;
    if (f.morphing) armColour = arm.extra ? fadedHead : p.pixel;
    float ax = pr.dx, ay = pr.dy;
    if (f.inverse && f.inverseAlternate && odd) {
      ax = pr.u;
      ay = pr.v;
    }
    if (f.colourfulArms) {
      if (f.morphing && odd && arm.extra)
        armColour = fadedArm;
      else
        armColour = odd ? p.pixel2 : p.pixel;
    }
    if (arm.angle >= kLastArmAngle) break;

    int x, y;
    if (f.spherical) {
      float e = float(double(pr.sx) * arm.cosA + double(pr.sy) * arm.sinA);
      x = Rounded(double(e) * f.cosPhi + f.centreX + pr.z);
      y = Rounded(double(pr.sx) * arm.negSinA + double(pr.sy) * arm.cosA2 + f.centreY);
    } else {
      x = Rounded(f.centreX + double(ax) * arm.cosA + double(ay) * arm.sinA);
      y = Rounded(f.centreY + double(ax) * arm.negSinA + double(ay) * arm.cosA2);
    }

    if (f.tilted) {
      double tilted = double(p.y) + (double(y) - f.centreY) * f.tilt;
      double m = f.morphProgress;
      if (!f.morphing || (f.from3D && f.target3D))
        y = Rounded(tilted);
      else if (!f.target3D)  // into a flat pattern (or between two)
        y = Rounded(m * y + (1 - m) * tilted);
      else
        y = Rounded(m * tilted + (1 - m) * y);
    }

    if (starShape) {
      uint32_t half = lifetime / 2, quarter = lifetime / 4;
      uint64_t threeQuarters = uint64_t(lifetime) * 3 / 4;
      float t = float(uint64_t(p.age) < threeQuarters ? double(p.age - half) / double(quarter)
                                                      : double(lifetime - p.age) / double(quarter));
      PlotStar(x - 3, y - 3, Scaled(p.headRed, t), Scaled(p.headGreen, t), Scaled(p.headBlue, t), p.ballSize);
      if (f.mirrored) PlotStar(f.width - x + 2, y - 3, mirror.red, mirror.green, mirror.blue, p.ballSize);
      // Stars brake once for every arm they are drawn into.
      p.vx = float(double(p.vx) / 1.01);
      p.vy = float(double(p.vy) / 1.01);
      continue;
    }
    if (p.ball) {
      PlotBall(x, y, p.headRed, p.headGreen, p.headBlue, p.ballSize);
      if (f.mirrored) PlotBall(f.width - 1 - x, y, mirror.red, mirror.green, mirror.blue, p.ballSize);
      continue;
    }
    if (!InPixelBounds(f, x, y)) continue;
    canvas.Put(armColour, x, y);
    uint32_t mirrorColour = mirror.unscaled ? armColour : mirror.packed;
    if (f.mirrored) canvas.Put(mirrorColour, f.width - 1 - x, y);
    if (f.doubleSize) {
      canvas.Put(armColour, x + 1, y);
      canvas.Put(armColour, x, y + 1);
      canvas.Put(armColour, x + 1, y + 1);
      if (f.mirrored) {
        // At the centre column the blocks overlap; the later writes win.
        canvas.Put(mirrorColour, f.width - 2 - x, y);
        canvas.Put(mirrorColour, f.width - 2 - x, y + 1);
        canvas.Put(mirrorColour, f.width - 1 - x, y + 1);
      }
    }
  }
}

// Draws one visible particle; true when it lies beyond the sphere's rim
// and is to be removed.
template <uint32_t Bytes>
bool DrawParticle(const FrameRec& f, Canvas<Bytes> canvas, TrailParticle& p) {
  uint32_t c = p.sparkle ? gWhitePixel : p.pixel;
  float dx = float(double(p.x) - f.centreX);
  float dy = float(double(p.y) - f.centreY);

  if (p.coriolis || p.windmill) {
    double r = Length(dx, dy);
    float a = p.coriolis ? float(double(float(std::cos(r / f.q))) * f.k)
                         : float(double(float(r)) / f.q * f.k * 0.5);
    float cs = float(std::cos(double(a)));
    float sn = float(std::sin(double(a)));
    // The twist also moves the picture by 200 pixels on both axes.
    float tx = float(double(cs) * dx + double(sn) * dy + 200);
    float ty = float(double(cs) * dy - double(sn) * dx + 200);
    dx = tx;
    dy = ty;
  }

  if (p.tunnel) {
    double t;
    if (p.doubleBounce)
      t = float((double(float(std::cos(double(kPiF) * double(p.age) / double(p.lifetime)))) + 1) / 1.5);
    else
      t = float(2 * (double(uint32_t(p.tunnelPhase)) + double(p.age)) / double(p.lifetime));
    dx = float(dx * t);
    dy = float(dy * t);
  }

  // The radius is taken before the loop moves the point; the sphere uses it.
  float r = 0;
  if (p.loopTheLoop || f.spherical) {
    r = float(Length(dx, dy));
    if (p.loopTheLoop) {
      double loop = EngineState.loopRadius;
      double u = double(r) / loop;
      dx = float(dx + double(float(std::cos(u))) * loop * 3);
      dy = float(dy + double(float(std::sin(u))) * loop * 3);
    }
  }

  ProjectionRec pr;
  bool clipped = false;
  if (f.spherical && !f.squareTiled) {
    double radius = f.sphereRadius;
    if (double(r) > double(kPi) * radius) {
      r = float(double(kPi) * radius);
      clipped = true;
    }
    // At the centre the point stays there: sin(r / R) / r would be 0 / 0.
    float g = r > 0.001f ? float(radius * std::sin(double(r) / radius) / double(r)) : 0.0f;
    pr.sx = float(double(g) * dx);
    pr.sy = float(double(g) * dy);
    pr.z = float(double(float(radius * std::cos(double(r) / radius))) * f.sinPhi);
  }

  if (f.inverse) {
    double r2 = Length(dx, dy);
    double theta = Direction(dx, dy);
    double inside = r2 - double(gInverseRadius);
    pr.u = float(std::cos(theta) * inside);
    pr.v = float(std::sin(theta) * inside);
    if (!f.inverseAlternate) {
      dx = pr.u;
      dy = pr.v;
    }
  }
  pr.dx = dx;
  pr.dy = dy;

  if (f.squareTiled)
    DrawTiles(f, canvas, p, c, dx, dy);
  else
    DrawArms(f, canvas, p, c, pr);
  return clipped;
}

template <uint32_t Bytes>
void DrawParticlesAs(const FrameRec& f) {
  const Canvas<Bytes> canvas{FrameBuffer.base, FrameBuffer.pitch, FrameBuffer.cells,
                             FrameBuffer.cellRowShift};
  TrailParticle* p = gParticles;
  while (p) {
    bool shed = false;
    if (gShedRate > 0) shed = prismora::rand() % 1000 < gShedRate;
    // Reversing particles show only on their way back.
    bool visible = p->reverseMode == 0 || p->reverseMode == 3 || p->returning;
    bool clipped = visible && DrawParticle(f, canvas, *p);
    if (shed) p->ageStep = 10;
    p = clipped ? KillParticle(p) : p->next;
  }
}

void DrawParticles(const FrameRec& f) {
  switch (PixelFormat.bytesPerPixel) {
    case 4:
      DrawParticlesAs<4>(f);
      break;
    case 3:
      DrawParticlesAs<3>(f);
      break;
    case 2:
      DrawParticlesAs<2>(f);
      break;
    default:
      DrawParticlesAs<0>(f);
      break;
  }
}

void MeasureFrameRate(uint32_t now) {
  uint32_t d = now - gFpsWindowStart;
  if (d > 1000) {
    // After a pause the window says nothing about the machine's speed.
    gFps = d <= 1500 ? uint32_t(double(gFpsFrames) / (double(d) / 1000)) : 0;
    gFpsFrames = 0;
    gFpsWindowStart = now;
    if (gFps != 0) {
      if (gFps < 25)
        gShedRate = std::min(gShedRate + 8, 32);
      else
        gShedRate = std::max(gShedRate - 8, 0);
    }
  }
  if (gMorphing) gFpsWindowStart = now;
  gFpsFrames += 1;
}

void CopyOverlays(uint32_t now) {
  if (NamesOverlayOn()) DDBlitTextRegion(kNameSlot);
  if (gTextOverlay.effectsList) DrawEffectsList();
  if (gTextOverlay.frameRate) {
    DrawFrameRateText(gFps);
    DDBlitTextRegion(kFrameRateSlot);
  }
  bool notice = false;
  for (TimedNoticeRec* n : {&gTextOverlay.grabNotice, &gTextOverlay.wallpaperNotice}) {
    if (n->on && now > n->endTick) n->on = 0;
    if (n->on) notice = true;
  }
  if (notice) DDBlitTextRegion(kFrameRateSlot);
  if (gTextOverlay.keyHelp) {
    DDBlitTextRegion(kKeyHelpSlot1);
    DDBlitTextRegion(kKeyHelpSlot2);
  }
}

// The sphere's life: shrink, turn faster and faster, and when ending unwind
// back to angle 0 and grow until it leaves the screen.
void AdvanceSphere() {
  double h = float(gScreenHeight);
  if (gSphereEnding) {
    if (gSphereAngle == 0) {
      gSphereRadius = float(double(gSphereRadius) + 0.0065 * h * 0.5);
      if (2.6 * h < double(gSphereRadius)) {
        SetEffect(kSpherical, 0);
        gSphereEnding = 0;
        gSphereFast = 0;
      }
    } else {
      double step = 0.036;
      if (!gSphereFast) step = std::max(0.006 * (double(kTwoPi) - gSphereAngle) / double(kTwoPi), 0.003);
      gSphereStep = float(step);
      gSphereAngle = float(double(gSphereAngle) + gSphereStep);
    }
  } else if (0.29 * h < double(gSphereRadius)) {
    gSphereRadius = float(double(gSphereRadius) - h * (gSphereFast ? 0.026 : 0.0065));
  } else {
    if (double(gSphereStep) < 0.006) gSphereStep = float(double(gSphereStep) + 0.00001);
    gSphereAngle = float(double(gSphereAngle) + gSphereStep);
  }
  if (gSphereAngle > kTwoPi)
    gSphereAngle = gSphereEnding ? 0.0f : float(double(gSphereAngle) - double(kTwoPi));
}

int32_t ArmsOf(int pattern) {
  if (!gPresets || pattern < 0 || uint32_t(pattern) >= gPatternCount) return 0;
  return gPresets[pattern].NumberOfTrails;
}

}  // namespace

void DrawFrame() {
  uint32_t start = GetTickCount();
  uint64_t startUs = 0;
  bool precise = MonotonicMicroseconds(&startUs);
  if (gTileSize == 0) gTileSize = gScreenWidth / 4;
  if (gWhitePixel == 0) gWhitePixel = PackPixel(255, 255, 255);

  MeasureFrameRate(start);

  if (!EffectOn(kPaintMode)) {
    DDClearBackSurface();
  } else if (gClearRequest) {
    // A rare event: the whole picture goes, whatever the records say.
    DDForgetDrawing();
    DDClearBackSurface();
    gClearRequest = 0;
  }

  if (gCentreX == 0) {
    gCentreX = float(double(gScreenWidth) * 0.5);
    gCentreY = float(double(gScreenHeight) * 0.5);
  }

  CopyOverlays(start);

  FrameRec f;
  f.tilted = EngineState.is3D != 0;
  if (f.tilted) {
    g3DPhase = float(double(g3DPhase) + 0.015);
    if (g3DPhase > kTwoPi) g3DPhase = float(double(g3DPhase) - double(kTwoPi));
    f.tilt = float(0.3 * std::sin(double(g3DPhase)));
  }

  if (EffectOn(kSpherical)) {
    AdvanceSphere();
    f.cosPhi = float(std::cos(double(gSphereAngle)));
    f.sinPhi = float(std::sin(double(gSphereAngle)));
  }

  if (DDLockBackSurfaceMarked()) {
    // A surface smaller than the screen would be written past its end.
    if (FrameBuffer.base && FrameBuffer.cells && FrameBuffer.width >= gScreenWidth &&
        FrameBuffer.height >= gScreenHeight) {
      f.width = int(gScreenWidth);
      f.height = int(gScreenHeight);
      f.centreX = gCentreX;
      f.centreY = gCentreY;
      f.q = float(double(gScreenHeight) / 11.0);
      f.k = float(double(gScreenWidth) * 0.0009765625 * 0.6283186);
      f.morphing = gMorphing != 0;
      if (f.morphing) {
        // Arms that appear fade in, arms that go fade out.
        bool fewer = ArmsOf(gMorphBlend.fromPattern) > ArmsOf(gMorphBlend.targetPattern);
        f.armFade = fewer ? 1 - gMorphFactor : gMorphFactor;
        f.from3D = gMorphBlend.from3D != 0;
        f.target3D = gMorphBlend.target3D != 0;
        f.morphProgress = gMorphProgress;
      }
      f.spherical = EffectOn(kSpherical);
      f.sphereRadius = gSphereRadius;
      f.inverse = EffectOn(kInverseDistance);
      f.inverseAlternate = gInverseAlternate != 0;
      f.mirrored = EffectOn(kMirroredRadial);
      f.mirrorFade = gMirrorFade;
      f.colourfulArms = EffectOn(kColourfulArms);
      f.complementary = EffectOn(kComplementaryMirror);
      f.doubleSize = gOptions.DoubleSize != 0;
      f.squareTiled = gOptions.SquareTiled != 0;
      DrawParticles(f);
    }
    DDUnlockBackSurface();
    DDPresent();
  }

  // The wait sleeps (and lets window events in); "Max FPS" 0 means unpaced.
  if (gOptions.MaxFps > 0) {
    uint32_t period = 900 / gOptions.MaxFps;
    if (precise) {
      // Measured on the fine counter: whole milliseconds would let a frame
      // that began late in one end up to a millisecond short.
      WaitUntilMicroseconds(startUs + uint64_t(period) * 1000u);
    } else {
      uint32_t spent = GetTickCount() - start;
      if (spent < period) WaitMilliseconds(period - spent);
    }
  }
}

void ResetRenderer() {
  gFps = 0;
  gFpsFrames = 0;
  gFpsWindowStart = 0;
  gShedRate = 0;
  g3DPhase = 0;
  gSphereAngle = 0;
  gSphereRadius = 0;
  gSphereStep = 0;
  gSphereEnding = 0;
  gSphereFast = 0;
  gCentreX = gCentreY = 0;
  gWhitePixel = 0;
  gTileSize = 0;
  ResetTextOverlay();
}
