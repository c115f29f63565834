// The screen saver's command line: the modes of a screen saver, the
// conventions of screen-saver hosts, and the options for trying it out.
#pragma once
#include <cstdint>
#include <string>

#include "saver/settings_flags.h"

enum class SaverMode {
  Settings,                // /c, --settings, or no mode at all
  FullScreen,              // /s, --fullscreen
  Window,                  // --window
  Preview,                 // /p ID, --preview ID: the small preview inside ID
  Foreign,                 // -window-id ID, -root, $XSCREENSAVER_WINDOW: draw into ID
  Help,                    // --help
  Render,                  // --render DIR: frames drawn without a display, written as PNG files
  Idle,                    // --idle SECONDS: waits and runs the saver full screen when the session is idle
  AddToXScreenSaver,       // --add-to-xscreensaver: into the user's XScreenSaver list
  RemoveFromXScreenSaver,  // --remove-from-xscreensaver: out of it again
};

struct CommandLine {
  SaverMode mode = SaverMode::Settings;
  uint64_t windowId = 0;        // Preview and Foreign
  bool rootWindow = false;      // Foreign into the root window (no id known yet)
  uint32_t depth = 0;           // --depth 16|24|32; 0 = the display's choice
  std::string configDirectory;  // --config-dir DIR; "" = the usual place (a render: none)
  bool frameRate = false;       // -fps, --fps: the frame-rate readout from the start
  bool allMonitors = false;     // --all-monitors: full screen shows the picture on every monitor
  uint32_t idleSeconds = 0;     // --idle SECONDS, 1..kMaxIdleSeconds
  std::string outputName;       // --output NAME: full screen on Wayland puts the picture there
  bool forceX11 = false;        // --x11: full screen through X11 even in a Wayland session
  std::string ignoredOptions;   // host options that mean nothing here, space-separated, for the log
  SettingsFlagsRec settings;    // settings for this run only (any saver mode and a render)
  std::string
      rejectedSettings;        // in a host's window: the settings flags refused, "; "-separated, for the log
  std::string unknownOptions;  // in a host's window only (elsewhere an error): space-separated, for the log
  // Render only:
  std::string renderDirectory;  // --render DIR
  uint32_t frames = 0;          // --frames N, 1..kMaxRenderFrames
  uint32_t width = 640;         // --size WxH, pixels
  uint32_t height = 480;
  uint32_t seed = 1;   // --seed S: calendar seconds when the run starts
  uint32_t every = 1;  // --every K: only every K-th frame is written
};

constexpr uint32_t kMaxRenderFrames = 1000000;
constexpr uint32_t kMinRenderWidth = 320, kMinRenderHeight = 200;
constexpr uint32_t kMaxRenderSide = 8192;
constexpr uint32_t kMaxIdleSeconds = 86400;  // a day

// Parses argv; on failure returns false with a one-line message in *error.
// xscreensaverWindow is $XSCREENSAVER_WINDOW (nullptr when unset).
bool ParseCommandLine(int argc, const char* const* argv, const char* xscreensaverWindow, CommandLine* out,
                      std::string* error);
// Parses a window id in hex (0x...) or decimal; false for anything else or 0.
bool ParseWindowId(const char* text, uint64_t* id);
// The --help text.
const char* UsageText();
