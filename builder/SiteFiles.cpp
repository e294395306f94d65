#include "builder/SiteFiles.h"

#include "builder/BuildSession.h"
#include "project/StoreProject.h"
#include "util/Strings.h"

namespace tolmi {

namespace {

bool IsShelfOrListNode(const StoreNode* node) {
  return node && (node->kind == NodeKind::Shelf || node->kind == NodeKind::List);
}

void CollectPages(const StoreNode* node, std::vector<std::string>& pages) {
  for (; node; node = NextSibling(*node)) {
    if (node->status < 0) continue;  // no page for it or anything below it
    if (node->kind != NodeKind::Link && !node->file.empty() &&
        !IsShelfOrListNode(ParentNode(*node)) && node->file.find("//") == std::string::npos) {
      pages.push_back(SlashPath(WebFile(node->file)));
    }
    if (node->kind != NodeKind::Product) CollectPages(FirstChild(*node), pages);
  }
}

// Letters, digits, "-._~/" stay; every other byte is written as %XX.
std::string PercentEncodePath(std::string_view path) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : path) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                 c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
    if (plain) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

std::string XmlEscape(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace

std::string StoreBaseAddress(std::string_view address) {
  std::string a(address);
  StrTrimWhite(a);
  std::string lower = ToLowerAscii(a);
  std::size_t scheme = lower.rfind("https://", 0) == 0 ? 8 : lower.rfind("http://", 0) == 0 ? 7 : 0;
  if (scheme == 0 || a.size() == scheme) return {};
  for (char c : a)
    if (static_cast<unsigned char>(c) <= ' ' || c == '"' || c == '<' || c == '>') return {};
  if (a.find_first_of("?#") != std::string::npos) return {};
  if (a.back() != '/') a += '/';
  return a;
}

std::vector<std::string> SitemapPages(const StoreProject& project) {
  std::vector<std::string> pages;
  CollectPages(RootNode(project), pages);
  return pages;
}

std::string RobotsText(std::string_view base) {
  std::string text = "User-agent: *\nDisallow: /trolley.html\nDisallow: /register.html\n";
  if (!base.empty()) text += "\nSitemap: " + std::string(base) + "sitemap.xml\n";
  return text;
}

std::string SitemapText(std::string_view base, const std::vector<std::string>& pages) {
  std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n";
  for (const std::string& page : pages) {
    std::string path = page;
    while (!path.empty() && path.front() == '/') path.erase(0, 1);
    text += "<url><loc>" + XmlEscape(std::string(base) + PercentEncodePath(path)) + "</loc></url>\n";
  }
  text += "</urlset>\n";
  return text;
}

void WriteSearchEngineFiles(BuildSession& session) {
  const std::string& address = session.project.settings.storeAddress;
  std::string trimmed = address;
  if (StrTrimWhite(trimmed).empty()) return;
  std::string base = StoreBaseAddress(address);
  if (base.empty()) {
    session.log.Warning("warning: store address '" + address +
                        "' is no web address (http:// or https://): no sitemap written");
    return;
  }
  const std::pair<const char*, std::string> files[] = {
      {"robots.txt", RobotsText(base)},
      {"sitemap.xml", SitemapText(base, SitemapPages(session.project))}};
  for (const auto& [name, text] : files) {
    if (!session.WriteOutputFile(session.OutputPath(name), text))
      session.log.Error(std::string("error: unable to write '") + name + "'");
  }
}

}  // namespace tolmi
