#include "schemes/Schemes.h"

#include <filesystem>

#include "util/Files.h"
#include "util/Paths.h"
#include "util/SettingsTable.h"
#include "util/Strings.h"
#include "util/Version.h"

namespace tolmi {
namespace {

struct NumberedEntry {
  const char* name;
  const char* label;
  std::uint16_t type;
};

constexpr std::array<NumberedEntry, 31> kNumbered = {{
    {"%S_BGCOLOR%", "Background Color:", 1},
    {"%S_LINKCOLOR%", "Link Color:", 1},
    {"%S_VLINKCOLOR%", "Visited Link Color:", 1},
    {"%S_ALINKCOLOR%", "Active Link Color:", 1},
    {"%BGCOLOR%", "Background Color:", 1},
    {"%TEXTCOLOR%", "Text Color:", 1},
    {"%LINKCOLOR%", "Link Color:", 1},
    {"%VLINKCOLOR%", "Visited Link Color:", 1},
    {"%ALINKCOLOR%", "Active Link Color:", 1},
    {"%MENUCOLOR%", "List Color:", 1},
    {"%HEADING%", "Heading:", 2},
    {"%S_HEADING2%", "Shopping List Heading:", 2},
    {"%S_HEADING3%", "Checkout Heading:", 2},
    {"%O_BGCOLOR%", "Background Color:", 1},
    {"%O_TEXTCOLOR%", "Text Color:", 1},
    {"%O_LINKCOLOR%", "Link Color:", 1},
    {"%O_VLINKCOLOR%", "Visited Link Color:", 1},
    {"%O_ALINKCOLOR%", "Active Link Color:", 1},
    {"%S_LISTCOLOR%", "List Color:", 1},
    {"%S_FRAMECOLOR%", "Frame Color:", 1},
    {"%O_FORMCOLOR%", "Form Color:", 1},
    {"%O_HEADINGCOLOR%", "Heading Background Color:", 0},
    {"%O_HEADINGTEXTCOLOR%", "Heading Text Color:", 1},
    {"%S_TEXTCOLOR%", "Text Color:", 1},
    {"%BULLET_F%", "Bullet - Category:", 4},
    {"%BULLET_G%", "Bullet - Product", 4},
    {"%BULLET_O%", "Bullet - Current Item", 4},
    {"%BULLET_A%", "Bullet - Back", 4},
    {"%BUTTON_ADD%", "Buton - Add:", 4},
    {"%BUTTON_BACK%", "Button - Back:", 4},
    {"%BUTTON_REMOVE%", "Button - Remove:", 4},
}};

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

std::string Trimmed(std::string_view text) {
  std::string s(text);
  return StrTrimWhite(s);
}

// Reads the "CLR=" value: pairs of hex digits, byte by byte, up to 64 bytes; an
// invalid pair ends the colours (the rest stay 0).
void ReadCustomColours(Scheme& scheme, std::string_view hex) {
  scheme.customColours.fill(0);
  for (std::size_t byte = 0; byte < 64 && byte * 2 + 1 < hex.size(); ++byte) {
    int value = HexPairToInt(hex[byte * 2], hex[byte * 2 + 1]);
    if (value < 0) break;
    scheme.customColours[byte / 4] |= static_cast<std::uint32_t>(value) << (8 * (byte % 4));
  }
}

// A field written into a one-line, comma-separated record: no line breaks, and
// no commas where the reader splits at them.
std::string CleanField(std::string_view text, bool dropCommas) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '\r' || c == '\n') continue;
    out += (dropCommas && c == ',') ? ' ' : c;
  }
  return out;
}

std::string InstallFile(const std::string& installDir, std::string_view relative) {
  return ResolveExistingPath(JoinPath(installDir, relative));
}

// Reads one list file into the list. Keeps the state between lines.
class ListReader {
 public:
  explicit ListReader(SchemeList& list) : list_(list) {}

