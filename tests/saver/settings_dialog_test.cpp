// The settings dialog driven by messages on the headless host, against the
// real settings store.
#include "saver/settings_dialog.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "diag/log.h"
#include "music/music_list.h"
#include "patterns/options.h"
#include "patterns/pattern_selection.h"
#include "patterns/preset.h"
#include "patterns/settings_session.h"
#include "patterns/settings_store.h"
#include "platform/headless/headless.h"
#include "platform/headless/headless_dialog.h"
#include "platform/headless/scripted_sound.h"
#include "platform/help_topics.h"
#include "platform/messages.h"
#include "platform/registry.h"
#include "player/player.h"
#include "saver/settings_dialog_music.h"
#include "tests/support/log_text.h"
#include "tests/support/settings_fixture.h"
#include "tests/support/test_host.h"

namespace {

class SettingsDialogTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    InstallHeadlessDialogs();
  }
  void TearDown() override {
    Close();
    HeadlessTest::TearDown();
  }

  void Open() { dialog_ = HeadlessOpenDialog(kSettingsDialogTemplate, ScreenSaverConfigureDialog, 0); }
  void Close() {
    if (dialog_) HeadlessCloseDialog(dialog_);
    dialog_ = 0;
  }
  void Reopen() {
    Close();
    Open();
  }
  HeadlessControl& Ctl(int id) {
    HeadlessControl* c = HeadlessFindControl(dialog_, id);
    EXPECT_NE(c, nullptr) << id;
    return *c;
  }
  bool Ended(intptr_t* code = nullptr) {
    HeadlessDialogRec* d = HeadlessFindDialog(dialog_);
    if (code && d) *code = d->code;
    return d && d->ended;
  }
  int Pos(int id) { return Ctl(id).position; }
  std::string SelectedText(int id) {
    HeadlessControl& c = Ctl(id);
    return c.selection >= 0 ? c.items[size_t(c.selection)].first : "";
  }
  void SelectPattern(uint32_t index) {
    HeadlessFocus(dialog_, kIdPatternList);
    HeadlessSelect(dialog_, kIdPatternList, int(index));
  }
  // A user pattern in the store before the dialog opens.
  void StoreUserPattern(const std::string& name, int frequency = 50) {
    StoreDword(PatternPath(name), "Trail Length", 100);
    StoreDword(PatternPath(name), "Number Of Trails", 4);
    StoreDword(kFrequenciesKeyPath, name.c_str(), frequency);
  }
  std::vector<std::string> Boxes() {
    std::vector<std::string> texts;
    for (const RecordedMessageBox& box : gHeadless.messageBoxes) texts.push_back(box.text);
    return texts;
  }

  WindowHandle dialog_ = 0;
};

const std::string kPatternSettings = PatternPath("");

TEST_F(SettingsDialogTest, OpensWithTheStoredSettingsAndTheTrackbarsOfTheTable) {
  Open();
  ASSERT_FALSE(Ended());
  EXPECT_STREQ(kSettingsDialogTemplate.title, "Prismora Settings");
  EXPECT_EQ(Ctl(kIdPatternList).items.size(), 20u);
  EXPECT_EQ(Ctl(kIdPatternList).selection, 17);  // a first run's pattern
  EXPECT_EQ(Ctl(kIdVersion).text, "Prismora Version 0.1.0");
  struct Range {
    int id, minimum, maximum, step;
  };
  const Range ranges[] = {
      {kIdFrequency, 0, 100, 10},
      {kIdBall, 0, 10, 1},
      {kIdPainting, 0, 10, 1},
      {kIdSphere, 0, 10, 1},
      {kIdBackground, 0, 255, 32},
      {kIdMorphSpeed, 1, 20000, 2000},
      {kIdVolume, 0, 100, 10},
      {kIdTrailLength, 1, 1000, 100},
      {kIdTrailWidth, 0, 90, 10},
      {kIdDensity, 1, 50, 5},
      {kIdKinkiness, 0, 50, 5},
      {kIdFade, 0, 100, 10},
      {kIdColourSpeed, 1, 300, 25},
      {kIdSparkliness, 4, 200, 25},
      {kIdMorphIntervalSpin, 0, 3600, 1},
      {kIdMaxFpsSpin, 25, 999, 1},
      {kIdTrailsSpin, 1, 100, 1},
      {kIdJumpSpin, 1, 3600, 1},
  };
  for (const Range& r : ranges) {
    SCOPED_TRACE(r.id);
    EXPECT_EQ(Ctl(r.id).minimum, r.minimum);
    EXPECT_EQ(Ctl(r.id).maximum, r.maximum);
    EXPECT_EQ(Ctl(r.id).step, r.step);
  }
  const Preset& p = gPresets[17];
  EXPECT_EQ(Pos(kIdDensity), 51 - p.TrailDensity);
  EXPECT_EQ(Pos(kIdColourSpeed), 301 - p.ColourSpeed);
  EXPECT_EQ(Pos(kIdSparkliness), 204 - p.Sparkliness);
  EXPECT_EQ(Pos(kIdMorphSpeed), 20001 - int(gOptions.MorphDuration));
  EXPECT_EQ(Ctl(kIdTrails).text, std::to_string(p.NumberOfTrails));
  EXPECT_EQ(Ctl(kIdMaxFps).text, "85");
  EXPECT_EQ(Ctl(kIdMusic).limit, 259);
  // The resolution list holds the desktop's size, which is selected.
  EXPECT_EQ(SelectedText(kIdResolution), "1920 x 1080");
}

