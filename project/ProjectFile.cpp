#include "project/ProjectFile.h"

#include <charconv>
#include <limits>
#include <optional>
#include <unordered_map>

#include "util/Files.h"
#include "util/Scramble.h"
#include "util/Strings.h"
#include "util/Version.h"

namespace tolmi {

namespace {

// Decimal text to integer as the system reads it: leading blanks, an optional
// sign, digits up to the first other character; no digits reads as 0. Values
// beyond the 32-bit range are clamped.
std::int32_t ParseInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (value <= std::numeric_limits<std::int32_t>::max()) value = value * 10 + (text[i] - '0');
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<std::int32_t>::max())
    return std::numeric_limits<std::int32_t>::max();
  if (value < std::numeric_limits<std::int32_t>::min())
    return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

// Narrow fields keep the low bits of the value read.
std::int16_t ParseShort(std::string_view text) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(ParseInt(text)));
}
std::uint8_t ParseByte(std::string_view text) {
  return static_cast<std::uint8_t>(static_cast<std::uint32_t>(ParseInt(text)));
}
bool ParseFlag(std::string_view text) {
  return ParseByte(text) != 0;
}

// The value with each "@@@" turned back into CR LF, copied in runs between marks.
std::string Decoded(std::string_view text) {
  std::size_t at = text.find("@@@");
  if (at == std::string_view::npos) return std::string(text);
  std::string value;
  value.reserve(text.size());
  std::size_t from = 0;
  while (at != std::string_view::npos) {
    value.append(text, from, at - from);
    value.append("\r\n");
    from = at + 3;
    at = text.find("@@@", from);
  }
  value.append(text, from);
  return value;
}

// The keys of the file, other than records, options, blocks and freight lines.
enum class Key {
  Utd,
  Usd,
  Var,
  NavStyle,
  HasBullets,
  Has3dCart,
  CartOnScreen,
  Search,
  Crlf,
  STitle,
  SiteUrl,
  Rebuild,
  TaxF,
  Sn,
  TaxD,
  TaxO,
  OMessage,
  UNode,
  Status,
  Mod,
  C,
  S,
  Lc,
  Ls,
  Lsd1,
  Lsd2,
  Dg,
  Ldg,
  Page,
  Image,
  Link,
  KeyWords,
  Desc,
  Cost,
  Code,
  Weight,
  File,
  Freight,
  Tax,
  F1,
  F2,
  F3,
  F4,
  F5,
  F6,
  T1,
  T2,
  T3,
  T4,
  T5,
  T6,
  Nn1,
  Nn2,
  Body,
  Temp,
  Curr,
  Cc,
  CMessage,
  FName,
  Layout,
  Version,
  Vo,
  Vc,
  Rule,
  PUser,
  PAcct,
  PServ,
  PPort,
  PDir,
  Comp,
  PPass,
  PSave,
  PPasv,
  PConn,
};

