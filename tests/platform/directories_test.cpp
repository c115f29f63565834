// Where the files go in hostile or stripped environments: relative XDG
// paths count as unset, and an account without any home gets a private
// folder rather than a shared one in /tmp.
#include "platform/directories.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {

// Runs in a child so the environment and the account can change freely;
// the answer comes back through a pipe.
std::string ConfigDirectoryOf(const char* home, const char* xdg, uid_t account, std::string* modeAndOwner) {
  int channel[2];
  if (pipe(channel) != 0) return "<pipe>";
  pid_t child = fork();
  if (child == 0) {
    clearenv();
    if (home) setenv("HOME", home, 1);
    if (xdg) setenv("XDG_CONFIG_HOME", xdg, 1);
    if (account != getuid() && setresuid(account, account, account) != 0) _exit(1);
    std::string answer = ConfigDirectory();
    std::string parent = answer.substr(0, answer.find("/.config/prismora"));
    struct stat st {};
    if (stat(parent.c_str(), &st) == 0)
      answer += " " + std::to_string(st.st_mode & 07777) + " " + std::to_string(st.st_uid == account);
    ssize_t ignored = write(channel[1], answer.data(), answer.size());
    (void)ignored;
    rmdir(parent.c_str());
    _exit(0);
  }
  close(channel[1]);
  std::string answer;
  char buffer[512];
  for (ssize_t n; (n = read(channel[0], buffer, sizeof buffer)) > 0;) answer.append(buffer, size_t(n));
  close(channel[0]);
  waitpid(child, nullptr, 0);
  size_t space = answer.find(' ');
  *modeAndOwner = space == std::string::npos ? "" : answer.substr(space + 1);
  return answer.substr(0, space);
}

TEST(Directories, HostileEnvironments) {
  const uid_t me = getuid();
  const uid_t nobodyKnows = 54321;  // an account without a password-database entry
  struct Case {
    const char* what;
    const char* home;
    const char* xdg;
    uid_t account;
    std::string expected;  // "" for a private folder
  };
  const Case cases[] = {
      {"an absolute XDG path wins", "/h", "/x", me, "/x/prismora"},
      {"a relative XDG path is ignored", "/h", "rel/x", me, "/h/.config/prismora"},
      {"a relative $HOME is no home either", "rel", "./x", nobodyKnows, ""},
      {"no $HOME and no account entry", nullptr, nullptr, nobodyKnows, ""},
  };
  for (const Case& c : cases) {
    if (c.account != me && me != 0) continue;  // only root can become another account
    std::string modeAndOwner;
    std::string got = ConfigDirectoryOf(c.home, c.xdg, c.account, &modeAndOwner);
    if (!c.expected.empty()) {
      EXPECT_EQ(got, c.expected) << c.what;
      continue;
    }
    EXPECT_TRUE(got.find("/prismora-home-") != std::string::npos && got.ends_with("/.config/prismora"))
        << c.what << ": " << got;
    EXPECT_EQ(modeAndOwner, std::to_string(0700) + " 1") << c.what << ": mode and owner of " << got;
  }
}

}  // namespace
