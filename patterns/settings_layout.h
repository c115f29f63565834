// The layout of the stored options and patterns: value names in the order
// they are written, and the record fields they fill.
#pragma once
#include "patterns/options.h"
#include "patterns/preset.h"

struct DwordOption {
  const char* name;
  int OptionsRec::*field = nullptr;
  uint32_t OptionsRec::*unsignedField = nullptr;
};

// The options written after "Preset", in their order.
inline constexpr DwordOption kOptionsAfterPreset[] = {
    {"Use Random Preset", &OptionsRec::UseRandomPreset},
    {"Morph Settings", &OptionsRec::MorphSettings},
    {"Morph Duration", nullptr, &OptionsRec::MorphDuration},
    {"Morph Interval", nullptr, &OptionsRec::MorphInterval},
    {"Max FPS", nullptr, &OptionsRec::MaxFps},
    {"Show Names", &OptionsRec::ShowNames},
    {"Simple", &OptionsRec::Simple},
    {"No Mouse Move", &OptionsRec::NoMouseMove},
    {"Stretch Wallpaper", &OptionsRec::StretchWallpaper},
    {"Square Tiled", &OptionsRec::SquareTiled},
    {"Standby Enabled", &OptionsRec::StandbyEnabled},
    {"Double Size", &OptionsRec::DoubleSize},
    {"Painting Mode", &OptionsRec::PaintingMode},
    {"Ball Level", &OptionsRec::BallLevel},
    {"Sphere Level", &OptionsRec::SphereLevel},
    {"Background Brightness", &OptionsRec::BackgroundBrightness},
    {"Random Background", &OptionsRec::RandomBackground},
    {"Music Index", &OptionsRec::MusicIndex},
    {"Music Type", &OptionsRec::MusicType},
    {"Music Volume", &OptionsRec::MusicVolume},
};

struct PatternValue {
  const char* name;
  int32_t Preset::*field;
};

inline constexpr PatternValue kPatternValuesBeforeInc[] = {
    {"Trail Kinkiness", &Preset::TrailKinkiness},  {"Trail Length", &Preset::TrailLength},
    {"Trail Density", &Preset::TrailDensity},      {"Trail Width", &Preset::TrailWidth},
    {"Number Of Trails", &Preset::NumberOfTrails}, {"Sparkle", &Preset::Sparkle},
    {"Sparkliness", &Preset::Sparkliness},         {"Fade Speed", &Preset::FadeSpeed},
    {"Colour Speed", &Preset::ColourSpeed},        {"Jump Speed", &Preset::JumpSpeed},
    {"Spiral Trail", &Preset::SpiralTrail},
};

inline constexpr PatternValue kPatternFlagsAfterInc[] = {
    {"Always Fade Head", &Preset::AlwaysFadeHead},
    {"Always Quicksand", &Preset::AlwaysQuicksand},
    {"Grabbed", &Preset::Grabbed},
};

inline constexpr uint32_t kDefaultsPattern = 17;
inline constexpr const char* kHelpPage = "help/index.html";
inline constexpr const char* kPopupTopics = "help/PopupTopics.txt";