const std::unordered_map<std::string_view, Key>& KeyTable() {
  static const std::unordered_map<std::string_view, Key> table = {
      {"utd", Key::Utd},
      {"usd", Key::Usd},
      {"VAR", Key::Var},
      {"NAVSTYLE", Key::NavStyle},
      {"HASBULLETS", Key::HasBullets},
      {"HAS3DCART", Key::Has3dCart},
      {"CARTONSCREEN", Key::CartOnScreen},
      {"SEARCH", Key::Search},
      {"CRLF", Key::Crlf},
      {"STITLE", Key::STitle},
      {"SITEURL", Key::SiteUrl},
      {"REBUILD", Key::Rebuild},
      {"TAXF", Key::TaxF},
      {"SN", Key::Sn},
      {"TAXD", Key::TaxD},
      {"TAXO", Key::TaxO},
      {"OMESSAGE", Key::OMessage},
      {"UNODE", Key::UNode},
      {"STATUS", Key::Status},
      {"MOD", Key::Mod},
      {"c", Key::C},
      {"s", Key::S},
      {"lc", Key::Lc},
      {"ls", Key::Ls},
      {"lsd1", Key::Lsd1},
      {"lsd2", Key::Lsd2},
      {"dg", Key::Dg},
      {"ldg", Key::Ldg},
      {"PAGE", Key::Page},
      {"IMAGE", Key::Image},
      {"LINK", Key::Link},
      {"KEY", Key::KeyWords},
      {"DESC", Key::Desc},
      {"COST", Key::Cost},
      {"CODE", Key::Code},
      {"W", Key::Weight},
      {"FILE", Key::File},
      {"F", Key::Freight},
      {"X", Key::Tax},
      {"F1", Key::F1},
      {"F2", Key::F2},
      {"F3", Key::F3},
      {"F4", Key::F4},
      {"F5", Key::F5},
      {"F6", Key::F6},
      {"T1", Key::T1},
      {"T2", Key::T2},
      {"T3", Key::T3},
      {"T4", Key::T4},
      {"T5", Key::T5},
      {"T6", Key::T6},
      {"NN1", Key::Nn1},
      {"NN2", Key::Nn2},
      {"BODY", Key::Body},
      {"TEMP", Key::Temp},
      {"CURR", Key::Curr},
      {"CC", Key::Cc},
      {"CMESSAGE", Key::CMessage},
      {"FNAME", Key::FName},
      {"LAYOUT", Key::Layout},
      {"VERSION", Key::Version},
      {"VO", Key::Vo},
      {"VC", Key::Vc},
      {"RULE", Key::Rule},
      {"P_USER", Key::PUser},
      {"P_ACCT", Key::PAcct},
      {"P_SERV", Key::PServ},
      {"P_PORT", Key::PPort},
      {"P_DIR", Key::PDir},
      {"COMP", Key::Comp},
      {"P_PASS", Key::PPass},
      {"P_SAVE", Key::PSave},
      {"P_PASV", Key::PPasv},
      {"P_CONN", Key::PConn},
  };
  return table;
}

bool HoldsProductsOnly(const StoreNode* node) {
  return node != nullptr && (node->kind == NodeKind::Shelf || node->kind == NodeKind::List);
}

// Reads a project file line by line. Nested "#BRANCH" levels are kept on an
// explicit stack, so the depth of the tree in the file does not matter.
class ProjectReader {
 public:
  ProjectReader(StoreProject& project, StoreNode* baseParent, bool merge,
                const ProjectFileContext& context)
      : project_(project), baseParent_(baseParent), merge_(merge), context_(context) {
    levels_.push_back(MakeLevel(baseParent_));
    for (std::size_t i = 0; i < project_.regions.size(); ++i) {
      regionIndex_.emplace(ToLowerAscii(project_.regions[i].key), i);
    }
    if (context_.domains != nullptr) {
      for (const auto& domain : *context_.domains) {
        domainIndex_.emplace(ToLowerAscii(domain.key), &domain);
      }
    }
  }