TEST_F(SettingsDialogTest, CollapsedEndsSixPixelsAboveDefaultsAndExpandsToTheFullSize) {
  Open();
  HeadlessDialogRec* d = HeadlessFindDialog(dialog_);
  const int fullHeight = HeadlessDialogY(356);
  EXPECT_EQ(d->height, Ctl(kIdDefaults).rect.top - 6);  // a first run starts collapsed
  EXPECT_EQ(Ctl(kIdShowMore).text, "Show Pattern &Settings");
  EXPECT_FALSE(Ctl(kIdTrailLength).visible);
  HeadlessClick(dialog_, kIdShowMore);
  EXPECT_EQ(d->height, fullHeight);
  EXPECT_EQ(d->width, HeadlessDialogX(510));
  EXPECT_EQ(Ctl(kIdShowMore).text, "Hide Pattern &Settings");
  EXPECT_TRUE(Ctl(kIdTrailLength).visible);
  // The state is a setting: OK keeps it for the next opening.
  HeadlessClick(dialog_, IDOK);
  EXPECT_EQ(StoredDword(kMainKeyPath, "Show More Options"), 0);
  Reopen();
  EXPECT_EQ(HeadlessFindDialog(dialog_)->height, fullHeight);
}

TEST_F(SettingsDialogTest, EveryTrackbarReadsBackTheValueItWasGiven) {
  struct Case {
    int id;
    int position;
    const char* stored;  // pattern value or option name
    int value;           // what the store holds
    bool option;
  };
  const Case cases[] = {
      {kIdTrailLength, 700, "Trail Length", 700, false},
      {kIdTrailWidth, 30, "Trail Width", 30, false},
      {kIdDensity, 11, "Trail Density", 40, false},
      {kIdKinkiness, 45, "Trail Kinkiness", 45, false},
      {kIdFade, 80, "Fade Speed", 80, false},
      {kIdColourSpeed, 1, "Colour Speed", 300, false},
      {kIdSparkliness, 200, "Sparkliness", 4, false},
      {kIdMorphSpeed, 19001, "Morph Duration", 1000, true},
      {kIdBall, 7, "Ball Level", 7, true},
      {kIdPainting, 0, "Painting Mode", 0, true},
      {kIdSphere, 10, "Sphere Level", 10, true},
      {kIdBackground, 96, "Background Brightness", 96, true},
      {kIdVolume, 40, "Music Volume", 40, true},
  };
  Open();
  HeadlessClick(dialog_, kIdShowMore);
  SelectPattern(3);
  const std::string name = gPresets[3].Name;
  for (const Case& c : cases) HeadlessMoveSlider(dialog_, c.id, c.position);
  HeadlessClick(dialog_, IDOK);
  ASSERT_TRUE(Ended());
  Reopen();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    EXPECT_EQ(c.option ? StoredDword(kMainKeyPath, c.stored) : StoredDword(PatternPath(name), c.stored),
              c.value);
    EXPECT_EQ(Pos(c.id), c.position);
  }
}

TEST_F(SettingsDialogTest, OkWritesEveryOptionAndASecondOpeningShowsThem) {
  Open();
  struct Check {
    int id;
    const char* name;
  };
  const Check checks[] = {
      {kIdChangePatterns, "Morph Settings"},
      {kIdRandomPattern, "Use Random Preset"},
      {kIdNoMouseMove, "No Mouse Move"},
      {kIdShowNames, "Show Names"},
      {kIdDoubleSize, "Double Size"},
      {kIdSquareTiled, "Square Tiled"},
      {kIdStandby, "Standby Enabled"},
      {kIdStretchWallpaper, "Stretch Wallpaper"},
      {kIdSimple, "Simple"},
      {kIdRandomBackground, "Random Background"},
  };
  std::vector<int> before;
  for (const Check& c : checks) {
    before.push_back(Ctl(c.id).check);
    HeadlessClick(dialog_, c.id);
  }
  HeadlessType(dialog_, kIdMorphInterval, "90");
  HeadlessType(dialog_, kIdMaxFps, "60");
  HeadlessSelect(dialog_, kIdResolution, 1);
  const std::string resolution = SelectedText(kIdResolution);
  SelectPattern(5);
  HeadlessSelect(dialog_, kIdMusic, 2);  // the first radio entry
  HeadlessClick(dialog_, IDOK);
  intptr_t code = 0;
  ASSERT_TRUE(Ended(&code));
  EXPECT_EQ(code, 1);
  for (size_t i = 0; i < std::size(checks); ++i)
    EXPECT_EQ(StoredDword(kMainKeyPath, checks[i].name), before[i] ? 0 : 1) << checks[i].name;
  EXPECT_EQ(StoredDword(kMainKeyPath, "Morph Interval"), 90);
  EXPECT_EQ(StoredDword(kMainKeyPath, "Max FPS"), 60);
  EXPECT_EQ(StoredDword(kMainKeyPath, "Preset"), 5);
  EXPECT_EQ(StoredDword(kMainKeyPath, "Music Index"), 1);
  EXPECT_EQ(StoredText(kMainKeyPath, "Resolution"), resolution);
  Reopen();
  for (size_t i = 0; i < std::size(checks); ++i) EXPECT_EQ(Ctl(checks[i].id).check, before[i] ? 0 : 1);
  EXPECT_EQ(Ctl(kIdMorphInterval).text, "90");
  EXPECT_EQ(Ctl(kIdMaxFps).text, "60");
  EXPECT_EQ(Ctl(kIdPatternList).selection, 5);
  EXPECT_EQ(Ctl(kIdMusic).selection, 2);
  EXPECT_EQ(SelectedText(kIdResolution), resolution);
}

