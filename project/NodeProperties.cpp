#include "project/NodeProperties.h"

#include <algorithm>

namespace tolmi {

namespace {

bool InShelfOrList(const StoreNode& node) {
  const StoreNode* parent = ParentNode(node);
  return parent != nullptr && (parent->kind == NodeKind::Shelf || parent->kind == NodeKind::List);
}

// CR LF and lone CR become "\n".
std::string ToLf(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out.push_back('\n');
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

// Every line end becomes CR LF.
std::string ToCrLf(std::string_view text) {
  std::string lf = ToLf(text);
  std::string out;
  out.reserve(lf.size() + lf.size() / 16);
  for (char c : lf) {
    if (c == '\n') out.push_back('\r');
    out.push_back(c);
  }
  return out;
}

// Sets field to value; records whether it differed.
void Put(std::string& field, const std::string& value, bool& changed) {
  if (field == value) return;
  field = value;
  changed = true;
}

void PutLabel(std::optional<std::string>& field, const std::string& value, const char* fallback,
              bool& changed) {
  std::optional<std::string> wanted;
  if (!value.empty() && value != fallback) wanted = value;
  if (field == wanted) return;
  // A stored label equal to the default stays as it is when the page shows the default.
  if (!wanted && field && (field->empty() || *field == fallback)) return;
  field = std::move(wanted);
  changed = true;
}

}  // namespace

NodeFieldSet NodeFieldsFor(const StoreNode& node) {
  NodeFieldSet f;
  f.image = true;
  f.link = true;
  if (node.kind == NodeKind::Link) return f;
  f.file = true;
  f.body = true;
  f.meta = true;
  f.userPairs = true;
  if (node.kind == NodeKind::Product) {
    f.productData = true;
    if (InShelfOrList(node)) return f;  // no page of its own: FILE shows the parent's
  }
  f.page = true;
  f.temp = true;
  f.fileEditable = true;
  return f;
}

std::string ShownFileName(const StoreNode& node) {
  if (InShelfOrList(node)) return ParentNode(node)->file;
  return node.file;
}

NodeProperties ReadNodeProperties(const StoreNode& node) {
  NodeProperties p;
  p.title = node.title;
  p.page = node.page;
  p.file = ShownFileName(node);
  p.temp = node.temp;
  p.code = node.code;
  p.cost = node.cost;
  p.freight = node.freight;
  p.weight = node.weight;
  p.tax = node.tax;
  p.image = node.image;
  p.link = node.link;
  if (node.kind == NodeKind::Link && !node.file.empty()) p.link = node.file;
  p.body = ToLf(node.body);
  p.desc = node.desc;
  p.keywords = node.keywords;
  if (node.optionLabel1 && !node.optionLabel1->empty()) p.optionLabel1 = *node.optionLabel1;
  if (node.optionLabel2 && !node.optionLabel2->empty()) p.optionLabel2 = *node.optionLabel2;
  p.options1 = node.options1;
  p.options2 = node.options2;
  p.fields = node.fields;
  p.labels = node.labels;
  return p;
}

bool ApplyNodeProperties(StoreProject& project, StoreNode& node, const NodeProperties& props) {
  const NodeFieldSet f = NodeFieldsFor(node);
  bool changed = false;
  Put(node.title, props.title, changed);
  if (f.page) Put(node.page, props.page, changed);
  if (f.temp) Put(node.temp, props.temp, changed);
  if (f.file && f.fileEditable) Put(node.file, props.file, changed);
  if (f.productData) {
    Put(node.code, props.code, changed);
    Put(node.cost, props.cost, changed);
    Put(node.freight, props.freight, changed);
    Put(node.weight, props.weight, changed);
    Put(node.tax, props.tax, changed);
    PutLabel(node.optionLabel1, props.optionLabel1, kDefaultOptionLabel1, changed);
    PutLabel(node.optionLabel2, props.optionLabel2, kDefaultOptionLabel2, changed);
    if (node.options1 != props.options1) node.options1 = props.options1, changed = true;
    if (node.options2 != props.options2) node.options2 = props.options2, changed = true;
  }
  if (f.image) {
    std::string image = props.image;
    std::replace(image.begin(), image.end(), '\\', '/');
    Put(node.image, image, changed);
  }
  if (f.link && node.kind == NodeKind::Link) {
    const std::string& shown = node.file.empty() ? node.link : node.file;
    if (props.link != shown) {
      node.file = node.link = props.link;
      changed = true;
    }
  } else if (f.link) {
    Put(node.link, props.link, changed);
  }
  if (f.body && ToLf(node.body) != ToLf(props.body)) {
    node.body = ToCrLf(props.body);
    changed = true;
  }
  if (f.meta) {
    Put(node.desc, props.desc, changed);
    Put(node.keywords, props.keywords, changed);
  }
  if (f.userPairs) {
    for (std::size_t i = 0; i < 6; ++i) {
      Put(node.fields[i], props.fields[i], changed);
      Put(node.labels[i], props.labels[i], changed);
    }
  }
  if (!changed) return false;
  node.mod = 1;
  project.changed = true;
  DisplayName(node);
  return true;
}

std::string OptionsText(const std::vector<std::string>& options) {
  std::string text;
  for (std::size_t i = 0; i < options.size(); ++i) {
    if (i > 0) text.push_back('\n');
    text += options[i];
  }
  return text;
}

std::vector<std::string> OptionsFromText(std::string_view text) {
  std::vector<std::string> out;
  const std::string lf = ToLf(text);
  std::size_t start = 0;
  while (start <= lf.size()) {
    std::size_t end = lf.find('\n', start);
    if (end == std::string::npos) end = lf.size();
    std::string line = lf.substr(start, end - start);
    if (line.find_first_not_of(" \t") != std::string::npos) out.push_back(std::move(line));
    start = end + 1;
  }
  return out;
}

}  // namespace tolmi
