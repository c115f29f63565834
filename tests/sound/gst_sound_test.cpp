// The music player on the real sound service (GStreamer, no sound device
// here: the silent clocked output) with sources on disk and on a loopback
// HTTP server: every kind of source plays, nothing a server does stalls the
// caller, and opening and closing leaves nothing behind.
#include "platform/sound/gst_sound.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "diag/log.h"
#include "music/music_player.h"
#include "patterns/options.h"
#include "platform/event_source.h"
#include "platform/linux/linux_services.h"
#include "platform/messages.h"
#include "platform/resources.h"
#include "platform/sound.h"
#include "platform/sound_loader/sound_loader.h"
#include "platform/track/embedded_track.h"
#include "platform/window.h"
#include "saver/saver_host.h"
#include "saver/screen_saver.h"
#include "tests/sound/loopback_http.h"
#include "tests/support/log_text.h"
#include "tests/support/settings_fixture.h"
#include "tests/support/test_host.h"

namespace {

using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::duration<double, std::milli>;

// The real service with a recorder in front of it.
const SoundService* gReal = nullptr;
SoundService gRecorder;
std::map<FMOD_SOUND*, std::string> gNames;
std::vector<std::string> gPlayed;
std::vector<uint32_t> gStreamBuffers;

FMOD_RESULT RecordCreate(FMOD_SYSTEM* system, const char* name, FMOD_MODE mode, FMOD_CREATESOUNDEXINFO* info,
                         FMOD_SOUND** out) {
  FMOD_RESULT result = gReal->systemCreateSound(system, name, mode, info, out);
  if (result == FMOD_OK) gNames[*out] = mode & FMOD_OPENMEMORY ? "<memory>" : name;
  return result;
}

FMOD_RESULT RecordPlay(FMOD_SYSTEM* system, int index, FMOD_SOUND* sound, bool paused,
                       FMOD_CHANNEL** channel) {
  FMOD_RESULT result = gReal->systemPlaySound(system, index, sound, paused, channel);
  if (result == FMOD_OK) gPlayed.push_back(gNames[sound]);
  return result;
}

FMOD_RESULT RecordBuffer(FMOD_SYSTEM* system, uint32_t size, uint32_t unit) {
  gStreamBuffers.push_back(size);
  return gReal->systemSetStreamBufferSize(system, size, unit);
}

std::string EmbeddedTrack() {
  uint32_t error = 0;
  ResourceHandle found = gResources->find(0, kMusicTrackResource, &error);
  const char* data = static_cast<const char*>(gResources->lock(gResources->load(0, found, &error), &error));
  return std::string(data, gResources->size(0, found, &error));
}

int CountOf(const std::string& text, const std::string& part) {
  int count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// A short mono 16-bit WAV file of a tone.
void WriteWav(const std::string& path, double seconds, double frequency) {
  const uint32_t rate = 22050;
  uint32_t samples = uint32_t(seconds * rate);
  std::string data;
  for (uint32_t i = 0; i < samples; ++i) {
    int16_t value = int16_t(8000 * std::sin(2 * M_PI * frequency * i / rate));
    data.append(reinterpret_cast<const char*>(&value), 2);
  }
  auto u32 = [](uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
  auto u16 = [](uint16_t v) { return std::string(reinterpret_cast<const char*>(&v), 2); };
  std::string header = "RIFF" + u32(36 + uint32_t(data.size())) + "WAVEfmt " + u32(16) + u16(1) + u16(1) +
                       u32(rate) + u32(rate * 2) + u16(2) + u16(16) + "data" + u32(uint32_t(data.size()));
  std::ofstream(path, std::ios::binary) << header << data;
}

// A poll takes well under 5 ms; the bound leaves room for a busy machine
// that takes the processor away for a while, and stays under a frame's
// 50 ms budget.
constexpr double kLongestCallMs = 30.0;

struct PollStats {
  double longestCallMs = 0;
};

// Polls as the engine's steps would (with a millisecond between steps)
// until done() or timeout; the longest single poll. (The frames test below
// measures the gaps between frames themselves.)
PollStats PollFor(
    double seconds, const std::function<bool()>& done = [] { return false; }) {
  PollStats stats;
  auto end = Clock::now() + std::chrono::duration<double>(seconds);
  while (Clock::now() < end) {
    auto before = Clock::now();
    MusicPoll();
    stats.longestCallMs = std::max(stats.longestCallMs, Milliseconds(Clock::now() - before).count());
    if (done()) break;
    usleep(1000);
  }
  return stats;
}

bool Started() { return gMusic.started != 0; }

bool ChannelPlaying() {
  bool playing = false;
  return gChannel && FMOD_Channel_IsPlaying(gChannel, &playing) == FMOD_OK && playing;
}

long ProcessStatus(const char* field);

// The thread count once released pipelines have stopped and the idle
// threads of GStreamer's pools have gone (a pool keeps at most a couple).
long SettledThreads() {
  FinishGstSound();
  long threads = ProcessStatus("Threads:");
  for (int wait = 0; wait < 40; ++wait) {
    usleep(25000);
    long now = ProcessStatus("Threads:");
    if (now == threads) break;
    threads = now;
  }
  return threads;
}

long ProcessStatus(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::strlen(field));
  return -1;
}

// The real clock's frames: the headless window with every present timed,
// and waits that really sleep.
const WindowService* gHeadlessWindows = nullptr;
WindowService gTimedWindows;
std::vector<Clock::time_point> gPresents;

void TimedPresent(WindowHandle window, const FrameImage& frame) {
  gPresents.push_back(Clock::now());
  gHeadlessWindows->present(window, frame);
}

void NoPump() {}
void RealWait(uint32_t ms) { usleep(useconds_t(ms) * 1000); }
void RealWaitMicroseconds(uint64_t us) { usleep(useconds_t(us)); }
const EventSourceService kRealWaits = {NoPump, RealWait, RealWaitMicroseconds};

double LongestGapMs(const std::vector<Clock::time_point>& times) {
  double longest = 0;
  for (size_t i = 1; i < times.size(); ++i)
    longest = std::max(longest, Milliseconds(times[i] - times[i - 1]).count());
  return longest;
}

}  // namespace

class GstSoundTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    InstallLinuxServices();
    // Silent even on a machine with a sound device.
    setenv("PRISMORA_NO_SOUND_DEVICE", "1", 1);
    InstallGstSound();
    InstallEmbeddedTrack();
    gReal = gSoundService;
    gRecorder = *gReal;
    gRecorder.systemCreateSound = RecordCreate;
    gRecorder.systemPlaySound = RecordPlay;
    gRecorder.systemSetStreamBufferSize = RecordBuffer;
    gSoundService = &gRecorder;
    gNames.clear();
    gPlayed.clear();
    gStreamBuffers.clear();
  }
  void TearDown() override {
    MUSICClose();
    FinishGstSound();
    HeadlessTest::TearDown();
  }
};