TEST_F(SettingsDialogTest, TypedNumbersOutsideTheSpinRangeAreHeldToIt) {
  Open();
  HeadlessType(dialog_, kIdMaxFps, "5000");
  HeadlessType(dialog_, kIdMorphInterval, "");
  HeadlessClick(dialog_, IDOK);
  EXPECT_EQ(StoredDword(kMainKeyPath, "Max FPS"), 999);
  EXPECT_EQ(StoredDword(kMainKeyPath, "Morph Interval"), 0);
}

TEST_F(SettingsDialogTest, AChangedStandardPatternIsListedAsModifiedButAUserPatternNever) {
  StoreUserPattern("Mine");
  Open();
  SelectPattern(2);
  HeadlessMoveSlider(dialog_, kIdTrailLength, 500);
  SelectPattern(20);
  HeadlessMoveSlider(dialog_, kIdTrailLength, 600);
  HeadlessClick(dialog_, IDOK);
  Reopen();
  EXPECT_EQ(Ctl(kIdPatternList).items[2].first, std::string(gPresets[2].Name) + " (Modified)");
  EXPECT_EQ(Ctl(kIdPatternList).items[20].first, "Mine");
  EXPECT_EQ(Ctl(kIdPatternList).items[3].first, gPresets[3].Name);
}

TEST_F(SettingsDialogTest, TypingNumberOfTrailsAloneIsNotSaved) {
  Open();
  const std::string name = gPresets[17].Name;
  HeadlessType(dialog_, kIdTrails, "77");
  HeadlessClick(dialog_, IDOK);
  ASSERT_TRUE(Ended());
  EXPECT_FALSE(KeyExists(PatternPath(name)));
  // A spin click on the same edit does count as a change.
  Reopen();
  HeadlessType(dialog_, kIdTrails, "77");
  HeadlessSpin(dialog_, kIdTrailsSpin, 1);
  HeadlessClick(dialog_, IDOK);
  EXPECT_EQ(StoredDword(PatternPath(name), "Number Of Trails"), 78);
}

TEST_F(SettingsDialogTest, TheSaveQuestionGuardsPatternChangesAndFrequencyAloneIsSavedSilently) {
  Open();
  const std::string name = gPresets[17].Name;
  // Only "Use This Pattern": saved without a question.
  HeadlessMoveSlider(dialog_, kIdFrequency, 80);
  HeadlessFocus(dialog_, kIdPatternList);
  EXPECT_TRUE(gHeadless.messageBoxes.empty());
  EXPECT_EQ(StoredDword(kFrequenciesKeyPath, name.c_str()), 80);
  EXPECT_FALSE(KeyExists(PatternPath(name)));

  // A pattern control: asked, Yes the default; No keeps the question coming.
  HeadlessMoveSlider(dialog_, kIdKinkiness, 10);
  gHeadless.messageBoxAnswer = IDNO;
  HeadlessFocus(dialog_, kIdPatternList);
  ASSERT_EQ(gHeadless.messageBoxes.size(), 1u);
  EXPECT_EQ(gHeadless.messageBoxes[0].text, "Do you want to save your changes to \"" + name + "\" first?");
  EXPECT_EQ(gHeadless.messageBoxes[0].flags & MB_DEFBUTTON2, 0u);
  EXPECT_FALSE(KeyExists(PatternPath(name)));
  gHeadless.messageBoxAnswer = IDYES;
  HeadlessFocus(dialog_, kIdPatternList);
  EXPECT_EQ(gHeadless.messageBoxes.size(), 2u);
  EXPECT_EQ(StoredDword(PatternPath(name), "Trail Kinkiness"), 10);
  EXPECT_EQ(Ctl(kIdPatternList).items[17].first, name + " (Modified)");
  HeadlessFocus(dialog_, kIdPatternList);
  EXPECT_EQ(gHeadless.messageBoxes.size(), 2u);
}