  void Line(std::string_view line) {
    if (line == "#CAT" || line == "#BREAK") {
      Close();
      return;
    }
    if (StartsWith(line, "STYLE=")) {
      category_ = SelectCategory(line.substr(6));
      return;
    }
    if (StartsWith(line, "SCHEMA=")) {
      Close();
      if (!category_) category_ = SelectCategory("");
      StyleCategory& category = list_.categories[*category_];
      category.schemes.emplace_back();
      category.schemes.back().name = std::string(line.substr(7));
      open_ = SchemeIndex{*category_, category.schemes.size() - 1};
      return;
    }
    if (!open_) return;
    Scheme& scheme = *list_.At(*open_);
    if (StartsWith(line, "INSTALL=")) {
      scheme.installPath = std::string(line.substr(8));
      if (!FileExists(InstallFile(list_.installDir, scheme.installPath))) installMissing_ = true;
    } else if (StartsWith(line, "TYP=")) {
      scheme.kind = ParseDecimal(line.substr(4));
      typZero_ = scheme.kind == kSchemeInstalled;
    } else if (StartsWith(line, "PREVIEW=")) {
      scheme.preview = std::string(line.substr(8));
    } else if (StartsWith(line, "DEF=")) {
      scheme.folder = std::string(line.substr(4));
    } else if (!line.empty() && line[0] >= '0' && line[0] <= '9') {
      const int n = ParseDecimal(line);
      const std::size_t eq = line.find('=');
      std::string value = eq == std::string_view::npos ? "" : std::string(line.substr(eq + 1));
      scheme.variables.push_back(NumberedVariable(n, std::move(value)));
      if (n == 12)
        for (StyleVariable& extra : CheckoutExtraVariables())
          scheme.variables.push_back(std::move(extra));
    } else if (StartsWith(line, "CLR=")) {
      ReadCustomColours(scheme, line.substr(4));
    } else if (StartsWith(line, "SCF=")) {
      scheme.files.emplace_back(line.substr(4));
    }
  }

  // Settles the open scheme's kind: a missing install file, or an installed
  // scheme with a folder but no settings file, is not available. Done when the
  // scheme ends so that the order of its keys does not matter.
  void Close() {
    if (open_) {
      Scheme& scheme = *list_.At(*open_);
      if (installMissing_) {
        scheme.kind = kSchemeUnavailable;
      } else if (typZero_ && scheme.kind == kSchemeInstalled && !scheme.folder.empty() &&
                 !FileExists(SchemeSettingsPath(list_.installDir, scheme))) {
        scheme.kind = kSchemeUnavailable;
      }
    }
    open_.reset();
    installMissing_ = false;
    typZero_ = false;
  }

 private:
  std::size_t SelectCategory(std::string_view name) {
    for (std::size_t i = 0; i < list_.categories.size(); ++i)
      if (list_.categories[i].name == name) return i;
    list_.categories.push_back(StyleCategory{std::string(name), {}});
    return list_.categories.size() - 1;
  }

  SchemeList& list_;
  std::optional<std::size_t> category_;
  std::optional<SchemeIndex> open_;
  bool installMissing_ = false;
  bool typZero_ = false;
};

}  // namespace

Scheme* SchemeList::At(const SchemeIndex& at) {
  if (at.category >= categories.size()) return nullptr;
  auto& schemes = categories[at.category].schemes;
  return at.scheme < schemes.size() ? &schemes[at.scheme] : nullptr;
}

const Scheme* SchemeList::At(const SchemeIndex& at) const {
  return const_cast<SchemeList*>(this)->At(at);
}

StyleVariable NumberedVariable(int n, std::string value) {
  StyleVariable v;
  v.number = n;
  v.value = std::move(value);
  if (n >= 0 && n < static_cast<int>(kNumbered.size())) {
    v.name = kNumbered[n].name;
    v.label = kNumbered[n].label;
    v.type = kNumbered[n].type;
  } else {
    v.name = "$TEST";
  }
  return v;
}

