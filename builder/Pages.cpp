#include "builder/Pages.h"

#include "builder/BuildDriver.h"
#include "builder/FillTemplate.h"
#include "builder/StoreIndex.h"
#include "schemes/TemplateInstall.h"
#include "util/Files.h"
#include "util/Paths.h"
#include "util/Strings.h"

namespace tolmi {
namespace {

bool IsShelfOrList(const StoreNode* node) {
  return node && (node->kind == NodeKind::Shelf || node->kind == NodeKind::List);
}

const std::string& Picture(const BuildSession& session, int slot) {
  static const std::string empty;
  Scheme* scheme = session.schemes.current ? session.schemes.At(*session.schemes.current) : nullptr;
  if (!scheme) return empty;
  bool none = true;
  for (const std::string& picture : scheme->pictures) none = none && picture.empty();
  // A walk's scheme had its pictures looked up before the walk (and is shared by its
  // threads, so it is only read).
  if (none && !session.walkScheme) LookUpPictures(*scheme);
  return scheme->pictures[slot];
}

std::string Bullet(const BuildSession& session, int slot) {
  return FileNamePart(Picture(session, slot));
}

bool Listed(const BuildSession& session, const StoreNode* node) {
  auto it = session.listedMark.find(node);
  return it != session.listedMark.end() && it->second == session.visitMark;
}

void Mark(BuildSession& session, const StoreNode* node) {
  session.listedMark[node] = session.visitMark;
}

const StoreNode* FirstSibling(const BuildSession& session, const StoreNode& node) {
  const StoreNode* parent = ParentNode(node);
  const StoreNode& holder = parent ? *parent : session.project.top();
  return holder.children.empty() ? &node : holder.children.front().get();
}

// Lists siblings from `first` on, as the classic index does.
void ListSiblings(BuildSession& session, std::string& rows, const StoreNode* first,
                  const StoreNode& node, const StoreNode* marked) {
  for (const StoreNode* s = first; s; s = NextSibling(*s)) {
    if (Listed(session, s) || s->status == kStatusDisabled) continue;
    if (s == &node)
      rows += IndexRow(session, Bullet(session, kBulletO), WebFile(s->file), s->title, 1, 1);
    else
      rows +=
          IndexRow(session, Bullet(session, s->kind == NodeKind::Category ? kBulletF : kBulletG),
                   WebFile(s->file), s->title, 0, s == marked ? 1 : 0);
    Mark(session, s);
  }
}

// The page template of a name; during a build's walk each is read only once.
std::optional<std::string> PageTemplate(BuildSession& session, const std::string& name,
                                        const Scheme* scheme) {
  if (!session.walking) return LoadPageTemplate(session.ProjectTemplatePath(name), scheme);
  auto [at, added] = session.pageTemplates.try_emplace(name);
  if (added) at->second = LoadPageTemplate(session.ProjectTemplatePath(name), scheme);
  return at->second;
}

}  // namespace

std::string IndexRow(const BuildSession& session, std::string_view bullet, std::string_view link,
                     std::string_view item, int subIndex, int cls, bool external) {
  std::string row = "<tr><td valign=top width=5%>";
  if (session.project.settings.hasBullets)
    row += (!bullet.empty() && bullet.find('>') == std::string_view::npos) ? "<img src=\"$IMAGE\">"
                                                                           : "$IMAGE";
  row += external ? "</td><td class=$C><a href=\"$LINK\" target=_blank>$ITEM</a>"
                  : "</td><td class=$C><a href=\"$LINK\">$ITEM</a>";
  std::string linkText(link);
  if (session.options.lowerCase) {
    std::size_t slash = linkText.rfind('/');
    std::size_t from = slash == std::string::npos ? 0 : slash;
    for (std::size_t i = from; i < linkText.size(); ++i) linkText[i] = AsciiLower(linkText[i]);
  }
  // Each value goes into its own slot; a value holding another slot's name stays as it is.
  std::size_t p = row.find("$IMAGE");
  if (p != std::string::npos) row.replace(p, 6, bullet);
  p = row.find("$LINK", p == std::string::npos ? 0 : p + bullet.size());
  if (p != std::string::npos) row.replace(p, 5, linkText);
  p = row.find("$ITEM", p == std::string::npos ? 0 : p + linkText.size());
  if (p != std::string::npos) row.replace(p, 5, item);
  p = row.find("$C", 0);
  // The class slot sits before the link; find it in the fixed part.
  std::size_t td = row.find("<td class=$C>");
  if (td != std::string::npos) row.replace(td + 10, 2, cls == 1 ? "b" : cls == 2 ? "pl" : "m");
  (void)p;
  if (subIndex == 1) row += "$SUBINDEX";
  if (subIndex == 2) row += "<br>$SUBINDEX";
  row += "</td></tr>\n";
  return row;
}

void NavigationIndex(BuildSession& session, std::string& text, const StoreNode& node,
                     const StoreNode& pageNode) {
  const StoreNode* parent = ParentNode(node);
  const StoreNode* anchor;
  const StoreNode* marked = nullptr;
  if (!node.children.empty() && !IsShelfOrList(&node)) {
    anchor = &node;
  } else {
    marked = parent;
    anchor = parent ? parent : &node;
  }
  if (text.find("$INDEX") != std::string::npos) {
    const StoreNode* previous = PreviousSibling(node);
    std::string back = previous ? WebFile(previous->file)
                       : parent ? WebFile(parent->file)
                                : node.file;
    ReplaceAll(text, "$BACK", back);
    const StoreNode* root = RootNode(session.project);
    std::string index;
    if (session.project.settings.navStyle != 1) {
      anchor = FirstSibling(session, *anchor);
      index = "<table width=100%>";
      if (const StoreNode* up = ParentNode(*anchor))
        index += IndexRow(session, Bullet(session, kBulletA), up->file, up->title, 0, 0);
      if (!(anchor == &node && node.kind != NodeKind::Category && &node != root))
        ListSiblings(session, index, anchor, node, marked);
      if (parent && !marked)
        ListSiblings(session, index, FirstSibling(session, node), node, marked);
    } else {
      if (anchor->kind != NodeKind::Category) anchor = FirstSibling(session, *anchor);
      std::string rows;
      if (!parent) {
        for (const auto& t : session.project.top().children) {
          if (t->status < 0) continue;
          if (t.get() == &node)
            rows += IndexRow(session, Bullet(session, kBulletO), WebFile(t->file), t->title,
                             t->children.empty() ? 1 : 2, 1);
          else
            rows += IndexRow(session, Bullet(session, kBulletG), WebFile(t->file), t->title, 0, 0);
        }
      } else {
        bool self = anchor == &node;
        int bullet = self ? kBulletO : anchor->kind == NodeKind::Category ? kBulletF : kBulletG;
        rows = IndexRow(session, Bullet(session, bullet), WebFile(anchor->file), anchor->title,
                        anchor->children.empty() ? 1 : 2, self ? 1 : 0);
        if (anchor == root) {
          for (const StoreNode* s = NextSibling(*anchor); s; s = NextSibling(*s)) {
            if (s->status == kStatusDisabled) continue;
            rows += IndexRow(session, Bullet(session, s == &node ? kBulletO : kBulletF), s->file,
                             s->title, 0, 0);
          }
        } else {
          for (const StoreNode* a = parent; a; a = ParentNode(*a)) {
            if (a == anchor) continue;
            rows = IndexRow(session, Bullet(session, kBulletA), a->file, a->title, 0, 0) + rows;
          }
        }
      }
      index = "<table width=100% class=mi>" + rows;
    }
    if (session.options.otherStores && !session.options.storeDirectoryAddress.empty()) {
      index += "<tr><td><br></td><td><br></td></tr><tr>";
      index += IndexRow(session, Bullet(session, kBulletA), session.options.storeDirectoryAddress,
                        "Other Stores", 0, 0, true);
    }
    index += "</table>\n";
    ReplaceAll(text, "$INDEX", index);
  }
  // The sub-index.
  const StoreNode* listFrom = nullptr;
  if (marked && marked->kind == NodeKind::Category && !marked->children.empty())
    listFrom = marked;
  else if (node.kind == NodeKind::Category && !node.children.empty())
    listFrom = &node;
  std::string rows;
  if (listFrom) {
    for (const auto& child : listFrom->children) {
      const StoreNode* c = child.get();
      if (Listed(session, c) || c->status == kStatusDisabled) continue;
      if (c == &pageNode)
        rows += IndexRow(session, Bullet(session, kBulletO), WebFile(c->file), c->title, 0, 1);
      else
        rows +=
            IndexRow(session, Bullet(session, c->kind == NodeKind::Category ? kBulletF : kBulletG),
                     WebFile(c->file), c->title, 0, 0);
      Mark(session, c);
    }
  }
  ReplaceAll(text, "$SUBINDEX",
             rows.empty() ? std::string() : "<table class=mb width=100%>" + rows + "</table>");
}

void CategoryLists(BuildSession& session, std::string& text, const StoreNode& node) {
  const bool bullets = session.project.settings.hasBullets;
  if (FindNoCase(text, "%CategoryList2%") != kNotFound) {
    std::size_t split = (node.children.size() + 1) / 2;
    std::string list = "<table width=100% border=0 cellspacing=1><tr><td valign=top><font size=-1>";
    std::size_t i = 0;
    for (const auto& child : node.children) {
      if (child->status < -1) continue;
      if (i == split) list += "</td><td valign=top><font size=-1>";
      if (bullets) {
        const std::string& picture =
            Picture(session, child->kind == NodeKind::Category ? kBulletF : kBulletG);
        list += picture.find('<') != std::string::npos
                    ? picture
                    : "<img src=\"" + FileNamePart(picture) + "\" align=top>";
      }
      list += " <a href=\"" + WebFile(child->file) + "\">" + child->title + "</a><br>\n";
      ++i;
    }
    list += "</td></tr></table>\n";
    ReplaceAllNoCase(text, "%CategoryList2%", list);
  }
  if (FindNoCase(text, "%CategoryList%") != kNotFound) {
    std::string list = "<table>";
    for (const auto& child : node.children) {
      if (child->status < -1) continue;
      list += IndexRow(session,
                       Bullet(session, child->kind == NodeKind::Category ? kBulletF : kBulletG),
                       WebFile(child->file), child->title, 0, 2);
    }
    list += "</table>\n";
    ReplaceAllNoCase(text, "%CategoryList%", list);
  }
}

bool ExpandShelfBlock(BuildSession& session, std::string& text, StoreNode& node,
                      const StoreNode& pageNode) {
  if (!IsShelfOrList(&node) || EqualsNoCase(node.file, "tolmi.tpl")) return true;
  std::size_t open = FindNoCase(text, "<SHELF>");
  std::size_t close = open == kNotFound ? kNotFound : FindNoCase(text, "</SHELF>", open);
  if (close == kNotFound) {
    session.log.Error("error: " + node.file + ": Invalid or Missing <SHELF>..</SHELF> block.");
    return false;
  }
  std::string itemTemplate = text.substr(open + 7, std::min<std::size_t>(close - open - 7, 39999));
  text.replace(open, close + 8 - open, "$SHELF");
  Scheme* scheme = session.CurrentScheme();
  std::string list;
  int n = 0;
  for (const auto& child : node.children) {
    if (child->status < 0) continue;
    ++n;
    std::string copy = itemTemplate;
    if (!FillTemplate(session, copy, *child, pageNode, n)) continue;
    if (scheme) ApplyStyleVariables(copy, *scheme, session.project.settings.has3dCart);
    CopyNodeFiles(session, *child, pageNode);
    WriteIndexLine(session, *child);
    list += copy;
  }
  ReplaceFirst(text, "$SHELF", list);
  return true;
}

std::string RemoveComments(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t from = 0;
  while (true) {
    std::size_t p = text.find("<!--", from);
    if (p == std::string_view::npos) break;
    if (p + 4 < text.size() && text[p + 4] == '#') {
      out.append(text, from, p + 4 - from);
      from = p + 4;
      continue;
    }
    std::size_t end = text.find("-->", p + 4);
    if (end == std::string_view::npos) break;
    out.append(text, from, p - from);
    from = end + 3;
  }
  out.append(text, from);
  return out;
}

std::string PageTemplateNameOf(const StoreNode& node) {
  const StoreNode* parent = ParentNode(node);
  if (parent && parent->kind == NodeKind::Shelf) return "shelf.htm";
  if (parent && parent->kind == NodeKind::List) return "list.htm";
  if (node.temp.empty())
    return node.kind == NodeKind::Link ? "search.htm" : DefaultTemplate(node.kind);
  return node.temp;
}

std::string PageTemplateName(StoreNode& node) {
  std::string name = PageTemplateNameOf(node);
  if (node.temp.empty() && !IsShelfOrList(ParentNode(node))) node.temp = name;
  return name;
}

void FillPage(BuildSession& session, StoreNode& node, FilledPage& page) {
  page = FilledPage{};
  if (node.kind == NodeKind::Link) return;
  StoreNode* parent = ParentNode(node);
  if (node.file.empty() && !IsShelfOrList(parent)) {
    session.log.Error("error: '" + node.title + "': missing filename");
    return;
  }
  Scheme* scheme = session.CurrentScheme();
  page.started = true;
  if (session.progressStep) session.progressStep();
  session.ShowLabel(node.file);
  WriteIndexLine(session, node);
  ++session.visitMark;
  page.result = true;
  const std::string templateName =
      session.deferNodeEdits ? PageTemplateNameOf(node) : PageTemplateName(node);
  std::optional<std::string> loaded = PageTemplate(session, templateName, scheme);
  if (!loaded) return;
  std::string text;
  text.reserve(100000);
  text = loaded->empty() ? node.body : *loaded;
  ExpandShelfBlock(session, text, node, node);
  if (!FillTemplate(session, text, node, node, 1)) {
    page.result = false;
    return;
  }
  if (scheme) ApplyStyleVariables(text, *scheme, session.project.settings.has3dCart);
  CopyNodeFiles(session, node, node);
  NavigationIndex(session, text, node, node);
  const StoreNode* previous = PreviousSibling(node);
  ReplaceAll(text, "$BACK", previous ? WebFile(previous->file) : std::string());
  if (text.find("$PRODUCT") != std::string::npos) {
    ReplaceFirst(text, "$PRODUCT2", "%CategoryList2%");
    ReplaceFirst(text, "$PRODUCTS2", "%CategoryList2%");
    ReplaceFirst(text, "$PRODUCTS", "%CategoryList%");
    ReplaceFirst(text, "$PRODUCT", "%CategoryList%");
  }
  if (FindNoCase(text, "%CategoryList") != kNotFound) CategoryLists(session, text, node);
  ReplaceFirst(text, "$URL", "");
  ReplaceFirst(text, "<!--+", "");
  ReplaceFirst(text, "+-->", "");
  if (!node.file.empty()) {
    std::string slashed = SlashPath(node.file);
    if (std::size_t slash = slashed.rfind('/'); slash != std::string::npos)
      page.folder = session.OutputPath(slashed.substr(0, slash));
    page.path = session.OutputPath(node.file);
  }
  ReplaceAllNoCase(text, "<SHELF>", "");
  ReplaceAllNoCase(text, "</SHELF>", "");
  page.text = RemoveComments(text);
  if (page.path.empty()) return;
  page.size = static_cast<std::int32_t>(page.text.size());
  page.checksum = PageChecksum(page.text);
  page.digest = PageDigest(page.text);
}

void RecordBuiltPage(BuildSession& session, StoreNode& node, FilledPage& page) {
  if (node.builtSize != page.size || node.builtChecksum != page.checksum ||
      node.builtDigest != page.digest) {
    node.builtSize = page.size;
    node.builtChecksum = page.checksum;
    node.builtDigest = std::move(page.digest);
    session.project.changed = true;
  }
  node.mod = 0;
}

void MakePageFolder(BuildSession& session, const FilledPage& page) {
  if (page.folder.empty() || !session.knownFolders.insert(page.folder).second) return;
  // A new folder is a new entry in a folder whose listing may be kept.
  if (!IsDirectory(page.folder)) session.outputFolders.clear();
  CreateDirectoryPath(page.folder);
}

bool MakePage(BuildSession& session, StoreNode& node) {
  FilledPage page;
  FillPage(session, node, page);
  MakePageFolder(session, page);
  if (page.path.empty()) return page.result;
  if (!session.WriteOutputFile(page.path, page.text)) {
    session.prompter.Show("ERROR R107: Unable to open HTML output file.", "Error",
                          PromptIcon::Error);
    return false;
  }
  RecordBuiltPage(session, node, page);
  return true;
}

}  // namespace tolmi
