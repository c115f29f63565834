#include "saver/command_line.h"

#include <cctype>
#include <cstring>
#include <initializer_list>

#include "patterns/preset.h"

namespace {

bool Is(const char* arg, std::initializer_list<const char*> names) {
  for (const char* name : names)
    if (std::strcmp(arg, name) == 0) return true;
  return false;
}

// Windows passes "/c:1234" and "/p 1234"; case does not matter there.
bool IsSlashMode(const char* arg, char letter) {
  return (arg[0] == '/' || arg[0] == '-') && std::tolower(static_cast<unsigned char>(arg[1])) == letter &&
         (arg[2] == '\0' || arg[2] == ':');
}

bool SetMode(CommandLine* out, SaverMode mode, bool* modeSeen, const char* arg, std::string* error) {
  // -window-id wins over -root, as hack hosts expect; any other pair is a mistake.
  if (*modeSeen && !(out->mode == SaverMode::Foreign && mode == SaverMode::Foreign)) {
    *error = std::string("more than one mode given (") + arg + ")";
    return false;
  }
  *modeSeen = true;
  out->mode = mode;
  return true;
}

// A decimal number from min to max: digits only, no sign, no spaces.
bool ParseNumber(const char* text, uint64_t min, uint64_t max, uint64_t* out) {
  if (!*text) return false;
  uint64_t value = 0;
  for (const char* p = text; *p; ++p) {
    if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
    value = value * 10 + uint64_t(*p - '0');
    if (value > max) return false;
  }
  if (value < min) return false;
  *out = value;
  return true;
}

// "WIDTHxHEIGHT", each side within the render limits.
bool ParseSize(const char* text, uint32_t* width, uint32_t* height) {
  const char* x = std::strpbrk(text, "xX");
  if (!x || x == text) return false;
  std::string w(text, x);
  uint64_t parsedWidth = 0, parsedHeight = 0;
  if (!ParseNumber(w.c_str(), kMinRenderWidth, kMaxRenderSide, &parsedWidth) ||
      !ParseNumber(x + 1, kMinRenderHeight, kMaxRenderSide, &parsedHeight))
    return false;
  *width = uint32_t(parsedWidth);
  *height = uint32_t(parsedHeight);
  return true;
}

}  // namespace

bool ParseWindowId(const char* text, uint64_t* id) {
  if (!text || !*text) return false;
  int base = 10;
  const char* digits = text;
  if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    digits = text + 2;
  }
  if (!*digits) return false;
  uint64_t value = 0;
  for (const char* p = digits; *p; ++p) {
    int c = std::tolower(static_cast<unsigned char>(*p));
    int digit = std::isdigit(c) ? c - '0' : (base == 16 && c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1);
    if (digit < 0) return false;
    if (value > (UINT64_MAX - uint64_t(digit)) / uint64_t(base)) return false;
    value = value * uint64_t(base) + uint64_t(digit);
  }
  if (value == 0 || value > 0xFFFFFFFFu) return false;  // X11 ids are 32-bit
  *id = value;
  return true;
}

