// The settings dialog: the global options, the pattern library and the
// music choice, edited and saved through the settings store.
#pragma once
#include <cstdint>
#include <string>

#include "platform/dialog.h"
#include "platform/message_box.h"

// Control identifiers of the settings dialog. IDOK and IDCANCEL are the
// message-box values (1 and 2).
enum SettingsControl : int {
  kIdPatternLabel = 1001,
  kIdPatternList,
  kIdChangePatterns,
  kIdMorphInterval,
  kIdMorphIntervalSpin,
  kIdSecondsLabel,
  kIdRandomPattern,
  kIdFrequencyTitle,
  kIdFrequency,
  kIdFrequencyNever,
  kIdFrequencyOften,
  kIdMorphsLabel,
  kIdResetAll,
  kIdBallLabel,
  kIdBall,
  kIdBallNever,
  kIdBallRandomly,
  kIdBallAlways,
  kIdPaintingLabel,
  kIdPainting,
  kIdPaintingNever,
  kIdPaintingRandomly,
  kIdPaintingAlways,
  kIdSphereLabel,
  kIdSphere,
  kIdSphereNever,
  kIdSphereRandomly,
  kIdSphereAlways,
  kIdResolutionLabel,
  kIdResolution,
  kIdNoMouseMove,
  kIdShowNames,
  kIdDoubleSize,
  kIdSquareTiled,
  kIdStandby,
  kIdStretchWallpaper,
  kIdSimple,
  kIdBackgroundLabel,
  kIdBackground,
  kIdBackgroundBlack,
  kIdBackgroundDarker,
  kIdBackgroundLighter,
  kIdRandomBackground,
  kIdMaxFpsLabel,
  kIdMaxFps,
  kIdMaxFpsSpin,
  kIdMaxFpsUnits,
  kIdMorphSpeedLabel,
  kIdMorphSpeed,
  kIdMorphSlow,
  kIdMorphFast,
  kIdMusicLabel,
  kIdMusic,
  kIdBrowse,
  kIdRemove,
  kIdMusicPreview,
  kIdVolumeLabel,
  kIdVolume,
  kIdVolumeOff,
  kIdVolumeMax,
  kIdShowMore,
  kIdPreview,
  kIdHelp,
  kIdVersion,
  kIdLink,
  kIdTrailLengthLabel,
  kIdTrailLength,
  kIdTrailLengthLow,
  kIdTrailLengthHigh,
  kIdTrailWidthLabel,
  kIdTrailWidth,
  kIdTrailWidthLow,
  kIdTrailWidthHigh,
  kIdDensityLabel,
  kIdDensity,
  kIdDensityLow,
  kIdDensityHigh,
  kIdKinkinessLabel,
  kIdKinkiness,
  kIdKinkinessLow,
  kIdKinkinessHigh,
  kIdFadeLabel,
  kIdFade,
  kIdFadeLow,
  kIdFadeHigh,
  kIdColourSpeedLabel,
  kIdColourSpeed,
  kIdColourSpeedLow,
  kIdColourSpeedHigh,
  kIdSparklinessLabel,
  kIdSparkliness,
  kIdSparklinessLow,
  kIdSparklinessHigh,
  kIdSparkles,
  kIdTrailsLabel,
  kIdTrails,
  kIdTrailsSpin,
  kIdJumpLabel,
  kIdJump,
  kIdJumpSpin,
  kIdFadeHead,
  kIdQuicksand,
  kIdDefaults,
  kIdCopy,
  kIdRename,
  kIdDelete,
  kIdPatternSection,  // the pattern section's frame: everything from it down is the section
};

// The name dialog's controls.
enum NameControl : int { kIdNamePrompt = 2001, kIdNameEdit };

constexpr uintptr_t kMusicPreviewTimer = 2525;
constexpr uint32_t kMusicPreviewPeriodMs = 100;

struct ConfigDialogRec {
  bool patternDirty = false;    // a pattern control changed since the pattern was loaded
  bool frequencyDirty = false;  // "Use This Pattern" moved since then
  bool savePromptOpen = false;  // the pattern list's save question is showing
  bool musicPreview = false;    // a music preview plays
  int fullWidth = 0;            // client pixels before any collapsing
  int fullHeight = 0;
  // The name dialog's exchange: the caller sets prompt and proposal, the
  // dialog leaves the name in result ("" = cancelled).
  char namePrompt[200] = {};
  char nameProposed[31] = {};
  char nameResult[260] = {};
  std::string configDirectory;  // the folder named on the command line, "" for the usual one
};

extern ConfigDialogRec gConfigDialog;
extern const DialogTemplate kSettingsDialogTemplate;
extern const DialogTemplate kNameDialogTemplate;

// Starts the toolkit pieces the dialog needs; true.
bool RegisterDialogClasses();
LResult ScreenSaverConfigureDialog(WindowHandle dialog, uint32_t message, WParam wParam, LParam lParam);
LResult NameDialogProc(WindowHandle dialog, uint32_t message, WParam wParam, LParam lParam);
// Loads the settings and runs the dialog; its end code (1 OK, 0 Cancel, -1
// when it could not be shown or the settings could not be loaded).
// configDirectory: the settings folder the user named, passed on to the
// saver that Preview starts; nullptr or "" for the usual one.
intptr_t RunSettingsDialog(const char* configDirectory = nullptr);
// Asks for a pattern name; false when the user cancelled or gave "".
bool AskPatternName(const char* prompt, const char* proposed, char* name, uint32_t capacity);

// The context-help topic of a control, -1 for none.
int HelpTopicOf(int id);
// Ids whose topic is known, in table order, ending with {0, 0}.
struct HelpTopicPair {
  int id;
  int topic;
};
extern const HelpTopicPair kHelpTopics[];

void ResetConfigureDialog();
