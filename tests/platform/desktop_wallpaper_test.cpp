// The desktop wallpaper call: which desktop's tool runs with which
// arguments, and the codes for a missing tool, a failing one, and no known
// desktop. The tools are stand-in scripts on a private PATH that record
// how they were called.
#include "platform/desktop/desktop_wallpaper.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/wallpaper.h"
#include "tests/support/test_host.h"

namespace {

class DesktopWallpaperTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    for (const char* name : {"PATH", "XDG_CURRENT_DESKTOP", "DISPLAY", "SWAYSOCK"}) {
      const char* value = std::getenv(name);
      saved_.push_back({name, value ? value : "", value != nullptr});
    }
    tools_ = TempDir() + "/bin";
    std::filesystem::create_directories(tools_);
    calls_ = TempDir() + "/calls";
    setenv("PATH", tools_.c_str(), 1);
    unsetenv("DISPLAY");
    unsetenv("SWAYSOCK");
    InstallDesktopWallpaper();
  }
  void TearDown() override {
    for (const Saved& s : saved_) {
      if (s.set)
        setenv(s.name.c_str(), s.value.c_str(), 1);
      else
        unsetenv(s.name.c_str());
    }
    HeadlessTest::TearDown();
  }
  // A stand-in tool that records its arguments, prints output and exits with status.
  void Tool(const std::string& name, int status = 0, const std::string& output = "") {
    std::string path = tools_ + "/" + name;
    std::ofstream script(path);
    script << "#!/bin/sh\necho \"" << name << " $*\" >> '" << calls_ << "'\nprintf '%s' '" << output
           << "'\nexit " << status << "\n";
    script.close();
    chmod(path.c_str(), 0755);
  }
  std::string Calls() {
    std::ifstream file(calls_);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
  }
  int Set(const char* desktop) {
    if (desktop)
      setenv("XDG_CURRENT_DESKTOP", desktop, 1);
    else
      unsetenv("XDG_CURRENT_DESKTOP");
    std::filesystem::remove(calls_);
    uint8_t pixels[4] = {};
    FrameImage picture;
    picture.pixels = pixels;
    picture.pitch = 4;
    picture.width = 1;
    picture.height = 1;
    return gWallpaper->setWallpaper("/data dir/Prismora.bmp", picture);
  }

 private:
  struct Saved {
    std::string name, value;
    bool set;
  };
  std::vector<Saved> saved_;
  std::string tools_, calls_;
};

TEST_F(DesktopWallpaperTest, EachDesktopGetsItsOwnTool) {
  for (const char* tool : {"gsettings", "plasma-apply-wallpaperimage", "swaymsg"}) Tool(tool);
  Tool("xfconf-query", 0,
       "/backdrop/screen0/monitorHDMI-1/workspace0/last-image\n/backdrop/screen0/monitorHDMI-1/workspace0/"
       "image-style\n/backdrop/screen0/monitorDP-2/workspace1/last-image\n");
  const std::string uri = "file:///data%20dir/Prismora.bmp";
  struct Case {
    const char* desktop;
    std::string calls;
  } cases[] = {
      {"GNOME", "gsettings set org.gnome.desktop.background picture-uri " + uri +
                    "\ngsettings set org.gnome.desktop.background picture-uri-dark " + uri + "\n"},
      {"ubuntu:GNOME", "gsettings set org.gnome.desktop.background picture-uri " + uri +
                           "\ngsettings set org.gnome.desktop.background picture-uri-dark " + uri + "\n"},
      {"X-Cinnamon", "gsettings set org.cinnamon.desktop.background picture-uri " + uri + "\n"},
      {"MATE", "gsettings set org.mate.background picture-filename /data dir/Prismora.bmp\n"},
      {"KDE", "plasma-apply-wallpaperimage /data dir/Prismora.bmp\n"},
      {"XFCE",
       "xfconf-query -c xfce4-desktop -l\n"
       "xfconf-query -c xfce4-desktop -p /backdrop/screen0/monitorHDMI-1/workspace0/last-image -s /data "
       "dir/Prismora.bmp\n"
       "xfconf-query -c xfce4-desktop -p /backdrop/screen0/monitorDP-2/workspace1/last-image -s /data "
       "dir/Prismora.bmp\n"},
      {"sway", "swaymsg output * bg /data dir/Prismora.bmp fill\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Set(c.desktop), 0) << c.desktop;
    EXPECT_EQ(Calls(), c.calls) << c.desktop;
  }
}

TEST_F(DesktopWallpaperTest, FailuresComeBackAsErrnoCodes) {
  EXPECT_EQ(Set("GNOME"), ENOENT) << "no gsettings installed";
  Tool("gsettings", 1);
  EXPECT_EQ(Set("GNOME"), EIO) << "gsettings refused";
  EXPECT_EQ(Calls(),
            "gsettings set org.gnome.desktop.background picture-uri file:///data%20dir/Prismora.bmp\n")
      << "no second call after a failure";
  EXPECT_EQ(Set("Hyprland"), ENOTSUP) << "an unknown desktop without X11";
  EXPECT_EQ(Set(nullptr), ENOTSUP);
  setenv("DISPLAY", ":65000", 1);
  EXPECT_EQ(Set(nullptr), ECONNREFUSED) << "an X11 session whose server is gone";
}

}  // namespace