  // Handles one line (trailing blanks already removed); false once reading has ended.
  bool Line(std::string_view line) {
    if (done_ || line.empty()) return !done_;
    Level& level = levels_.back();
    switch (line[0]) {
      case '&':
        OptionLine(level, line);
        return true;
      case '#':
        BlockLine(line);
        return !done_;
      case '$':
        if (!merge_) FreightLine(level, line);
        return true;
      default:
        break;
    }
    if (line.starts_with("NODE")) {
      std::size_t eq = line.find('=');
      std::string_view title = eq == std::string_view::npos ? "" : line.substr(eq + 1);
      NodeKind kind = NodeKind::Category;
      if (line.size() > 4 && line[4] >= '0' && line[4] <= '9') {
        // Kinds 6 to 9 are never written; read them as categories.
        kind = NodeKindFromDigit(line[4] - '0').value_or(NodeKind::Category);
      }
      StartRecord(level, kind, title);
      return true;
    }
    std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) return true;
    auto found = KeyTable().find(line.substr(0, eq));
    if (found == KeyTable().end()) return true;
    KeyLine(level, found->second, line.substr(eq + 1));
    return true;
  }

  ProjectReadStats stats;

 private:
  static constexpr std::size_t kNoRegion = static_cast<std::size_t>(-1);

  struct Level {
    StoreNode* parent = nullptr;         // records of this level go here; null: top level
    StoreNode* current = nullptr;        // the record whose keys are being read
    std::unique_ptr<StoreNode> pending;  // the current record until its "STATUS=" places it
    std::size_t region = kNoRegion;      // index of the freight region of the last "$" line
  };

  static Level MakeLevel(StoreNode* parent) {
    Level level;
    level.parent = parent;
    return level;
  }

  void OptionLine(Level& level, std::string_view line) {
    if (line.size() < 2 || (line[1] != '1' && line[1] != '2')) return;
    std::size_t bar = line.find('|');
    if (bar == std::string_view::npos || level.current == nullptr) return;
    std::string entry(line.substr(2, bar - 2));
    (line[1] == '1' ? level.current->options1 : level.current->options2)
        .push_back(std::move(entry));
  }

  void BlockLine(std::string_view line) {
    if (line == "#EOB") {
      if (levels_.size() == 1) {
        done_ = true;
      } else {
        levels_.pop_back();
      }
    } else if (line == "#BRANCH") {
      Level& level = levels_.back();
      StoreNode* parent = baseParent_;
      if (level.current != nullptr) {
        NodeKind kind = HoldsProductsOnly(level.parent) ? NodeKind::Product : level.current->kind;
        // A product, page or link holds no children: its listed children follow it instead.
        parent = (kind == NodeKind::Category || kind == NodeKind::Shelf || kind == NodeKind::List)
                     ? level.current
                     : level.parent;
      }
      levels_.push_back(MakeLevel(parent));
    }
  }

  void StartRecord(Level& level, NodeKind kind, std::string_view title) {
    level.pending = CreateNode();
    level.current = level.pending.get();
    level.current->kind = kind;
    level.current->title = std::string(title);
    ++stats.records;
    if (context_.progress && stats.records % 12 == 0) context_.progress(stats.records);
  }

  void FreightLine(Level& level, std::string_view line) {
    std::size_t comma = line.find(',');
    if (comma == std::string_view::npos || comma < 2) return;
    char digit = line[comma - 1];
    if (digit < '0' || digit > '2') return;
    int index = digit - '0';
    std::string key(line.substr(1, comma - 2));
    std::string lower = ToLowerAscii(key);

    FreightRegion* region = nullptr;
    auto found = regionIndex_.find(lower);
    if (found != regionIndex_.end()) {
      region = &project_.regions[found->second];
    } else {
      regionIndex_.emplace(lower, project_.regions.size());
      region = &project_.regions.emplace_back();
    }
    auto domain = domainIndex_.find(lower);
    if (domain != domainIndex_.end()) {
      region->key = domain->second->key;
      region->name = domain->second->name;
    }
    if (region->name.empty()) {
      region->key = key;
      region->name = key;
    }

    FreightMethod& method = region->methods[static_cast<std::size_t>(index)];
    std::string_view rest = line.substr(comma + 1);
    std::size_t bar = rest.find('|');
    if (bar != std::string_view::npos) {
      method.enabled = ParseInt(rest.substr(bar + 1)) != 0;
      rest = rest.substr(0, bar);
    } else {
      method.enabled = true;
    }
    // Up to twelve costs, then the region's tax rate.
    std::size_t field = 0;
    while (true) {
      std::size_t next = rest.find(',');
      std::string_view value = rest.substr(0, next);
      if (field < method.costs.size()) {
        method.costs[field] = std::string(value);
      } else if (field == method.costs.size()) {
        if (region->taxRate.empty()) region->taxRate = std::string(value);
        break;
      }
      ++field;
      if (next == std::string_view::npos) break;
      rest = rest.substr(next + 1);
    }
    level.region = static_cast<std::size_t>(region - project_.regions.data());
  }

  void PlaceRecord(Level& level) {
    if (HoldsProductsOnly(level.parent)) level.current->kind = NodeKind::Product;
    if (level.pending == nullptr) return;  // placed already: a repeated "STATUS="
    AppendNode(project_, level.parent, std::move(level.pending));
    ++stats.placed;
  }

  void Stamp(std::vector<UploadStamp>& stamps, std::string_view value) {
    std::size_t first = value.find(',');
    if (first == std::string_view::npos) return;
    std::size_t last = value.rfind(',');
    stamps.push_back({std::string(value.substr(0, first)), ParseInt(value.substr(last + 1))});
  }

  void Layout(std::string_view value) {
    std::string text(value);
    ReplaceFirst(text, "Sorvida", "Sorvidda");
    StyleRef wanted;
    std::size_t slash = text.find('/');
    if (slash == std::string::npos) {
      wanted.name = text;
    } else {
      wanted.group = text.substr(0, slash);
      wanted.name = text.substr(slash + 1);
    }
    if (context_.styles == nullptr || context_.styles->empty()) {
      project_.settings.style = std::move(wanted);
      return;
    }
    for (const auto& style : *context_.styles) {
      if (style == wanted) {
        project_.settings.style = style;
        return;
      }
    }
    project_.settings.style = context_.styles->front();
  }

  void KeyLine(Level& level, Key key, std::string_view value) {
    StoreSettings& settings = project_.settings;
    StoreNode* node = level.current;
    // Keys read in both modes.
    switch (key) {
      case Key::Utd:
        Stamp(project_.templateStamps, value);
        return;
      case Key::Usd:
        Stamp(project_.cartStamps, value);
        return;
      case Key::NavStyle:
        settings.navStyle = ParseShort(value);
        return;
      case Key::HasBullets:
        settings.hasBullets = ParseFlag(value);
        return;
      case Key::Has3dCart:
        settings.has3dCart = ParseFlag(value);
        return;
      case Key::CartOnScreen:
        settings.cartOnScreen = ParseFlag(value);
        return;
      case Key::Search:
        settings.search = ParseFlag(value);
        return;
      case Key::Crlf:
        settings.crlf = ParseFlag(value);
        return;
      case Key::UNode:
        StartRecord(level, NodeKind::Product, value);
        return;
      case Key::PUser:
        settings.ftpUser = std::string(value);
        return;
      case Key::PAcct:
        settings.ftpAccount = std::string(value);
        return;
      case Key::PServ:
        settings.ftpServer = std::string(value);
        return;
      case Key::PPort:
        settings.ftpPort = std::string(value);
        return;
      case Key::PDir:
        settings.ftpDir = std::string(value);
        return;
      case Key::Comp:
        settings.lastDestination = std::string(value);
        return;
      case Key::PPass:
        settings.ftpPassword = UnscrambleText(value);
        return;
      case Key::PSave:
        settings.savePassword = ParseFlag(value);
        return;
      case Key::PPasv:
        settings.passiveFtp = ParseFlag(value);
        return;
      case Key::PConn:
        settings.ftpConnections = ClampFtpConnections(ParseInt(value));
        return;
      default:
        break;
    }
    // Keys of the current record; ignored before the first record of a level.
    if (node != nullptr) {
      switch (key) {
        case Key::Status:
          node->status = ParseShort(value);
          PlaceRecord(level);
          return;
        case Key::Mod:
          node->mod = ParseByte(value);
          return;
        case Key::C:
          node->builtChecksum = ParseInt(value);
          return;
        case Key::S:
          node->builtSize = ParseInt(value);
          return;
        case Key::Lc:
          node->publishedChecksum = ParseInt(value);
          return;
        case Key::Ls:
          node->publishedSize = ParseInt(value);
          return;
        case Key::Lsd1:
          node->imageStamp = ParseInt(value);
          return;
        case Key::Lsd2:
          node->linkStamp = ParseInt(value);
          return;
        case Key::Dg:
          node->builtDigest = std::string(value);
          return;
        case Key::Ldg:
          node->publishedDigest = std::string(value);
          return;
        case Key::Page:
          node->page = std::string(value);
          node->pagePresent = true;
          return;
        case Key::Image:
          node->image = std::string(value);
          return;
        case Key::Link:
          node->link = std::string(value);
          return;
        case Key::KeyWords:
          node->keywords = std::string(value);
          return;
        case Key::Desc:
          node->desc = std::string(value);
          return;
        case Key::Cost:
          node->cost = std::string(value);
          return;
        case Key::Code:
          node->code = std::string(value);
          return;
        case Key::Weight:
          node->weight = std::string(value);
          return;
        case Key::File:
          node->file = std::string(value);
          return;
        case Key::Freight:
          node->freight = std::string(value);
          return;
        case Key::Tax:
          node->tax = std::string(value);
          return;
        case Key::F1:
        case Key::F2:
        case Key::F3:
        case Key::F4:
        case Key::F5:
        case Key::F6:
          node->fields[static_cast<int>(key) - static_cast<int>(Key::F1)] = std::string(value);
          return;
        case Key::T1:
        case Key::T2:
        case Key::T3:
        case Key::T4:
        case Key::T5:
        case Key::T6:
          node->labels[static_cast<int>(key) - static_cast<int>(Key::T1)] = std::string(value);
          return;
        case Key::Nn1:
          node->optionLabel1 = std::string(value);
          return;
        case Key::Nn2:
          node->optionLabel2 = std::string(value);
          return;
        case Key::Body:
          node->body = Decoded(value);
          return;
        case Key::Temp:
          node->temp = std::string(value);
          // Older files kept lists as shelves with a list template.
          if (settings.version < 105001 && node->kind == NodeKind::Shelf &&
              FindNoCase(node->temp, "list") != std::string::npos) {
            node->kind = NodeKind::List;
          }
          return;
        default:
          break;
      }
    }
    if (merge_) return;
    // Store-wide keys that merging leaves alone.
    switch (key) {
      case Key::Var: {
        std::size_t bar = value.find('|');
        StoreVariable variable;
        variable.name = std::string(value.substr(0, bar));
        if (bar != std::string_view::npos) variable.value = Decoded(value.substr(bar + 1));
        project_.variables.push_back(std::move(variable));
        return;
      }
      case Key::STitle:
        settings.storeTitle = std::string(value);
        return;
      case Key::SiteUrl:
        settings.storeAddress = std::string(value);
        return;
      case Key::Rebuild:
        settings.rebuildDir = std::string(value);
        return;
      case Key::TaxF:
        settings.freightTax = std::string(value);
        return;
      case Key::Sn:
        settings.sn = std::string(value);
        return;
      case Key::TaxD:
        settings.taxOn = ParseFlag(value);
        return;
      case Key::TaxO:
        settings.taxMethod = ParseShort(value);
        return;
      case Key::OMessage:
        settings.orderMessage = Decoded(value);
        return;
      case Key::Curr:
        // Without CR, as it is written: "$CURRENCY" then holds what the file will hold.
        settings.currency = std::string(value);
        std::erase(settings.currency, '\r');
        return;
      case Key::CMessage:
        settings.confirmMessage = Decoded(value);
        return;
      case Key::Version:
        settings.version = ParseInt(value);
        return;
      case Key::Vo:
        settings.vo = ParseInt(value);
        return;
      case Key::Vc:
        settings.vc = ParseInt(value);
        return;
      case Key::Layout:
        Layout(value);
        return;
      case Key::Cc: {
        std::size_t colon = value.find(':');
        if (colon == std::string_view::npos) return;
        AcceptedCard card{std::string(value.substr(colon + 1)), ParseByte(value)};
        if (context_.installedCards != nullptr) {
          for (auto& installed : *context_.installedCards) {
            if (installed.name == card.name) installed.chosen = true;
          }
        }
        project_.cards.push_back(std::move(card));
        return;
      }
      case Key::FName: {
        std::size_t comma = value.find(',');
        int index = ParseInt(value);
        if (comma == std::string_view::npos || index < 0 || index > 2) return;
        project_.deliveryMethodNames[static_cast<std::size_t>(index)] =
            std::string(value.substr(comma + 1));
        return;
      }
      case Key::Rule: {
        std::size_t comma = value.find(',');
        int index = ParseInt(value);
        if (comma == std::string_view::npos || index < 0 || index > 2 ||
            level.region == kNoRegion) {
          return;
        }
        project_.regions[level.region].methods[static_cast<std::size_t>(index)].rule =
            std::string(value.substr(comma + 1));
        return;
      }
      default:
        return;
    }
  }

  StoreProject& project_;
  StoreNode* baseParent_;
  bool merge_;
  const ProjectFileContext& context_;
  std::vector<Level> levels_;
  bool done_ = false;
  std::unordered_map<std::string, std::size_t> regionIndex_;
  std::unordered_map<std::string, const KnownRegion*> domainIndex_;
};

