// Addresses whose host name does not resolve. The test program moves itself
// into a network namespace of its own before anything starts (root only),
// where every name lookup fails at once and nothing leaves the machine;
// without one the test is skipped rather than asking a real name server.
#include <gtest/gtest.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "diag/log.h"
#include "music/music_player.h"
#include "platform/linux/linux_services.h"
#include "platform/sound/gst_sound.h"
#include "tests/support/log_text.h"
#include "tests/support/test_host.h"

namespace {

bool gIsolated = false;

// Brings the namespace's loopback interface up.
bool LoopbackUp() {
  int s = socket(AF_INET, SOCK_DGRAM, 0);
  if (s < 0) return false;
  ifreq request = {};
  std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
  bool up = ioctl(s, SIOCGIFFLAGS, &request) == 0;
  request.ifr_flags = short(request.ifr_flags | IFF_UP);
  up = up && ioctl(s, SIOCSIFFLAGS, &request) == 0;
  close(s);
  return up;
}

}  // namespace

class UnresolvableTest : public HeadlessTest {
 protected:
  void SetUp() override {
    if (!gIsolated)
      GTEST_SKIP() << "no private network namespace (needs root): not asking a real name server";
    HeadlessTest::SetUp();
    InstallLinuxServices();
    setenv("PRISMORA_NO_SOUND_DEVICE", "1", 1);
    InstallGstSound();
  }
  void TearDown() override {
    if (!gIsolated) return;
    MUSICClose();
    FinishGstSound();
    HeadlessTest::TearDown();
  }
};

TEST_F(UnresolvableTest, AStreamOrPlaylistAtAnUnknownHostFailsOnceWithoutStalling) {
  using Clock = std::chrono::steady_clock;
  for (const char* location :
       {"http://prismora-radio.invalid/live.mp3", "http://prismora-radio.invalid/list.pls",
        "https://prismora-radio.invalid/list.m3u"}) {
    SCOPED_TRACE(location);
    std::remove(LogFilePath().c_str());
    // The lookup may fail before the start has finished (the start then
    // reports it) or after (a later poll does): either way once.
    MUSICInitialise(location, 100, false, 0);
    double longest = 0;
    auto end = Clock::now() + std::chrono::milliseconds(2500);
    while (Clock::now() < end) {
      auto before = Clock::now();
      MusicPoll();
      longest = std::max(longest, std::chrono::duration<double, std::milli>(Clock::now() - before).count());
      usleep(1000);
    }
    EXPECT_LT(longest, 30.0);
    std::string log = LogText();
    size_t first = log.find("FMOD error in ");
    EXPECT_NE(first, std::string::npos) << log;
    EXPECT_EQ(log.find("FMOD error", first + 1), std::string::npos) << "logged once: " << log;
    EXPECT_EQ(gSystem, nullptr) << "the music closed";
  }
}

int main(int argc, char** argv) {
  // Before any thread exists: a namespace applies to the calling thread.
  gIsolated = unshare(CLONE_NEWNET) == 0 && LoopbackUp();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
