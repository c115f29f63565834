// The settings dialog's procedure: loading the controls from the settings,
// tracking what changed, the pattern library's buttons, and saving.
#include "saver/settings_dialog.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "diag/log.h"
#include "music/music_list.h"
#include "patterns/options.h"
#include "patterns/pattern_library.h"
#include "patterns/pattern_selection.h"
#include "patterns/preset.h"
#include "platform/launch.h"
#include "platform/registry.h"
#include "render/display.h"
#include "saver/settings_dialog_music.h"
#include "saver/settings_dialog_parts.h"

ConfigDialogRec gConfigDialog;

namespace {

// The pattern section's trackbars: range, step, and where the position is
// the stored value mirrored (base - value), so that right means "more".
const SliderSpec kPatternSliders[] = {
    {kIdTrailLength, &Preset::TrailLength, 1, 1000, 100, 0},
    {kIdTrailWidth, &Preset::TrailWidth, 0, 90, 10, 0},
    {kIdDensity, &Preset::TrailDensity, 1, 50, 5, 51},
    {kIdKinkiness, &Preset::TrailKinkiness, 0, 50, 5, 0},
    {kIdFade, &Preset::FadeSpeed, 0, 100, 10, 0},
    {kIdColourSpeed, &Preset::ColourSpeed, 1, 300, 25, 301},
    {kIdSparkliness, &Preset::Sparkliness, 4, 200, 25, 204},
};

const SpinSpec kPatternSpins[] = {
    {kIdTrails, kIdTrailsSpin, &Preset::NumberOfTrails, 1, 100},
    {kIdJump, kIdJumpSpin, &Preset::JumpSpeed, 1, 3600},
};

const CheckSpec kPatternChecks[] = {
    {kIdSparkles, &Preset::Sparkle},
    {kIdFadeHead, &Preset::AlwaysFadeHead},
    {kIdQuicksand, &Preset::AlwaysQuicksand},
};

const OptionSliderSpec kOptionSliders[] = {
    {kIdBall, &OptionsRec::BallLevel, 0, 10, 1, 0},
    {kIdPainting, &OptionsRec::PaintingMode, 0, 10, 1, 0},
    {kIdSphere, &OptionsRec::SphereLevel, 0, 10, 1, 0},
    {kIdBackground, &OptionsRec::BackgroundBrightness, 0, 255, 32, 0},
    {kIdVolume, &OptionsRec::MusicVolume, 0, 100, 10, 0},
};

const OptionCheckSpec kOptionChecks[] = {
    {kIdChangePatterns, &OptionsRec::MorphSettings},
    {kIdRandomPattern, &OptionsRec::UseRandomPreset},
    {kIdNoMouseMove, &OptionsRec::NoMouseMove},
    {kIdShowNames, &OptionsRec::ShowNames},
    {kIdDoubleSize, &OptionsRec::DoubleSize},
    {kIdSquareTiled, &OptionsRec::SquareTiled},
    {kIdStandby, &OptionsRec::StandbyEnabled},
    {kIdStretchWallpaper, &OptionsRec::StretchWallpaper},
    {kIdSimple, &OptionsRec::Simple},
    {kIdRandomBackground, &OptionsRec::RandomBackground},
};

constexpr int kFrequencyMin = 0, kFrequencyMax = 100, kFrequencyStep = 10;
constexpr int kMorphSpeedBase = 20001;

bool IsPatternSlider(int id) {
  for (const SliderSpec& s : kPatternSliders)
    if (s.id == id) return true;
  return false;
}

bool IsPatternSpin(int id) {
  for (const SpinSpec& s : kPatternSpins)
    if (s.spinId == id) return true;
  return false;
}

bool IsPatternCheck(int id) {
  for (const CheckSpec& c : kPatternChecks)
    if (c.id == id) return true;
  return false;
}

Preset* SelectedPattern() {
  return gPresets && gCurrentPattern < gPatternCount ? &gPresets[gCurrentPattern] : nullptr;
}

void SetupSlider(WindowHandle d, int id, int minimum, int maximum, int step, int position) {
  SendDlgItemMessage(d, id, DLG_SETRANGE, WParam(minimum), maximum);
  SendDlgItemMessage(d, id, DLG_SETSTEP, WParam(step));
  SendDlgItemMessage(d, id, DLG_SETPOS, WParam(position));
}

void SetupSpin(WindowHandle d, int editId, int spinId, int minimum, int maximum, uint32_t value) {
  SendDlgItemMessage(d, spinId, DLG_SETRANGE, WParam(minimum), maximum);
  SetDialogNumber(d, editId, value);
}

void LoadPatternSection(WindowHandle d) {
  const Preset* p = SelectedPattern();
  if (!p) return;
  for (const SliderSpec& s : kPatternSliders)
    SetupSlider(d, s.id, s.minimum, s.maximum, s.step, SliderPosition(s.reverseBase, p->*s.field));
  for (const SpinSpec& s : kPatternSpins)
    SetupSpin(d, s.editId, s.spinId, s.minimum, s.maximum, uint32_t(std::max(0, int(p->*s.field))));
  for (const CheckSpec& c : kPatternChecks) SendDlgItemMessage(d, c.id, DLG_SETCHECK, p->*c.field ? 1 : 0);
  SetupSlider(d, kIdFrequency, kFrequencyMin, kFrequencyMax, kFrequencyStep, p->Frequency);
}

void LoadResolutions(WindowHandle d) {
  char list[kResolutionListSize][kResolutionTextSize];
  uint32_t count = 0;
  DDGetResolutions(list, &count);
  SendDlgItemMessage(d, kIdResolution, DLG_RESETCONTENT);
  for (uint32_t i = 0; i < count; ++i) {
    LResult item = SendDlgItemMessage(d, kIdResolution, DLG_ADDITEM, 0, LParam(list[i]));
    SendDlgItemMessage(d, kIdResolution, DLG_SETITEMDATA, WParam(item), LParam(i));
    if (std::strcmp(list[i], gOptions.Resolution) == 0)
      SendDlgItemMessage(d, kIdResolution, DLG_SETCURSEL, WParam(item));
  }
}

void LoadGlobalSection(WindowHandle d) {
  LoadResolutions(d);
  for (const OptionCheckSpec& c : kOptionChecks)
    SendDlgItemMessage(d, c.id, DLG_SETCHECK, gOptions.*c.field ? 1 : 0);
  for (const OptionSliderSpec& s : kOptionSliders)
    SetupSlider(d, s.id, s.minimum, s.maximum, s.step, gOptions.*s.field);
  SetupSpin(d, kIdMorphInterval, kIdMorphIntervalSpin, 0, 3600, gOptions.MorphInterval);
  SetupSpin(d, kIdMaxFps, kIdMaxFpsSpin, 25, 999, gOptions.MaxFps);
  SetupSlider(d, kIdMorphSpeed, 1, 20000, 2000, SliderPosition(kMorphSpeedBase, int(gOptions.MorphDuration)));
}

void FillPatternList(WindowHandle d) {
  SendDlgItemMessage(d, kIdPatternList, DLG_RESETCONTENT);
  for (uint32_t i = 0; gPresets && i < gPatternCount; ++i) {
    char text[51];
    if (gPresets[i].Modified)
      std::snprintf(text, sizeof text, "%s (Modified)", gPresets[i].Name);
    else
      std::snprintf(text, sizeof text, "%s", gPresets[i].Name);
    LResult item = SendDlgItemMessage(d, kIdPatternList, DLG_ADDITEM, 0, LParam(text));
    SendDlgItemMessage(d, kIdPatternList, DLG_SETITEMDATA, WParam(item), LParam(i));
  }
  SendDlgItemMessage(d, kIdPatternList, DLG_SETCURSEL, WParam(gCurrentPattern));
}

// Copies the pattern section and the frequency trackbar into the selected
// pattern.
void ReadPatternControls(WindowHandle d) {
  Preset* p = SelectedPattern();
  if (!p) return;
  for (const SliderSpec& s : kPatternSliders)
    p->*s.field = SliderValue(s.reverseBase, int(SendDlgItemMessage(d, s.id, DLG_GETPOS)));
  for (const SpinSpec& s : kPatternSpins)
    p->*s.field = int32_t(GetDialogNumber(d, s.editId, uint32_t(s.minimum), uint32_t(s.maximum)));
  for (const CheckSpec& c : kPatternChecks) p->*c.field = SendDlgItemMessage(d, c.id, DLG_GETCHECK) ? 1 : 0;
  p->Frequency = int32_t(SendDlgItemMessage(d, kIdFrequency, DLG_GETPOS));
}

void SavePatternFully(WindowHandle d) {
  ReadPatternControls(d);
  SaveFrequency(gCurrentPattern);
  SavePattern(gCurrentPattern);
  FillPatternList(d);
  gConfigDialog.patternDirty = gConfigDialog.frequencyDirty = false;
}

void SaveFrequencyOnly(WindowHandle d) {
  ReadPatternControls(d);
  SaveFrequency(gCurrentPattern);
  gConfigDialog.frequencyDirty = false;
}

void ApplyMoreOptions(WindowHandle d) {
  bool collapsed = gOptions.ShowMoreOptions != 0;
  DialogRect defaults;
  int height = gConfigDialog.fullHeight;
  if (collapsed && gDialogs->controlRect(d, kIdDefaults, &defaults)) height = defaults.top - 6;
  // Hidden controls also leave the keyboard's tab order.
  for (int id = kIdTrailLengthLabel; id <= kIdPatternSection; ++id)
    SendDlgItemMessage(d, id, DLG_SHOW, collapsed ? 0 : 1);
  gDialogs->resize(d, gConfigDialog.fullWidth, height);
  SendDlgItemMessage(d, kIdShowMore, DLG_SETTEXT, 0,
                     LParam(collapsed ? "Show Pattern &Settings" : "Hide Pattern &Settings"));
}

void OnPatternListFocus(WindowHandle d) {
  ConfigDialogRec& c = gConfigDialog;
  if (!(c.patternDirty || c.frequencyDirty) || c.savePromptOpen) return;
  c.savePromptOpen = true;
  if (c.patternDirty) {
    char text[128];
    std::snprintf(text, sizeof text, "Do you want to save your changes to \"%s\" first?",
                  SelectedPattern()->Name);
    if (AskYesNo(true, text)) SavePatternFully(d);
  } else {
    SaveFrequencyOnly(d);
  }
  c.savePromptOpen = false;
}

void OnPatternSelected(WindowHandle d) {
  LResult item = SendDlgItemMessage(d, kIdPatternList, DLG_GETCURSEL);
  if (item < 0) return;
  LResult index = SendDlgItemMessage(d, kIdPatternList, DLG_GETITEMDATA, WParam(item));
  if (index < 0 || uint32_t(index) >= gPatternCount) return;
  gCurrentPattern = uint32_t(index);
  LoadControls(d, false, false);
}

void OnDefaults(WindowHandle d) {
  if (gCurrentPattern >= kStandardPatternCount) {
    ReportError("You can only restore the standard patterns to their default settings.");
    return;
  }
  char text[128];
  std::snprintf(text, sizeof text, "Are you sure you want to revert \"%s\" back to its default settings?",
                SelectedPattern()->Name);
  if (!AskYesNo(false, text)) return;
  DeletePatternKeys(gCurrentPattern);
  SetStandardPattern(gCurrentPattern);
  // How often the pattern is used is no parameter of it: the revert keeps
  // it, in the store as on screen.
  SaveFrequency(gCurrentPattern);
  LoadControls(d, false, true);
}

void OnCopy(WindowHandle d) {
  // The proposal is cut to what a pattern name may hold.
  char proposed[kPatternNameMax + 1];
  std::snprintf(proposed, sizeof proposed, "Copy of %.*s", kPatternNameMax - 8, SelectedPattern()->Name);
  char name[260];
  if (!AskPatternName("What do you want to call the new pattern?", proposed, name, sizeof name)) return;
  // The controls' values go to the copy; the source keeps what it had.
  Preset* selected = SelectedPattern();
  Preset saved = *selected;
  ReadPatternControls(d);
  PatternControlValues controls = PatternValuesOf(*selected);
  *selected = saved;
  if (!CopyPattern(gCurrentPattern, controls, name)) return;
  gCurrentPattern = gPatternCount - 1;
  gConfigDialog.patternDirty = gConfigDialog.frequencyDirty = false;
  FillPatternList(d);
  UpdateFrequencyLabel(d);
}

void OnRename(WindowHandle d) {
  if (gCurrentPattern < kStandardPatternCount) {
    ReportError("You can't rename the standard patterns.");
    return;
  }
  char name[260];
  if (!AskPatternName("What do you want to call this pattern?", SelectedPattern()->Name, name, sizeof name))
    return;
  ReadPatternControls(d);
  RenamePattern(gCurrentPattern, name);
  gConfigDialog.patternDirty = gConfigDialog.frequencyDirty = false;
  FillPatternList(d);
}

void OnDelete(WindowHandle d) {
  if (gCurrentPattern < kStandardPatternCount) {
    ReportError("You can't delete the standard patterns.");
    return;
  }
  char text[128];
  std::snprintf(text, sizeof text, "Are you sure you want to delete \"%s\"?", SelectedPattern()->Name);
  if (!AskYesNo(false, text)) return;
  DeletePatternKeys(gCurrentPattern);
  if (!GetSettings(true)) return;
  LoadControls(d, false, true);
}

void OnResetAll(WindowHandle d) {
  ClearFrequencies();
  ResetFrequencies();
  LoadControls(d, false, false);
}

void OnPreview(WindowHandle d) {
  if (!CommitSettings(d)) return;
  // The saver shows what was just saved: it reads the same folder.
  const char* folder = gConfigDialog.configDirectory.c_str();
  const char* arguments[] = {"/s", folder[0] ? "--config-dir" : nullptr, folder, nullptr};
  if (!gLaunch->startProgram("prismora", arguments)) LogDebug("Preview: couldn't start prismora /s\n");
}

void OnCommand(WindowHandle d, int id, uint32_t code) {
  if (id == kIdPatternList) {
    if (code == CBN_SETFOCUS) OnPatternListFocus(d);
    if (code == CBN_SELCHANGE) OnPatternSelected(d);
    return;
  }
  // Focus reaching a button (Tab onto OK) is no press of it.
  if (code != BN_CLICKED) return;
  if (IsPatternCheck(id)) {
    gConfigDialog.patternDirty = true;
    return;
  }
  switch (id) {
    case IDOK:
      if (CommitSettings(d)) gDialogs->end(d, 1);
      break;
    case IDCANCEL:
      if (CheckFrequencies()) gDialogs->end(d, 0);
      break;
    case kIdShowMore:
      gOptions.ShowMoreOptions = !gOptions.ShowMoreOptions;
      ApplyMoreOptions(d);
      break;
    case kIdDefaults:
      OnDefaults(d);
      break;
    case kIdCopy:
      OnCopy(d);
      break;
    case kIdRename:
      OnRename(d);
      break;
    case kIdDelete:
      OnDelete(d);
      break;
    case kIdResetAll:
      OnResetAll(d);
      break;
    case kIdBrowse:
      BrowseForMusic(d);
      break;
    case kIdRemove:
      RemoveMusicEntry(d);
      break;
    case kIdMusicPreview:
      ToggleMusicPreview(d);
      break;
    case kIdPreview:
      OnPreview(d);
      break;
    case kIdHelp:
      OpenHelpContents();
      break;
    case kIdLink:
      OpenAboutPage();
      break;
    default:
      break;
  }
}

void OnHorizontalScroll(WindowHandle d, int id) {
  if (IsPatternSlider(id)) gConfigDialog.patternDirty = true;
  if (id == kIdFrequency) {
    gConfigDialog.frequencyDirty = true;
    UpdateFrequencyLabel(d);
  }
  if (id == kIdVolume && gConfigDialog.musicPreview)
    gMusicPreviewPlayer.setVolume(int(SendDlgItemMessage(d, kIdVolume, DLG_GETPOS)));
}

void OnInitDialog(WindowHandle d) {
  FreePatternTable();
  FreeMusicList();
  // GetSettings has told the user what is missing; the dialog cannot work.
  if (!GetSettings(false)) {
    gDialogs->end(d, -1);
    return;
  }
  LoadControls(d, true, true);
  gDialogs->clientSize(d, &gConfigDialog.fullWidth, &gConfigDialog.fullHeight);
  ApplyMoreOptions(d);
  SetVersionLabel(d);
}

}  // namespace

