#include "app/Home.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/TestHome.h"
#include "util/Files.h"

namespace tolmi {
namespace {

using test::TestHome;

// Sets an environment variable for one scope and restores it afterwards.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old, had_ = true;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~ScopedEnv() {
    if (had_)
      setenv(name_, old_.c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

TEST(Home, ChoiceOrder) {
  ScopedEnv tolmiHome("TOLMI_HOME", "/srv/tolmi");
  ScopedEnv xdg("XDG_DATA_HOME", "/xdg");
  ScopedEnv user("HOME", "/home/m");
  EXPECT_EQ(*ResolveHomeDir("/given"), "/given");
  EXPECT_EQ(*ResolveHomeDir(""), "/srv/tolmi");
  {
    ScopedEnv none("TOLMI_HOME", nullptr);
    EXPECT_EQ(*ResolveHomeDir(""), "/xdg/tolmi");
    ScopedEnv noXdg("XDG_DATA_HOME", "");
    EXPECT_EQ(*ResolveHomeDir(""), "/home/m/.local/share/tolmi");
    ScopedEnv noHome("HOME", nullptr);
    Result<std::string> r = ResolveHomeDir("");
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.status().kind(), ErrorKind::InvalidArgument);
  }
}

TEST(Home, SeedingCopiesOnlyWhatIsMissing) {
  TestHome data, home;
  data.Write("domain.dat", "AU Australia\n");
  data.Write("template/order.dat", "<order>");
  data.Write("schemes/Blue/style.dat", "blue");
  home.Write("domain.dat", "NZ mine\n");  // the merchant's own copy stays

  Result<int> copied = SeedHome(home.path().string(), data.path().string());
  ASSERT_TRUE(copied.ok());
  EXPECT_EQ(*copied, 2);
  EXPECT_EQ(home.Read("domain.dat"), "NZ mine\n");
  EXPECT_EQ(home.Read("template/order.dat"), "<order>");
  EXPECT_EQ(home.Read("schemes/Blue/style.dat"), "blue");

  // Seeding again copies nothing; a missing data folder is no error.
  EXPECT_EQ(*SeedHome(home.path().string(), data.path().string()), 0);
  EXPECT_EQ(*SeedHome(home.path().string(), (data / "nowhere").string()), 0);
}

TEST(Home, PrepareHomeSeedsFromTheShippedData) {
  TestHome home;
  ScopedEnv dataDir("TOLMI_DATA_DIR", (test::SourceDir() / "data").string().c_str());
  Result<std::string> prepared = PrepareHome((home / "h").string());
  ASSERT_TRUE(prepared.ok()) << prepared.status().message();
  EXPECT_TRUE(IsDirectory((home / "h/Projects").string()));
  EXPECT_TRUE(FileExists((home / "h/settings.dat").string()));
  EXPECT_TRUE(FileExists((home / "h/template/tolmi.js").string()));
}

}  // namespace
}  // namespace tolmi
