// StringTrie: a prefix tree mapping byte-string keys to 32-bit values, used for tag, entity and
// language-text tables. Nodes hold key fragments; inserting a key that parts from a fragment in
// its middle splits that node. A value of 0 means "absent".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tolmi {

class StringTrie {
 public:
  // Stores value under key, replacing an earlier value of the same key. An empty key is ignored.
  void Insert(std::string_view key, std::int32_t value);
  // The value stored under key (exact bytes); 0 when absent.
  std::int32_t Find(std::string_view key) const;
  // The value stored under key ignoring ASCII case; 0 when absent. Where stored keys differ only
  // in case, the first sibling that matches is followed.
  std::int32_t FindNoCase(std::string_view key) const;
  // Removes every key.
  void Clear();
  bool Empty() const { return first_ < 0; }
  // Number of nodes (for tests of the splitting rule).
  std::size_t NodeCount() const { return nodes_.size(); }

 private:
  struct Node {
    std::string fragment;
    std::int32_t next = -1;   // next sibling
    std::int32_t child = -1;  // first child
    std::int32_t value = 0;
  };
  std::int32_t NewNode(std::string_view fragment, std::int32_t value);
  template <bool kNoCase>
  std::int32_t Lookup(std::string_view key) const;

  // Nodes live in one vector and link by index: copying is a plain copy and freeing never
  // recurses, however long the keys.
  std::vector<Node> nodes_;
  std::int32_t first_ = -1;
};

}  // namespace tolmi
