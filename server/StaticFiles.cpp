#include "server/StaticFiles.h"

#include "server/FormData.h"

namespace tolmi::server {

namespace fs = std::filesystem;

namespace {

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
  if (ext == ".pdf") return "application/pdf";
  return "application/octet-stream";
}

}  // namespace tolmi::server
