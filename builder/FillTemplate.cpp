#include "builder/FillTemplate.h"
#include "builder/UserVariables.h"

#include <ctime>

#include "builder/StoreIndex.h"
#include "schemes/TemplateInstall.h"
#include "util/Files.h"
#include "util/Html.h"
#include "util/Strings.h"
#include "util/Version.h"

namespace tolmi {

const char* const kReservedVariableNames =
    "$SHELF,$BODY,$OPTIONS1,$OPTIONS2,$OPTIONNAME1,$OPTIONNAME2,$DESCRIPTION,$PAGETITLE,$MESSAGE,"
    "$KEYWORDS,$UPDATED,$MODE,$INDEX,$BACK,$HOMELINK,$HOMETITLE,$PRODUCT,$PRODUCTS,$PRODUCT2,"
    "$PRODUCTS2,$SUBINDEX,$URL,$USER,$META_TITLE,$META_DESCRIPTION,$META_KEYWORDS,$FILENAME,"
    "$BUTTON_ADD,$BUTTON_REMOVE,$BUTTON_BACK,$BULLET_A,$BULLET_O,$BULLET_F,$BULLET_G,$ADD2,"
    "$REMOVE2,$ADD,$REMOVE,$COST,$CODE,$FREIGHT,$WEIGHT,$PRICE,$TOLMI_SERVER,$IMAGE,$LINK,$TITLE,"
    "$VERSION,$_VERSION,$_PRODUCT,$FRAME,$ITEM,$CONFIRM,$F1,$F2,$F3,$F4,$F5,$F6,$FIELD1,$FIELD2,"
    "$FIELD3,$FIELD4,$FIELD5,$FIELD6,$LABEL1,$LABEL2,$LABEL3,$LABEL4,$LABEL5,$LABEL6,";

const char* const kOptionScript =
    "<SCRIPT>function f$FNC(){var option1; if (document.form$FNC.OPTION1.type == \"select-one\")"
    "   option1=document.form$FNC.OPTION1[document.form$FNC.OPTION1.selectedIndex].value;else "
    "option1=document.form$FNC.OPTION1.value; var option2; if (document.form$FNC.OPTION2.type == "
    "\"select-one\")   "
    "option2=document.form$FNC.OPTION2[document.form$FNC.OPTION2.selectedIndex].value;else "
    "option2=document.form$FNC.OPTION2.value; $ADD2;}</SCRIPT>";

namespace {

// Nested product blocks deeper than this are left unfilled (a value that brings
// its own blocks back cannot make the fill endless).
constexpr int kMaxBlockDepth = 8;
constexpr int kMaxBlocksPerCall = 1000;
constexpr std::size_t kMaxBlockContent = 39999;

bool Contains(std::string_view text, std::string_view sub) {
  return FindExact(text, sub) != kNotFound;
}

bool IsShelfOrList(const StoreNode* node) {
  return node && (node->kind == NodeKind::Shelf || node->kind == NodeKind::List);
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Leading decimal digits at pos (at most nine); 0 when none. `end` gets the first non-digit.
long long ReadNumber(std::string_view text, std::size_t pos, std::size_t* end) {
  long long n = 0;
  std::size_t i = pos;
  while (i < text.size() && IsDigit(text[i])) {
    if (i - pos < 9) n = n * 10 + (text[i] - '0');
    ++i;
  }
  if (end) *end = i;
  return n;
}

std::string BodyText(const BuildSession& session, const StoreNode& node) {
  std::string body = node.body;
  if (session.project.settings.crlf) {
    ReplaceAll(body, "\r\n", "<br>");
    ReplaceAll(body, "\r", "<br>");
    ReplaceAll(body, "\n", "<br>");
  }
  return body;
}

std::string UpdatedText(const BuildSession& session) {
  std::time_t t = session.walkTime ? *session.walkTime
                 : session.now    ? session.now()
                                  : std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  int year = tm.tm_year;
  if (year > 99) year -= 100;
  return FormatText("%02i/%02i/%02i %02i:%02i:%02i", tm.tm_mon + 1, tm.tm_mday, year, tm.tm_hour,
                    tm.tm_min, tm.tm_sec);
}

std::string DescriptionValue(const StoreNode& item) {
  if (!item.desc.empty()) return item.desc;
  if (item.pagePresent || !item.page.empty()) return item.page;  // present, even empty
  return item.title;
}

std::string StripTags(std::string text) {
  HtmlStripTags(text);
  return text;
}

void BodyRule(BuildSession& session, std::string& text, StoreNode& item) {
  long long limit = 0;
  std::size_t from = 0;
  for (int time = 0; time < 3; ++time) {
    std::size_t p = FindExact(text, "$BODY", from);
    if (p == kNotFound) break;
    std::size_t after = p + 5;
    if (after < text.size() && text[after] == '(') {
      std::size_t close = text.find(')', after);
      if (close != std::string::npos) {
        limit = ReadNumber(text, after + 1, nullptr);
        text.erase(after, close - after + 1);
      }
    }
    std::size_t inserted;
    if (after < text.size() && IsDigit(text[after])) {
      std::size_t end;
      long long k = ReadNumber(text, after, &end);
      std::string name = text.substr(p, end - p);
      const StoreNode* node = FindItem(item, k);
      std::string value = node ? BodyText(session, *node) : std::string();
      inserted = StrReplaceFirst(text, name, value, 0);
    } else {
      std::string value = BodyText(session, item);
      if (limit > 0 && value.size() > static_cast<std::size_t>(limit)) value.resize(limit);
      inserted = StrReplaceFirst(text, "$BODY", value, 0);
    }
    if (inserted == kNotFound) break;
    from = inserted;
  }
}

void CartCalls(BuildSession& session, std::string& text, StoreNode& item, const StoreNode& page) {
  if (Contains(text, "$ADD") || Contains(text, "$BUY")) {
    if (FindNoCase(text, "option1") != kNotFound) {
      if (!IsShelfOrList(&item)) text += kOptionScript;
    } else {
      ReplaceAll(text, "$BUY", "javascript:$_ADD");
      ReplaceAll(text, "$ADD", "javascript:$_ADD");
    }
  }
  if (!(Contains(text, "$BUY") || Contains(text, "$ADD") || Contains(text, "$REMOVE") ||
        Contains(text, "$_ADD")))
    return;
  ReplaceAll(text, "$REMOVE2", "removeItem('" + item.code + "')");
  const StoreNode* parent = ParentNode(item);
  std::string pageFile = IsShelfOrList(parent) ? parent->file : item.file;
  std::string code = item.code;
  std::erase(code, '\'');
  std::erase(code, '"');
  std::string name = StripTags(item.title);
  UrlEncode(name);
  for (char& c : name)
    if (c == '+') c = ' ';
  StrTrimSpaces(name);
  std::string tax = item.tax.empty() ? "0" : item.tax;
  if (std::size_t pct = tax.find('%'); pct != std::string::npos) tax.erase(pct, 1);
  std::string add = "addItem('" + pageFile + "','" + code + "','" + name + "','" +
                    (item.cost.empty() ? "0.00" : item.cost) + "','" +
                    PublishedImagePath(item.image, session.options.lowerCase) + "',1," +
                    (item.weight.empty() ? "0" : item.weight) + "," +
                    (item.freight.empty() ? "0" : item.freight) + "," + tax + ",option1,option2)";
  ReplaceAll(text, "$BUY2", add);
  ReplaceAll(text, "$ADD2", add);
  ReplaceFirst(add, "option1,option2", "'',''");
  ReplaceAll(text, "$_ADD", add);
  ReplaceAll(text, "$ADD", "javascript:f$FNC();");
  ReplaceAll(text, "$BUY", "javascript:f$FNC();");
  ReplaceAll(text, "$REMOVE", "javascript:removeItem('$CODE')");
  if (item.kind == NodeKind::Product && item.code.empty())
    session.log.Error("error: " + page.file + ": no product code");
}

// "$IMAGE" or "$LINK": a numbered form names an item below, the plain form the item.
void ImageAndLinkRule(BuildSession& session, std::string& text, StoreNode& item,
                      std::string_view variable, std::string StoreNode::*field) {
  std::size_t from = 0;
  for (int time = 0; time < 3; ++time) {
    std::size_t p = FindExact(text, variable, from);
    if (p == kNotFound) break;
    std::size_t after = p + variable.size();
    if (after < text.size() && IsDigit(text[after])) {
      std::size_t end;
      long long k = ReadNumber(text, after, &end);
      const StoreNode* node = FindItem(item, k);
      ReplaceOrDropTag(text, text.substr(p, end - p), node ? node->*field : std::string(), true,
                       session.options.lowerCase);
    } else {
      ReplaceOrDropTag(text, variable, item.*field, true, session.options.lowerCase);
    }
    from = p;
  }
}

void SearchBlock(BuildSession& session, std::string& text) {
  if (session.project.settings.search) {
    ReplaceFirst(text, "$SEARCHID", session.options.searchId);
    std::string url = session.options.orderServer.empty() ? session.options.defaultServerHost
                                                          : session.options.orderServer;
    if (url.empty() || url.back() != '/') url += '/';
    ReplaceFirstNoCase(url, "https:", "http:");
    url += "search";
    ReplaceFirst(text, "$SEARCHURL", url);
    ReplaceFirstNoCase(text, "<SEARCH>", "");
    ReplaceFirstNoCase(text, "</SEARCH>", "");
    return;
  }
  std::size_t open = FindNoCase(text, "<SEARCH>");
  if (open == kNotFound) return;
  std::size_t close = FindNoCase(text, "</SEARCH>", open);
  if (close == kNotFound) return;
  text.erase(open, close + 9 - open);
}

void FieldRule(BuildSession& session, std::string& text, StoreNode& item) {
  int n = 0;
  for (int i = 0; i < 6; ++i)
    n += ReplaceOrDropTag(text, "$F" + std::to_string(i + 1), item.fields[i], false, false);
  for (int i = 0; i < 6; ++i)
    n += ReplaceOrDropTag(text, "$FIELD" + std::to_string(i + 1), item.fields[i], false, false);
  for (int i = 0; i < 6; ++i)
    n += ReplaceOrDropTag(text, "$LABEL" + std::to_string(i + 1), item.labels[i], false, false);
  (void)session;
  const StoreNode* parent = ParentNode(item);
  if (n == 0 && !(parent && parent->kind == NodeKind::Shelf)) {
    std::size_t open = FindNoCase(text, "<USER>");
    if (open != kNotFound) {
      std::size_t close = FindNoCase(text, "</USER>", open);
      if (close != kNotFound) text.erase(open, close + 7 - open);
    }
  }
  ReplaceFirstNoCase(text, "<USER>", "");
  ReplaceFirstNoCase(text, "</USER>", "");
}

void Options(std::string& text, const std::vector<std::string>& options, const char* variable,
             const char* selectName) {
  if (!options.empty()) {
    std::string select = std::string("<SELECT NAME=\"") + selectName + "\">";
    for (const std::string& option : options)
      select += "<OPTION value=\"" + option + "\">" + option;
    select += "</SELECT>";
    ReplaceFirst(text, variable, select);
  } else {
    ReplaceAll(text, variable, std::string("<INPUT NAME=") + selectName + " TYPE=HIDDEN>");
  }
}

std::string BulletValue(const BuildSession& session, const std::string& picture) {
  if (!session.project.settings.hasBullets) return {};
  if (picture.find('<') != std::string::npos) return picture;
  return "<img src=\"" + FileNamePart(picture) + "\" align=top>";
}

bool FillPass(BuildSession& session, std::string& text, StoreNode& item, const StoreNode& page,
              int sequence, bool firstPass) {
  const StoreSettings& settings = session.project.settings;
  const std::string modeText = settings.cartOnScreen ? "0" : "1";
  auto pageTitle = [&] { ReplaceUpTo(text, "$PAGETITLE", item.page, 4); };
  auto storeTitle = [&] { ReplaceUpTo(text, "$STORETITLE", settings.storeTitle, 4); };
  auto description = [&] { ReplaceUpTo(text, "$DESCRIPTION", DescriptionValue(item), 4); };
  auto keywords = [&] { ReplaceUpTo(text, "$KEYWORDS", item.keywords, 4); };

  ExpandIncludes(session, text, item);             // 1
  ExpandProductBlocks(session, text, item, page);  // 2
  storeTitle();                                    // 3
  ExpandIncludes(session, text, item);             // 4
  pageTitle();                                     // 5
  BodyRule(session, text, item);                   // 6
  ExpandIncludes(session, text, item);             // 7
  ExpandProductBlocks(session, text, item, page);
  description();                                                                         // 8
  keywords();                                                                            // 9
  ReplaceAll(text, "$MODE", modeText);                                                   // 10
  if (Contains(text, "$UPDATED")) ReplaceFirst(text, "$UPDATED", UpdatedText(session));  // 11
  ApplyGlobalVariables(session, text);                                                   // 12
  if (Contains(text, "$META_TITLE"))                                                     // 13
    ReplaceUpTo(text, "$META_TITLE", StripTags(item.page.empty() ? item.title : item.page), 4);
  if (Contains(text, "$META_DESCRIPTION"))  // 14
    ReplaceUpTo(text, "$META_DESCRIPTION", StripTags(DescriptionValue(item)), 4);
  ReplaceUpTo(text, "$META_KEYWORDS", item.keywords, 4);  // 15
  storeTitle();                                           // 16
  pageTitle();
  BodyRule(session, text, item);
  description();
  keywords();
  const StoreNode* root = RootNode(session.project);  // 17, 18
  ReplaceOrDropTag(text, "$HOMELINK", root ? WebFile(root->file) : std::string(), false, false);
  ReplaceUpTo(text, "$HOMETITLE", root ? root->title : std::string(), 4);
  if (Contains(text, "$UPDATED")) ReplaceFirst(text, "$UPDATED", UpdatedText(session));  // 19
  ReplaceAll(text, "$MODE", modeText);
  Scheme* scheme = session.CurrentScheme();  // 20
  if (!scheme) return false;
  const StoreNode* parent = ParentNode(item);  // 21
  ReplaceUpTo(text, "$FILENAME", IsShelfOrList(parent) ? parent->file : item.file, 4);
  ReplaceUpTo(text, "$BUTTON_ADD", FileNamePart(scheme->pictures[kButtonAdd]), 4);  // 22
  ReplaceUpTo(text, "$BUTTON_REMOVE", FileNamePart(scheme->pictures[kButtonRemove]), 4);
  ReplaceUpTo(text, "$BUTTON_BACK", FileNamePart(scheme->pictures[kButtonBack]), 4);
  ReplaceAll(text, "$BULLET_A", BulletValue(session, scheme->pictures[kBulletA]));  // 23
  ReplaceAll(text, "$BULLET_O", BulletValue(session, scheme->pictures[kBulletO]));
  ReplaceAll(text, "$BULLET_F", BulletValue(session, scheme->pictures[kBulletF]));
  ReplaceAll(text, "$BULLET_G", BulletValue(session, scheme->pictures[kBulletG]));
  CartCalls(session, text, item, page);  // 24
  ReplaceAll(text, "$COST", item.cost);  // 25
  ReplaceAll(text, "$CODE", item.code);
  ReplaceAll(text, "$FREIGHT", item.freight);
  ReplaceAll(text, "$WEIGHT", item.weight);
  ReplaceAll(text, "$TAX", item.tax);
  ReplaceAll(text, "$PRICE", item.cost.empty() ? std::string("0") : item.cost);
  if (Contains(text, "$TOLMI_SERVER")) {  // 26
    if (session.options.orderServer.empty())
      session.log.Error("error: Tolmi Server must be defined in preferences!");
    ReplaceAll(text, "$TOLMI_SERVER", session.options.orderServer);
  }
  ImageAndLinkRule(session, text, item, "$IMAGE", &StoreNode::image);  // 27
  ImageAndLinkRule(session, text, item, "$LINK", &StoreNode::link);
  SearchBlock(session, text);                                                   // 28
  FieldRule(session, text, item);                                               // 29
  ReplaceUpTo(text, "$TITLE", item.title.empty() ? item.page : item.title, 4);  // 30
  ReplaceAll(text, "$VERSION", MajorVersionText());                             // 31
  ReplaceAll(text, "$_VERSION", MajorVersionText());
  ReplaceAll(text, "$_PRODUCT", kProductName);
  if (firstPass) ReplaceAll(text, "parent.shopregister.", "");                    // 32
  ReplaceAll(text, "$FRAME", session.options.frameText.value_or(std::string()));  // 33
  ReplaceAll(text, "$MODE", modeText);                                            // 34
  ReplaceAll(text, "$OPTIONNAME1",                                                // 35
             item.options1.empty() ? std::string() : item.optionLabel1.value_or(std::string()));
  ReplaceAll(text, "$OPTIONNAME2",
             item.options2.empty() ? std::string() : item.optionLabel2.value_or(std::string()));
  Options(text, item.options1, "$OPTION1", "OPTION1");  // 36
  Options(text, item.options2, "$OPTION2", "OPTION2");
  ReplaceAll(text, "$FNC", std::to_string(sequence));  // 37
  return true;
}

}  // namespace

std::string MajorVersionText() {
  return std::to_string(AppVersion().major);
}
std::string MinorVersionText() {
  return std::to_string(AppVersion().minor);
}

int ReplaceUpTo(std::string& text, std::string_view name, std::string_view value, int limit) {
  if (name.empty()) return 0;
  // Searching again from the start finds nothing before the last replaced place
  // (minus the name's length), so the search may start there: same result, no rescans.
  std::size_t from = 0;
  int count = 0;
  while (count < limit) {
    std::size_t p = FindExact(text, name, from);
    if (p == kNotFound) break;
    text.replace(p, name.size(), value);
    ++count;
    from = p >= name.size() - 1 ? p - (name.size() - 1) : 0;
  }
  return count;
}

void ApplyGlobalVariables(std::string& text, const StoreProject& project,
                          std::string_view orderUser) {
  const std::string& currency = project.settings.currency;
  ReplaceAll(text, "$CURRENCY2", currency == "\\" ? std::string("\\\\") : currency);
  ReplaceAll(text, "$CURRENCY", currency);
  for (const StoreVariable& variable : project.variables)
    ReplaceUpTo(text, variable.name, variable.value, 101);
  if (Contains(text, "$POSTCODE")) {
    std::string zip;
    for (const StoreVariable& variable : project.variables)
      if (variable.name == "$ZIP") {
        zip = variable.value;
        break;
      }
    ReplaceAll(text, "$POSTCODE", zip);
  }
  ReplaceUpTo(text, "$USER", orderUser.empty() ? std::string_view("VC1000") : orderUser, 4);
  ReplaceAll(text, "$VERSION", MajorVersionText());
  ReplaceAll(text, "$_VERSION", MajorVersionText());
}

void ApplyGlobalVariables(BuildSession& session, std::string& text) {
  ApplyGlobalVariables(text, session.project, session.options.orderUser);
}

bool FillTemplate(BuildSession& session, std::string& text, StoreNode& item, const StoreNode& page,
                  int sequence) {
  if (!FillPass(session, text, item, page, sequence, true)) return false;
  return FillPass(session, text, item, page, sequence, false);
}

void ExpandIncludes(BuildSession& session, std::string& text, const StoreNode& item) {
  std::size_t from = 0;
  for (int count = 0; count < 100; ++count) {
    std::size_t p = FindNoCase(text, "%FILE=", from);
    if (p == kNotFound) break;
    std::size_t end = text.find('%', p + 6);
    if (end == std::string::npos) break;
    std::string name = text.substr(p + 6, std::min<std::size_t>(end - (p + 6), 256));
    std::optional<std::string> content =
        name.empty() ? std::nullopt : ReadWholeFile(session.InstallPath(name));
    if (!content) session.log.AddLine("error: " + item.file + ": File not found '" + name + "'");
    // No "%FILE=" lies before p, so the first occurrence of this tag is the one at p.
    text.replace(p, end + 1 - p, content ? *content : std::string());
    from = p;
  }
}

void ExpandProductBlocks(BuildSession& session, std::string& text, StoreNode& item,
                         const StoreNode& page) {
  if (EqualsNoCase(item.file, "tolmi.tpl")) return;
  // Every search below finds the first occurrence in the whole text. Text before the
  // place a round changes stays as it was, so the next search may start just before
  // that place (a name may now straddle it) instead of at the start: no rescans.
  constexpr std::string_view kOpen = "<PRODUCT";
  constexpr std::string_view kPlace = "$SHELF";
  std::size_t openFrom = 0;   // no opening tag starts before this
  std::size_t placeFrom = 0;  // no "$SHELF" starts before this
  bool noClose = false;       // no end tag after any opening tag that is left
  auto changedAt = [&](std::size_t at) {
    openFrom = std::min(openFrom, at >= kOpen.size() - 1 ? at - (kOpen.size() - 1) : 0);
    placeFrom = std::min(placeFrom, at >= kPlace.size() - 1 ? at - (kPlace.size() - 1) : 0);
  };
  int n = 0;
  for (int round = 0; round < kMaxBlocksPerCall; ++round) {
    std::size_t p = FindNoCase(text, kOpen, openFrom);
    if (p == kNotFound) break;
    openFrom = p;
    std::size_t digitsEnd;
    long long k = ReadNumber(text, p + 8, &digitsEnd);
    // Only tags without an end are dropped once no end is found, so none turns up later.
    std::size_t close = noClose ? kNotFound : FindNoCase(text, "</PRODUCT", p + 8);
    if (close == kNotFound) {
      noClose = true;
      // An opening tag without its end: the tag alone is dropped.
      std::size_t gt = text.find('>', p);
      text.erase(p, gt == std::string::npos ? 8 : gt + 1 - p);
      changedAt(p);
      continue;
    }
    std::size_t closeEnd = text.find('>', close);
    closeEnd = closeEnd == std::string::npos ? text.size() : closeEnd + 1;
    StoreNode* found = session.blockDepth < kMaxBlockDepth ? FindItem(item, k) : nullptr;
    if (!found) {
      text.erase(p, closeEnd - p);
      changedAt(p);
      continue;
    }
    std::size_t openEnd = text.find('>', p);
    std::string content;
    if (openEnd != std::string::npos && openEnd < close)
      content = text.substr(openEnd + 1, std::min(close - openEnd - 1, kMaxBlockContent));
    text.replace(p, closeEnd - p, kPlace);
    changedAt(p);
    ++n;
    ++session.blockDepth;
    bool filled = FillTemplate(session, content, *found, page, n);
    --session.blockDepth;
    if (filled) {
      if (Scheme* scheme = session.CurrentScheme())
        ApplyStyleVariables(content, *scheme, session.project.settings.has3dCart);
      WriteIndexLine(session, *found);
    }
    // The first "$SHELF" of the text: the one just placed, unless the text had one before.
    std::size_t place = FindExact(text, kPlace, placeFrom);
    if (place != kNotFound) {
      text.replace(place, kPlace.size(), content);
      placeFrom = place;
      changedAt(place);
    }
  }
}

bool ReplaceOrDropTag(std::string& text, std::string_view variable, std::string_view value,
                      bool publishedPath, bool lowerCase) {
  if (variable.empty() || FindExact(text, variable) == kNotFound) return false;
  if (!value.empty()) {
    ReplaceAll(text, variable,
               publishedPath ? PublishedImagePath(value, lowerCase) : std::string(value));
    return true;
  }
  std::size_t from = 0;
  std::size_t p;
  while ((p = FindExact(text, variable, from)) != kNotFound) {
    std::size_t start = p;
    bool wholeTag = true;
    for (std::size_t q = p; q > 0;) {
      --q;
      if (text[q] == '>') {
        wholeTag = false;
        break;
      }
      if (text[q] == '<') {
        start = q;
        break;
      }
      if (q == 0) start = 0;
    }
    if (p == 0) start = 0;
    std::size_t gt = wholeTag ? text.find('>', p + variable.size()) : std::string::npos;
    if (wholeTag && gt != std::string::npos) {
      text.erase(start, gt + 1 - start);
    } else {
      start = p;
      text.erase(p, variable.size());
    }
    from = start >= variable.size() ? start - variable.size() + 1 : 0;
  }
  return true;
}

StoreNode* FindItem(const StoreNode& node, long long k) {
  if (k <= 0 || static_cast<unsigned long long>(k) > node.children.size()) return nullptr;
  StoreNode* reached = node.children[static_cast<std::size_t>(k - 1)].get();
  while (reached->kind == NodeKind::Category || reached->kind == NodeKind::Shelf ||
         reached->kind == NodeKind::List) {
    if (reached->children.empty()) return nullptr;
    reached = reached->children.front().get();
  }
  while (reached && reached->status < 0) reached = NextSibling(*reached);
  return reached;
}

std::string PublishedImagePath(std::string_view path, bool lowerCase) {
  if (path.empty() || path.find("//") != std::string_view::npos) return std::string(path);
  std::string p(path.substr(0, 512));
  for (char& c : p)
    if (c == '\\') c = '/';
  std::size_t slash = p.rfind('/');
  std::string result = "img/" + (slash == std::string::npos ? p : p.substr(slash + 1));
  return lowerCase ? ToLowerAscii(result) : result;
}

int CheckUserVariableNames(BuildSession& session) {
  int illegal = 0;
  for (const StoreVariable& variable : session.project.variables) {
    if (IsIllegalVariableName(variable.name)) {
      session.log.Error("error: " + variable.name + ": illegal variable name");
      ++illegal;
    }
  }
  return illegal;
}

}  // namespace tolmi
