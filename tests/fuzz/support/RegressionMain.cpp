// The regression runner of a fuzz target in the ordinary test build: runs every file named
// on the command line (a folder stands for the files in it, sorted), and an empty input,
// through the target once.
// A crash, sanitizer report or failed check ends the program; otherwise it prints a count.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  std::vector<fs::path> files;
  for (int i = 1; i < argc; ++i) {
    fs::path arg = argv[i];
    std::error_code ec;
    if (fs::is_directory(arg, ec)) {
      std::vector<fs::path> inside;
      for (const auto& entry : fs::directory_iterator(arg))
        if (entry.is_regular_file()) inside.push_back(entry.path());
      std::sort(inside.begin(), inside.end());
      files.insert(files.end(), inside.begin(), inside.end());
    } else if (fs::exists(arg, ec)) {
      files.push_back(arg);
    }
  }
  // The empty input first: every reader must take it.
  LLVMFuzzerTestOneInput(nullptr, 0);
  for (const fs::path& file : files) {
    std::ifstream in(file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::fprintf(stderr, "%s\n", file.c_str());
    // A copy of exactly the input's size, so that reads past its end are caught.
    std::vector<std::uint8_t> copy(bytes.begin(), bytes.end());
    LLVMFuzzerTestOneInput(copy.data(), copy.size());
  }
  std::printf("%zu inputs ran\n", files.size());
  return 0;
}