// ---- writing ----

class ProjectWriter {
 public:
  // `drain` (optional) takes the text written so far whenever it grows large.
  ProjectWriter(std::string& out, std::function<void(std::string&)> drain)
      : out_(out), drain_(std::move(drain)) {}

  void Line(std::string_view key, std::string_view value) {
    out_.append(key);
    // A single-line value must not break the file into extra lines.
    AppendLineBreaks(value, {});
    End();
  }
  void Int(std::string_view key, std::int64_t value) {
    out_.append(key);
    char digits[24];
    auto result = std::to_chars(digits, digits + sizeof digits, value);
    out_.append(digits, result.ptr);
    End();
  }
  void NonEmpty(std::string_view key, std::string_view value) {
    if (!value.empty()) Line(key, value);
  }
  // Line breaks (CR LF, CR or LF) written as "@@@", straight into the file's text.
  void Multi(std::string_view key, std::string_view value) {
    out_.append(key);
    AppendLineBreaks(value, "@@@");
    End();
  }

  // Appends value with each line break (CR LF counting as one) replaced by `mark`;
  // the runs between breaks are copied whole.
  void AppendLineBreaks(std::string_view value, std::string_view mark) {
    const char* p = value.data();
    const char* end = p + value.size();
    while (p < end) {
      const char* q = p;
      while (q < end && *q != '\r' && *q != '\n') ++q;
      out_.append(p, static_cast<std::size_t>(q - p));
      if (q == end) break;
      out_.append(mark);
      p = q + ((*q == '\r' && q + 1 < end && q[1] == '\n') ? 2 : 1);
    }
  }

