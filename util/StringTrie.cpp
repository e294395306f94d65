#include "util/StringTrie.h"

#include "util/Strings.h"

namespace tolmi {

std::int32_t StringTrie::NewNode(std::string_view fragment, std::int32_t value) {
  Node node;
  node.fragment.assign(fragment);
  node.value = value;
  nodes_.push_back(std::move(node));
  return static_cast<std::int32_t>(nodes_.size() - 1);
}

void StringTrie::Insert(std::string_view key, std::int32_t value) {
  if (key.empty()) return;
  if (first_ < 0) {
    first_ = NewNode(key, value);
    return;
  }
  std::int32_t current = first_;  // first node of the sibling list being searched
  std::string_view rest = key;
  while (true) {
    std::int32_t match = -1;
    std::int32_t lastSibling = current;
    for (std::int32_t n = current; n >= 0; n = nodes_[n].next) {
      lastSibling = n;
      if (nodes_[n].fragment[0] == rest[0]) {
        match = n;
        break;
      }
    }
    if (match < 0) {
      const std::int32_t added = NewNode(rest, value);
      nodes_[lastSibling].next = added;
      return;
    }
    const std::string_view fragment = nodes_[match].fragment;
    std::size_t common = 1;
    while (common < fragment.size() && common < rest.size() && fragment[common] == rest[common]) {
      ++common;
    }
    if (common == fragment.size()) {
      if (common == rest.size()) {
        nodes_[match].value = value;
        return;
      }
      rest.remove_prefix(common);
      if (nodes_[match].child < 0) {
        const std::int32_t child = NewNode(rest, value);
        nodes_[match].child = child;
        return;
      }
      current = nodes_[match].child;
      continue;
    }
    // The key parts from the fragment in its middle: split the node.
    const std::string tail = nodes_[match].fragment.substr(common);
    const std::int32_t tailNode = NewNode(tail, nodes_[match].value);
    Node& split = nodes_[match];  // NewNode may have moved the vector
    nodes_[tailNode].child = split.child;
    split.fragment.resize(common);
    split.child = tailNode;
    if (common == rest.size()) {
      split.value = value;
    } else {
      split.value = 0;
      const std::int32_t keyTail = NewNode(rest.substr(common), value);
      nodes_[tailNode].next = keyTail;
    }
    return;
  }
}

template <bool kNoCase>
std::int32_t StringTrie::Lookup(std::string_view key) const {
  if (key.empty()) return 0;
  std::int32_t current = first_;
  std::string_view rest = key;
  while (current >= 0) {
    std::int32_t match = -1;
    for (std::int32_t n = current; n >= 0; n = nodes_[n].next) {
      const std::string& fragment = nodes_[n].fragment;
      const bool firstMatches =
          kNoCase ? AsciiLower(fragment[0]) == AsciiLower(rest[0]) : fragment[0] == rest[0];
      if (!firstMatches) continue;
      const bool whole = kNoCase ? StartsWithNoCase(rest, fragment) : rest.starts_with(fragment);
      if (whole) {
        match = n;
        break;
      }
      if (!kNoCase) return 0;  // siblings differ in their first byte
    }
    if (match < 0) return 0;
    rest.remove_prefix(nodes_[match].fragment.size());
    if (rest.empty()) return nodes_[match].value;
    current = nodes_[match].child;
  }
  return 0;
}

std::int32_t StringTrie::Find(std::string_view key) const {
  return Lookup<false>(key);
}

std::int32_t StringTrie::FindNoCase(std::string_view key) const {
  return Lookup<true>(key);
}

void StringTrie::Clear() {
  nodes_.clear();
  first_ = -1;
}

}  // namespace tolmi