std::vector<StyleVariable> CheckoutExtraVariables() {
  return {
      {"Cell Color", "%S_CELLCOLOR%", "WHITE", 0, kStyleColour},
      {"Border Color", "%S_CELLBORDER%", "0", 0, kStyleNumber},
      {"Outside Border Width", "%S_BORDER%", "0", 0, kStyleNumber},
      {"Inside Border Width", "%S_BORDER2%", "0", 0, kStyleNumber},
      {"Heading Color", "%S_HEADINGCOLOR%", "BLACK", 0, kStyleColour},
      {"Background Image", "%S_BACKGROUND%", "", 0, kStylePicture},
  };
}

std::string SchemeSettingsPath(const std::string& installDir, const Scheme& scheme) {
  return InstallFile(installDir, "template/" + scheme.folder + "/" + scheme.name + ".ini");
}

void ReadSchemeListText(SchemeList& list, std::string bytes) {
  LineReader reader(std::move(bytes));
  ListReader parse(list);
  std::string line;
  while (reader.Next(line)) parse.Line(line);
  parse.Close();
}

bool ReadSchemeList(SchemeList& list, const std::string& path) {
  std::optional<std::string> bytes = ReadWholeFile(ResolveExistingPath(path));
  if (!bytes) return false;
  ReadSchemeListText(list, std::move(*bytes));
  return true;
}

void LoadSchemes(SchemeList& list, const std::string& installDir) {
  list.installDir = installDir;
  ReadSchemeList(list, JoinPath(installDir, "scheme.dat"));
  ReadSchemeList(list, JoinPath(installDir, "scheme.ini"));
}

std::string SchemeIniText(const SchemeList& list) {
  std::string out = FormatText("product=%s\nversion=%d\n", kProductName, AppVersion().major);
  for (const StyleCategory& category : list.categories) {
    bool styleWritten = false;
    for (const Scheme& scheme : category.schemes) {
      if (scheme.kind != kSchemeUser) continue;
      if (!styleWritten) out += "STYLE=" + CleanField(category.name, false) + "\n";
      styleWritten = true;
      out += "\nSCHEMA=" + CleanField(scheme.name, false) + "\n";
      out += "PREVIEW=" + CleanField(scheme.preview, false) + "\n";
      out += "DEF=" + CleanField(scheme.folder, false) + "\n";
      if (!scheme.installPath.empty())
        out += "INSTALL=" + CleanField(scheme.installPath, false) + "\n";
      out += FormatText("TYP=%i\n", scheme.kind);
    }
  }
  return out;
}

Status WriteSchemeList(const SchemeList& list, Prompter& prompter) {
  Status written = WriteFileAtomic(JoinPath(list.installDir, "scheme.ini"), SchemeIniText(list));
  if (!written) {
    prompter.Show(kSchemeIniError, "Error", PromptIcon::Error);
    return Status::Error(ErrorKind::Io, kSchemeIniError);
  }
  Status result = Status::Ok();
  for (const StyleCategory& category : list.categories)
    for (const Scheme& scheme : category.schemes)
      if (scheme.kind == kSchemeUser && !scheme.variables.empty()) {
        Status s = WriteSchemeSettings(scheme, list.installDir, prompter);
        if (!s && result) result = s;
      }
  return result;
}

