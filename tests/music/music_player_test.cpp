// The music player's logic on the scripted sound service: every failing
// step with its log line, the ignored failures, sources of every kind,
// playlists moving on and wrapping, pause, volume and the cheap poll.
#include "music/music_player.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "diag/log.h"
#include "music/music_list.h"
#include "patterns/options.h"
#include "platform/headless/headless.h"
#include "platform/headless/scripted_sound.h"
#include "platform/window.h"
#include "saver/screen_saver.h"
#include "tests/support/settings_fixture.h"
#include "tests/support/test_host.h"

namespace {

std::string ReadLog() {
  std::ifstream in(LogFilePath());
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The log's lines without their time prefixes.
std::vector<std::string> LogMessages() {
  std::vector<std::string> messages;
  std::istringstream lines(ReadLog());
  std::string line;
  while (std::getline(lines, line)) {
    size_t at = line.find("> ");
    messages.push_back(at == std::string::npos ? line : line.substr(at + 2));
  }
  return messages;
}

std::vector<std::string> CreatedSounds() {
  std::vector<std::string> created;
  for (const std::string& call : gScriptedSound.calls)
    if (call.rfind("System_CreateSound ", 0) == 0) created.push_back(call.substr(19));
  return created;
}

ScriptedSound* PlayingSound() { return ScriptedSoundOf(gSound); }

}  // namespace

class MusicPlayerTest : public HeadlessTest {};

TEST_F(MusicPlayerTest, FmodCheckLogsTheLabelCodeAndText) {
  EXPECT_TRUE(FmodCheck(FMOD_OK, "Nothing"));
  EXPECT_FALSE(FmodCheck(FMOD_ERR_FILE_NOTFOUND, "Here:There"));
  EXPECT_FALSE(FmodCheck(999, "Odd"));
  EXPECT_EQ(LogMessages(), (std::vector<std::string>{"FMOD error in Here:There: (23) File not found.",
                                                     "FMOD error in Odd: (999) Unknown error."}));
}

// Each step whose failure ends the start: its label, a result of 0 and
// nothing left open.
TEST_F(MusicPlayerTest, AFailingStepLogsItsLabelAndClosesEverything) {
  struct Case {
    SoundOp op;
    const char* location;
    int drivers;
    std::vector<std::string> lines;
  };
  const std::string e = "FMOD error in ";
  const std::vector<Case> cases = {
      {kOpSystemCreate,
       "/m/a.ogg",
       0,
       {e + "MUSICInitialise:FMOD_System_Create: (43) Not enough memory or resources."}},
      {kOpSystemGetVersion,
       "/m/a.ogg",
       0,
       {e + "MUSICInitialise:FMOD_System_GetVersion: (43) Not enough memory or resources."}},
      {kOpSystemGetNumDrivers,
       "/m/a.ogg",
       0,
       {e + "MUSICInitialise:FMOD_System_GetNumDrivers: (43) Not enough memory or resources."}},
      {kOpSystemSetOutput,
       "/m/a.ogg",
       0,
       {e + "MUSICInitialise:FMOD_System_SetOutput: (43) Not enough memory or resources."}},
      {kOpSystemInit,
       "/m/a.ogg",
       1,
       {e + "MUSICInitialise:FMOD_System_Init: (43) Not enough memory or resources."}},
      {kOpSystemCreateSound,
       "/m/a.ogg",
       0,
       {e + "MUSICInitialise:FMOD_System_CreateSound: (43) Not enough memory or resources.",
        "Trying to create sound for /m/a.ogg"}},
      {kOpSoundGetFormat,
       "/m/a.ogg",
       0,
       {e + "MUSICInitialise:FMOD_Sound_GetFormat: (43) Not enough memory or resources."}},
      {kOpSoundGetTag,
       "/m/list.m3u",
       0,
       {e + "MUSICInitialise:FMOD_Sound_GetTag(FILE): (43) Not enough memory or resources."}},
      {kOpSystemSetStreamBufferSize,
       "http://radio.test/live",
       0,
       {e + "MUSICInitialise:FMOD_System_SetStreamBufferSize - Normal sound: (43) Not enough memory or "
            "resources."}},
      {kOpSoundSetMode,
       "/m/a.ogg",
       0,
       {e + "MUSICInitialise:FMOD_Sound_SetMode - Normal sound: (43) Not enough memory or resources."}},
      {kOpSystemPlaySound,
       "/m/a.ogg",
       0,
       {e + "PlaySoundIfReady:FMOD_System_PlaySound: (43) Not enough memory or resources."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lines[0]);
    std::remove(LogFilePath().c_str());
    InstallScriptedSound();
    gScriptedSound.driverCount = c.drivers;
    gScriptedSound.playlists["/m/list.m3u"] = {"/m/a.ogg"};
    gScriptedSound.failures[c.op] = {FMOD_ERR_MEMORY, 0};
    int started = MUSICInitialise(c.location, 100, false, 0);
    // A failed play closes the music but the start itself went through.
    EXPECT_EQ(started, c.op == kOpSystemPlaySound ? 1 : 0);
    EXPECT_EQ(LogMessages(), c.lines);
    EXPECT_EQ(gSystem, nullptr);
    EXPECT_EQ(gSound, nullptr);
    EXPECT_EQ(gPlaylist, nullptr);
    EXPECT_EQ(gScriptedSound.systemsOpen, 0);
    for (const ScriptedSound& sound : gScriptedSound.sounds) EXPECT_TRUE(sound.released) << sound.location;
  }
}

TEST_F(MusicPlayerTest, FailuresOfTheDriverSetUpAreOnlyLogged) {
  gScriptedSound.driverCount = 1;
  gScriptedSound.caps = FMOD_CAPS_HARDWARE_EMULATED;
  gScriptedSound.driverName = "SigmaTel HD";
  for (SoundOp op : {kOpSystemSetSpeakerMode, kOpSystemSetDSPBufferSize, kOpSystemSetSoftwareFormat})
    gScriptedSound.failures[op] = {FMOD_ERR_INVALID_PARAM, 0};
  EXPECT_EQ(MUSICInitialise("/m/a.ogg", 50, false, 0), 1);
  EXPECT_EQ(ScriptedCallCount("System_SetDSPBufferSize 1024 10"), 1);
  EXPECT_EQ(ScriptedCallCount("System_SetSoftwareFormat 48000 5 1"), 1);
  const std::string tail = ": (38) An invalid parameter was passed to this function.";
  EXPECT_EQ(LogMessages(), (std::vector<std::string>{
                               "FMOD error in MUSICInitialise:FMOD_System_SetSpeakerMode(SpeakerMode)" + tail,
                               "FMOD error in MUSICInitialise:FMOD_System_SetDSPBufferSize" + tail,
                               "FMOD error in MUSICInitialise:FMOD_System_SetSoftwareFormat" + tail,
                           }));
  EXPECT_EQ(gMusic.started, 1);
  MUSICClose();
  // Unreadable caps and driver name: the rest goes on without them.
  std::remove(LogFilePath().c_str());
  InstallScriptedSound();
  gScriptedSound.driverCount = 2;
  gScriptedSound.failures[kOpSystemGetDriverCaps] = {FMOD_ERR_INTERNAL, 0};
  gScriptedSound.failures[kOpSystemGetDriverInfo] = {FMOD_ERR_INTERNAL, 0};
  EXPECT_EQ(MUSICInitialise("/m/a.ogg", 50, false, 0), 1);
  EXPECT_EQ(ScriptedCallCount("System_SetSpeakerMode"), 0);
  EXPECT_EQ(LogMessages().size(), 2u);
}

TEST_F(MusicPlayerTest, AnOutputBufferFailureRetriesInStereo) {
  gScriptedSound.driverCount = 1;
  gScriptedSound.failures[kOpSystemInit] = {FMOD_ERR_OUTPUT_CREATEBUFFER, 1};
  EXPECT_EQ(MUSICInitialise("/m/a.ogg", 100, false, 0), 1);
  EXPECT_EQ(ScriptedCallCount("System_SetSpeakerMode 2"), 2);
  EXPECT_EQ(ScriptedCallCount("System_Init"), 2);
  EXPECT_TRUE(LogMessages().empty());
  MUSICClose();
  InstallScriptedSound();
  gScriptedSound.driverCount = 1;
  gScriptedSound.failures[kOpSystemInit] = {FMOD_ERR_OUTPUT_CREATEBUFFER, 0};
  EXPECT_EQ(MUSICInitialise("/m/a.ogg", 100, false, 0), 0);
  ASSERT_EQ(LogMessages().size(), 1u);
  EXPECT_EQ(
      LogMessages()[0],
      "FMOD error in MUSICInitialise:FMOD_System_Init (re-init): (57) Error creating the output buffer.");
}

TEST_F(MusicPlayerTest, AnOldSoundLibraryIsRefused) {
  gScriptedSound.version = 0x00042203;
  EXPECT_EQ(MUSICInitialise("/m/a.ogg", 100, false, 0), 0);
  EXPECT_EQ(
      LogMessages(),
      (std::vector<std::string>{
          "Music error: You are using an old version of FMOD 00042203.  This program requires 00042204"}));
  EXPECT_EQ(gScriptedSound.systemsOpen, 0);
  EXPECT_EQ(MUSICInitialise(nullptr, 100, false, 0), 0);
  EXPECT_EQ(ScriptedCallCount("System_Create"), 1) << "an absent location touches nothing";
}

TEST_F(MusicPlayerTest, WithoutASoundDeviceMusicPlaysSilentlyAndNothingIsLogged) {
  gScriptedSound.embeddedTrack = std::string(4096, '\x55');
  EXPECT_EQ(MUSICInitialiseFromResource(0, 80), 1);
  EXPECT_EQ(gScriptedSound.output, FMOD_OUTPUTTYPE_NOSOUND);
  ASSERT_NE(PlayingSound(), nullptr);
  EXPECT_EQ(PlayingSound()->location, "<memory 4096 bytes>");
  EXPECT_EQ(PlayingSound()->mode, FMOD_OPENMEMORY | FMOD_HARDWARE | FMOD_LOOP_NORMAL);
  EXPECT_TRUE(PlayingSound()->playing);
  EXPECT_FLOAT_EQ(PlayingSound()->volume, 0.8f);
  EXPECT_EQ(gScriptedSound.streamBufferSize, 0u);
  EXPECT_FALSE(std::ifstream(LogFilePath()).good()) << ReadLog();
}

TEST_F(MusicPlayerTest, AMissingEmbeddedTrackLogsTheStepThatCameUpEmpty) {
  const std::vector<std::string> lines = {
      "MUSICInitialiseFromResource: FindResource returned NULL 1812",
      "MUSICInitialiseFromResource: LoadResource returned NULL 1812",
      "MUSICInitialiseFromResource; LockResource returned NULL 1812",
      "MUSICInitialiseFromResource: SizeofResource returned NULL 1812",
  };
  for (int step = 1; step <= 4; ++step) {
    std::remove(LogFilePath().c_str());
    InstallScriptedSound();
    gScriptedSound.embeddedTrack = "ID3";
    gScriptedSound.resourceFailStep = step;
    EXPECT_EQ(MUSICInitialiseFromResource(0, 100), 0);
    EXPECT_EQ(LogMessages(), std::vector<std::string>{lines[size_t(step - 1)]});
    EXPECT_EQ(ScriptedCallCount("System_Create"), 0);
  }
  std::remove(LogFilePath().c_str());
  InstallScriptedSound();
  EXPECT_EQ(MUSICInitialiseFromResource(0, 100), 0);
  EXPECT_EQ(LogMessages(),
            std::vector<std::string>{"MUSICInitialiseFromResource: FindResource returned NULL 1814"});
}

TEST_F(MusicPlayerTest, ANetworkLocationStreamsWithARawBufferAndLoops) {
  for (const char* location : {"http://radio.test:8000/live", "https://radio.test/live"}) {
    InstallScriptedSound();
    gScriptedSound.slowOpens[location] = 3;
    EXPECT_EQ(MUSICInitialise(location, 100, false, 0), 1);
    EXPECT_EQ(ScriptedCallCount("System_SetStreamBufferSize 65536 8"), 1);
    ASSERT_NE(PlayingSound(), nullptr);
    EXPECT_EQ(PlayingSound()->mode, FMOD_CREATESTREAM | FMOD_LOOP_NORMAL);
    EXPECT_EQ(gMusic.started, 0);
    for (int i = 0; i < 3; ++i) MusicUpdate();
    EXPECT_EQ(gMusic.started, 1);
    EXPECT_TRUE(PlayingSound()->playing);
    EXPECT_EQ(CreatedSounds().size(), 1u);
    MUSICClose();
  }
  // A local file gets no stream buffer.
  InstallScriptedSound();
  EXPECT_EQ(MUSICInitialise("/m/a.ogg", 100, false, 0), 1);
  EXPECT_EQ(ScriptedCallCount("System_SetStreamBufferSize"), 0);
}

TEST_F(MusicPlayerTest, APlaylistPlaysItsTracksInOrderAndStartsAgain) {
  gScriptedSound.playlists["/m/list.m3u"] = {"/m/a.ogg", "/m/b.ogg", "/m/c.ogg"};
  // Every open takes a while, as the real service's do.
  for (const char* track : {"/m/a.ogg", "/m/b.ogg", "/m/c.ogg"}) gScriptedSound.slowOpens[track] = 2;
  ASSERT_EQ(MUSICInitialise("/m/list.m3u", 100, false, 0), 1);
  EXPECT_EQ(gScriptedSound.currentDirectory, "/m/");
  std::vector<std::string> played;
  for (int update = 0; update < 60 && played.size() < 5; ++update) {
    MusicUpdate();
    ScriptedSound* sound = PlayingSound();
    if (sound && sound->playing) {
      if (played.empty() || played.back() != sound->location) played.push_back(sound->location);
      ScriptedEndTrack(gSound);
    }
  }
  EXPECT_EQ(played, (std::vector<std::string>{"/m/a.ogg", "/m/b.ogg", "/m/c.ogg", "/m/a.ogg", "/m/b.ogg"}));
  // Each track was opened once per turn: a track still opening is left alone.
  EXPECT_EQ(CreatedSounds(), (std::vector<std::string>{"/m/list.m3u 0x80", "/m/a.ogg 0x0", "/m/b.ogg 0x0",
                                                       "/m/c.ogg 0x0", "/m/a.ogg 0x0", "/m/b.ogg 0x0"}));
  EXPECT_TRUE(LogMessages().empty());
}

TEST_F(MusicPlayerTest, ANetworkTrackOfAPlaylistOpensWithoutBlocking) {
  gScriptedSound.playlists["http://radio.test/list.pls"] = {"http://radio.test:8000/a"};
  ASSERT_EQ(MUSICInitialise("http://radio.test/list.pls", 100, false, 0), 1);
  EXPECT_EQ(CreatedSounds().back(), "http://radio.test:8000/a 0x100a8");
  EXPECT_EQ(ScriptedCallCount("SetCurrentDirectory"), 0);
  EXPECT_EQ(ScriptedCallCount("System_SetStreamBufferSize 65536 8"), 1);
}

TEST_F(MusicPlayerTest, APlaylistTrackThatCannotOpenEndsTheMusicWithOneLine) {
  struct Case {
    const char* name;
    void (*script)();
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {"missing file",
       [] { gScriptedSound.missing["/m/b.ogg"] = FMOD_ERR_FILE_NOTFOUND; },
       {"FMOD error in CreatePlaylistTrackSound:FMOD_System_CreateSound: (23) File not found.",
        "Trying to play track /m/b.ogg of playlist"}},
      {"open fails later",
       [] { gScriptedSound.failingOpens["/m/b.ogg"] = FMOD_ERR_FORMAT; },
       {"FMOD error in PlaySoundIfReady:FMOD_Sound_GetOpenState: (25) Unsupported file or audio format."}},
      // Not fatal: one line for each track opened, and the music goes on.
      {"no such directory",
       [] { gScriptedSound.setDirectoryError = 2; },
       {"CreatePlaylistTrackSound: SetCurrentDirectory failed (2)",
        "CreatePlaylistTrackSound: SetCurrentDirectory failed (2)"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::remove(LogFilePath().c_str());
    InstallScriptedSound();
    gScriptedSound.playlists["/m/list.wpl"] = {"/m/a.ogg", "/m/b.ogg"};
    c.script();
    ASSERT_EQ(MUSICInitialise("/m/list.wpl", 100, false, 0), 1);
    for (int update = 0; update < 50; ++update) {
      if (gSound && PlayingSound()->playing && PlayingSound()->location == "/m/a.ogg")
        ScriptedEndTrack(gSound);
      MusicUpdate();
    }
    EXPECT_EQ(LogMessages(), c.lines);
    bool fatal = c.lines[0].find("Directory") == std::string::npos;
    EXPECT_EQ(gSystem == nullptr, fatal);
    EXPECT_EQ(gScriptedSound.systemsOpen, fatal ? 0 : 1);
    MUSICClose();
  }
}

TEST_F(MusicPlayerTest, PauseTogglesAndVolumeFollows) {
  MusicTogglePause();
  MusicSetVolume(30);
  EXPECT_TRUE(gScriptedSound.calls.empty()) << "without music nothing is called";
  ASSERT_EQ(MUSICInitialise("/m/a.ogg", 100, false, 0), 1);
  MusicTogglePause();
  EXPECT_TRUE(PlayingSound()->paused);
  MusicTogglePause();
  EXPECT_FALSE(PlayingSound()->paused);
  EXPECT_TRUE(PlayingSound()->playing);
  MusicSetVolume(30);
  EXPECT_FLOAT_EQ(PlayingSound()->volume, 0.3f);
  MUSICClose();
  MUSICClose();
  EXPECT_EQ(ScriptedCallCount("System_Release"), 1);
  EXPECT_TRUE(LogMessages().empty());
}

TEST_F(MusicPlayerTest, ReleaseFailuresOnCloseAreLogged) {
  gScriptedSound.playlists["/m/list.asx"] = {"/m/a.ogg"};
  ASSERT_EQ(MUSICInitialise("/m/list.asx", 100, false, 0), 1);
  gScriptedSound.failures[kOpSoundRelease] = {FMOD_ERR_INTERNAL, 0};
  gScriptedSound.failures[kOpSystemClose] = {FMOD_ERR_INTERNAL, 0};
  gScriptedSound.failures[kOpSystemRelease] = {FMOD_ERR_INTERNAL, 0};
  MUSICClose();
  const std::string tail = ": (36) An internal error occurred in the sound system.";
  EXPECT_EQ(LogMessages(),
            (std::vector<std::string>{"FMOD error in MUSICClose:FMOD_Sound_Release(gSound)" + tail,
                                      "FMOD error in MUSICClose:FMOD_Sound_Release(gPlaylist)" + tail,
                                      "FMOD error in MUSICClose:FMOD_System_Close" + tail,
                                      "FMOD error in MUSICClose:FMOD_System_Release" + tail}));
  EXPECT_EQ(gSystem, nullptr);
  EXPECT_EQ(gChannel, nullptr);
}

TEST_F(MusicPlayerTest, ThePollUpdatesAtMostEveryFewMilliseconds) {
  for (uint32_t step = 0; step < kMusicPollSteps; ++step) MusicPoll();
  EXPECT_EQ(gScriptedSound.updates, 0) << "no music, no work";
  ASSERT_EQ(MUSICInitialise("/m/a.ogg", 100, false, 0), 1);
  auto polls = [](uint32_t steps) {
    for (uint32_t step = 0; step < steps; ++step) MusicPoll();
  };
  polls(kMusicPollSteps - 1);
  EXPECT_EQ(gScriptedSound.updates, 0) << "the clock is read every few steps only";
  polls(1);
  EXPECT_EQ(gScriptedSound.updates, 1);
  polls(1000 * kMusicPollSteps);
  EXPECT_EQ(gScriptedSound.updates, 1) << "the clock has not moved";
  HeadlessAdvance(kMusicPollMilliseconds - 1);
  polls(kMusicPollSteps);
  EXPECT_EQ(gScriptedSound.updates, 1);
  HeadlessAdvance(1);
  polls(kMusicPollSteps);
  EXPECT_EQ(gScriptedSound.updates, 2);
}

// The saver's start: the preview gets no music, the full saver the source
// that "Music Index" names.
TEST_F(MusicPlayerTest, TheSaverStartsTheChosenMusicAndStopsIt) {
  const std::string music = "Software\\Quillfen\\Prismora\\Music";
  StoreText(music, "7", "/m/seven.ogg");
  struct Case {
    int index;
    bool preview;
    std::vector<std::string> created;
  };
  const std::vector<Case> cases = {
      {0, false, {"<memory 5 bytes> 0x820"}}, {0, true, {}},    {-1, false, {}},
      {7, false, {"/m/seven.ogg 0x80"}},      {9, false, {""}},  // no such entry: an empty location, which
                                                                 // fails to open
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    StoreDword("Software\\Quillfen\\Prismora", "Music Index", c.index);
    InstallScriptedSound();
    gScriptedSound.embeddedTrack = "ID3\x04\x00";
    gScriptedSound.embeddedTrack.resize(5);
    fChildPreview = c.preview;
    WindowRequest request;
    request.mode = WindowMode::FullScreen;
    WindowHandle window = gWindows->create(request);
    ASSERT_TRUE(StartSaver(window));
    std::vector<std::string> created = CreatedSounds();
    for (std::string& line : created)
      if (line == " 0x80") line = "";
    EXPECT_EQ(created, c.created);
    EXPECT_EQ(gSystem != nullptr, (c.index == 0 && !c.preview) || c.index == 7);
    StopSaver(window);
    StopSaver(window);
    EXPECT_EQ(gSystem, nullptr);
    EXPECT_EQ(gScriptedSound.systemsOpen, 0);
    fChildPreview = false;
  }
}
