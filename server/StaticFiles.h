// Mapping a request path onto a file of the served store folder, never outside it.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

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

}  // namespace tolmi::server
