#include "tests/support/TestHome.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tolmi::test {

TestHome::TestHome() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tolmi-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TestHome::~TestHome() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void TestHome::Write(const std::string& name, const std::string& bytes) const {
  std::filesystem::path p = path_ / name;
  std::filesystem::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary);
  out << bytes;
}

std::string TestHome::Read(const std::string& name) const {
  std::ifstream in(path_ / name, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::filesystem::path SourceDir() {
  if (const char* dir = std::getenv("TOLMI_SOURCE_DIR")) return dir;
  return TOLMI_SOURCE_DIR_DEFAULT;
}

}  // namespace tolmi::test
