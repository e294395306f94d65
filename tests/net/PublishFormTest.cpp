// The Publish/Upload window's fields and enabling rules without a window.
#include <gtest/gtest.h>

#include "net/PublishForm.h"

namespace tolmi::test {
namespace {

TEST(PublishFormTest, FieldsRoundTripAndAnEmptyPortShowsAs21) {
  StoreProject project;
  PublishFormFields shown = PublishFormFromSettings(project.settings);
  EXPECT_EQ(shown.port, "21");
  StorePublishForm(project, shown);
  EXPECT_FALSE(project.changed);
  EXPECT_EQ(project.settings.ftpPort, "");

  PublishFormFields typed{"ftp.example.com", "2121", "shop", "s3cret", "www/shop", true, true};
  StorePublishForm(project, typed);
  EXPECT_TRUE(project.changed);
  const StoreSettings& s = project.settings;
  EXPECT_EQ(s.ftpServer + "|" + s.ftpPort + "|" + s.ftpUser + "|" + s.ftpPassword + "|" + s.ftpDir,
            "ftp.example.com|2121|shop|s3cret|www/shop");
  EXPECT_TRUE(s.passiveFtp && s.savePassword);
  PublishFormFields back = PublishFormFromSettings(s);
  EXPECT_EQ(
      back.server + "|" + back.port + "|" + back.user + "|" + back.password + "|" + back.remoteDir,
      "ftp.example.com|2121|shop|s3cret|www/shop");
  EXPECT_TRUE(back.passive && back.savePassword);
  // A port once set to something else keeps a typed "21".
  typed.port = "21";
  StorePublishForm(project, typed);
  EXPECT_EQ(project.settings.ftpPort, "21");
}

TEST(PublishFormTest, ControlEnabling) {
  struct Case {
    PublishFormState state;
    bool connect, connections, upload;
  } cases[] = {
      {{false, false, false}, false, false, false},
      {{true, false, false}, true, true, false},
      {{true, true, true}, true, false, false},
      {{true, true, false}, true, true, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PublishControlEnabled(PublishControl::Connect, c.state), c.connect);
    EXPECT_EQ(PublishControlEnabled(PublishControl::Password, c.state), c.connect);
    EXPECT_EQ(PublishControlEnabled(PublishControl::Connections, c.state), c.connections);
    EXPECT_EQ(PublishControlEnabled(PublishControl::Upload, c.state), c.upload);
    EXPECT_TRUE(PublishControlEnabled(PublishControl::Cancel, c.state));
  }
  EXPECT_EQ(ConnectButtonText(false), "&Connect");
  EXPECT_EQ(ConnectButtonText(true), "Disconnect");
}

}  // namespace
}  // namespace tolmi::test