TEST_F(SettingsDialogTest, FrequencyLabelCountsMorphsBetweenUses) {
  Open();
  EXPECT_EQ(Ctl(kIdMorphsLabel).text, "(Every 20 morphs)");
  HeadlessMoveSlider(dialog_, kIdFrequency, 0);
  EXPECT_EQ(Ctl(kIdMorphsLabel).text, "(Never)");
  HeadlessMoveSlider(dialog_, kIdFrequency, 100);
  EXPECT_EQ(Ctl(kIdMorphsLabel).text, "(Every " + std::to_string(MorphsBetweenUses(100, 17)) + " morphs)");
}

TEST_F(SettingsDialogTest, NeitherCancelNorOkEndsTheDialogWhileEveryPatternIsNever) {
  for (uint32_t i = 0; i < 20; ++i) {
    ASSERT_TRUE(GetSettings(false));
    StoreDword(kFrequenciesKeyPath, gPresets[i].Name, 0);
  }
  Open();
  HeadlessClick(dialog_, IDCANCEL);
  EXPECT_FALSE(Ended());
  HeadlessClick(dialog_, IDOK);
  EXPECT_FALSE(Ended());
  ASSERT_EQ(Boxes().size(), 2u);
  EXPECT_EQ(Boxes()[0], "You can't select \"Use This Pattern: Never\" for all patterns!");
  // Reset All sets every pattern to 50 without asking; then Cancel ends.
  HeadlessClick(dialog_, kIdResetAll);
  EXPECT_EQ(Pos(kIdFrequency), 50);
  EXPECT_EQ(Ctl(kIdMorphsLabel).text, "(Every 20 morphs)");
  HeadlessClick(dialog_, IDCANCEL);
  intptr_t code = -1;
  EXPECT_TRUE(Ended(&code));
  EXPECT_EQ(code, 0);
  EXPECT_EQ(Boxes().size(), 2u);
  EXPECT_FALSE(KeyExists(kFrequenciesKeyPath));
}

// The access key of a text: the letter after a single '&', 0 for none.
char AccessKey(const std::string& text) {
  for (size_t i = 0; i + 1 < text.size(); ++i)
    if (text[i] == '&' && text[i + 1] != '&')
      return char(std::tolower(text[i + 1]));
    else if (text[i] == '&')
      ++i;
  return 0;
}

TEST_F(SettingsDialogTest, AccessKeysAreUniqueInEveryDialogAndEveryLabelsKeyLeadsToAControl) {
  Open();
  const std::string collapsed = Ctl(kIdShowMore).text;  // the button's texts in either state keep its key
  EXPECT_EQ(AccessKey(collapsed) + AccessKey((HeadlessClick(dialog_, kIdShowMore), Ctl(kIdShowMore).text)),
            2 * 's');
  for (const DialogTemplate* dialog : {&kSettingsDialogTemplate, &kNameDialogTemplate, &kAboutBoxTemplate}) {
    std::map<char, std::string> taken;
    for (const ControlTemplate& c :
         std::vector<ControlTemplate>(dialog->controls, dialog->controls + dialog->count)) {
      char key = AccessKey(c.text ? c.text : "");
      if (!key) continue;
      EXPECT_TRUE(taken.emplace(key, c.text).second) << key << ": " << c.text << ", " << taken[key];
      bool leads = c.kind != ControlKind::Label;
      for (int j = 0; j < dialog->count; ++j) leads |= dialog->controls[j].label == c.id;
      EXPECT_TRUE(leads) << c.text << " names no control";
    }
  }
}

TEST_F(SettingsDialogTest, PreviewSavesBeforeTheSaverStartsOnTheDialogsOwnFolder) {
  const std::pair<const char*, const char*> cases[] = {
      {nullptr, "/s"}, {"/home/u/saver settings", "/s --config-dir /home/u/saver settings"}};
  for (const auto& [folder, arguments] : cases) {
    gHeadlessDialogs.started.clear();
    gHeadlessDialogs.onModal = [](WindowHandle dialog) {
      HeadlessType(dialog, kIdMaxFps, "50");
      HeadlessClick(dialog, kIdPreview);
    };
    EXPECT_EQ(RunSettingsDialog(folder), 0);  // left open: cancelled
    EXPECT_EQ(gHeadlessDialogs.started, (decltype(gHeadlessDialogs.started){{"prismora", arguments}}));
    EXPECT_EQ(StoredDword(kMainKeyPath, "Max FPS"), 50);
  }
}

// Answers the name dialog with the name in gNameAnswer, and notes what it
// proposed.
std::string gNameAnswer, gNameProposed, gNamePrompt;
void AnswerName(WindowHandle nameDialog) {
  gNameProposed = HeadlessFindControl(nameDialog, kIdNameEdit)->text;
  gNamePrompt = HeadlessFindControl(nameDialog, kIdNamePrompt)->text;
  // Beyond the edit's limit, as pasting could, so the store's check is what refuses.
  SendDlgItemMessage(nameDialog, kIdNameEdit, DLG_SETTEXT, 0, LParam(gNameAnswer.c_str()));
  HeadlessClick(nameDialog, IDOK);
}

