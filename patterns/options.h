// The global options, named after their stored values, with their defaults.
#pragma once
#include <cstdint>

struct OptionsRec {
  int ShowMoreOptions = 1;        // flag
  char Resolution[30] = {};       // "W x H"; empty: the desktop's size
  int MusicIndex = 0;             // -1 none, 0 the built-in track, else a music entry
  int MusicType = 1;              // 1..3, the music file chooser's last filter
  int UseRandomPreset = 0;        // flag
  int MorphSettings = 1;          // flag: change patterns at intervals
  uint32_t MorphInterval = 20;    // s, 0..3600
  uint32_t MaxFps = 85;           // 25..999
  uint32_t MorphDuration = 4000;  // morph clock ticks, 1..20000
  int ShowNames = 0;              // flag
  int Simple = 0;                 // flag: at most two counted effects at once
  int NoMouseMove = 0;            // flag
  int StretchWallpaper = 1;       // flag
  int SquareTiled = 0;            // flag
  int StandbyEnabled = 1;         // flag
  int DoubleSize = 0;             // flag
  int PaintingMode = 2;           // 0..10, tenths
  int BallLevel = 2;              // 0..10, tenths
  int SphereLevel = 4;            // 0..10
  int BackgroundBrightness = 0;   // 0..255
  int RandomBackground = 0;       // flag
  int MusicVolume = 100;          // percent
};

extern OptionsRec gOptions;

// "Resolution" as the store holds it. A run whose drawing size is not the
// user's desktop choice (a host's window: a monitor's size) keeps the stored
// text: the options are then written back with it, or without it when
// nothing was stored.
struct StoredResolutionRec {
  int keep = 0;        // flag: write back text, not gOptions.Resolution
  char text[30] = {};  // "" when the store had none
};
extern StoredResolutionRec gStoredResolution;

// The windowed player's own options.
struct WindowOptionsRec {
  int32_t UseSystemMemory = 0;                // flag
  int32_t LowPriority = 1;                    // flag
  int32_t AlwaysOnTop = 1;                    // flag
  int32_t PlayMusic = 1;                      // flag
  int32_t LowDensity = 0;                     // flag
  int32_t WindowLeft = int32_t(0x80000000u);  // pixels; 0x80000000 lets the desktop place it
  int32_t WindowTop = int32_t(0x80000000u);
  int32_t WindowWidth = 320;  // pixels
  int32_t WindowHeight = 240;
  int32_t WindowState = 1;  // 1 normal, 3 maximised
};

extern WindowOptionsRec gWindowOptions;

struct WindowOptionField {
  const char* name;
  int32_t WindowOptionsRec::*field;
};

// The window options in the order they are written.
inline constexpr WindowOptionField kWindowOptionFields[] = {
    {"Use System Memory", &WindowOptionsRec::UseSystemMemory},
    {"Low Priority", &WindowOptionsRec::LowPriority},
    {"Always On Top", &WindowOptionsRec::AlwaysOnTop},
    {"Play Music", &WindowOptionsRec::PlayMusic},
    {"Low Density", &WindowOptionsRec::LowDensity},
    {"Window Left", &WindowOptionsRec::WindowLeft},
    {"Window Top", &WindowOptionsRec::WindowTop},
    {"Window Width", &WindowOptionsRec::WindowWidth},
    {"Window Height", &WindowOptionsRec::WindowHeight},
    {"Window State", &WindowOptionsRec::WindowState},
};

extern char gHelpFilePath[260];     // the help pages, in the installation directory
extern char gPopupHelpSource[260];  // the pop-up help topics

// Loads the options, the pattern table and the frequencies from the store.
// With patternsOnly the options other than "Preset" keep their values.
// False, after telling the user, when the installation is missing: the
// caller then ends the run.
bool GetSettings(bool patternsOnly);
// The writers: false, with one log line naming the settings file and the
// reason, when the store did not take everything; memory keeps it all.
// Writes the 23 options to the main key.
bool SaveSettings();
// Writes one pattern to its key; a standard pattern becomes Modified.
bool SavePattern(uint32_t index);
bool SaveFrequency(uint32_t index);
void LoadWindowSettings();
// Writes the player's options and its restored window rectangle.
bool SaveWindowSettings(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t showState);
void ResetOptions();