int SliderPosition(int reverseBase, int value) { return reverseBase ? reverseBase - value : value; }
int SliderValue(int reverseBase, int position) { return reverseBase ? reverseBase - position : position; }

void SetDialogNumber(WindowHandle d, int id, uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%u", value);
  SendDlgItemMessage(d, id, DLG_SETTEXT, 0, LParam(text));
}

uint32_t GetDialogNumber(WindowHandle d, int id, uint32_t minimum, uint32_t maximum) {
  char text[32] = {};
  SendDlgItemMessage(d, id, DLG_GETTEXT, sizeof text, LParam(text));
  // Typed digits beyond the spin's range are held to it: the stored value
  // is read back through the same range.
  unsigned long value = std::strtoul(text, nullptr, 10);
  return uint32_t(std::clamp<unsigned long>(value, minimum, maximum));
}

PatternControlValues PatternValuesOf(const Preset& p) {
  PatternControlValues v;
  v.TrailLength = p.TrailLength;
  v.TrailWidth = p.TrailWidth;
  v.TrailDensity = p.TrailDensity;
  v.TrailKinkiness = p.TrailKinkiness;
  v.Sparkliness = p.Sparkliness;
  v.Sparkle = p.Sparkle;
  v.FadeSpeed = p.FadeSpeed;
  v.ColourSpeed = p.ColourSpeed;
  v.NumberOfTrails = p.NumberOfTrails;
  v.JumpSpeed = p.JumpSpeed;
  v.Frequency = p.Frequency;
  v.AlwaysFadeHead = p.AlwaysFadeHead;
  v.AlwaysQuicksand = p.AlwaysQuicksand;
  return v;
}