  void End() {
    out_.push_back('\n');
    if (drain_ && out_.size() >= (1u << 20)) drain_(out_);
  }
  void Finish() {
    if (drain_ && !out_.empty()) drain_(out_);
  }

 private:
  std::string& out_;
  std::function<void(std::string&)> drain_;
};

void WriteRecord(ProjectWriter& w, const StoreNode& n) {
  std::string key = "NODE";
  key += std::to_string(static_cast<int>(n.kind));
  key += '=';
  w.Line(key, n.title);
  w.Int("STATUS=", n.status);
  w.Int("MOD=", n.mod);
  w.Int("c=", n.builtChecksum);
  w.Int("s=", n.builtSize);
  w.Int("lc=", n.publishedChecksum);
  w.Int("ls=", n.publishedSize);
  w.Int("lsd1=", n.imageStamp);
  w.Int("lsd2=", n.linkStamp);
  // Our additions; older readers skip keys they do not know.
  w.NonEmpty("dg=", n.builtDigest);
  w.NonEmpty("ldg=", n.publishedDigest);
  w.NonEmpty("FILE=", n.file);
  if (n.pagePresent || !n.page.empty()) w.Line("PAGE=", n.page);
  w.NonEmpty("IMAGE=", n.image);
  w.NonEmpty("LINK=", n.link);
  w.NonEmpty("KEY=", n.keywords);
  w.NonEmpty("DESC=", n.desc);
  if (!n.body.empty()) w.Multi("BODY=", n.body);
  w.NonEmpty("COST=", n.cost);
  w.NonEmpty("CODE=", n.code);
  w.NonEmpty("TEMP=", n.temp);
  w.NonEmpty("F=", n.freight);
  w.NonEmpty("W=", n.weight);
  w.NonEmpty("X=", n.tax);
  static constexpr const char* kFieldKeys[] = {"F1=", "F2=", "F3=", "F4=", "F5=", "F6="};
  static constexpr const char* kLabelKeys[] = {"T1=", "T2=", "T3=", "T4=", "T5=", "T6="};
  for (std::size_t i = 0; i < 6; ++i) w.NonEmpty(kFieldKeys[i], n.fields[i]);
  for (std::size_t i = 0; i < 6; ++i) w.NonEmpty(kLabelKeys[i], n.labels[i]);
  if (n.optionLabel1) w.Line("NN1=", *n.optionLabel1);
  if (n.optionLabel2) w.Line("NN2=", *n.optionLabel2);
  for (const auto& entry : n.options1) w.Line("&1", entry + "|");
  for (const auto& entry : n.options2) w.Line("&2", entry + "|");
}

