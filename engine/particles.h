// Trail particles: the live list, the free list, spawning and the particle
// step.
#pragma once
#include <cstdint>

#include "engine/colour.h"

struct TrailParticle {
  int returning = 0;
  int reverseMode = 0;
  float x = 0, y = 0;
  float vx = 0, vy = 0;  // pixels per particle step
  float vx0 = 0, vy0 = 0;
  uint32_t age = 0;
  uint32_t lifetime = 0;
  uint32_t fadeAge = 0;
  uint32_t pixel = 0;   // head colour, packed
  uint32_t pixel2 = 0;  // arm colour, packed
  int baseRed = 0, baseGreen = 0, baseBlue = 0;
  int headRed = 0, headGreen = 0, headBlue = 0;
  int armRed = 0, armGreen = 0, armBlue = 0;
  int sparkle = 0;
  int oneColour = 0;
  int fadeHead = 0;
  int tunnel = 0;
  int tunnelPhase = 0;
  int doubleBounce = 0;
  int coriolis = 0;
  int windmill = 0;
  int loopTheLoop = 0;
  int braking = 0;
  int ball = 0;
  int ballSize = 0;
  int star = 0;
  uint32_t ageStep = 1;
  int paletteIndex = -1;
  TrailParticle* prev = nullptr;
  TrailParticle* next = nullptr;
};

extern TrailParticle* gParticles;      // live, newest first
extern TrailParticle* gFreeParticles;  // recycled records

// One new particle from the emitter; false when no record could be had.
// now is the frame update's tick, against which the Paletted position moves;
// the form without it reads the clock.
bool SpawnParticle();
bool SpawnParticle(uint32_t now);
// Advances every live particle once: first thins the list by the morph arm
// factor (and clears it), then applies a whirl or burst armed in
// gEffects.params and disarms it.
void StepParticles();
// Unlinks p from the live list onto the free list; returns its successor.
TrailParticle* KillParticle(TrailParticle* p);
// Returns every record of both lists to the heap.
void FreeAllParticles();
unsigned LiveParticleCount();

// The One Colour colour of value v (0..period) under the current One Colour set.
Rgb OneColourOfValue(int v);
