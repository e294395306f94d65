#include "util/PackedFile.h"

#include <zlib.h>

#include "util/Files.h"

namespace tolmi {

namespace {

constexpr std::size_t kHeaderSize = 8;

std::uint32_t ReadLe32(std::string_view bytes, std::size_t at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 3])) << 24;
}

void AppendLe32(std::string& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

bool IsPackedText(std::string_view bytes) {
  return bytes.size() >= 4 && ReadLe32(bytes, 0) == kPackedFileMagic;
}

std::optional<std::string> UnpackText(std::string_view bytes) {
  if (bytes.size() < kHeaderSize || !IsPackedText(bytes)) return std::nullopt;
  std::uint32_t length = ReadLe32(bytes, 4);
  if (length & 0x80000000u) return std::nullopt;  // a negative length
  if (length > kMaxPackedLength) return std::nullopt;
  std::string_view stream = bytes.substr(kHeaderSize);
  // deflate cannot expand more than about 1032 to 1; a larger claim is a damaged header.
  if (static_cast<std::uint64_t>(length) > static_cast<std::uint64_t>(stream.size()) * 1032 + 64)
    return std::nullopt;
  std::string text(length, '\0');
  uLongf produced = length;
  // uncompress wants a non-null output buffer even for an empty text.
  Bytef empty = 0;
  Bytef* out = length ? reinterpret_cast<Bytef*>(text.data()) : &empty;
  int rc = ::uncompress(out, &produced, reinterpret_cast<const Bytef*>(stream.data()),
                        static_cast<uLong>(stream.size()));
  if (rc != Z_OK) return std::nullopt;
  text.resize(produced);
  return text;
}

std::string PackText(std::string_view text) {
  uLongf size = ::compressBound(static_cast<uLong>(text.size()));
  std::string out;
  AppendLe32(out, kPackedFileMagic);
  AppendLe32(out, static_cast<std::uint32_t>(text.size()));
  out.resize(kHeaderSize + size);
  ::compress(reinterpret_cast<Bytef*>(out.data() + kHeaderSize), &size,
             reinterpret_cast<const Bytef*>(text.data()), static_cast<uLong>(text.size()));
  out.resize(kHeaderSize + size);
  return out;
}

std::optional<std::string> ReadPackedFile(std::string_view path) {
  std::optional<std::string> bytes = ReadWholeFile(path);
  if (!bytes) return std::nullopt;
  return UnpackText(*bytes);
}

Status WritePackedFile(const std::string& path, std::string_view text) {
  if (text.size() > kMaxPackedLength)
    return Status::Error(ErrorKind::InvalidArgument, "Text too large to pack");
  return WriteFileAtomic(path, PackText(text));
}

}  // namespace tolmi