// The node tree in display order, "#BRANCH" ... "#EOB" around each node's children.
void WriteTree(ProjectWriter& w, const StoreProject& project,
               const std::function<void(std::size_t)>& progress) {
  const StoreNode* node = RootNode(project);
  std::size_t count = 0;
  while (node != nullptr) {
    WriteRecord(w, *node);
    if (progress && ++count % 12 == 0) progress(count);
    if (!node->children.empty()) {
      w.Line("#BRANCH", "");
      node = node->children.front().get();
      continue;
    }
    while (true) {
      if (const StoreNode* next = NextSibling(*node)) {
        node = next;
        break;
      }
      const StoreNode* parent = ParentNode(*node);
      if (parent == nullptr) {
        node = nullptr;
        break;
      }
      w.Line("#EOB", "");
      node = parent;
    }
  }
}

void WriteProject(ProjectWriter& w, const StoreProject& project, std::time_t now, int versionNumber,
                  const std::function<void(std::size_t)>& progress) {
  const StoreSettings& s = project.settings;
  w.Int("TIME=", static_cast<std::int64_t>(now));
  w.Int("VERSION=", versionNumber);
  w.Line("OWNER=", kProductName);
  WriteTree(w, project, progress);

  for (const auto& variable : project.variables) {
    std::string name = variable.name;
    std::erase(name, '|');
    w.Line("VAR=", name + "|" + EncodeNewlines(variable.value));
  }
  for (const auto& region : project.regions) {
    for (std::size_t i = 0; i < region.methods.size(); ++i) {
      const FreightMethod& method = region.methods[i];
      std::string line = region.key;
      line += static_cast<char>('0' + i);
      for (const auto& cost : method.costs) {
        line += ',';
        line += cost;
      }
      line += ',';
      line += region.taxRate;
      line += ",|";
      line += method.enabled ? '1' : '0';
      w.Line("$", line);
      if (!method.rule.empty()) w.Line("RULE=", std::to_string(i) + "," + method.rule);
    }
  }
  if (s.style) w.Line("LAYOUT=", s.style->group + "/" + s.style->name);
  w.NonEmpty("STITLE=", s.storeTitle);
  w.NonEmpty("SITEURL=", s.storeAddress);  // a new key: older readers skip it
  w.NonEmpty("TAXF=", s.freightTax);
  w.NonEmpty("REBUILD=", s.rebuildDir);
  w.Line("P_USER=", s.ftpUser);
  if (s.savePassword) w.Line("P_PASS=", ScrambleText(s.ftpPassword));
  w.Line("P_ACCT=", s.ftpAccount);
  w.Line("P_SERV=", s.ftpServer);
  w.Line("P_PORT=", s.ftpPort);
  w.Line("P_DIR=", s.ftpDir);
  w.Int("P_SAVE=", s.savePassword ? 1 : 0);
  w.Int("P_PASV=", s.passiveFtp ? 1 : 0);
  // A key older readers do not know (they skip it), written only when not the default.
  if (s.ftpConnections != 1) w.Int("P_CONN=", s.ftpConnections);
  w.Line("COMP=", s.lastDestination);
  w.Multi("OMESSAGE=", s.orderMessage);
  w.Multi("CMESSAGE=", s.confirmMessage);
  w.Int("VO=", s.vo);
  w.Int("VC=", s.vc);
  w.Int("TAXD=", s.taxOn ? 1 : 0);
  w.Int("TAXO=", s.taxMethod);
  w.Line("CURR=", s.currency);  // CR and LF are dropped by Line()
  w.Int("HASBULLETS=", s.hasBullets ? 1 : 0);
  w.Int("HAS3DCART=", s.has3dCart ? 1 : 0);
  w.Int("CARTONSCREEN=", s.cartOnScreen ? 1 : 0);
  w.Int("SEARCH=", s.search ? 1 : 0);
  w.Int("CRLF=", s.crlf ? 1 : 0);
  w.Int("NAVSTYLE=", s.navStyle);
  if (s.sn) w.Line("SN=", *s.sn);
  for (std::size_t i = 0; i < project.deliveryMethodNames.size(); ++i) {
    if (project.deliveryMethodNames[i]) {
      w.Line("FNAME=", std::to_string(i) + "," + *project.deliveryMethodNames[i]);
    }
  }
  for (const auto& card : project.cards) {
    w.Line("CC=", std::to_string(card.flag) + ":" + card.name);
  }
  for (const auto& stamp : project.cartStamps) {
    w.Line("usd=", stamp.fileName + "," + std::to_string(stamp.stamp));
  }
  for (const auto& stamp : project.templateStamps) {
    w.Line("utd=", stamp.fileName + "," + std::to_string(stamp.stamp));
  }
  w.Finish();
}

}  // namespace