TEST_F(SettingsDialogTest, CopyTakesTheControlsUnderANewNameProposedWithinThirtyCharacters) {
  const std::string longName(30, 'x');
  StoreUserPattern(longName);
  Open();
  HeadlessClick(dialog_, kIdShowMore);
  SelectPattern(20);
  HeadlessMoveSlider(dialog_, kIdTrailLength, 321);
  gHeadlessDialogs.onModal = AnswerName;
  gNameAnswer = "Shorter";
  HeadlessClick(dialog_, kIdCopy);
  EXPECT_EQ(gNameProposed, "Copy of " + std::string(22, 'x'));
  EXPECT_EQ(gNamePrompt, "What do you want to call the new pattern?");
  ASSERT_EQ(gPatternCount, 22u);
  EXPECT_EQ(Ctl(kIdPatternList).selection, 21);
  EXPECT_EQ(Ctl(kIdPatternList).items[21].first, "Shorter");
  EXPECT_EQ(StoredDword(PatternPath("Shorter"), "Trail Length"), 321);
  EXPECT_EQ(StoredDword(PatternPath(longName), "Trail Length"), 100);  // the source is untouched
  EXPECT_EQ(gPresets[20].TrailLength, 100);
  // A name already taken (in any case) is refused and nothing is added.
  gNameAnswer = "SHORTER";
  HeadlessClick(dialog_, kIdCopy);
  EXPECT_EQ(gPatternCount, 22u);
  EXPECT_EQ(Boxes().back(), "There is already a pattern called \"SHORTER\".\nChoose a different name.");
  // Cancelling (an empty name) adds nothing either.
  gNameAnswer = "";
  HeadlessClick(dialog_, kIdCopy);
  EXPECT_EQ(gPatternCount, 22u);
}

TEST_F(SettingsDialogTest, ClosingTheNameDialogCancelsTheCopy) {
  Open();
  gHeadlessDialogs.onModal = [](WindowHandle nameDialog) {
    SendDlgItemMessage(nameDialog, kIdNameEdit, DLG_SETTEXT, 0, LParam("Wanted"));
    HeadlessSend(nameDialog, WM_CLOSE, 0, 0);
  };
  HeadlessClick(dialog_, kIdCopy);
  EXPECT_EQ(gPatternCount, 20u);
  EXPECT_FALSE(KeyExists(PatternPath("Wanted")));
  // The name dialog's edit holds at most a pattern name.
  gHeadlessDialogs.onModal = [](WindowHandle nameDialog) {
    EXPECT_EQ(HeadlessFindControl(nameDialog, kIdNameEdit)->limit, 30);
    HeadlessType(nameDialog, kIdNameEdit, "0123456789012345678901234567890123456789");
    HeadlessClick(nameDialog, IDOK);
  };
  HeadlessClick(dialog_, kIdCopy);
  ASSERT_EQ(gPatternCount, 21u);
  EXPECT_STREQ(gPresets[20].Name, "012345678901234567890123456789");
}

TEST_F(SettingsDialogTest, NamesTheStoreCannotKeepAreRefusedBeforeARenameTouchesAnything) {
  StoreUserPattern("Keep Me");
  Open();
  SelectPattern(20);
  gHeadlessDialogs.onModal = AnswerName;
  for (const std::string& bad :
       {std::string(31, 'n'), std::string("back\\slash"), std::string("tab\there")}) {
    SCOPED_TRACE(bad);
    gNameAnswer = bad;
    size_t boxes = gHeadless.messageBoxes.size();
    HeadlessClick(dialog_, kIdRename);
    EXPECT_EQ(gHeadless.messageBoxes.size(), boxes + 1);
    EXPECT_STREQ(gPresets[20].Name, "Keep Me");
    EXPECT_EQ(StoredDword(PatternPath("Keep Me"), "Trail Length"), 100);
    HeadlessClick(dialog_, kIdCopy);
    EXPECT_EQ(gPatternCount, 21u);
  }
  gNameAnswer = "Kept";
  HeadlessClick(dialog_, kIdRename);
  EXPECT_EQ(gNamePrompt, "What do you want to call this pattern?");
  EXPECT_EQ(gNameProposed, "Keep Me");
  EXPECT_FALSE(KeyExists(PatternPath("Keep Me")));
  EXPECT_EQ(StoredDword(PatternPath("Kept"), "Trail Length"), 100);
  EXPECT_EQ(Ctl(kIdPatternList).items[20].first, "Kept");
}

