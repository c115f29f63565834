// The settings dialog's and the name dialog's control tables, in dialog
// units. The frames, the button columns and the pattern section's buttons
// have fixed places: the collapsed dialog is measured from "Defaults".
#include "saver/settings_dialog.h"

namespace {

using K = ControlKind;

constexpr ControlTemplate kSettingsControls[] = {
    // Pattern and modes. A control without text of its own is named by
    // the label or check box given last in its row.
    {-1, K::Group, 3, 2, 184, 177, "Patterns and Modes"},
    {kIdPatternLabel, K::Label, 9, 19, 30, 8, "&Pattern:"},
    {kIdPatternList, K::DropList, 40, 17, 141, 150, nullptr, kAlignLeft, 0, kIdPatternLabel},
    {kIdChangePatterns, K::CheckBox, 9, 33, 92, 10, "&Change patterns every"},
    {kIdMorphInterval, K::Edit, 102, 32, 40, 12, nullptr, kAlignLeft, 0, kIdChangePatterns},
    {kIdMorphIntervalSpin, K::Spin, 142, 32, 0, 12, nullptr, kAlignLeft, kIdMorphInterval},
    {kIdSecondsLabel, K::Label, 146, 34, 36, 8, "seconds"},
    {kIdRandomPattern, K::CheckBox, 9, 45, 128, 10, "Start with a &random pattern"},
    {kIdResetAll, K::Button, 141, 45, 40, 13, "Reset &All"},
    {kIdFrequencyTitle, K::Label, 9, 58, 56, 8, "&Use This Pattern"},
    {kIdMorphsLabel, K::Label, 66, 58, 72, 8, "(Every 125 morphs)"},
    {kIdFrequency, K::Slider, 9, 66, 172, 13, nullptr, kAlignLeft, 0, kIdFrequencyTitle},
    {kIdFrequencyNever, K::Label, 9, 79, 50, 8, "Never"},
    {kIdFrequencyOften, K::Label, 121, 79, 60, 8, "More Often", kAlignRight},
    {kIdBallLabel, K::Label, 9, 88, 100, 8, "Use &Ball Mode"},
    {kIdBall, K::Slider, 9, 96, 172, 13, nullptr, kAlignLeft, 0, kIdBallLabel},
    {kIdBallNever, K::Label, 9, 109, 50, 8, "Never"},
    {kIdBallRandomly, K::Label, 65, 109, 60, 8, "Randomly", kAlignCentre},
    {kIdBallAlways, K::Label, 131, 109, 50, 8, "Always", kAlignRight},
    {kIdPaintingLabel, K::Label, 9, 118, 100, 8, "Use Pai&nting Mode"},
    {kIdPainting, K::Slider, 9, 126, 172, 13, nullptr, kAlignLeft, 0, kIdPaintingLabel},
    {kIdPaintingNever, K::Label, 9, 139, 50, 8, "Never"},
    {kIdPaintingRandomly, K::Label, 65, 139, 60, 8, "Randomly", kAlignCentre},
    {kIdPaintingAlways, K::Label, 131, 139, 50, 8, "Always", kAlignRight},
    {kIdSphereLabel, K::Label, 9, 148, 100, 8, "Use Sph&ere Mode"},
    {kIdSphere, K::Slider, 9, 156, 172, 13, nullptr, kAlignLeft, 0, kIdSphereLabel},
    {kIdSphereNever, K::Label, 9, 169, 50, 8, "Never"},
    {kIdSphereRandomly, K::Label, 65, 169, 60, 8, "Randomly", kAlignCentre},
    {kIdSphereAlways, K::Label, 131, 169, 50, 8, "Always", kAlignRight},

    // Display options.
    {-1, K::Group, 192, 2, 147, 177, "Display"},
    {kIdResolutionLabel, K::Label, 198, 19, 40, 8, "Res&olution:"},
    {kIdResolution, K::DropList, 240, 17, 93, 120, nullptr, kAlignLeft, 0, kIdResolutionLabel},
    {kIdNoMouseMove, K::CheckBox, 198, 33, 137, 10, "Don't stop when moving &mouse"},
    {kIdShowNames, K::CheckBox, 198, 45, 137, 10, "Show pattern names on screen"},
    {kIdDoubleSize, K::CheckBox, 198, 57, 137, 10, "Draw &double size particles"},
    {kIdSquareTiled, K::CheckBox, 198, 69, 137, 10, "S&quare tiled pattern"},
    {kIdStandby, K::CheckBox, 198, 81, 137, 10, "Allow computer to enter standb&y mode"},
    {kIdStretchWallpaper, K::CheckBox, 198, 93, 137, 10, "Stretch wallpaper to &fit"},
    {kIdSimple, K::CheckBox, 198, 105, 137, 10, "&Keep effects simple"},
    {kIdBackgroundLabel, K::Label, 198, 119, 137, 8, "Background Colour Brigh&tness"},
    {kIdBackground, K::Slider, 198, 127, 135, 13, nullptr, kAlignLeft, 0, kIdBackgroundLabel},
    {kIdBackgroundBlack, K::Label, 198, 140, 40, 8, "Black"},
    {kIdBackgroundDarker, K::Label, 245, 140, 40, 8, "Darker", kAlignCentre},
    {kIdBackgroundLighter, K::Label, 293, 140, 40, 8, "Lighter", kAlignRight},
    {kIdRandomBackground, K::CheckBox, 198, 153, 137, 10, "Use back&ground colour randomly"},

    // Buttons at the top right, in tab order after the options.
    {IDOK, K::DefaultButton, 425, 5, 76, 14, "OK"},
    {IDCANCEL, K::Button, 425, 22, 76, 14, "Cancel"},
    {kIdHelp, K::Button, 425, 39, 76, 14, "&Help"},
    {kIdShowMore, K::Button, 345, 5, 76, 14, "Show Pattern &Settings"},
    {kIdPreview, K::Button, 345, 22, 76, 14, "Pre&view"},

    // About.
    {-1, K::Group, 344, 53, 163, 67, nullptr},
    {kIdVersion, K::Label, 350, 68, 151, 10, "Prismora Version ?.??", kAlignCentre},
    {-1, K::Label, 350, 82, 151, 10, "Mirror-symmetric trails of light", kAlignCentre},
    {kIdLink, K::Link, 350, 99, 151, 10, "About Prismora", kAlignCentre},

    // Speed.
    {-1, K::Group, 344, 122, 163, 57, "Speed"},
    {kIdMaxFpsLabel, K::Label, 350, 139, 46, 8, "Ma&x Speed:"},
    {kIdMaxFps, K::Edit, 398, 137, 40, 12, nullptr, kAlignLeft, 0, kIdMaxFpsLabel},
    {kIdMaxFpsSpin, K::Spin, 438, 137, 0, 12, nullptr, kAlignLeft, kIdMaxFps},
    {kIdMaxFpsUnits, K::Label, 441, 139, 62, 8, "(frames/second)"},
    {kIdMorphSpeedLabel, K::Label, 350, 152, 150, 8, "Pattern Morph Speed"},
    {kIdMorphSlow, K::Label, 350, 165, 20, 8, "Slow"},
    {kIdMorphSpeed, K::Slider, 372, 162, 106, 13, nullptr, kAlignLeft, 0, kIdMorphSpeedLabel},
    {kIdMorphFast, K::Label, 480, 165, 22, 8, "Fast", kAlignRight},

    // Music.
    {-1, K::Group, 3, 177, 504, 45, nullptr},
    {kIdMusicLabel, K::Label, 9, 189, 26, 8, "Mus&ic:"},
    {kIdMusic, K::DropEdit, 38, 187, 463, 120, nullptr, kAlignLeft, 0, kIdMusicLabel},
    {kIdVolumeLabel, K::Label, 9, 206, 30, 8, "Vo&lume:"},
    {kIdVolumeOff, K::Label, 41, 206, 14, 8, "Off"},
    {kIdVolume, K::Slider, 57, 203, 130, 13, nullptr, kAlignLeft, 0, kIdVolumeLabel},
    {kIdVolumeMax, K::Label, 189, 206, 20, 8, "Max"},
    {kIdBrowse, K::Button, 265, 203, 76, 14, "Bro&wse..."},
    {kIdRemove, K::Button, 345, 203, 76, 14, "Remove"},
    {kIdMusicPreview, K::Button, 425, 203, 76, 14, "Preview"},

    // The pattern section.
    {kIdPatternSection, K::Group, 3, 220, 504, 130, nullptr},
    {kIdTrailLengthLabel, K::Label, 9, 231, 160, 8, "Trail Length"},
    {kIdTrailLengthLow, K::Label, 9, 242, 26, 8, "1"},
    {kIdTrailLength, K::Slider, 36, 239, 108, 13, nullptr, kAlignLeft, 0, kIdTrailLengthLabel},
    {kIdTrailLengthHigh, K::Label, 146, 242, 24, 8, "1000"},
    {kIdTrailWidthLabel, K::Label, 9, 255, 160, 8, "Trail Width"},
    {kIdTrailWidthLow, K::Label, 9, 266, 26, 8, "1"},
    {kIdTrailWidth, K::Slider, 36, 263, 108, 13, nullptr, kAlignLeft, 0, kIdTrailWidthLabel},
    {kIdTrailWidthHigh, K::Label, 146, 266, 24, 8, "90"},
    {kIdDensityLabel, K::Label, 9, 279, 160, 8, "Trail Density"},
    {kIdDensityLow, K::Label, 9, 290, 26, 8, "Low"},
    {kIdDensity, K::Slider, 36, 287, 108, 13, nullptr, kAlignLeft, 0, kIdDensityLabel},
    {kIdDensityHigh, K::Label, 146, 290, 24, 8, "High"},
    {kIdKinkinessLabel, K::Label, 9, 303, 160, 8, "Trail Kinkiness"},
    {kIdKinkinessLow, K::Label, 9, 314, 26, 8, "Low"},
    {kIdKinkiness, K::Slider, 36, 311, 108, 13, nullptr, kAlignLeft, 0, kIdKinkinessLabel},
    {kIdKinkinessHigh, K::Label, 146, 314, 24, 8, "High"},
    {kIdFadeLabel, K::Label, 176, 231, 160, 8, "Fade Speed"},
    {kIdFadeLow, K::Label, 176, 242, 30, 8, "No Fade"},
    {kIdFade, K::Slider, 207, 239, 104, 13, nullptr, kAlignLeft, 0, kIdFadeLabel},
    {kIdFadeHigh, K::Label, 313, 242, 24, 8, "Slow"},
    {kIdColourSpeedLabel, K::Label, 176, 255, 160, 8, "Colour Speed"},
    {kIdColourSpeedLow, K::Label, 176, 266, 30, 8, "Slow"},
    {kIdColourSpeed, K::Slider, 207, 263, 104, 13, nullptr, kAlignLeft, 0, kIdColourSpeedLabel},
    {kIdColourSpeedHigh, K::Label, 313, 266, 24, 8, "Fast"},
    {kIdSparklinessLabel, K::Label, 176, 279, 160, 8, "Sparkliness"},
    {kIdSparklinessLow, K::Label, 176, 290, 30, 8, "Low"},
    {kIdSparkliness, K::Slider, 207, 287, 104, 13, nullptr, kAlignLeft, 0, kIdSparklinessLabel},
    {kIdSparklinessHigh, K::Label, 313, 290, 24, 8, "High"},
    {kIdSparkles, K::CheckBox, 176, 306, 160, 10, "Sparkles"},
    {kIdDefaults, K::Button, 345, 228, 76, 14, "Defaults"},
    {kIdCopy, K::Button, 425, 228, 76, 14, "Copy..."},
    {kIdRename, K::Button, 345, 247, 76, 14, "Rename..."},
    {kIdDelete, K::Button, 425, 247, 76, 14, "Delete"},
    {kIdTrailsLabel, K::Label, 345, 270, 100, 8, "Number of Trails:"},
    {kIdTrails, K::Edit, 451, 268, 40, 12, nullptr, kAlignLeft, 0, kIdTrailsLabel},
    {kIdTrailsSpin, K::Spin, 491, 268, 0, 12, nullptr, kAlignLeft, kIdTrails},
    {kIdJumpLabel, K::Label, 345, 286, 100, 8, "Seconds Between &Jumps:"},
    {kIdJump, K::Edit, 451, 284, 40, 12, nullptr, kAlignLeft, 0, kIdJumpLabel},
    {kIdJumpSpin, K::Spin, 491, 284, 0, 12, nullptr, kAlignLeft, kIdJump},
    {kIdFadeHead, K::CheckBox, 345, 304, 156, 10, "Always fade trails onto screen"},
    {kIdQuicksand, K::CheckBox, 345, 318, 156, 10, "Always draw \"sticky\" trails"},
};

constexpr ControlTemplate kNameControls[] = {
    {kIdNamePrompt, K::Label, 7, 7, 170, 16, nullptr},
    {kIdNameEdit, K::Edit, 7, 26, 170, 12, nullptr, kAlignLeft, 0, kIdNamePrompt},
    {IDOK, K::DefaultButton, 36, 45, 50, 14, "OK"},
    {IDCANCEL, K::Button, 92, 45, 50, 14, "Cancel"},
};

}  // namespace

const DialogTemplate kSettingsDialogTemplate = {"Prismora Settings",
                                                510,
                                                356,
                                                "Helv",
                                                8,
                                                kSettingsControls,
                                                int(sizeof kSettingsControls / sizeof kSettingsControls[0]),
                                                true};

const DialogTemplate kNameDialogTemplate = {"Prismora New Pattern",
                                            184,
                                            66,
                                            "MS Sans Serif",
                                            8,
                                            kNameControls,
                                            int(sizeof kNameControls / sizeof kNameControls[0]),
                                            false};