ProjectReadStats ReadProjectText(StoreProject& project, std::string bytes, StoreNode* parent,
                                 bool merge, const ProjectFileContext& context) {
  // Lines are taken whole, however long: the writer does not limit them either.
  LineReader lines(std::move(bytes), std::numeric_limits<std::size_t>::max());
  ProjectReader reader(project, parent, merge, context);
  std::string line;
  while (lines.Next(line)) {
    if (!reader.Line(line)) break;
  }
  if (!merge) FinishProjectLoad(project);
  return reader.stats;
}

ProjectFileCheck CheckProjectBytes(std::string_view bytes) {
  ProjectFileCheck check;
  if (bytes.find('\0') != std::string_view::npos) return check;
  bool first = true;
  bool sawOwner = false;
  bool sawNavStyle = false;
  int depth = 0;
  bool ended = false;  // a "#EOB" at the top level ends the file for the reader
  std::size_t pos = 0;
  while (pos < bytes.size() && !ended) {
    std::size_t end = bytes.find('\n', pos);
    std::string_view line =
        TrimLineEnd(bytes.substr(pos, end == std::string_view::npos ? end : end - pos));
    pos = end == std::string_view::npos ? bytes.size() : end + 1;
    if (first && line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);  // a byte-order mark
    if (line.empty()) continue;
    if (first) {
      first = false;
      const std::size_t eq = line.find('=');
      const bool known = line.starts_with("NODE") || line[0] == '$' || line[0] == '&' ||
                         line == "#BRANCH" || line == "#EOB" || line == "#BEGIN" ||
                         (eq != std::string_view::npos &&
                          (line.substr(0, eq) == "TIME" || line.substr(0, eq) == "OWNER" ||
                           KeyTable().count(line.substr(0, eq)) > 0));
      if (!known) return check;
    }
    if (line == "#BRANCH") {
      ++depth;
    } else if (line == "#EOB") {
      if (depth == 0) {
        ended = true;
      } else {
        --depth;
      }
    } else if (line.starts_with("OWNER=")) {
      sawOwner = true;
    } else if (line.starts_with("NAVSTYLE=")) {
      sawNavStyle = true;
    }
  }
  if (first) return check;  // nothing but blank lines
  check.isProject = true;
  check.cutShort = !ended && (bytes.back() != '\n' || depth > 0 || (sawOwner && !sawNavStyle));
  return check;
}

