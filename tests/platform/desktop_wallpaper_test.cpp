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
    for (const char* name : {"PATH", "XDG_CURRENT_DESKTOP", "DISPLAY", "SWAYSOCK", "WAYLAND_DISPLAY"}) {
      const char* value = std::getenv(name);
      saved_.push_back({name, value ? value : "", value != nullptr});
    }
    tools_ = TempDir() + "/bin";
    std::filesystem::create_directories(tools_);
    calls_ = TempDir() + "/calls";
    setenv("PATH", tools_.c_str(), 1);
    unsetenv("DISPLAY");
    unsetenv("SWAYSOCK");
    unsetenv("WAYLAND_DISPLAY");
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
  int Set(const char* desktop, const std::string& path = "/data dir/Prismora.bmp") {
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
    return gWallpaper->setWallpaper(path.c_str(), picture);
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
      {"XFCE",
       "xfconf-query -c xfce4-desktop -l\n"
       "xfconf-query -c xfce4-desktop -p /backdrop/screen0/monitorHDMI-1/workspace0/last-image -s /data "
       "dir/Prismora.bmp\n"
       "xfconf-query -c xfce4-desktop -p /backdrop/screen0/monitorDP-2/workspace1/last-image -s /data "
       "dir/Prismora.bmp\n"},
      {"sway", "swaymsg output * bg \"/data dir/Prismora.bmp\" fill\n"},
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
  setenv("WAYLAND_DISPLAY", "wayland-1", 1);
  EXPECT_EQ(Set("Hyprland"), ENOTSUP) << "Xwayland's root window is behind every window";
}

// Paths no tool may read an option, a second command or an expansion into;
// Plasma gets a new name for each picture, so it reloads it.
TEST_F(DesktopWallpaperTest, HostilePathsReachNoToolAsAnythingButAPath) {
  Tool("swaymsg");
  Tool("gsettings");
  const std::string cwd = std::filesystem::current_path().string();
  struct Case {
    const char* desktop;
    std::string path;
    int result;
    std::string calls;
  } cases[] = {
      {"sway", "/d/x.bmp\" fill; exec xterm", EINVAL, ""},
      {"sway", "/d/$(id)`id`$mod\\*.bmp", EINVAL, ""},
      {"sway", "/j\xC3\xBCrgen/a, b/x.bmp", 0, "swaymsg output * bg \"/j\xC3\xBCrgen/a, b/x.bmp\" fill\n"},
      {"MATE", "-rf.bmp", 0, "gsettings set org.mate.background picture-filename " + cwd + "/-rf.bmp\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Set(c.desktop, c.path), c.result) << c.path;
    EXPECT_EQ(Calls(), c.calls) << c.path;
  }
  Tool("plasma-apply-wallpaperimage");
  const std::string record = TempDir() + "/Prismora.bmp";
  std::string handed[2];
  for (int picture = 0; picture < 2; ++picture) {
    std::ofstream(record + ".new") << picture;
    std::filesystem::rename(record + ".new", record);  // as the export replaces it
    ASSERT_EQ(Set("KDE", record), 0);
    handed[picture] = Calls().substr(Calls().find(" -- ") + 4, Calls().size() - Calls().find(" -- ") - 5);
    std::ifstream shown(handed[picture]);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(shown), {}), std::to_string(picture))
        << handed[picture];
  }
  EXPECT_NE(handed[0], handed[1]);
  EXPECT_FALSE(std::filesystem::exists(handed[0])) << "the one shown before is gone";
}

}  // namespace
