#include "project/StoreNode.h"

#include <openssl/evp.h>

#include "util/Html.h"
#include "util/Strings.h"

namespace tolmi {

StoreNode::~StoreNode() {
  // Free the subtree with a work list so that a very deep tree cannot exhaust the stack.
  std::vector<std::unique_ptr<StoreNode>> pending = std::move(children);
  while (!pending.empty()) {
    std::unique_ptr<StoreNode> node = std::move(pending.back());
    pending.pop_back();
    for (auto& child : node->children) pending.push_back(std::move(child));
    node->children.clear();
  }
}

const char* DefaultTitle(NodeKind kind) {
  switch (kind) {
    case NodeKind::Category:
      return "New Category";
    case NodeKind::Product:
      return "New Product";
    case NodeKind::Shelf:
      return "New Shelf";
    case NodeKind::List:
      return "New List";
    case NodeKind::Page:
      return "New Page";
    case NodeKind::Link:
      return "New Link";
  }
  return "New Category";
}

const char* DefaultTemplate(NodeKind kind) {
  switch (kind) {
    case NodeKind::Category:
      return "category.htm";
    case NodeKind::Product:
      return "product.htm";
    case NodeKind::Shelf:
      return "shelf.htm";
    case NodeKind::List:
      return "list.htm";
    case NodeKind::Page:
      return "page.htm";
    case NodeKind::Link:
      return "search.htm";
  }
  return "category.htm";
}

std::string_view NodeTemplate(const StoreNode& node) {
  if (!node.temp.empty()) return node.temp;
  return DefaultTemplate(node.kind);
}

bool MayHoldChild(NodeKind parent, NodeKind child) {
  switch (parent) {
    case NodeKind::Category:
      return true;
    case NodeKind::Shelf:
    case NodeKind::List:
      return child == NodeKind::Product;
    default:
      return false;
  }
}

std::optional<NodeKind> NodeKindFromDigit(int digit) {
  if (digit < 0 || digit > 5) return std::nullopt;
  return static_cast<NodeKind>(digit);
}

namespace {

// The value of the first " ALT=" attribute of a title, or "" when there is none.
std::string AltValue(std::string_view title) {
  std::size_t at = FindNoCase(title, " ALT=");
  if (at == std::string_view::npos) return {};
  std::size_t i = at + 5;
  while (i < title.size() &&
         (title[i] == ' ' || title[i] == '\t' || title[i] == '\r' || title[i] == '\n')) {
    ++i;
  }
  if (i >= title.size()) return {};
  char quote = title[i];
  if (quote == '"' || quote == '\'') {
    std::size_t end = title.find(quote, i + 1);
    if (end == std::string_view::npos) end = title.size();
    return std::string(title.substr(i + 1, end - i - 1));
  }
  std::size_t end = title.find(' ', i);
  if (end == std::string_view::npos) end = title.size();
  std::string_view value = title.substr(i, end - i);
  std::size_t gt = value.find('>');
  if (gt != std::string_view::npos) value = value.substr(0, gt);
  return std::string(value);
}

}  // namespace

std::string ComputeDisplayName(std::string_view title) {
  constexpr std::size_t kMaxDisplay = 500;
  std::string text(title.substr(0, kMaxDisplay));
  HtmlStripTags(text);
  if (text == title) return std::string(title);
  if (text.empty()) {
    std::string alt = AltValue(title);
    if (!alt.empty()) return alt;
    return std::string(title);
  }
  return text;
}

const std::string& DisplayName(StoreNode& node) {
  node.displayName = ComputeDisplayName(node.title);
  return node.displayName;
}

std::int32_t PageChecksum(std::string_view text) {
  std::uint32_t sum = 0;
  std::uint32_t xorValue = 0;
  for (char c : text) {
    auto value = static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<signed char>(c)));
    sum += value;
    xorValue ^= value;
  }
  return static_cast<std::int32_t>(sum + xorValue);
}

std::string PageDigest(std::string_view text) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(text.data(), text.size(), digest, &length, EVP_sha256(), nullptr) != 1) return {};
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(length * 2);
  for (unsigned int i = 0; i < length; ++i) {
    hex.push_back(kHex[digest[i] >> 4]);
    hex.push_back(kHex[digest[i] & 15]);
  }
  return hex;
}

}  // namespace tolmi