Result<ProjectReadStats> ReadProjectFile(StoreProject& project, const std::string& path,
                                         StoreNode* parent, bool merge,
                                         const ProjectFileContext& context) {
  const std::string message =
      FormatText("%s: Unable to read project file '%s'", merge ? "S105" : "S103", path.c_str());
  std::optional<std::string> bytes = IsDirectory(path) ? std::nullopt : ReadWholeFile(path);
  if (!bytes) return Status::Error(ErrorKind::NotFound, message);
  const ProjectFileCheck check = CheckProjectBytes(*bytes);
  if (!check.isProject) return Status::Error(ErrorKind::Corrupt, message);
  ProjectReadStats stats = ReadProjectText(project, std::move(*bytes), parent, merge, context);
  stats.cutShort = check.cutShort;
  return stats;
}

void FinishProjectLoad(StoreProject& project) {
  StoreSettings& s = project.settings;
  if (s.currency.empty()) s.currency = "$";
  if (!s.storeTitle.empty()) SetVariable(project.variables, "$STORETITLE", s.storeTitle);
  SetVariable(project.variables, "$CURRENCY", s.currency);
}

std::string ProjectFileText(const StoreProject& project, std::time_t now, int versionNumber) {
  std::string out;
  ProjectWriter writer(out, nullptr);
  WriteProject(writer, project, now, versionNumber, nullptr);
  return out;
}

Status WriteProjectFile(StoreProject& project, const std::string& path, Prompter& prompter,
                        const Clock& clock, int versionNumber,
                        const std::function<void(std::size_t records)>& progress,
                        const std::function<void()>& beforeReplace) {
  const std::int32_t version = project.settings.version;
  if (version >= 1 && version < 200000) {
    PromptAnswer answer = prompter.Ask(kOlderVersionQuestion, "Confirmation", PromptButtons::YesNo);
    if (answer != PromptAnswer::Yes) {
      return Status::Error(ErrorKind::Cancelled, "The project was not saved.");
    }
  }
  // Values that the file cannot hold are cleaned in the project itself, as they are written.
  std::erase(project.settings.currency, '\r');
  std::erase(project.settings.currency, '\n');
  for (auto& variable : project.variables) std::erase(variable.name, '|');

  AtomicWriteOptions options;
  options.beforeReplace = beforeReplace;
  // A saved FTP password makes the file the owner's alone.
  options.ownerOnly = project.settings.savePassword && !project.settings.ftpPassword.empty();
  AtomicFile file(path, options);
  std::string buffer;
  ProjectWriter writer(buffer, [&file](std::string& text) {
    file.Write(text);
    text.clear();
  });
  WriteProject(writer, project, clock.Now(), versionNumber, progress);
  Status status = file.Commit();
  if (!status.ok()) return Status::Error(ErrorKind::Io, "S101: File Write Error");
  project.changed = false;
  return Status::Ok();
}

}  // namespace tolmi
