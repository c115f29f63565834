// Where the files go in stripped or hostile environments.
#include "platform/directories.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

TEST(Directories, RelativeXdgPathsAndAccountsWithoutAnyHome) {
  struct Case {
    const char* home;
    const char* xdg;
    uid_t account;         // 54321 has no password-database entry
    const char* expected;  // nullptr: a private folder of the account's own
  } cases[] = {{"/h", "/x", getuid(), "/x/prismora"},
               {"/h", "rel/x", getuid(), "/h/.config/prismora"},
               {"rel", "./x", 54321, nullptr},
               {nullptr, nullptr, 54321, nullptr}};
  for (const Case& c : cases) {
    if (c.account != getuid() && getuid() != 0) continue;  // only root can become another account
    pid_t child = fork();
    if (child == 0) {
      clearenv();
      if (c.home) setenv("HOME", c.home, 1);
      if (c.xdg) setenv("XDG_CONFIG_HOME", c.xdg, 1);
      if (c.account != getuid() && setresuid(c.account, c.account, c.account) != 0) _exit(1);
      std::string got = ConfigDirectory(), home = got.substr(0, got.rfind("/.config/prismora"));
      struct stat st {};
      if (c.expected) _exit(got == c.expected ? 0 : 2);
      bool own = home.starts_with("/tmp/prismora-home-") && stat(home.c_str(), &st) == 0 &&
                 (st.st_mode & 0777) == 0700 && st.st_uid == c.account;
      rmdir(home.c_str());
      _exit(own ? 0 : 3);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(status, 0) << (c.home ? c.home : "no $HOME") << ", XDG_CONFIG_HOME "
                         << (c.xdg ? c.xdg : "unset");
  }
}

}  // namespace