TEST_F(GstSoundTest, TheEmbeddedTrackPlaysSilentlyWithoutASoundDevice) {
  ASSERT_EQ(GstSoundDriverCount(), 0);
  std::string track = EmbeddedTrack();
  EXPECT_GT(track.size(), 1000000u);
  EXPECT_LT(track.size(), 3000000u);
  ASSERT_EQ(MUSICInitialiseFromResource(0, 100), 1);
  PollFor(5, Started);
  ASSERT_TRUE(Started());
  PollFor(1);
  EXPECT_TRUE(ChannelPlaying());
  MusicTogglePause();
  bool paused = false;
  FMOD_Channel_GetPaused(gChannel, &paused);
  EXPECT_TRUE(paused);
  MusicTogglePause();
  PollFor(0.2);
  EXPECT_TRUE(ChannelPlaying());
  EXPECT_EQ(LogText(), "");
}

// Short files made with GStreamer's own encoders (and a hand-made MIDI
// file, played through the soundfont).
TEST_F(GstSoundTest, FilesOfEveryKindPlay) {
  std::string wav = TempDir() + "/tone.wav";
  WriteWav(wav, 0.3, 440);
  const std::string data = PRISMORA_SOUND_TEST_DATA;
  for (const std::string& file :
       {data + "/tone.mp3", data + "/tone.ogg", wav, data + "/tone.wma", data + "/tones.mid"}) {
    SCOPED_TRACE(file);
    ASSERT_EQ(MUSICInitialise(file.c_str(), 100, false, 0), 1);
    PollFor(5, Started);
    EXPECT_TRUE(Started()) << LogText();
    PollFor(1.0);  // longer than any of the files
    EXPECT_TRUE(ChannelPlaying()) << "a single file repeats";
    MUSICClose();
  }
  // From memory, as the built-in track plays, and repeating as well.
  std::ifstream file(data + "/tone.mp3", std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  ASSERT_EQ(MUSICInitialise(bytes.data(), 100, true, uint32_t(bytes.size())), 1);
  PollFor(5, Started);
  EXPECT_TRUE(Started());
  PollFor(1.0);
  EXPECT_TRUE(ChannelPlaying());
  EXPECT_EQ(LogText(), "");
}

TEST_F(GstSoundTest, ALocalPlaylistPlaysInOrderAndStartsAgain) {
  std::string folder = TempDir() + "/music";
  std::filesystem::create_directories(folder + "/sub");
  WriteWav(folder + "/a.wav", 0.3, 440);
  WriteWav(folder + "/sub/b.wav", 0.2, 550);
  WriteWav(folder + "/c.wav", 0.25, 660);
  // Relative entries, one with a Windows separator, and CRLF line ends; a
  // name that does not say it is a list.
  std::ofstream(folder + "/list.txt") << "#EXTM3U\r\na.wav\r\nsub\\b.wav\r\n" << folder << "/c.wav\r\n";
  ASSERT_EQ(MUSICInitialise((folder + "/list.txt").c_str(), 100, false, 0), 1);
  PollFor(10, [] { return gPlayed.size() >= 4; });
  EXPECT_EQ(gPlayed, (std::vector<std::string>{folder + "/a.wav", folder + "/sub/b.wav", folder + "/c.wav",
                                               folder + "/a.wav"}));
  EXPECT_EQ(LogText(), "");
}

TEST_F(GstSoundTest, StreamsAndRemotePlaylistsOfEveryFormatPlay) {
  LoopbackHttpServer server(EmbeddedTrack());
  ASSERT_TRUE(server.Listening());
  std::string stream = server.Url("/stream.mp3");
  server.Serve("/radio/list.m3u", "audio/x-mpegurl",
               "\xEF\xBB\xBF#EXTM3U\n#EXTINF:-1,Loopback\n" + stream + "\n");
  server.Serve("/radio/list.pls", "audio/x-scpls",
               "[playlist]\r\nNumberOfEntries=2\r\nFile2=" + server.Url("/missing.mp3") +
                   "\r\nFile1=" + stream + "\r\nVersion=2\r\n");
  // Relative entries with backslashes, tags in any case, a bare '&'.
  server.Serve(
      "/radio/list.asx", "video/x-ms-asf",
      "<ASX version=\"3.0\"><Title>A & B</Title><ENTRY><REF HREF=\"..\\stream.mp3\"/></ENTRY></ASX>");
  server.Serve("/radio/list.wax", "audio/x-ms-wax",
               "<asx><entry><ref href=\"/stream.mp3?a=1&b=2\"/></entry></asx>");
  server.Serve("/radio/list.wpl", "application/vnd.ms-wpl",
               "<?wpl version=\"1.0\"?><smil><body><seq><media src=\"../stream.mp3\"/></seq></body></smil>");
  // Lists that only their text or their type shows, one with an entry
  // relative to the network path; and the stream itself at such an address.
  std::string host = stream.substr(std::strlen("http:"));
  server.Serve("/listen", "text/plain",
               "[playlist]\nFile1=" + host.substr(0, host.rfind('/')) + "/stream.mp3\n");
  server.Serve("/tune-in", "audio/x-mpegurl", "stream.mp3\n");
  server.Serve("/plain.m3u", "audio/mpeg", "stream.mp3\n");  // the name is believed
  struct Case {
    const char* path;
    const char* streamPath = "/stream.mp3";
    int streamRequests = 1;  // a stream at an address without a sound's name is asked twice
  } cases[] = {{"/stream.mp3"},     {"/radio/list.m3u"},  {"/radio/list.pls"}, {"/radio/list.asx"},
               {"/radio/list.wax"}, {"/radio/list.wpl"},  {"/listen"},         {"/tune-in"},
               {"/plain.m3u"},      {"/live", "/live", 2}};
  for (const Case& c : cases) {
    const std::string location = server.Url(c.path);
    SCOPED_TRACE(location);
    gPlayed.clear();
    gStreamBuffers.clear();
    int streamRequests = server.RequestsFor(c.streamPath);
    ASSERT_EQ(MUSICInitialise(location.c_str(), 100, false, 0), 1);
    PollStats stats = PollFor(8, Started);
    ASSERT_TRUE(Started()) << LogText();
    EXPECT_EQ(gStreamBuffers.front(), 65536u);
    EXPECT_EQ(gPlayed.size(), 1u);
    EXPECT_EQ(server.RequestsFor(c.streamPath), streamRequests + c.streamRequests);
    PollFor(0.5);
    EXPECT_TRUE(ChannelPlaying());
    EXPECT_LT(stats.longestCallMs, kLongestCallMs);
    MUSICClose();
  }
  EXPECT_EQ(LogText(), "");
}

// Servers that fail or hang, and a list whose every entry fails: the poll
// never holds the caller up, the failure is logged once, closing is quick.
TEST_F(GstSoundTest, NothingAServerDoesStallsThePoll) {
  LoopbackHttpServer server(EmbeddedTrack());
  ASSERT_TRUE(server.Listening());
  std::string refused = "http://127.0.0.1:" + std::to_string(RefusedLoopbackPort());
  server.Serve("/dead.m3u", "audio/x-mpegurl", refused + "/a.mp3\n" + refused + "/b.mp3\n");
  std::string folder = TempDir();
  std::ofstream(folder + "/dead.pls") << "[playlist]\nFile1=gone1.mp3\nFile2=gone2.mp3\n";
  struct Case {
    std::string location;
    int errorLines;  // FMOD error lines after the time polled
  };
  const std::vector<Case> cases = {
      {server.Url("/silent"), 0},  // times out after 15 s, later than we look
      {server.Url("/trickle"), 0},  {refused + "/radio.mp3", 1},
      {server.Url("/dead.m3u"), 1}, {folder + "/dead.pls", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.location);
    std::remove(LogFilePath().c_str());
    MUSICInitialise(c.location.c_str(), 100, false, 0);
    PollStats stats = PollFor(2.5);
    EXPECT_LT(stats.longestCallMs, kLongestCallMs);
    EXPECT_EQ(CountOf(LogText(), "FMOD error"), c.errorLines) << LogText();
    auto before = Clock::now();
    MUSICClose();
    double closeMs = Milliseconds(Clock::now() - before).count();
    EXPECT_LT(closeMs, kLongestCallMs);
  }
}

// Sources that a file, a link or a server can make hostile: each fails at
// once and closes the music, the log names it with its unprintable bytes
// escaped, and nothing blocks, crashes or reads without end.
TEST_F(GstSoundTest, HostileSourcesFailAtOnceAndAreNamedInTheLog) {
  LoopbackHttpServer server(EmbeddedTrack());
  const std::string folder = TempDir();
  std::string deep = "<asx>";
  for (int i = 0; i < 100000; ++i)
    deep += i < 50000 ? "<entry>" : i == 50000 ? "<ref href=\"x.mp3\"/>" : "</entry>";
  std::ofstream(folder + "/deep.asx") << deep;
  server.Serve("/deep", "video/x-ms-asf", deep);
  ASSERT_EQ(mkfifo((folder + "/fifo.m3u").c_str(), 0600), 0);
  ASSERT_EQ(symlink("/dev/zero", (folder + "/zero.m3u").c_str()), 0);
  std::ofstream(folder + "/text.mp3") << "This is no sound, only text.\n";
  std::ofstream(folder + "/escapes.m3u") << "gone\x1b[2J\x01\xff.mp3\n";
  struct Case {
    std::string location;
    int result;        // of MUSICInitialise
    const char* code;  // the service's result, as logged
    std::string line;  // the line that names the source
  };
  const std::string created = "Trying to create sound for " + folder;
  const std::vector<Case> cases = {
      {folder + "/text.mp3", 0, ": (25) ", created + "/text.mp3\n"},
      {folder + "/escapes.m3u", 1, ": (23) ",
       "track " + folder + "/gone\\x1B[2J\\x01\\xFF.mp3 of playlist\n"},
      {folder + "/deep.asx", 0, ": (25) ", created + "/deep.asx\n"},
      {server.Url("/deep"), 1, "PlaySoundIfReady:FMOD_Sound_GetOpenState: (25) ", ""},
      {folder + "/fifo.m3u", 0, ": (19) ", created + "/fifo.m3u\n"},
      {folder + "/zero.m3u", 0, ": (19) ", created + "/zero.m3u\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.location);
    std::remove(LogFilePath().c_str());
    auto before = Clock::now();
    EXPECT_EQ(MUSICInitialise(c.location.c_str(), 100, false, 0), c.result);
    EXPECT_LT(Milliseconds(Clock::now() - before).count(), 3000.0);  // not stuck
    PollFor(3, [] { return gSystem == nullptr; });
    EXPECT_EQ(gSystem, nullptr);
    std::string log = LogText();
    EXPECT_TRUE(log.find(c.code) != log.npos && log.find(c.line) != log.npos) << log;
    EXPECT_EQ(log.find_first_of("\x01\x1b\xff"), std::string::npos) << log;
  }
}

// A server that takes the request and never answers: the stream, and the
// address that may be a list, both time out with the timeout's code.
TEST_F(GstSoundTest, AServerThatNeverAnswersTimesOut) {
  LoopbackHttpServer server(EmbeddedTrack());
  FMOD_SYSTEM* system = nullptr;
  FMOD_System_Create(&system);
  ASSERT_EQ(FMOD_System_Init(system, 1, FMOD_INIT_NORMAL, nullptr), FMOD_OK);
  FMOD_SOUND* sounds[2] = {};
  FMOD_RESULT results[2] = {FMOD_OK, FMOD_OK};
  for (int i = 0; i < 2; ++i)
    ASSERT_EQ(FMOD_System_CreateSound(system, server.Url(i ? "/silent" : "/silent.mp3").c_str(),
                                      FMOD_CREATESTREAM | FMOD_NONBLOCKING, nullptr, &sounds[i]),
              FMOD_OK);
  for (auto end = Clock::now() + std::chrono::seconds(25); Clock::now() < end && !(results[0] && results[1]);
       usleep(20000))
    for (int i = 0; i < 2; ++i)
      if (int state = 0; results[i] == FMOD_OK)
        results[i] = FMOD_Sound_GetOpenState(sounds[i], &state, nullptr, nullptr);
  EXPECT_EQ(results[0], FMOD_ERR_HTTP_TIMEOUT);
  EXPECT_EQ(results[1], FMOD_ERR_HTTP_TIMEOUT);
  FMOD_System_Release(system);
}

TEST_F(GstSoundTest, OpeningAndClosingLeavesMemoryAndThreadsFlat) {
  LoopbackHttpServer server(EmbeddedTrack());
  ASSERT_TRUE(server.Listening());
  server.Serve("/list.pls", "audio/x-scpls", "[playlist]\nFile1=stream.mp3\n");
  std::string folder = TempDir();
  WriteWav(folder + "/a.wav", 1.0, 440);
  std::ofstream(folder + "/list.m3u") << "a.wav\n";
  const std::vector<std::string> locations = {"", folder + "/a.wav", folder + "/list.m3u",
                                              server.Url("/stream.mp3"), server.Url("/list.pls")};
  for (const std::string& location : locations) {
    SCOPED_TRACE(location.empty() ? "embedded" : location);
    long threads = 0, rss = 0;
    // Twenty cycles to warm up, then the forty that are measured.
    for (int cycle = 0; cycle < 60; ++cycle) {
      if (location.empty())
        ASSERT_EQ(MUSICInitialiseFromResource(0, 100), 1);
      else
        ASSERT_EQ(MUSICInitialise(location.c_str(), 100, false, 0), 1);
      PollFor(5, Started);
      ASSERT_TRUE(Started());
      MUSICClose();
      // After twenty cycles GStreamer's thread pools and caches have their
      // size. The margins are small: a thread or a track copy per cycle
      // would be forty more threads or a hundred megabytes.
      if (cycle == 19) {
        threads = SettledThreads();
        rss = ProcessStatus("VmRSS:");
      }
    }
    long settled = SettledThreads();
    EXPECT_LE(settled, threads + 3);
#ifndef __SANITIZE_ADDRESS__  // its quarantine holds freed memory back
    EXPECT_LE(ProcessStatus("VmRSS:"), rss + 5 * 1024) << "kB";
#endif
    std::printf("[   INFO   ] threads %ld -> %ld, RSS %ld -> %ld kB\n", threads, settled, rss,
                ProcessStatus("VmRSS:"));
  }
  EXPECT_EQ(LogText(), "");
}

// The longest a frame may wait for the next, on the real clock. A sanitizer
// build runs every step several times slower, so it gets a wider margin; the
// optimised build holds the real bound.
#ifdef __SANITIZE_ADDRESS__
constexpr double kLongestFrameGapMs = 150.0;
#else
constexpr double kLongestFrameGapMs = 50.0;
#endif

// The saver itself, on the real clock at 85 frames a second, with music
// that never comes: every frame keeps its period and the saver stops at once.
TEST_F(GstSoundTest, FramesKeepTheirPeriodWhateverTheMusicDoes) {
  LoopbackHttpServer server(EmbeddedTrack());
  ASSERT_TRUE(server.Listening());
  std::string refused = "http://127.0.0.1:" + std::to_string(RefusedLoopbackPort());
  server.Serve("/dead.pls", "audio/x-scpls",
               "[playlist]\nFile1=" + refused + "/a\nFile2=" + refused + "/b\n");
  gHeadlessWindows = gWindows;
  gTimedWindows = *gWindows;
  gTimedWindows.present = TimedPresent;
  gWindows = &gTimedWindows;
  gEvents = &kRealWaits;
  const std::string main = "Software\\Quillfen\\Prismora";
  StoreDword(main, "Max FPS", 85);
  // No music first, as the measure the others are compared with.
  for (const std::string& location :
       {std::string(), server.Url("/silent"), server.Url("/trickle"), server.Url("/dead.pls")}) {
    SCOPED_TRACE(location);
    std::remove(LogFilePath().c_str());
    StoreDword(main, "Music Index", location.empty() ? -1 : 4);
    StoreText(main + "\\Music", "4", location.c_str());
    WindowRequest request;
    request.mode = WindowMode::Ordinary;
    WindowHandle window = gWindows->create(request);
    ASSERT_NE(DispatchSaverMessage(Message{window, WM_CREATE, 0, 0}), -1);
    ASSERT_EQ(gSystem != nullptr, !location.empty());
    gPresents.clear();
    // Each tick runs a second of steps, as the frame timer's first tick does.
    for (int tick = 0; tick < 2; ++tick) DispatchSaverMessage(Message{window, WM_TIMER, kFrameTimerId, 0});
    EXPECT_GT(gPresents.size(), 150u);
    EXPECT_LT(LongestGapMs(gPresents), kLongestFrameGapMs);
    std::printf("[   INFO   ] %s: %zu frames in %.0f ms, longest gap %.1f ms\n",
                location.empty() ? "no music" : location.c_str(), gPresents.size(),
                Milliseconds(gPresents.back() - gPresents.front()).count(), LongestGapMs(gPresents));
    EXPECT_LE(CountOf(LogText(), "FMOD error"), 1) << LogText();
    auto before = Clock::now();
    StopSaver(window);
    EXPECT_LT(Milliseconds(Clock::now() - before).count(), kLongestFrameGapMs);
    EXPECT_EQ(gSystem, nullptr);
    gWindows->destroy(window);
  }
}

// The programs reach the same service through the sound module, loaded when
// music first starts and not before.
class SoundModuleTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    InstallLinuxServices();
    setenv("PRISMORA_NO_SOUND_DEVICE", "1", 1);
    setenv("PRISMORA_SOUND_MODULE", PRISMORA_TEST_SOUND_MODULE, 1);
    ResetSoundLoader();
    InstallSoundLoader();
    InstallEmbeddedTrack();
  }
  void TearDown() override {
    MUSICClose();
    FinishSoundLoader();
    unsetenv("PRISMORA_SOUND_MODULE");
    HeadlessTest::TearDown();
  }
};

TEST_F(SoundModuleTest, TheFirstMusicLoadsTheModuleAndPlaysTheEmbeddedTrack) {
  const SoundService* loader = gSoundService;
  EXPECT_FALSE(SoundModuleLoaded());
  ASSERT_EQ(MUSICInitialiseFromResource(0, 100), 1) << LogText();
  EXPECT_TRUE(SoundModuleLoaded());
  EXPECT_NE(gSoundService, loader) << "the module's service answers from now on";
  PollFor(5, Started);
  ASSERT_TRUE(Started()) << LogText();
  PollFor(1);
  EXPECT_TRUE(ChannelPlaying());
  EXPECT_EQ(LogText(), "");
}
