// File helpers shared by every reader and writer of the system's files.
//
// Paths: on disk the separator is "/"; every function here also accepts "\" in a path
// (a project made on Windows names its files that way) and, when the exact path does not
// exist, falls back to a case-insensitive match one component at a time
// (see ResolveExistingPath), so "Template/x.dat" finds "template/x.dat".
//
// Text files are line-oriented: LF or CR LF line ends, at most kMaxLineLength bytes a line.
// Saves go through WriteFileAtomic / AtomicFile so a failed write never damages the old file.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "util/Result.h"

namespace tolmi {

// The longest line the line reader hands out; a longer line comes out in pieces of this size.
inline constexpr std::size_t kMaxLineLength = 39936;

// The path with every "\" turned into "/"; when that path does not exist, each component
// (from the start) is matched against its directory's entries without regard to ASCII case.
// Returns the longest existing prefix so found followed by the remaining components as
// given; when nothing matches this is the input with "/" separators. Never fails.
std::string ResolveExistingPath(std::string_view path);

// True if the path names an existing file or directory.
bool FileExists(std::string_view path);
// True if the path names an existing directory.
bool IsDirectory(std::string_view path);
// Size in bytes; 0 if the file cannot be examined.
std::uint64_t FileSize(std::string_view path);
// Low 32 bits of the file's last-write time (seconds since 1970); 0 if it cannot be examined.
std::uint32_t FileStamp(std::string_view path);

// The whole file's bytes; nullopt if it cannot be opened or read.
std::optional<std::string> ReadWholeFile(std::string_view path);
// True when the regular file at PATH (taken as given) holds exactly BYTES. Writers of
// output that can be made again use it to leave an unchanged file and its stamp alone.
bool FileHoldsBytes(const std::string& path, std::string_view bytes);

// Reads lines from a file or a memory buffer. Lines end at LF (a CR before the LF is part of
// the line end); the last line needs no LF. A line longer than kMaxLineLength bytes comes out
// as several pieces of kMaxLineLength bytes (nothing is dropped). A NUL byte at the start of a
// line is dropped, as the system's reader did; NUL bytes elsewhere are kept.
class LineReader {
 public:
  // Reads from a copy of the bytes.
  explicit LineReader(std::string bytes, std::size_t maxLine = kMaxLineLength);
  // Reads the file (see ResolveExistingPath); nullopt if it cannot be opened.
  static std::optional<LineReader> Open(std::string_view path,
                                        std::size_t maxLine = kMaxLineLength);

  // Next line with trailing spaces, CR and LF removed. False at the end of the input.
  bool Next(std::string& line);
  // Next line as stored, with its LF (and CR) if it had one. False at the end of the input.
  bool NextRaw(std::string& line);
  // Number of lines (or pieces) handed out so far.
  std::size_t lineNumber() const { return lineNumber_; }
  bool atEnd() const { return pos_ >= bytes_.size(); }

 private:
  std::string bytes_;
  std::size_t pos_ = 0;
  std::size_t maxLine_;
  std::size_t lineNumber_ = 0;
};

// Removes trailing spaces, CR and LF (the line convention of the system's text files).
std::string_view TrimLineEnd(std::string_view line);

// Calls callback(line) for every line of a plain or packed text file and returns the sum of
// the callback results; 0 if the file cannot be opened or a packed file cannot be unpacked.
// Plain files: lines of at most 20000 bytes (longer ones in pieces), trailing CR and LF
// removed. Packed files: the text is cut at each CR or LF, and the run of CR and LF
// characters after it is skipped (so empty lines are not reported).
int ForEachLine(std::string_view path, const std::function<int(std::string_view line)>& callback);

// printf into a string.
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatTextV(const char* format, va_list args);

// printf to an open file; a null file writes nothing. Returns the number of bytes written,
// -1 on a null file or a write error.
int WriteFormatted(std::FILE* file, const char* format, ...) __attribute__((format(printf, 2, 3)));
// printf to a stream.
void WriteFormatted(std::ostream& out, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// Writes a file so that it is either completely the new bytes or still the old file:
// the bytes go to a temporary file in the same folder, which is flushed to disk and then
// renamed over the target; the folder is flushed too. On failure the temporary file is
// removed, the old file is untouched, and an Io error names the file and the reason.
Status WriteFileAtomic(const std::string& path, std::string_view bytes);

// How an AtomicFile is written. The defaults are those of WriteFileAtomic.
struct AtomicWriteOptions {
  // Flush the file and its folder to disk before and after the rename. Without it the
  // file is still replaced whole by the rename (never half written), but a crash soon
  // after may lose it: for output that can be made again, such as built store pages.
  bool sync = true;
  // Look the path up as ResolveExistingPath does; false takes it as given (for callers
  // that have resolved it already).
  bool resolvePath = true;
  // Called once the new bytes are completely written (and synced), right before they
  // replace the file; not called when writing failed. Saves that keep backups of the
  // old file make them here, so that a save that never completes rotates nothing.
  std::function<void()> beforeReplace;
  // Readable and writable by the owner only (0600): files holding passwords or customer
  // data. Otherwise the replaced file's mode is kept, and a new file gets 0644.
  bool ownerOnly = false;
};

// WriteFileAtomic with the given options.
Status WriteFileAtomic(const std::string& path, std::string_view bytes,
                       const AtomicWriteOptions& options);

// Whether the file exists and neither its group nor others may read it.
bool IsOwnerOnlyFile(const std::string& path);
// Takes group and other permissions off an existing file (a backup made by linking or renaming
// an older file). Best effort.
void RestrictToOwner(const std::string& path);

// WriteFileAtomic without the flushes to disk (see AtomicWriteOptions::sync).
Status WriteFileAtomicUnsynced(const std::string& path, std::string_view bytes,
                               bool resolvePath = true);

// The streaming form of WriteFileAtomic, for large files: write pieces, then Commit().
// Dropping the object without a successful Commit() removes the temporary file and leaves
// the target as it was. The first failure is remembered and reported by Commit().
class AtomicFile {
 public:
  explicit AtomicFile(std::string path, AtomicWriteOptions options = {});
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Whether the temporary file was created and nothing has failed so far.
  bool ok() const { return status_.ok(); }
  const std::string& path() const { return path_; }

  void Write(std::string_view bytes);
  void Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // Flushes, syncs and renames into place. Calling it again returns the first result.
  Status Commit();

 private:
  void Fail(const std::string& what, int error);
  void Flush();

  std::string path_;
  AtomicWriteOptions options_;
  std::string tempPath_;
  int fd_ = -1;
  std::string buffer_;
  Status status_;
  bool committed_ = false;
  std::uint64_t written_ = 0;
};

// Test seam: make the atomic writer fail with EIO once this many bytes have been written to a
// temporary file (a negative value turns the fault off).
void SetAtomicWriteFaultForTesting(long long failAfterBytes);

}  // namespace tolmi
