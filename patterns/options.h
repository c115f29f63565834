// The global options, named after their stored values, with their defaults.
#pragma once
#include <cstdint>

struct OptionsRec {
  int ShowMoreOptions = 1;      // flag
  char Resolution[30] = {};     // "W x H"; empty: the desktop's size
  int MusicIndex = 0;           // -1 none, 0 the built-in track, else a music entry
  int MusicType = 1;            // 1..3, the music file chooser's last filter
  int UseRandomPreset = 0;      // flag
  int MorphSettings = 1;        // flag: change patterns at intervals
  uint32_t MorphInterval = 20;  // s, 0..3600
  uint32_t MaxFps = 85;         // 25..999
  uint32_t MorphDuration = 4000;  // morph clock ticks, 1..20000
  int ShowNames = 0;            // flag
  int Simple = 0;               // flag: at most two counted effects at once
  int NoMouseMove = 0;          // flag
  int StretchWallpaper = 1;     // flag
  int SquareTiled = 0;          // flag
  int StandbyEnabled = 1;       // flag
  int DoubleSize = 0;           // flag
  int PaintingMode = 2;         // 0..10, tenths
  int BallLevel = 2;            // 0..10, tenths
  int SphereLevel = 4;          // 0..10
  int BackgroundBrightness = 0; // 0..255
  int RandomBackground = 0;     // flag
  int MusicVolume = 100;        // percent
};

extern OptionsRec gOptions;

// Loads the options and the pattern table. Until the settings store exists
// every option takes its default and the table holds the standard patterns.
// With patternsOnly the options are left alone. False when the table could
// not be allocated.
bool GetSettings(bool patternsOnly);
void ResetOptions();
