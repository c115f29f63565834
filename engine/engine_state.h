// The engine's one program-wide state record: working pattern values, the
// emitter and its attractors, clocks and palettes.
#pragma once
#include <cstdint>

constexpr int kMaxAttractors = 50;
constexpr float kPi = 3.141593f;
constexpr float kTwoPi = 6.283186f;

struct Emitter {
  float x = 0, y = 0;    // pixels
  float vx = 0, vy = 0;  // pixels per step / dt
  int red = 0, green = 0, blue = 0;
  float hue = 0;                                  // 0..1
  float lightnessPhase = 0, lightnessRate = 0;    // rad, rad per colour step
  float saturationPhase = 0, saturationRate = 0;  // rad, rad per colour step
  int driftStarted = 1;                           // the next colour step first draws a hue and rates
};

struct Attractor {
  float strength = 0;  // negative: a repeller
  int x = 0, y = 0;    // pixels
  int spare = 0;
};

struct EngineStateRec {
  // Working pattern values, filled when a pattern is applied.
  uint32_t attractorCount = 0;  // at most 50
  uint32_t trailLength = 1;     // particle steps
  uint32_t trailDensity = 1;    // spawn period, steps; at least 1
  uint32_t trailWidth = 0;      // degrees
  uint32_t armCount = 1;
  int sparkle = 0;
  uint32_t sparkliness = 50;
  int fadeSpeed = 0;        // percent
  int colourSpeed = 50;     // ms
  uint32_t jumpSpeed = 20;  // s
  int spiralTrail = 0;
  float spiralInc = 0;  // rad per spawn
  int alwaysFadeHead = 0;
  int alwaysQuicksand = 0;
  int is3D = 0;

  uint32_t fadeAge = 0;  // particle age at which fading out starts

  Emitter emitter;
  float dt = 0.001f;
  float forceGain = 5.0e-7f;
  float edgeForce = 70.0f;
  int edgeBoosted = 0;  // flag: edgeForce already holds the small-screen boost
  float attractorScale = 1.0f;
  Attractor attractors[kMaxAttractors];
  float keepOut[kMaxAttractors] = {};

  uint32_t nextColourStep = 0;  // ticks
  uint32_t nextJump = 0;
  uint32_t nextMorph = 0;

  int colourCycleStep[3] = {1, 1, 1};  // red, green, blue; 1..3
  uint8_t palette[3][256][3] = {};     // palettes 0..2, entries red, green, blue
  int palettePosition = 0;             // Paletted position, 0..200

  float speedXScale = 0, speedYScale = 0;  // SpeedXY
  float loopRadius = 0;                    // Loop The Loop, pixels
  float spawnAngle = 0;                    // base angle of the last spawn in this call, rad
  float spiralAngle = 0;
  uint32_t fragmentPeriod = 1;  // Fragmented: steps between velocity flips
  float widthPhase = 0;         // Variable Width, rad
  float pattern19Phase = 0;     // the helix breathing of pattern 19, rad
  int lowDensity = 0;           // the windowed player's "Low Density"
  int musicSelected = 0;        // a music source plays; the player is polled every step
};

extern EngineStateRec EngineState;
extern uint32_t gMorphTick;  // the morph clock
extern uint32_t gStepCount;  // steps of the running AddTrailParticle call
extern int gClearRequest;    // a painted picture is to be cleared at the next frame