void ReadSchemeSettingsText(Scheme& scheme, std::string bytes) {
  scheme.variables.clear();
  scheme.files.clear();
  scheme.customColours.fill(0);
  LineReader reader(std::move(bytes));
  std::string line;
  while (reader.Next(line)) {
    if (line.empty()) continue;
    if (line[0] == '%' || line[0] == '$') {
      // name,type,number,label,value: the value may itself hold commas.
      std::string_view rest(line);
      const std::size_t c1 = rest.find(',');
      if (c1 == std::string_view::npos) continue;
      const std::size_t c2 = rest.find(',', c1 + 1);
      if (c2 == std::string_view::npos) continue;
      const std::size_t c3 = rest.find(',', c2 + 1);
      if (c3 == std::string_view::npos) continue;
      const std::size_t c4 = rest.find(',', c3 + 1);
      StyleVariable v;
      v.name = Trimmed(rest.substr(0, c1));
      v.type = static_cast<std::uint16_t>(ParseDecimal(rest.substr(c1 + 1, c2 - c1 - 1)));
      v.number = ParseDecimal(rest.substr(c2 + 1, c3 - c2 - 1));
      if (c4 == std::string_view::npos) {
        v.label = Trimmed(rest.substr(c3 + 1));
      } else {
        v.label = Trimmed(rest.substr(c3 + 1, c4 - c3 - 1));
        std::string_view value = rest.substr(c4 + 1);
        while (!value.empty() && (value[0] == ' ' || value[0] == '\t')) value.remove_prefix(1);
        v.value = std::string(value);
      }
      scheme.variables.push_back(std::move(v));
    } else if (line[0] == '-') {
      StyleVariable v;
      v.label = line.substr(1);
      v.type = kStyleSeparator;
      scheme.variables.push_back(std::move(v));
    } else if (StartsWith(line, "CLR=")) {
      ReadCustomColours(scheme, std::string_view(line).substr(4));
    } else if (StartsWith(line, "F=")) {
      scheme.files.push_back(line.substr(2));
    }
  }
  scheme.loaded = true;
}

bool ReadSchemeSettings(Scheme& scheme, const std::string& installDir) {
  std::optional<std::string> bytes = ReadWholeFile(SchemeSettingsPath(installDir, scheme));
  if (!bytes) {
    // What the list file gave (numbered variables, "SCF=" files) stays.
    scheme.loaded = true;
    return false;
  }
  ReadSchemeSettingsText(scheme, std::move(*bytes));
  return true;
}

std::string SchemeSettingsText(const Scheme& scheme) {
  std::string out;
  if (!scheme.name.empty()) out += ";\n;SCHEMA : " + CleanField(scheme.name, false) + "\n";
  if (!scheme.preview.empty()) out += ";PREVIEW: " + CleanField(scheme.preview, false) + "\n;\n\n";
  for (const StyleVariable& v : scheme.variables) {
    if (v.type & kStyleSeparator) {
      out += "-" + CleanField(v.label, false) + "\n";
    } else {
      out += FormatText("%s,%i,%i,%s,%s\n", CleanField(v.name, true).c_str(), v.type, v.number,
                        CleanField(v.label, true).c_str(), CleanField(v.value, false).c_str());
    }
  }
  out += "CLR=";
  for (std::uint32_t colour : scheme.customColours)
    for (int byte = 0; byte < 4; ++byte) out += FormatText("%02X", (colour >> (8 * byte)) & 0xFF);
  out += "\n";
  for (const std::string& file : scheme.files) out += "F=" + CleanField(file, false) + "\n";
  return out;
}

Status WriteSchemeSettings(const Scheme& scheme, const std::string& installDir,
                           Prompter& prompter) {
  const std::string path = SchemeSettingsPath(installDir, scheme);
  if (!WriteFileAtomic(path, SchemeSettingsText(scheme))) {
    const std::string message = "ERROR W124: Unable to open template file '" + path + "'";
    prompter.Show(message, "Error", PromptIcon::Error);
    return Status::Error(ErrorKind::Io, message);
  }
  return Status::Ok();
}

void LookUpPictures(Scheme& scheme) {
  for (std::size_t slot = 0; slot < kPictureSlotNames.size(); ++slot) {
    scheme.pictures[slot].clear();
    for (const StyleVariable& v : scheme.variables)
      if (v.name == kPictureSlotNames[slot]) scheme.pictures[slot] = v.value;
  }
}