TEST_F(SettingsDialogTest, StandardPatternsCanBeRevertedButNotRenamedOrDeleted) {
  StoreUserPattern("Mine");
  Open();
  SelectPattern(4);
  const std::string name = gPresets[4].Name;
  const int original = Pos(kIdTrailWidth);
  gHeadlessDialogs.onModal = AnswerName;
  gNameAnswer = "Other";
  HeadlessClick(dialog_, kIdRename);
  HeadlessClick(dialog_, kIdDelete);
  EXPECT_EQ(Boxes(), (std::vector<std::string>{"You can't rename the standard patterns.",
                                               "You can't delete the standard patterns."}));
  HeadlessMoveSlider(dialog_, kIdTrailWidth, original == 90 ? 0 : 90);
  HeadlessMoveSlider(dialog_, kIdFrequency, 70);
  HeadlessFocus(dialog_, kIdPatternList);  // Yes: saved, now Modified
  ASSERT_TRUE(KeyExists(PatternPath(name)));
  gHeadless.messageBoxAnswer = IDNO;
  HeadlessClick(dialog_, kIdDefaults);
  EXPECT_TRUE(KeyExists(PatternPath(name)));
  gHeadless.messageBoxAnswer = IDYES;
  HeadlessClick(dialog_, kIdDefaults);
  EXPECT_EQ(gHeadless.messageBoxes.back().text,
            "Are you sure you want to revert \"" + name + "\" back to its default settings?");
  EXPECT_NE(gHeadless.messageBoxes.back().flags & MB_DEFBUTTON2, 0u);
  EXPECT_FALSE(KeyExists(PatternPath(name)));
  EXPECT_EQ(Pos(kIdTrailWidth), original);
  EXPECT_EQ(Pos(kIdFrequency), 70);
  EXPECT_EQ(StoredDword(kFrequenciesKeyPath, name.c_str()), 70);
  EXPECT_EQ(Ctl(kIdPatternList).items[4].first, name);
  // A user pattern has no defaults.
  SelectPattern(20);
  HeadlessClick(dialog_, kIdDefaults);
  EXPECT_EQ(Boxes().back(), "You can only restore the standard patterns to their default settings.");
}

TEST_F(SettingsDialogTest, DeleteAsksWithNoAsDefaultAndRebuildsTheList) {
  StoreUserPattern("First");
  StoreUserPattern("Second");
  Open();
  SelectPattern(21);
  gHeadless.messageBoxAnswer = IDNO;
  HeadlessClick(dialog_, kIdDelete);
  EXPECT_TRUE(KeyExists(PatternPath("Second")));
  gHeadless.messageBoxAnswer = IDYES;
  HeadlessClick(dialog_, kIdDelete);
  EXPECT_EQ(Boxes().back(), "Are you sure you want to delete \"Second\"?");
  EXPECT_NE(gHeadless.messageBoxes.back().flags & MB_DEFBUTTON2, 0u);
  EXPECT_FALSE(KeyExists(PatternPath("Second")));
  EXPECT_EQ(StoredDword(kFrequenciesKeyPath, "Second"), -999999);
  ASSERT_EQ(Ctl(kIdPatternList).items.size(), 21u);
  EXPECT_EQ(Ctl(kIdPatternList).selection, 20);
  EXPECT_EQ(Ctl(kIdPatternList).items[20].first, "First");
}

TEST_F(SettingsDialogTest, MusicFieldListsEntriesRemovesOnlyTheUsersAndNumbersNewOnesUniquely) {
  StoreText("Software\\Quillfen\\Prismora\\Music", "4", "/music/a.ogg");
  StoreText("Software\\Quillfen\\Prismora\\Music", "9", "/music/b.ogg");
  StoreDword(kMainKeyPath, "Music Index", 9);
  StoreDword(kMainKeyPath, "Music Type", 2);
  Open();
  HeadlessControl& music = Ctl(kIdMusic);
  ASSERT_EQ(music.items.size(), 7u);
  EXPECT_EQ(music.items[0].first, "- No Music -");
  EXPECT_EQ(music.selection, 6);
  EXPECT_EQ(music.visibleItems, 10);
  HeadlessSelect(dialog_, kIdMusic, 1);  // the built-in track
  HeadlessClick(dialog_, kIdRemove);
  EXPECT_EQ(Boxes().back(), "You can't remove this entry.");
  HeadlessSelect(dialog_, kIdMusic, 5);
  HeadlessClick(dialog_, kIdRemove);
  EXPECT_EQ(music.items.size(), 6u);
  EXPECT_EQ(music.selection, 0);
  // Browse: the chooser opens on the stored filter, its new choice is kept,
  // and the new entry takes a number no entry has had.
  gHeadlessDialogs.chosenFile = "/music/c.mp3";
  gHeadlessDialogs.chosenFilter = 3;
  HeadlessClick(dialog_, kIdBrowse);
  EXPECT_EQ(gHeadlessDialogs.offeredFilter, 2);
  EXPECT_EQ(gHeadlessDialogs.offeredFilters[0], "Playlists (.asx;.m3u;.pls;.wax;.wpl)");
  EXPECT_EQ(music.items.back().first, "/music/c.mp3");
  EXPECT_EQ(music.items.back().second, 10);
  HeadlessClick(dialog_, IDOK);
  EXPECT_EQ(StoredDword(kMainKeyPath, "Music Index"), 10);
  EXPECT_EQ(StoredDword(kMainKeyPath, "Music Type"), 3);
  EXPECT_EQ(ValueNames("Software\\Quillfen\\Prismora\\Music"), (std::vector<std::string>{"9", "10"}));
  EXPECT_EQ(StoredText("Software\\Quillfen\\Prismora\\Music", "10"), "/music/c.mp3");
}