bool ParseCommandLine(int argc, const char* const* argv, const char* xscreensaverWindow, CommandLine* out,
                      std::string* error) {
  *out = CommandLine{};
  bool modeSeen = false;
  bool haveExplicitId = false;
  bool framesGiven = false;
  std::string settingsError;           // the first refused settings flag
  const char* renderOption = nullptr;  // the first option that only a render takes
  for (int i = 1; i < argc; ++i) {
    // "--name=value" is "--name value", as the settings flags take it.
    const char* arg = argv[i];
    const char* inlineValue = nullptr;
    std::string name;
    if (arg[0] == '-' && arg[1] == '-') {
      if (const char* equals = std::strchr(arg, '=')) {
        name.assign(arg, equals);
        arg = name.c_str();
        inlineValue = equals + 1;
      }
    }
    auto takeValue = [&](const char** value) {
      if (inlineValue) {
        *value = inlineValue;
        inlineValue = nullptr;
        return true;
      }
      if (i + 1 >= argc) {
        *error = std::string(arg) + " needs a value";
        return false;
      }
      *value = argv[++i];
      return true;
    };
    const char* value = nullptr;
    if (Is(arg, {"--help", "-h", "-help", "/?"})) {
      out->mode = SaverMode::Help;
      return true;
    } else if (IsSlashMode(arg, 's') || Is(arg, {"--fullscreen"})) {
      if (!SetMode(out, SaverMode::FullScreen, &modeSeen, arg, error)) return false;
    } else if (IsSlashMode(arg, 'c') || Is(arg, {"--settings"})) {
      if (!SetMode(out, SaverMode::Settings, &modeSeen, arg, error)) return false;
    } else if (Is(arg, {"--window"})) {
      if (!SetMode(out, SaverMode::Window, &modeSeen, arg, error)) return false;
    } else if (Is(arg, {"--add-to-xscreensaver"})) {
      if (!SetMode(out, SaverMode::AddToXScreenSaver, &modeSeen, arg, error)) return false;
    } else if (Is(arg, {"--remove-from-xscreensaver"})) {
      if (!SetMode(out, SaverMode::RemoveFromXScreenSaver, &modeSeen, arg, error)) return false;
    } else if (IsSlashMode(arg, 'p') || Is(arg, {"--preview"})) {
      if (!SetMode(out, SaverMode::Preview, &modeSeen, arg, error)) return false;
      if (arg[2] == ':')
        value = arg + 3;
      else if (!takeValue(&value))
        return false;
      if (!ParseWindowId(value, &out->windowId)) {
        *error = std::string("not a window id: ") + value;
        return false;
      }
    } else if (Is(arg, {"-window-id", "--window-id"})) {
      if (!SetMode(out, SaverMode::Foreign, &modeSeen, arg, error) || !takeValue(&value)) return false;
      if (!ParseWindowId(value, &out->windowId)) {
        *error = std::string("not a window id: ") + value;
        return false;
      }
      haveExplicitId = true;
      out->rootWindow = false;
    } else if (Is(arg, {"-root", "--root"})) {
      if (!SetMode(out, SaverMode::Foreign, &modeSeen, arg, error)) return false;
      if (!haveExplicitId) out->rootWindow = true;
    } else if (Is(arg, {"-fps", "--fps"})) {
      out->frameRate = true;
    } else if (Is(arg, {"-no-fps", "--no-fps"})) {
      out->frameRate = false;
    } else if (Is(arg, {"--all-monitors"})) {
      out->allMonitors = true;
    } else if (Is(arg, {"--output"})) {
      if (!takeValue(&value)) return false;
      if (!*value) {
        *error = "--output needs an output name";
        return false;
      }
      out->outputName = value;
    } else if (Is(arg, {"--x11"})) {
      out->forceX11 = true;
    } else if (Is(arg, {"-install", "--install", "-no-install", "--no-install", "-noinstall", "-pair",
                        "--pair", "-mono", "--mono", "-visual", "--visual", "-nice", "--nice"})) {
      // Options hack hosts pass to every hack: an exit here would make the
      // host restart the program over and over.
      std::string ignored = arg;
      if (Is(arg, {"-visual", "--visual", "-nice", "--nice"})) {
        if (!takeValue(&value)) return false;
        ignored = ignored + " " + value;
      }
      if (!out->ignoredOptions.empty()) out->ignoredOptions += ' ';
      out->ignoredOptions += ignored;
    } else if (Is(arg, {"--depth"})) {
      if (!takeValue(&value)) return false;
      if (Is(value, {"16"}))
        out->depth = 16;
      else if (Is(value, {"24"}))
        out->depth = 24;
      else if (Is(value, {"32"}))
        out->depth = 32;
      else {
        *error = std::string("--depth must be 16, 24 or 32, not ") + value;
        return false;
      }
    } else if (Is(arg, {"--config-dir"})) {
      if (!takeValue(&value)) return false;
      if (!*value) {
        *error = "--config-dir needs a directory";
        return false;
      }
      out->configDirectory = value;
    } else if (Is(arg, {"--render"})) {
      if (!SetMode(out, SaverMode::Render, &modeSeen, arg, error) || !takeValue(&value)) return false;
      if (!*value) {
        *error = "--render needs a directory";
        return false;
      }
      out->renderDirectory = value;
    } else if (Is(arg, {"--idle"})) {
      uint64_t seconds = 0;
      if (!SetMode(out, SaverMode::Idle, &modeSeen, arg, error) || !takeValue(&value)) return false;
      if (!ParseNumber(value, 1, kMaxIdleSeconds, &seconds)) {
        *error = std::string("--idle must be a whole number of seconds from 1 to 86400, not ") + value;
        return false;
      }
      out->idleSeconds = uint32_t(seconds);
    } else if (Is(arg, {"--frames", "--size", "--seed", "--every"})) {
      if (!takeValue(&value)) return false;
      if (!renderOption) renderOption = arg;
      uint64_t number = 0;
      bool ok = true;
      const char* expected = "";
      if (Is(arg, {"--frames"})) {
        ok = ParseNumber(value, 1, kMaxRenderFrames, &number);
        expected = "a whole number from 1 to 1000000";
        out->frames = uint32_t(number);
        framesGiven = true;
      } else if (Is(arg, {"--size"})) {
        ok = ParseSize(value, &out->width, &out->height);
        expected = "WIDTHxHEIGHT from 320x200 to 8192x8192";
      } else if (Is(arg, {"--seed"})) {
        ok = ParseNumber(value, 0, UINT32_MAX, &number);
        expected = "a whole number from 0 to 4294967295";
        out->seed = uint32_t(number);
      } else {
        ok = ParseNumber(value, 1, kMaxRenderFrames, &number);
        expected = "a whole number from 1 to 1000000";
        out->every = uint32_t(number);
      }
      if (!ok) {
        *error = std::string(arg) + " must be " + expected + ", not " + value;
        return false;
      }
    } else if (FlagParse flag = ParseSettingsFlag(argc, argv, &i, &out->settings, error);
               flag != FlagParse::NotOurs) {
      inlineValue = nullptr;  // the flag read it from the argument itself
      // Whether a refusal ends the run depends on the mode, known at the end.
      if (flag == FlagParse::Refused) {
        if (settingsError.empty()) settingsError = *error;
        if (!out->rejectedSettings.empty()) out->rejectedSettings += "; ";
        out->rejectedSettings += *error;
        error->clear();
      }
    } else {
      // Whether this is an error depends on the mode, known once every
      // argument has been read.
      if (!out->unknownOptions.empty()) out->unknownOptions += ' ';
      out->unknownOptions += argv[i];
      inlineValue = nullptr;
    }
    if (inlineValue) {
      *error = std::string(arg) + " takes no value";
      return false;
    }
  }
  if (out->mode == SaverMode::Render && !framesGiven) {
    *error = "--render needs --frames N";
    return false;
  }
  if (out->mode != SaverMode::Render && renderOption) {
    *error = std::string(renderOption) + " is only for --render";
    return false;
  }
  if (out->mode == SaverMode::Foreign && out->rootWindow) {
    // With -root the window is the one the locker gave us, else the root window.
    if (xscreensaverWindow && *xscreensaverWindow) {
      if (!ParseWindowId(xscreensaverWindow, &out->windowId)) {
        *error = std::string("XSCREENSAVER_WINDOW is not a window id: ") + xscreensaverWindow;
        return false;
      }
      out->rootWindow = false;
    }
  } else if (!modeSeen && xscreensaverWindow && *xscreensaverWindow) {
    // A locker's window in the environment and no mode: draw into it.
    if (!ParseWindowId(xscreensaverWindow, &out->windowId)) {
      *error = std::string("XSCREENSAVER_WINDOW is not a window id: ") + xscreensaverWindow;
      return false;
    }
    out->mode = SaverMode::Foreign;
  }
  // A hack that exits on an option its host passes is started again at
  // once, over and over: in a host's window the saver runs regardless.
  if (!out->unknownOptions.empty() && out->mode != SaverMode::Foreign) {
    *error =
        "unknown option: " + out->unknownOptions.substr(0, out->unknownOptions.find(' ')) + " (try --help)";
    return false;
  }
  // In a host's window a refusal would end in a restart loop too: the
  // refused flags are logged and the saver runs without them.
  const bool hosted = out->mode == SaverMode::Foreign || out->mode == SaverMode::Preview;
  if (!hosted) out->rejectedSettings.clear();
  if (!hosted && !settingsError.empty()) {
    *error = settingsError;
    return false;
  }
  if ((out->mode == SaverMode::AddToXScreenSaver || out->mode == SaverMode::RemoveFromXScreenSaver) &&
      argc > 2) {
    *error = std::string(out->mode == SaverMode::AddToXScreenSaver ? "--add-to-xscreensaver"
                                                                   : "--remove-from-xscreensaver") +
             " takes no other options";
    return false;
  }
  if (out->mode == SaverMode::Settings && AnySettingsFlag(out->settings)) {
    *error =
        "settings flags are for a run of the saver (such as --window or /s), not for the settings dialog";
    return false;
  }
  return true;
}

