// Browser launch: which program is started with which page, and the error text.
#include "util/Browser.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <set>

#include "tests/support/FakePrompter.h"
#include "tests/support/TestHome.h"

namespace tolmi {
namespace {

class FakeLauncher : public BrowserLauncher {
 public:
  bool Launch(const std::string& program, const std::string& argument) override {
    launched.push_back(program + " " + argument);
    return startable.count(program) != 0;
  }
  bool Exists(const std::string& program) const override { return installed.count(program) != 0; }
  std::set<std::string> installed, startable;
  std::vector<std::string> launched;
};

BrowserEnvironment Env(std::map<std::string, std::string> vars) {
  return [vars](const std::string& name) -> std::optional<std::string> {
    auto it = vars.find(name);
    if (it == vars.end()) return std::nullopt;
    return it->second;
  };
}

TEST(Browser, FindsConfiguredThenBrowserVariableThenXdgOpen) {
  FakeLauncher l;
  l.installed = {"xdg-open", "firefox"};
  std::string path, c1, c2;
  FindBrowser(path, c2, c1, l, Env({{"BROWSER", "firefox:chromium"}}));
  EXPECT_EQ(path, "firefox");
  EXPECT_EQ(c1, "xdg-open");
  EXPECT_EQ(c2, "firefox");

  path.clear();
  FindBrowser(path, c2, c1, l, Env({{"BROWSER", "not-installed"}}));
  EXPECT_EQ(path, "xdg-open");

  path = "/opt/browser/bin/run";  // a configured path is kept
  FindBrowser(path, c2, c1, l, Env({}));
  EXPECT_EQ(path, "/opt/browser/bin/run");

  FakeLauncher bare;
  path.clear();
  FindBrowser(path, c2, c1, bare, Env({}));
  EXPECT_EQ(path, "xdg-open");
  EXPECT_EQ(c1, "");
}

TEST(Browser, OpensRelativeNamesFromTheCurrentDirectory) {
  FakeLauncher l;
  l.installed = {"xdg-open"};
  l.startable = {"xdg-open", "mybrowser"};
  std::string cwd = std::filesystem::current_path().string();
  EXPECT_EQ(OpenInBrowser(l, "mybrowser", "Projects/store/index.html", kBrowserExistingWindow), 1);
  EXPECT_EQ(OpenInBrowser(l, "", "http://127.0.0.1:8080/", kBrowserNewWindow, Env({})), 1);
  EXPECT_EQ(OpenInBrowser(l, "missing-browser", "a.html", kBrowserExistingWindow), 0);
  ASSERT_EQ(l.launched.size(), 3u);
  EXPECT_EQ(l.launched[0], "mybrowser " + cwd + "/Projects/store/index.html");
  EXPECT_EQ(l.launched[1], "xdg-open http://127.0.0.1:8080/");
}

TEST(Browser, RealLauncherStartsTheProgramWithThePage) {
  test::TestHome home;
  std::string out = (home / "opened.txt").string();
  home.Write("browser.sh", "#!/bin/sh\nprintf '%s' \"$1\" > '" + out + ".tmp' && mv '" + out +
                               ".tmp' '" + out + "'\n");
  std::string script = (home / "browser.sh").string();
  chmod(script.c_str(), 0755);
  SpawnBrowserLauncher launcher;
  EXPECT_TRUE(launcher.Exists(script));
  EXPECT_TRUE(launcher.Exists("sh"));
  EXPECT_FALSE(launcher.Exists((home / "none").string()));
  EXPECT_EQ(OpenInBrowser(launcher, script, "http://127.0.0.1/x y", kBrowserExistingWindow), 1);
  for (int i = 0; i < 200 && home.Read("opened.txt").empty(); ++i) usleep(20000);
  EXPECT_EQ(home.Read("opened.txt"), "http://127.0.0.1/x y");
  EXPECT_EQ(OpenInBrowser(launcher, (home / "none").string(), "a:b", 0), 0);

  test::FakePrompter prompter;
  ShowBrowserError(prompter);
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].text,
            "\"Unable to open the specified Browser. Please check the  Preferences.\"");
  EXPECT_EQ(prompter.shown[0].title, "Browser Error");
}

}  // namespace
}  // namespace tolmi
