// Packed text files: reference and language files may be stored compressed.
// Layout: the 32-bit little-endian number 0x01E76A1A (bytes 1A 6A E7 01), the 32-bit
// little-endian length of the unpacked text, then the text as a zlib stream.
// Plain text files have no header.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "util/Result.h"

namespace tolmi {

inline constexpr std::uint32_t kPackedFileMagic = 0x01E76A1A;
// Largest unpacked length accepted; a header asking for more is treated as damaged.
inline constexpr std::uint32_t kMaxPackedLength = 256u * 1024 * 1024;

// True if the bytes begin with the packed-file header number.
bool IsPackedText(std::string_view bytes);

// The unpacked text of packed bytes; nullopt if the header number is wrong, the length is
// negative or absurd (over kMaxPackedLength, or more than zlib could produce from the
// stream), or the stream is broken or holds more than the stated length.
std::optional<std::string> UnpackText(std::string_view bytes);

// The packed form of a text (header, length, zlib stream).
std::string PackText(std::string_view text);

// Reads a packed file and unpacks it; nullopt if it cannot be read or unpacked.
std::optional<std::string> ReadPackedFile(std::string_view path);

// Writes the packed form of a text (atomically); an Io error on failure.
Status WritePackedFile(const std::string& path, std::string_view text);

}  // namespace tolmi