const char* UsageText() {
  return "Usage: prismora [MODE] [OPTIONS]\n"
         "Mirror-symmetric, ever-changing trails of coloured particles.\n"
         "\n"
         "Modes:\n"
         "  /s, --fullscreen         run full screen: the picture on the primary monitor,\n"
         "                           every other monitor black\n"
         "  /c, --settings           the settings dialog (also with no mode at all)\n"
         "  /p ID, --preview ID      the small preview inside the X11 window ID\n"
         "  -window-id ID, --window-id ID\n"
         "                           draw into the X11 window ID (hex 0x... or decimal),\n"
         "                           as a hack of XScreenSaver and similar lockers\n"
         "  -root, --root            draw into $XSCREENSAVER_WINDOW, else the root window\n"
         "  --window                 run in an ordinary window, for trying it out\n"
         "  --idle SECONDS           wait in the background and run full screen after\n"
         "                           SECONDS without input, again after each return\n"
         "                           (Wayland sessions and GNOME); other options go to\n"
         "                           the saver\n"
         "  (no mode, $XSCREENSAVER_WINDOW set)  the same as -root\n"
         "  --add-to-xscreensaver    put Prismora into your XScreenSaver list (~/.xscreensaver;\n"
         "                           made from the system's list when you have none)\n"
         "  --remove-from-xscreensaver  take it out of that list again\n"
         "\n"
         "Options:\n"
         "  -fps, --fps              show the frame rate (as F12 does)\n"
         "  --all-monitors           full screen: the picture on every monitor\n"
         "  --output NAME            full screen on Wayland: the picture on output NAME\n"
         "                           (as the compositor names it, e.g. HDMI-A-1)\n"
         "  --x11                    full screen through X11 (XWayland) in a Wayland session\n"
         "  --depth 16|24|32         draw in this many bits per pixel\n"
         "  --config-dir DIR         keep the settings in DIR/settings.reg\n"
         "  -h, --help               show this text\n"
         "  -install, -no-install, -pair, -mono, -visual V, -nice N, -no-fps\n"
         "                           options screen-saver hosts pass to every hack:\n"
         "                           accepted and ignored (noted in the log)\n"
         "\n"
         "Settings for this run (they win over the settings file, which stays as it is;\n"
         "any saver mode and --render; one dash works too, as in -names, and so does\n"
         "--morph-interval=30):\n"
         " Patterns:\n"
         "  --pattern NAME|INDEX     start with this pattern: its name in any letter case,\n"
         "                           spaces and punctuation optional (brisels-kandy), or its\n"
         "                           index: 0 to 19 the standard patterns, the user's follow\n"
         "  --random-pattern, --no-random-pattern\n"
         "                           start with a pattern chosen at random, or not\n"
         "  --morph, --no-morph      change patterns at intervals, or keep one\n"
         "  --morph-interval S       seconds between changes of pattern, 0 to 3600\n"
         "  --morph-duration T       length of a change of pattern, 1 to 20000 ticks\n"
         " Picture:\n"
         "  --max-fps N              frames per second at most, 25 to 999\n"
         "  --names, --no-names      show the pattern names, or not\n"
         "  --double-size, --no-double-size\n"
         "                           draw double-size particles, or not\n"
         "  --square-tiled, --no-square-tiled\n"
         "                           tile the picture in squares, or not\n"
         " Effects:\n"
         "  --simple, --no-simple    keep the effects simple (two at once), or not\n"
         "  --ball-level L           chance of balls, 0 (never) to 10 (always)\n"
         "  --painting-level L       chance of painting, 0 (never) to 10 (always)\n"
         "  --sphere-level L         how often the spherical effect comes, 0 (never) to\n"
         "                           10 (all the time)\n"
         " Music:\n"
         "  --music, --no-music      play music (the built-in track unless the settings\n"
         "                           name another), or none\n"
         "  --volume P               music volume, 0 to 100 percent\n"
         "  In a host's window a bad value is noted in the log and left out.\n"
         "\n"
         "Rendering without a display:\n"
         "  --render DIR --frames N  draw N frames and write them to DIR (made if missing)\n"
         "                           as frame-00001.png, frame-00002.png, ...\n"
         "  --size WxH               the drawing size (default 640x480)\n"
         "  --seed S                 the clock's calendar time at the start, seconds (default 1)\n"
         "  --every K                write only every K-th frame (default 1)\n"
         "  Without --config-dir a render uses the default settings, so the same\n"
         "  arguments always give the same files.\n"
         "\n"
         "Keys while the saver runs (any other key or a mouse button ends it):\n"
         "  1 to 9, 0                morph to standard pattern 1 to 10\n"
         "  Ctrl+1 to 9, 0           morph to standard pattern 11 to 20\n"
         "  M                        morph to the next pattern now\n"
         "  Space                    grab the running pattern as a new one of your own\n"
         "  Pause                    pause or resume the picture\n"
         "  Esc                      end the saver\n"
         "  D                        double-size particles on or off\n"
         "  N                        pattern names on or off\n"
         "  P                        painting on or off\n"
         "  S                        pause or resume the music\n"
         "  F1                       the key help on screen\n"
         "  F2                       square tiling on or off\n"
         "  F5                       save the picture and make it the desktop's wallpaper\n"
         "  F6                       the list of effects that are on\n"
         "  F12                      the frame rate (as -fps)\n"
         "  A C E F G H I J K L O Q R T U V W X Y Z, F3 F4 F8 F9 F11\n"
         "                           switch an effect on or off (see the help page Effects)\n"
         "\n"
         "Files: settings in $PRISMORA_CONFIG_DIR or $XDG_CONFIG_HOME/prismora,\n"
         "the log Prismora.txt in $PRISMORA_STATE_DIR or $XDG_STATE_HOME/prismora,\n"
         "wallpapers in $PRISMORA_DATA_DIR or $XDG_DATA_HOME/prismora.\n"
         "Exit codes: 0 done, 1 could not start, 2 bad command line.\n";
}