TEST_F(SettingsDialogTest, TypedMusicIsStoredOnceUnderANewNumber) {
  Open();
  HeadlessType(dialog_, kIdMusic, "http://example.org/stream.m3u");
  HeadlessClick(dialog_, kIdPreview);  // commits, dialog stays
  EXPECT_EQ(StoredDword(kMainKeyPath, "Music Index"), 4);
  EXPECT_EQ(SelectedText(kIdMusic), "http://example.org/stream.m3u");
  HeadlessClick(dialog_, IDOK);
  EXPECT_EQ(ValueNames("Software\\Quillfen\\Prismora\\Music"), (std::vector<std::string>{"4"}));
  EXPECT_EQ(StoredDword(kMainKeyPath, "Music Index"), 4);
}

TEST_F(SettingsDialogTest, ChoosingAnotherPatternUndoesAnUncommittedMusicChoice) {
  StoreText("Software\\Quillfen\\Prismora\\Music", "4", "/music/a.ogg");
  Open();
  gHeadlessDialogs.chosenFile = "/music/new.ogg";
  HeadlessClick(dialog_, kIdBrowse);
  HeadlessSelect(dialog_, kIdMusic, 3);
  SelectPattern(2);
  EXPECT_EQ(Ctl(kIdMusic).items.size(), 6u);  // the browsed entry was never stored
  EXPECT_EQ(Ctl(kIdMusic).selection, 1);      // "Music Index" 0: the built-in track
}

// A player that records what the preview asked of it.
struct FakePlayerRec {
  bool fail = false;
  std::string started;
  int volume = -1, updates = 0, stops = 0;
} gFakePlayer;

TEST_F(SettingsDialogTest, MusicPreviewStartsStopsAndPollsThroughThePlayer) {
  gFakePlayer = FakePlayerRec{};
  gMusicPreviewPlayer = {[](const char* location, int volume) {
                           gFakePlayer.started = location;
                           gFakePlayer.volume = volume;
                           return !gFakePlayer.fail;
                         },
                         [] { ++gFakePlayer.updates; }, [](int volume) { gFakePlayer.volume = volume; },
                         [] { ++gFakePlayer.stops; }};
  Open();
  HeadlessSelect(dialog_, kIdMusic, 0);
  HeadlessClick(dialog_, kIdMusicPreview);  // "- No Music -": nothing
  EXPECT_EQ(gFakePlayer.volume, -1);
  HeadlessSelect(dialog_, kIdMusic, 2);
  HeadlessMoveSlider(dialog_, kIdVolume, 30);
  HeadlessClick(dialog_, kIdMusicPreview);
  EXPECT_EQ(gFakePlayer.started, MusicEntryLocation(1));
  EXPECT_EQ(gFakePlayer.volume, 30);
  EXPECT_EQ(Ctl(kIdMusicPreview).text, "Stop");
  EXPECT_EQ(gHeadlessDialogs.busyCursor, 0);
  HeadlessMoveSlider(dialog_, kIdVolume, 70);
  EXPECT_EQ(gFakePlayer.volume, 70);
  HeadlessSend(dialog_, WM_TIMER, kMusicPreviewTimer, 0);
  EXPECT_EQ(gFakePlayer.updates, 1);
  HeadlessClick(dialog_, kIdMusicPreview);
  EXPECT_EQ(gFakePlayer.stops, 1);
  EXPECT_EQ(Ctl(kIdMusicPreview).text, "Preview");
  EXPECT_FALSE(KillTimer(dialog_, kMusicPreviewTimer));  // stopped with the preview
  HeadlessSend(dialog_, WM_TIMER, kMusicPreviewTimer, 0);
  EXPECT_EQ(gFakePlayer.updates, 1);
  gFakePlayer.fail = true;  // a typed location the player refuses
  HeadlessType(dialog_, kIdMusic, "/music/text.mp3");
  HeadlessClick(dialog_, kIdMusicPreview);
  EXPECT_EQ(gFakePlayer.started, "/music/text.mp3");
  EXPECT_EQ(Boxes().back(), "This music can't be played.");
  EXPECT_EQ(Ctl(kIdMusicPreview).text, "Preview");
}

