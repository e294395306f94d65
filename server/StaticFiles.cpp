#include "server/StaticFiles.h"

#include <sys/stat.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "server/FormData.h"

namespace tolmi::server {

namespace fs = std::filesystem;

namespace {

constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
// Smaller texts gain nothing from gzip; larger ones go out from disk as they are.
constexpr unsigned long long kMinGzip = 256;
constexpr unsigned long long kMaxGzip = 4 << 20;
constexpr size_t kMaxCachedBytes = 16 << 20;
constexpr size_t kMaxNotFoundPage = 1 << 20;

bool IsText(const std::string& type) {
  return type.rfind("text/", 0) == 0 || type == "application/javascript" ||
         type == "application/json" || type == "application/xml" || type == "image/svg+xml";
}

std::string Hex(unsigned long long n) {
  char text[20];
  std::snprintf(text, sizeof text, "%llx", n);
  return text;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::vector<std::string_view> Split(std::string_view s, char separator) {
  std::vector<std::string_view> parts;
  size_t pos = 0;
  while (pos <= s.size()) {
    size_t end = s.find(separator, pos);
    if (end == std::string_view::npos) end = s.size();
    parts.push_back(s.substr(pos, end - pos));
    pos = end + 1;
  }
  return parts;
}

// The whole file when it holds at most `limit` bytes.
std::string ReadSmallFile(const fs::path& file, size_t limit, bool& ok) {
  std::ifstream in(file, std::ios::binary);
  std::string bytes(limit + 1, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<size_t>(in.gcount()));
  ok = !in.bad() && bytes.size() <= limit;
  return bytes;
}

// A gzip stream of the text.
std::optional<std::string> Gzip(const std::string& text) {
  z_stream z{};
  if (deflateInit2(&z, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) return std::nullopt;
  std::string out(deflateBound(&z, text.size()), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  int rc = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  if (rc != Z_STREAM_END) return std::nullopt;
  return out;
}

// Percent-decoding of a path ("+" stays a plus sign).
bool DecodePath(std::string_view path, std::string& out) {
  out.clear();
  for (size_t i = 0; i < path.size(); ++i) {
    if (path[i] != '%') {
      out.push_back(path[i]);
      continue;
    }
    if (i + 2 >= path.size()) return false;
    std::string pair{'%', path[i + 1], path[i + 2]};
    auto decoded = FormDecode(pair);
    if (!decoded) return false;
    out += *decoded;
    i += 2;
  }
  return true;
}

bool IsInside(const fs::path& root, const fs::path& file) {
  auto r = root.begin();
  auto f = file.begin();
  for (; r != root.end(); ++r, ++f) {
    if (f == file.end() || *r != *f) return false;
  }
  return true;
}

}  // namespace

ResolvedPath ResolveStaticPath(const fs::path& root, std::string_view path) {
  ResolvedPath result;
  std::string decoded;
  if (path.empty() || path[0] != '/' || !DecodePath(path, decoded)) {
    result.verdict = PathVerdict::BadRequest;
    return result;
  }
  fs::path relative;
  size_t pos = 1;
  while (pos <= decoded.size()) {
    size_t end = decoded.find('/', pos);
    if (end == std::string::npos) end = decoded.size();
    std::string segment = decoded.substr(pos, end - pos);
    if (segment == "." || segment == ".." ||
        segment.find_first_of(std::string("\\\0", 2)) != std::string::npos) {
      result.verdict = PathVerdict::BadRequest;
      return result;
    }
    if (!segment.empty()) relative /= segment;
    pos = end + 1;
  }
  std::error_code ec;
  fs::path realRoot = fs::canonical(root, ec);
  if (ec) return result;
  fs::path candidate = realRoot / relative;
  if (fs::is_directory(candidate, ec)) candidate /= "index.html";
  fs::path real = fs::canonical(candidate, ec);
  if (ec) return result;
  if (!IsInside(realRoot, real)) {
    result.verdict = PathVerdict::Forbidden;
    return result;
  }
  if (!fs::is_regular_file(real, ec)) return result;
  result.verdict = PathVerdict::Ok;
  result.file = real;
  return result;
}

std::string ContentTypeFor(const fs::path& file) {
  std::string ext = AsciiLower(file.extension().string());
  if (ext == ".htm" || ext == ".html") return "text/html";
  if (ext == ".css") return "text/css";
  if (ext == ".js") return "application/javascript";
  if (ext == ".txt" || ext == ".idx" || ext == ".tpl") return "text/plain";
  if (ext == ".gif") return "image/gif";
  if (ext == ".jpg" || ext == ".jpeg") return "image/jpeg";
  if (ext == ".png") return "image/png";
  if (ext == ".svg") return "image/svg+xml";
  if (ext == ".ico") return "image/x-icon";
  if (ext == ".webp") return "image/webp";
  if (ext == ".woff2") return "font/woff2";
  if (ext == ".woff") return "font/woff";
  if (ext == ".ttf") return "font/ttf";
  if (ext == ".otf") return "font/otf";
  if (ext == ".xml") return "application/xml";
  if (ext == ".json") return "application/json";
  if (ext == ".pdf") return "application/pdf";
  return "application/octet-stream";
}

std::string CacheControlFor(const fs::path& file) {
  std::string ext = AsciiLower(file.extension().string());
  if (ext == ".css" || ext == ".js") return "public, max-age=86400";
  for (const char* kept : {".gif", ".jpg", ".jpeg", ".png", ".webp", ".svg", ".ico", ".woff2",
                           ".woff", ".ttf", ".otf"}) {
    if (ext == kept) return "public, max-age=604800";
  }
  return "no-cache";
}

std::string HttpDate(std::time_t utc) {
  std::tm t{};
  gmtime_r(&utc, &t);
  char text[40];
  std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[t.tm_wday % 7],
                t.tm_mday, kMonths[t.tm_mon % 12], t.tm_year + 1900, t.tm_hour, t.tm_min,
                t.tm_sec);
  return text;
}

std::optional<std::time_t> ParseHttpDate(std::string_view text) {
  // "Sun, 06 Nov 1994 08:49:37 GMT"
  if (text.size() != 29 || text.substr(3, 2) != ", " || text.substr(25) != " GMT" ||
      text[7] != ' ' || text[11] != ' ' || text[16] != ' ' || text[19] != ':' || text[22] != ':')
    return std::nullopt;
  auto number = [&](size_t at, size_t len) -> int {
    int n = 0;
    for (size_t i = at; i < at + len; ++i) {
      if (text[i] < '0' || text[i] > '9') return -1;
      n = n * 10 + (text[i] - '0');
    }
    return n;
  };
  int month = -1;
  for (int m = 0; m < 12; ++m)
    if (text.substr(8, 3) == kMonths[m]) month = m;
  std::tm t{};
  t.tm_mday = number(5, 2);
  t.tm_mon = month;
  t.tm_year = number(12, 4) - 1900;
  t.tm_hour = number(17, 2);
  t.tm_min = number(20, 2);
  t.tm_sec = number(23, 2);
  if (month < 0 || t.tm_mday < 1 || t.tm_mday > 31 || t.tm_year < 70 || t.tm_hour < 0 ||
      t.tm_hour > 23 || t.tm_min < 0 || t.tm_min > 59 || t.tm_sec < 0 || t.tm_sec > 60)
    return std::nullopt;
  return timegm(&t);
}

bool AcceptsGzip(std::string_view acceptEncoding) {
  std::optional<bool> gzip, star;
  for (std::string_view item : Split(acceptEncoding, ',')) {
    size_t semi = item.find(';');
    std::string coding = AsciiLower(Trim(item.substr(0, semi)));
    bool acceptable = true;
    while (semi != std::string_view::npos) {
      item.remove_prefix(semi + 1);
      semi = item.find(';');
      std::string param = AsciiLower(Trim(item.substr(0, semi)));
      if (param.rfind("q=", 0) == 0) acceptable = std::strtod(param.c_str() + 2, nullptr) > 0;
    }
    if (coding == "gzip" || coding == "x-gzip") gzip = acceptable;
    if (coding == "*") star = acceptable;
  }
  return gzip.value_or(star.value_or(false));
}

StaticReply StaticFiles::Serve(const StaticRequest& request) {
  StaticReply reply;
  if (root_.empty()) {
    reply.standardPage = true;
    return reply;
  }
  ResolvedPath resolved = ResolveStaticPath(root_, request.path);
  if (resolved.verdict == PathVerdict::BadRequest || resolved.verdict == PathVerdict::Forbidden) {
    reply.status = resolved.verdict == PathVerdict::BadRequest ? 400 : 403;
    reply.standardPage = true;
    return reply;
  }
  struct stat info {};
  if (resolved.verdict == PathVerdict::NotFound || ::stat(resolved.file.c_str(), &info) != 0)
    return NotFoundPage(request);

  const std::string type = ContentTypeFor(resolved.file);
  const bool text = IsText(type);
  const auto size = static_cast<unsigned long long>(info.st_size);
  const long long mtime = static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL +
                          info.st_mtim.tv_nsec;
  const std::string tag = "\"" + Hex(size) + "-" + Hex(static_cast<unsigned long long>(mtime));
  const std::string plainTag = tag + "\"", gzipTag = tag + "-gz\"";
  std::optional<std::string> gzip;
  if (text && size >= kMinGzip && size <= kMaxGzip && AcceptsGzip(request.acceptEncoding))
    gzip = GzipOf(resolved.file, size, mtime);

  reply.headers.push_back({"Content-Type", type});
  if (gzip) reply.headers.push_back({"Content-Encoding", "gzip"});
  reply.headers.push_back({"Cache-Control", CacheControlFor(resolved.file)});
  reply.headers.push_back({"ETag", gzip ? gzipTag : plainTag});
  reply.headers.push_back({"Last-Modified", HttpDate(info.st_mtim.tv_sec)});
  if (text) reply.headers.push_back({"Vary", "Accept-Encoding"});

  bool current = false;
  if (!request.ifNoneMatch.empty()) {
    for (std::string_view listed : Split(request.ifNoneMatch, ',')) {
      listed = Trim(listed);
      if (listed.substr(0, 2) == "W/") listed.remove_prefix(2);
      if (listed == "*" || listed == plainTag || listed == gzipTag) current = true;
    }
  } else if (auto since = ParseHttpDate(request.ifModifiedSince)) {
    current = info.st_mtim.tv_sec <= *since;
  }
  if (current) {
    // A 304 repeats the validators and caching rules but describes no body.
    reply.status = 304;
    reply.headers.erase(reply.headers.begin(), reply.headers.begin() + (gzip ? 2 : 1));
    return reply;
  }
  reply.status = 200;
  reply.contentLength = gzip ? gzip->size() : size;
  if (request.head) return reply;
  if (gzip) {
    reply.body = std::move(*gzip);
  } else {
    reply.file = resolved.file;
  }
  return reply;
}

StaticReply StaticFiles::NotFoundPage(const StaticRequest& request) {
  StaticReply reply;
  ResolvedPath page = ResolveStaticPath(root_, "/404.html");
  bool ok = page.verdict == PathVerdict::Ok;
  std::string html = ok ? ReadSmallFile(page.file, kMaxNotFoundPage, ok) : std::string();
  if (!ok) {
    reply.standardPage = true;
    return reply;
  }
  // The page links its stylesheet and pictures relative to the store's top folder; below a
  // sub-folder a base reference leads them back up.
  std::string_view path = request.path;
  while (!path.empty() && path.front() == '/') path.remove_prefix(1);
  size_t depth = 0;
  for (char c : path) depth += c == '/';
  if (depth > 0 && AsciiLower(html).find("<base") == std::string::npos) {
    size_t head = AsciiLower(html).find("<head>");
    std::string up;
    for (size_t i = 0; i < depth; ++i) up += "../";
    if (head != std::string::npos) html.insert(head + 6, "\n<base href=\"" + up + "\">");
  }
  reply.headers.push_back({"Content-Type", "text/html"});
  reply.headers.push_back({"Cache-Control", "no-cache"});
  reply.contentLength = html.size();
  if (!request.head) reply.body = std::move(html);
  return reply;
}

std::optional<std::string> StaticFiles::GzipOf(const fs::path& file, unsigned long long size,
                                               long long mtime) {
  const std::string key = file.string();
  {
    std::lock_guard lock(mutex_);
    auto it = gzipCache_.find(key);
    if (it != gzipCache_.end() && it->second.size == size && it->second.mtime == mtime)
      return it->second.bytes;
  }
  bool ok = false;
  std::string plain = ReadSmallFile(file, kMaxGzip, ok);
  if (!ok || plain.size() != size) return std::nullopt;
  auto packed = Gzip(plain);
  if (!packed) return std::nullopt;
  std::lock_guard lock(mutex_);
  auto& slot = gzipCache_[key];
  cachedBytes_ -= slot.bytes.size();
  if (cachedBytes_ + packed->size() > kMaxCachedBytes) {
    gzipCache_.clear();
    cachedBytes_ = 0;
  }
  gzipCache_[key] = Compressed{size, mtime, *packed};
  cachedBytes_ += packed->size();
  return packed;
}

}  // namespace tolmi::server
