// The settings dialog's help: the pages in the user's browser, a text per
// control as context help, and the version line.
#include <cstdio>
#include <cstring>
#include <string>

#include "diag/log.h"
#include "patterns/options.h"
#include "platform/help_topics.h"
#include "platform/launch.h"
#include "saver/settings_dialog.h"
#include "saver/settings_dialog_parts.h"

#ifndef PRISMORA_VERSION
#define PRISMORA_VERSION "?.??"
#endif

// A label and the controls that belong to it share a topic.
const HelpTopicPair kHelpTopics[] = {
    {kIdTrailLength, 1000},
    {kIdTrailLengthLabel, 1000},
    {kIdTrailLengthLow, 1000},
    {kIdTrailLengthHigh, 1000},
    {kIdTrailWidth, 1001},
    {kIdTrailWidthLabel, 1001},
    {kIdTrailWidthLow, 1001},
    {kIdTrailWidthHigh, 1001},
    {kIdTrails, 1002},
    {kIdTrailsSpin, 1002},
    {kIdTrailsLabel, 1002},
    {kIdSparkles, 1003},
    {kIdShowMore, 1004},
    {kIdDensity, 1005},
    {kIdDensityLabel, 1005},
    {kIdDensityLow, 1005},
    {kIdDensityHigh, 1005},
    {kIdResolution, 1006},
    {kIdResolutionLabel, 1006},
    {kIdSparkliness, 1007},
    {kIdSparklinessLabel, 1007},
    {kIdSparklinessLow, 1007},
    {kIdSparklinessHigh, 1007},
    {kIdKinkiness, 1008},
    {kIdKinkinessLabel, 1008},
    {kIdKinkinessLow, 1008},
    {kIdKinkinessHigh, 1008},
    {kIdJump, 1009},
    {kIdJumpSpin, 1009},
    {kIdJumpLabel, 1009},
    {kIdFade, 1010},
    {kIdFadeLabel, 1010},
    {kIdFadeLow, 1010},
    {kIdFadeHigh, 1010},
    {kIdColourSpeed, 1011},
    {kIdColourSpeedLabel, 1011},
    {kIdColourSpeedLow, 1011},
    {kIdColourSpeedHigh, 1011},
    {kIdPatternList, 1012},
    {kIdPatternLabel, 1012},
    {kIdRandomPattern, 1013},
    {kIdChangePatterns, 1014},
    {kIdMorphSpeed, 1015},
    {kIdMorphSpeedLabel, 1015},
    {kIdMorphSlow, 1015},
    {kIdMorphFast, 1015},
    {kIdMorphInterval, 1016},
    {kIdMorphIntervalSpin, 1016},
    {kIdSecondsLabel, 1016},
    {kIdLink, 1017},
    {kIdFadeHead, 1018},
    {kIdQuicksand, 1019},
    {kIdDefaults, 1022},
    {kIdCopy, 1023},
    {kIdRename, 1024},
    {kIdDelete, 1025},
    {kIdShowNames, 1026},
    {kIdDoubleSize, 1027},
    {kIdHelp, 1028},
    {kIdPainting, 1029},
    {kIdPaintingLabel, 1029},
    {kIdPaintingNever, 1029},
    {kIdPaintingRandomly, 1029},
    {kIdPaintingAlways, 1029},
    {kIdBackground, 1030},
    {kIdBackgroundLabel, 1030},
    {kIdBackgroundBlack, 1030},
    {kIdBackgroundDarker, 1030},
    {kIdBackgroundLighter, 1030},
    {kIdRandomBackground, 1031},
    {kIdFrequency, 1032},
    {kIdFrequencyTitle, 1032},
    {kIdFrequencyNever, 1032},
    {kIdFrequencyOften, 1032},
    {kIdMorphsLabel, 1033},
    {kIdResetAll, 1034},
    {kIdNoMouseMove, 1035},
    {kIdStandby, 1036},
    {kIdStretchWallpaper, 1037},
    {kIdSquareTiled, 1038},
    {kIdBall, 1039},
    {kIdBallLabel, 1039},
    {kIdBallNever, 1039},
    {kIdBallRandomly, 1039},
    {kIdBallAlways, 1039},
    {kIdMaxFps, 1040},
    {kIdMaxFpsSpin, 1040},
    {kIdMaxFpsLabel, 1040},
    {kIdMaxFpsUnits, 1040},
    {kIdSphere, 1041},
    {kIdSphereLabel, 1041},
    {kIdSphereNever, 1041},
    {kIdSphereRandomly, 1041},
    {kIdSphereAlways, 1041},
    {kIdSimple, 1042},
    {kIdMusic, 1045},
    {kIdMusicLabel, 1045},
    {kIdBrowse, 1046},
    {kIdRemove, 1047},
    {kIdMusicPreview, 1048},
    {kIdVolume, 1049},
    {kIdVolumeLabel, 1049},
    {kIdVolumeOff, 1049},
    {kIdVolumeMax, 1049},
    {kIdPreview, 1050},
    {kIdVersion, -1},
    {0, 0},
};

int HelpTopicOf(int id) {
  for (const HelpTopicPair* pair = kHelpTopics; pair->id != 0; ++pair)
    if (pair->id == id) return pair->topic;
  return -1;
}

void ShowControlHelp(WindowHandle dialog, int id) {
  int topic = HelpTopicOf(id);
  if (id == -1 || topic < 0) return;
  char text[1024];
  if (!ReadHelpTopic(gPopupHelpSource, topic, text, sizeof text)) {
    LogDebug("Context help: no topic %d in \"%s\"\n", topic, gPopupHelpSource);
    return;
  }
  gDialogs->showHelpText(dialog, id, text);
}

void OpenHelpContents() {
  if (!gLaunch->openInBrowser(gHelpFilePath)) LogDebug("Help: couldn't open \"%s\"\n", gHelpFilePath);
}

void OpenAboutPage() {
  // The about page sits beside the help's contents page.
  std::string page = gHelpFilePath;
  size_t slash = page.find_last_of('/');
  page = (slash == std::string::npos ? std::string() : page.substr(0, slash + 1)) + "about.html";
  if (!gLaunch->openInBrowser(page.c_str())) LogDebug("Help: couldn't open \"%s\"\n", page.c_str());
}

void SetVersionLabel(WindowHandle dialog) {
  char text[64];
  std::snprintf(text, sizeof text, "%s Version %.9s", "Prismora", PRISMORA_VERSION);
  SendDlgItemMessage(dialog, kIdVersion, DLG_SETTEXT, 0, LParam(text));
}
