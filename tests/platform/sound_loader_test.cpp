// The sound module is looked for where the program runs from, and a program
// without it still runs: music fails cleanly with the sound system's error.
#include "platform/sound_loader/sound_loader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "diag/log.h"
#include "music/music_player.h"
#include "tests/support/log_text.h"
#include "tests/support/test_host.h"

namespace {

std::set<std::string> gPresent;
bool Present(const std::string& file) { return gPresent.count(file) > 0; }

TEST(SoundLoaderTest, ChoosesTheModuleByWhereTheProgramRunsAndWhatExists) {
  const std::string installed = "/usr/lib/x86_64-linux-gnu/prismora/sound.so";
  const std::string built = "/src/build/lib/prismora/sound.so";
  struct Case {
    const char* what;
    const char* variable;
    const char* program;
    std::set<std::string> present;
    std::string expected;
  };
  const Case cases[] = {
      {"the variable wins", "/opt/sound.so", "/usr/bin/prismora", {installed}, "/opt/sound.so"},
      {"the packaged program", "", "/usr/bin/prismora", {installed}, installed},
      {"a relocated install beside its bin",
       "",
       "/tmp/p/bin/prismora",
       {"/tmp/p/lib/x86_64-linux-gnu/prismora/sound.so", installed},
       "/tmp/p/lib/x86_64-linux-gnu/prismora/sound.so"},
      {"a relocated install inside the build tree uses its own",
       "",
       "/src/build/stage/bin/prismora",
       {"/src/build/stage/lib/x86_64-linux-gnu/prismora/sound.so"},
       "/src/build/stage/lib/x86_64-linux-gnu/prismora/sound.so"},
      {"the build tree's program takes the built module",
       "",
       "/src/build/apps/prismora/prismora",
       {installed},
       built},
      {"a build tree with a similar name is not the build tree",
       "",
       "/src/build-other/prismora",
       {installed},
       installed},
      {"a copy in the hack folder finds the configured prefix",
       "",
       "/usr/libexec/xscreensaver/prismora",
       {},
       installed},
      {"the program's path unknown: the configured prefix", "", "", {}, installed},
  };
  for (const Case& c : cases) {
    gPresent = c.present;
    SoundModuleFacts facts{c.variable, c.program, "/src/build", built, "lib/x86_64-linux-gnu",
                           installed,  Present};
    EXPECT_EQ(ChooseSoundModule(facts), c.expected) << c.what;
  }
  gPresent.clear();
}

class SoundLoaderFailureTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    before_ = gSoundService;
  }
  void TearDown() override {
    gSoundService = before_;
    unsetenv("PRISMORA_SOUND_MODULE");
    ResetSoundLoader();
    HeadlessTest::TearDown();
  }
  const SoundService* before_ = nullptr;
};

TEST_F(SoundLoaderFailureTest, WithoutAUsableModuleMusicFailsAndTheProgramGoesOn) {
  // A file that is not there, and a library that is no sound module.
  for (const char* module : {"/nonexistent/prismora/sound.so", "libm.so.6"}) {
    SCOPED_TRACE(module);
    setenv("PRISMORA_SOUND_MODULE", module, 1);
    ResetSoundLoader();
    InstallSoundLoader();
    // No system exists yet: nothing can be valid, and nothing is loaded for it.
    EXPECT_EQ(FMOD_System_Update(nullptr), FMOD_ERR_INVALID_HANDLE);
    EXPECT_EQ(FMOD_Sound_Release(nullptr), FMOD_ERR_INVALID_HANDLE);
    bool playing = true;
    EXPECT_EQ(FMOD_Channel_IsPlaying(nullptr, &playing), FMOD_ERR_INVALID_HANDLE);
    EXPECT_TRUE(playing) << "an output is left alone on failure";
    EXPECT_FALSE(SoundModuleLoaded());

    auto* sentinel = reinterpret_cast<FMOD_SYSTEM*>(uintptr_t(0x1234));
    FMOD_SYSTEM* system = sentinel;
    EXPECT_EQ(FMOD_System_Create(&system), FMOD_ERR_OUTPUT_INIT);
    EXPECT_EQ(system, sentinel);
    EXPECT_FALSE(SoundModuleLoaded());
    EXPECT_FALSE(LoadSoundModule()) << "tried once in a run";

    // The music player opens nothing and says why in the log.
    EXPECT_EQ(MUSICInitialise("/music/track.mp3", 50, false, 0), 0);
    EXPECT_EQ(gSystem, nullptr);
    EXPECT_NE(LogText().find("FMOD_System_Create: (60)"), std::string::npos) << LogText();
  }
}

}  // namespace
