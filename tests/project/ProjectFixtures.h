// Set-up shared by the project and scheme tests: a node placed in a tree, the tree as an
// outline of titles, and an installation home with a lifecycle env over it.
#pragma once

#include <string>

#include "project/Lifecycle.h"
#include "tests/support/FakePrompter.h"
#include "tests/support/TestHome.h"

namespace tolmi::test {

// A node of `kind` titled `title` appended under `parent` (nullptr: the top level).
inline StoreNode* AddNode(StoreProject& project, StoreNode* parent, NodeKind kind,
                          std::string title, std::string file = "") {
  auto node = CreateNode();
  node->kind = kind;
  node->title = std::move(title);
  node->file = std::move(file);
  return AppendNode(project, parent, std::move(node));
}

// The levels above a node.
inline int Depth(const StoreNode& node) {
  int depth = 0;
  for (const StoreNode* p = ParentNode(node); p != nullptr; p = ParentNode(*p)) ++depth;
  return depth;
}

// The titles in display order, each after a ">" per level: "Home >Shelf >>Boot About".
inline std::string Titles(const StoreProject& project) {
  std::string out;
  ForEachNode(project, [&](const StoreNode& n) {
    out += (out.empty() ? "" : " ") + std::string(Depth(n), '>') + n.title;
  });
  return out;
}

// A home holding the installation's order and confirmation templates (unless told not
// to), with a lifecycle env over it whose questions go to `prompter`.
struct LifecycleHome {
  explicit LifecycleHome(bool orderTemplates = true) {
    if (orderTemplates) {
      home.Write("template/order.dat", "<order form>");
      home.Write("template/confirm.dat", "<confirmation>");
    }
    env.installDir = home.path().string();
    env.prompter = &prompter;
    env.clock = &clock;
    env.versionNumber = 2034361;
    env.serialCounter = &serial;
  }

  TestHome home;
  FakePrompter prompter;
  FakeClock clock{1100000000};
  std::uint32_t serial = 0;
  LifecycleEnv env;
};

}  // namespace tolmi::test
