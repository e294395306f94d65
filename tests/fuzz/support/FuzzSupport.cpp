#include "tests/fuzz/support/FuzzSupport.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace tolmi::fuzz {
namespace {

// Memory-backed /dev/shm when there is one: readers fed through files then cost no disk.
std::string MakeScratchDir() {
  std::filesystem::path base = std::filesystem::temp_directory_path();
  if (!std::getenv("TMPDIR") && access("/dev/shm", W_OK) == 0) base = "/dev/shm";
  std::string pattern = (base / "tolmi-fuzz-XXXXXX").string();
  if (!mkdtemp(pattern.data())) {
    std::perror("mkdtemp");
    std::abort();
  }
  return pattern;
}

struct ScratchHolder {
  std::string path = MakeScratchDir();
  ~ScratchHolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
};

std::string WithoutTrailingSpaces(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::string pending;  // spaces and CRs seen but not yet copied
  for (char c : text) {
    if (c == ' ' || c == '\r') {
      pending += c;
      continue;
    }
    if (c != '\n') out += pending;
    pending.clear();
    out += c;
  }
  return out;
}

}  // namespace

const std::string& ScratchDir() {
  static ScratchHolder holder;
  return holder.path;
}

std::string WriteScratchFile(const std::string& name, std::string_view bytes) {
  std::string path = ScratchDir() + "/" + name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    std::abort();
  }
  return path;
}

std::vector<std::string_view> SplitParts(std::string_view input, std::size_t parts) {
  constexpr std::string_view kMark = "\n=====\n";
  std::vector<std::string_view> out;
  while (out.size() + 1 < parts) {
    std::size_t at = input.find(kMark);
    if (at == std::string_view::npos) break;
    out.push_back(input.substr(0, at));
    input.remove_prefix(at + kMark.size());
  }
  out.push_back(input);
  out.resize(parts);
  return out;
}

void Require(bool holds, const char* what, std::string_view a, std::string_view b) {
  if (holds) return;
  // Control bytes other than LF are shown as \xNN; long texts are cut.
  auto show = [](std::string_view text) {
    std::fprintf(stderr, "---- %zu bytes\n", text.size());
    for (char c : text.substr(0, 4000)) {
      auto byte = static_cast<unsigned char>(c);
      if (byte == '\n' || (byte >= 32 && byte < 127))
        std::fputc(byte, stderr);
      else
        std::fprintf(stderr, "\\x%02X", byte);
    }
    std::fputc('\n', stderr);
  };
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  if (!a.empty() || !b.empty()) {
    show(a);
    show(b);
  }
  std::abort();
}

void RequireSameText(std::string_view written, std::string_view rewritten, const char* what) {
  Require(WithoutTrailingSpaces(written) == WithoutTrailingSpaces(rewritten), what, written,
          rewritten);
}

}  // namespace tolmi::fuzz