// The preview goes through the saver's own player (on the scripted sound).
TEST_F(SettingsDialogTest, ThePreviewPlaysTheBuiltInTrackThroughTheMusicPlayer) {
  gScriptedSound.embeddedTrack = std::string(4096, 'm');
  Open();
  HeadlessSelect(dialog_, kIdMusic, 1);  // the built-in track
  HeadlessMoveSlider(dialog_, kIdVolume, 40);
  HeadlessClick(dialog_, kIdMusicPreview);
  ASSERT_EQ(gScriptedSound.systemsOpen, 1);
  ASSERT_FALSE(gScriptedSound.sounds.empty());
  EXPECT_EQ(gScriptedSound.sounds.back().location, "<memory 4096 bytes>");
  EXPECT_TRUE(gScriptedSound.sounds.back().playing);
  EXPECT_FLOAT_EQ(gScriptedSound.sounds.back().volume, 0.4f);
  int updates = gScriptedSound.updates;
  HeadlessSend(dialog_, WM_TIMER, kMusicPreviewTimer, 0);
  EXPECT_GT(gScriptedSound.updates, updates) << "the preview timer drives the player";
  HeadlessClick(dialog_, kIdMusicPreview);
  EXPECT_EQ(gScriptedSound.systemsOpen, 0) << "Stop closes the music";

  gScriptedSound.embeddedTrack.clear();  // a program without its track
  HeadlessClick(dialog_, kIdMusicPreview);
  EXPECT_EQ(Boxes(), (std::vector<std::string>{"This music can't be played."}));
}

TEST_F(SettingsDialogTest, HelpOpensTheContentsAndEveryControlTopicHasItsText) {
  Open();
  HeadlessClick(dialog_, kIdHelp);
  ASSERT_EQ(gHeadlessDialogs.browsed.size(), 1u);
  EXPECT_EQ(gHeadlessDialogs.browsed[0], gHelpFilePath);
  HeadlessClick(dialog_, kIdLink);
  ASSERT_EQ(gHeadlessDialogs.browsed.size(), 2u);
  EXPECT_TRUE(std::filesystem::exists(gHeadlessDialogs.browsed[1]));
  for (const HelpTopicPair* pair = kHelpTopics; pair->id != 0; ++pair) {
    if (pair->topic < 0) continue;
    char text[1024];
    EXPECT_TRUE(ReadHelpTopic(gPopupHelpSource, pair->topic, text, sizeof text)) << pair->topic;
    EXPECT_GT(std::strlen(text), 20u) << pair->topic;
  }
  HeadlessSend(dialog_, WM_HELP, 0, kIdTrailWidth);
  HeadlessSend(dialog_, WM_CONTEXTMENU, kIdVersion, 0);  // no topic: nothing
  ASSERT_EQ(gHeadlessDialogs.helpShown.size(), 1u);
  EXPECT_EQ(gHeadlessDialogs.helpShown[0].id, kIdTrailWidth);
  char expected[1024];
  ReadHelpTopic(gPopupHelpSource, 1001, expected, sizeof expected);
  EXPECT_EQ(gHeadlessDialogs.helpShown[0].text, expected);
}

TEST_F(SettingsDialogTest, AMissingHelpFolderShowsNothingAndLogsALine) {
  std::filesystem::path install = std::filesystem::path(TempDir()) / "install";
  std::filesystem::create_directories(install);
  StoreText(kMainKeyPath, "", install.c_str());
  Open();
  HeadlessClick(dialog_, kIdHelp);
  HeadlessSend(dialog_, WM_HELP, 0, kIdTrailWidth);
  EXPECT_TRUE(gHeadlessDialogs.browsed.empty());
  EXPECT_TRUE(gHeadlessDialogs.helpShown.empty());
  EXPECT_TRUE(gHeadless.messageBoxes.empty());
  EXPECT_NE(LogText().find("Help: couldn't open"), std::string::npos);
  EXPECT_NE(LogText().find("Context help: no topic 1001"), std::string::npos);
}

TEST_F(SettingsDialogTest, FiveHundredUserPatternsOpenInUnderASecond) {
  // Written as a user's file would be, in one go.
  std::string file = TempDir() + "/PRISMORA_CONFIG_DIR/settings.reg";
  ResetRegistryStore();
  {
    std::ofstream out(file, std::ios::app);
    for (int i = 0; i < 500; ++i)
      out << "\n[HKEY_CURRENT_USER\\Software\\Quillfen\\Prismora\\Patterns\\User pattern " << i
          << "]\n\"Trail Length\"=dword:00000064\n\"Number Of Trails\"=dword:00000004\n";
  }
  ASSERT_TRUE(OpenSettingsSession(TempDir() + "/PRISMORA_CONFIG_DIR"));
  auto start = std::chrono::steady_clock::now();
  Open();
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(Ctl(kIdPatternList).items.size(), 520u);
  EXPECT_LT(seconds, 1.0);
  std::printf("opened with 520 patterns in %.3f s\n", seconds);
}

TEST_F(SettingsDialogTest, AMissingInstallationEndsTheDialogAtOnce) {
  StoreText(kMainKeyPath, "", (TempDir() + "/gone").c_str());
  Open();
  intptr_t code = 0;
  EXPECT_TRUE(Ended(&code));
  EXPECT_EQ(code, -1);
  EXPECT_EQ(Boxes(),
            (std::vector<std::string>{"Can't find the installation directory!\nPlease reinstall Prismora."}));
}

}  // namespace