Scheme* MakeSchemeCurrent(SchemeList& list, Prompter& prompter) {
  if (!list.current || !list.At(*list.current)) {
    list.current.reset();
    for (std::size_t c = 0; c < list.categories.size() && !list.current; ++c)
      if (!list.categories[c].schemes.empty()) list.current = SchemeIndex{c, 0};
  }
  Scheme* scheme = list.current ? list.At(*list.current) : nullptr;
  if (!scheme) {
    prompter.Show(kNoSchemeMessage, "Error", PromptIcon::Error);
    return nullptr;
  }
  if (!scheme->loaded) ReadSchemeSettings(*scheme, list.installDir);
  LookUpPictures(*scheme);
  return scheme;
}

std::string SchemePath(const SchemeList& list, const SchemeIndex& at) {
  const StyleRef ref = SchemeStyleRef(list, at);
  return ref.group + "/" + ref.name;
}

StyleRef SchemeStyleRef(const SchemeList& list, const SchemeIndex& at) {
  const Scheme* scheme = list.At(at);
  if (!scheme) return {};
  return StyleRef{list.categories[at.category].name, scheme->name};
}

std::vector<StyleRef> SchemeStyleRefs(const SchemeList& list) {
  std::vector<StyleRef> refs;
  for (const StyleCategory& category : list.categories)
    for (const Scheme& scheme : category.schemes) refs.push_back({category.name, scheme.name});
  return refs;
}

std::optional<SchemeIndex> FindSchemeByLayout(const SchemeList& list, std::string layout) {
  ReplaceFirst(layout, "Sorvida", "Sorvidda");
  for (std::size_t c = 0; c < list.categories.size(); ++c) {
    const StyleCategory& category = list.categories[c];
    if (layout.size() <= category.name.size() || !StartsWith(layout, category.name)) continue;
    const std::string_view rest = std::string_view(layout).substr(category.name.size() + 1);
    for (std::size_t s = 0; s < category.schemes.size(); ++s)
      if (category.schemes[s].name == rest) return SchemeIndex{c, s};
  }
  return std::nullopt;
}

std::optional<SchemeIndex> FindScheme(const SchemeList& list, const StyleRef& ref) {
  for (std::size_t c = 0; c < list.categories.size(); ++c) {
    if (list.categories[c].name != ref.group) continue;
    const auto& schemes = list.categories[c].schemes;
    for (std::size_t s = 0; s < schemes.size(); ++s)
      if (schemes[s].name == ref.name) return SchemeIndex{c, s};
  }
  return std::nullopt;
}

Result<SchemeIndex> NewScheme(SchemeList& list, std::size_t category, Prompter& prompter) {
  if (category >= list.categories.size())
    return Status::Error(ErrorKind::InvalidArgument, "No style group chosen.");
  StyleCategory& group = list.categories[category];
  Scheme scheme;
  if (!group.schemes.empty()) {
    Scheme& last = group.schemes.back();
    if (!last.loaded) ReadSchemeSettings(last, list.installDir);
    scheme = last;
  }
  scheme.kind = kSchemeUser;
  scheme.installPath.clear();
  scheme.loaded = true;

  // The first "New Schema", "New Schema(1)", ... whose settings file is not on
  // disk and that no scheme of the same folder is called.
  auto taken = [&](const std::string& name) {
    for (const StyleCategory& c : list.categories)
      for (const Scheme& s : c.schemes)
        if (s.folder == scheme.folder && s.name == name) return true;
    return false;
  };
  std::string path;
  for (int n = 0;; ++n) {
    if (n > 100000) return Status::Error(ErrorKind::Io, "No free name for a new scheme.");
    scheme.name = n == 0 ? "New Schema" : UniqueFileName("New Schema", n);
    path = SchemeSettingsPath(list.installDir, scheme);
    if (!FileExists(path) && !taken(scheme.name)) break;
  }
  LookUpPictures(scheme);
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  Status written = WriteSchemeSettings(scheme, list.installDir, prompter);
  if (!written) return written;
  group.schemes.push_back(std::move(scheme));
  return SchemeIndex{category, group.schemes.size() - 1};
}

std::string ColourText(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  return FormatText("#%02X%02X%02X", red, green, blue);
}

}  // namespace tolmi
