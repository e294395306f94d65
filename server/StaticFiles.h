// Serving the store folder: mapping a request path onto a file inside it (never outside),
// and the answer for a GET or HEAD of it with validators (ETag, Last-Modified, 304 replies),
// caching rules by kind of file, and gzip for text when the client takes it.
#pragma once

#include <ctime>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tolmi::server {

enum class PathVerdict { Ok, BadRequest, Forbidden, NotFound };

struct ResolvedPath {
  PathVerdict verdict = PathVerdict::NotFound;
  std::filesystem::path file;  // set when Ok: a regular file inside the root
};

// Resolves the path part of a request target ("/shop/mugs.htm", query already removed).
// BadRequest: not starting with "/", a bad "%" escape, a NUL byte, a backslash, or a "." or
// ".." segment. Forbidden: the file lies outside the root once symbolic links are followed.
// NotFound: nothing there, or not a regular file. Folders serve their "index.html".
ResolvedPath ResolveStaticPath(const std::filesystem::path& root, std::string_view path);

// The Content-Type for a file name, by its extension.
std::string ContentTypeFor(const std::filesystem::path& file);

// The Cache-Control value for a file: pages and other texts that change with each build are
// revalidated every time ("no-cache"); the cart script and stylesheets are kept a day;
// pictures and fonts a week. None of the names carry a version, so nothing is kept for ever.
std::string CacheControlFor(const std::filesystem::path& file);

// An IMF-fixdate ("Sun, 06 Nov 1994 08:49:37 GMT") and back. Parsing takes only that form
// (the one every current client sends); anything else gives nothing.
std::string HttpDate(std::time_t utc);
std::optional<std::time_t> ParseHttpDate(std::string_view text);

// Whether an Accept-Encoding value takes gzip: "gzip" or "*" listed without "q=0".
bool AcceptsGzip(std::string_view acceptEncoding);

// The request headers that decide a static answer ("" when absent).
struct StaticRequest {
  std::string_view path;  // the target's path, query removed
  bool head = false;
  std::string_view ifNoneMatch;
  std::string_view ifModifiedSince;
  std::string_view acceptEncoding;
};

// A static answer. The body is `file` streamed from disk when set, else `body`; a HEAD
// answer has an empty body and `contentLength` tells the size a GET would send. With
// `standardPage` the server answers with its own short page for the status (400, 403, or a
// 404 when the store has no "404.html").
struct StaticReply {
  int status = 404;
  std::vector<std::pair<std::string, std::string>> headers;  // besides Content-Length
  std::filesystem::path file;
  std::string body;
  unsigned long long contentLength = 0;
  bool standardPage = false;
};

// One served store folder. Keeps the gzip copies of the text files it sent lately (up to a
// few megabytes, replaced when a file changes); safe to call from several threads.
class StaticFiles {
 public:
  explicit StaticFiles(std::filesystem::path root) : root_(std::move(root)) {}

  // The answer to a GET or HEAD of the path: 200 with the file, 304 when the client's copy
  // is current (If-None-Match, else If-Modified-Since), or the error status. A missing page
  // gets the store's own "404.html" when the build wrote one.
  StaticReply Serve(const StaticRequest& request);

 private:
  struct Compressed {
    unsigned long long size = 0;
    long long mtime = 0;
    std::string bytes;
  };
  // The gzip copy of a file, from the cache or made now; nothing when it cannot be read.
  std::optional<std::string> GzipOf(const std::filesystem::path& file, unsigned long long size,
                                    long long mtime);
  StaticReply NotFoundPage(const StaticRequest& request);

  std::filesystem::path root_;
  std::mutex mutex_;
  std::map<std::string, Compressed> gzipCache_;
  size_t cachedBytes_ = 0;
};

}  // namespace tolmi::server