void UpdateFrequencyLabel(WindowHandle d) {
  int position = int(SendDlgItemMessage(d, kIdFrequency, DLG_GETPOS));
  uint32_t n = MorphsBetweenUses(position, gCurrentPattern);
  char text[40];
  if (n == 0)
    std::snprintf(text, sizeof text, "(Never)");
  else
    std::snprintf(text, sizeof text, "(Every %u morphs)", n);
  SendDlgItemMessage(d, kIdMorphsLabel, DLG_SETTEXT, 0, LParam(text));
}

void LoadControls(WindowHandle d, bool globalSection, bool refillList) {
  gConfigDialog.patternDirty = gConfigDialog.frequencyDirty = false;
  LoadPatternSection(d);
  if (globalSection) LoadGlobalSection(d);
  if (refillList) FillPatternList(d);
  SendDlgItemMessage(d, kIdMusic, DLG_LIMITTEXT, 259);
  FillMusicList(d);
  UpdateFrequencyLabel(d);
}

bool CommitSettings(WindowHandle d) {
  const uint32_t failedBefore = RegFailedWrites();
  if (gConfigDialog.patternDirty)
    SavePatternFully(d);
  else if (gConfigDialog.frequencyDirty)
    SaveFrequencyOnly(d);
  if (!CheckFrequencies()) return false;
  for (const OptionCheckSpec& c : kOptionChecks)
    gOptions.*c.field = SendDlgItemMessage(d, c.id, DLG_GETCHECK) ? 1 : 0;
  for (const OptionSliderSpec& s : kOptionSliders)
    gOptions.*s.field = int(SendDlgItemMessage(d, s.id, DLG_GETPOS));
  gOptions.MorphInterval = GetDialogNumber(d, kIdMorphInterval, 0, 3600);
  gOptions.MaxFps = GetDialogNumber(d, kIdMaxFps, 25, 999);
  gOptions.MorphDuration =
      uint32_t(SliderValue(kMorphSpeedBase, int(SendDlgItemMessage(d, kIdMorphSpeed, DLG_GETPOS))));
  LResult item = SendDlgItemMessage(d, kIdPatternList, DLG_GETCURSEL);
  if (item >= 0) {
    LResult index = SendDlgItemMessage(d, kIdPatternList, DLG_GETITEMDATA, WParam(item));
    if (index >= 0 && uint32_t(index) < gPatternCount) gCurrentPattern = uint32_t(index);
  }
  char resolution[kDialogTextMax] = {};
  SendDlgItemMessage(d, kIdResolution, DLG_GETTEXT, sizeof resolution, LParam(resolution));
  std::snprintf(gOptions.Resolution, sizeof gOptions.Resolution, "%s", resolution);
  CommitMusic(d);
  SaveSettings();
  // Everything is still in the dialog: the user can make room and try again.
  if (RegFailedWrites() != failedBefore) {
    std::string text = std::string("Can't save the settings to ") + RegLastWriteFailure() +
                       "\nFree some space or make the folder writable, then press OK again.";
    LogDebug("CommitSettings: Can't save the settings to %s\n", RegLastWriteFailure());
    ReportError(text.c_str());
    return false;
  }
  return true;
}

