// A small store for builder tests: a project in a temporary home, one style
// scheme held in memory, and a fixed clock.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "builder/BuildSession.h"
#include "builder/FillTemplate.h"
#include "tests/support/FakePrompter.h"
#include "tests/support/TestHome.h"

namespace tolmi::test {

class BuilderTest : public ::testing::Test {
 protected:
  BuilderTest() {
    schemes.installDir = home.path().string();
    StyleCategory category;
    category.name = "Modern";
    Scheme scheme;
    scheme.name = "Plain";
    scheme.loaded = true;
    const char* pictures[] = {"pics\\bf.gif",     "pics/bg.gif", "bo.gif",    "ba.gif",
                              "buttons\\add.gif", "back.gif",    "remove.gif"};
    for (int i = 0; i < 7; ++i)
      scheme.variables.push_back({"", kPictureSlotNames[i], pictures[i], 0, kStylePicture});
    scheme.variables.push_back({"", "%S_BGCOLOR%", "#FFFFFF", 0, kStyleColour});
    category.schemes.push_back(std::move(scheme));
    schemes.categories.push_back(std::move(category));
    schemes.current = SchemeIndex{0, 0};
    project.settings.projectDir = (home / "Projects/Shop").string();
    project.settings.currency = "$";
    project.settings.storeTitle = "Tea Shop";
    session = std::make_unique<BuildSession>(project, schemes, prompter);
    session->options.installDir = home.path().string();
    session->now = [] { return std::time_t{1700000000}; };
    session->buildDir = (home / "web").string();
  }

  StoreNode& Add(StoreNode* parent, NodeKind kind, const std::string& title,
                 const std::string& file) {
    auto node = CreateNode();
    node->kind = kind;
    node->title = title;
    node->file = file;
    return *AppendNode(project, parent, std::move(node));
  }

  std::string Fill(std::string text, StoreNode& item) {
    EXPECT_TRUE(FillTemplate(*session, text, item, item, 1));
    return text;
  }

  TestHome home;
  SchemeList schemes;
  StoreProject project;
  FakePrompter prompter;
  std::unique_ptr<BuildSession> session;
};

}  // namespace tolmi::test
