// Path helpers: joining and normalising paths, creating folders, unique and clean file names.
//
// On Linux the disk separator is "/": NormalisePath and JoinPath turn every "\" into "/"
// (a path stored by the Windows product still works), reduce doubled separators and keep a
// leading "//". Values stored in project and settings files keep the form they were given.
#pragma once

#include <string>
#include <string_view>

namespace tolmi {

// Varies a file name for the n-th attempt at a free name: removes the last group of "("
// digits ")" from the file-name part if it has one, then puts "(n)" in front of the last "."
// of the file-name part, or appends "(n)" when it has no ".".
// "12.htm", 1 -> "12(1).htm"; "12(1).htm", 2 -> "12(2).htm"; "readme", 3 -> "readme(3)".
// A folder part ("/" or "\") is kept as it is.
std::string UniqueFileName(std::string_view name, int n);

// The path itself if nothing exists there, else the first UniqueFileName(path, n),
// n = 1, 2, ..., that does not exist. A trailing separator is removed first.
std::string MakeUniquePath(std::string_view path);

// Every "\" becomes "/", and every run of "/" becomes one, except a leading "//".
std::string NormalisePath(std::string_view path);

// Removes every "." segment, and every ".." segment together with the segment before it
// (a ".." at the start, or after another "..", is kept; one right after a leading
// separator is dropped). Segments are split at the given separator.
std::string ResolveParentSegments(std::string_view path, char separator = '/');

// "directory/name", normalised and with ".." resolved; an empty part gives the other.
std::string JoinPath(std::string_view directory, std::string_view name);

// True if the path begins with a Windows drive ("C:"), which names no place on this system.
bool HasDrivePrefix(std::string_view path);

// Creates every missing folder of the path in turn. Returns 1 if at least one folder was
// created, 183 if all existed already, or the errno of the first level that could not be
// created (ENOTDIR when a level exists as a file, EINVAL for a path with a Windows drive);
// 0 for an empty path.
int CreateDirectoryPath(std::string_view path);

// Deletes every file matching a wildcard pattern ("folder/*.htm"; "*" and "?" in the last
// component only). Folders are never deleted. Returns the number of files deleted.
int DeleteMatchingFiles(std::string_view pattern);

// Moves a file or folder to the desktop trash ("gio trash") when that tool is present,
// else deletes it (a folder with its contents). Returns 1 on success, 0 on failure.
int DeleteToRecycleBin(std::string_view path);

// Removes every character of "\"\\/:;'*?<>|" from a file name; true if any was removed.
bool RemoveInvalidNameChars(std::string& name);

// True if the file name's extension (from its last ".") equals an element of the list
// without regard to ASCII case. The list looks like "*.htm;*.html": ";" counts as ",", "*"
// is ignored, each element may have a leading ".". False for a name without ".".
bool MatchesExtensionList(std::string_view fileName, std::string_view list);

}  // namespace tolmi
