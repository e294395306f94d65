// Files for search engines: "robots.txt" and "sitemap.xml", made from the store's public
// address (the project's SITEURL setting) and the pages a build writes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tolmi {

struct BuildSession;
struct StoreProject;

// The store address as a base for absolute links: "http://" or "https://" and a host,
// ending in "/"; empty when the text is no such address.
std::string StoreBaseAddress(std::string_view address);

// The page files of a store build, in tree order, as web paths ("shop/mugs.html"): every
// enabled node below enabled parents that has a FILE of its own page (not a link, not an item
// of a shelf or list).
std::vector<std::string> SitemapPages(const StoreProject& project);

// robots.txt: everything may be read except the cart and order form; names the sitemap.
std::string RobotsText(std::string_view base);

// sitemap.xml: one <url> per page, its address percent-encoded and XML-escaped.
std::string SitemapText(std::string_view base, const std::vector<std::string>& pages);

// Writes both files into the build directory when the store has an address; a setting that
// is no web address gets a build-log warning and nothing is written. Called after the pages.
void WriteSearchEngineFiles(BuildSession& session);

}  // namespace tolmi