LResult ScreenSaverConfigureDialog(WindowHandle dialog, uint32_t message, WParam wParam, LParam lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog(dialog);
      return 1;
    case WM_COMMAND:
      OnCommand(dialog, CommandId(wParam), CommandCode(wParam));
      return 1;
    case WM_HSCROLL:
      OnHorizontalScroll(dialog, int(lParam));
      return 1;
    case WM_VSCROLL:
      if (IsPatternSpin(int(lParam))) gConfigDialog.patternDirty = true;
      return 1;
    case WM_TIMER:
      if (wParam == kMusicPreviewTimer && gConfigDialog.musicPreview) gMusicPreviewPlayer.update();
      return 1;
    case WM_HELP:
      ShowControlHelp(dialog, int(lParam));
      return 1;
    case WM_CONTEXTMENU:
      ShowControlHelp(dialog, int(wParam));
      return 1;
    case WM_CLOSE:
      OnCommand(dialog, IDCANCEL, BN_CLICKED);
      return 1;
    case WM_DESTROY:
      FreePatternTable();
      FreeMusicList();
      return 1;
    default:
      return 0;
  }
}

bool RegisterDialogClasses() { return true; }

intptr_t RunSettingsDialog(const char* configDirectory) {
  gConfigDialog.configDirectory = configDirectory ? configDirectory : "";
  RegisterDialogClasses();
  return gDialogs->run(kSettingsDialogTemplate, ScreenSaverConfigureDialog, 0);
}

void ResetConfigureDialog() {
  gConfigDialog = ConfigDialogRec{};
  ResetMusicPreviewPlayer();
}
