// A fresh temporary folder for one test, removed when the test ends.
#pragma once

#include <filesystem>
#include <string>

namespace tolmi::test {

class TestHome {
 public:
  TestHome();
  ~TestHome();
  TestHome(const TestHome&) = delete;
  TestHome& operator=(const TestHome&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Path of a file below the home.
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
  // Writes bytes to a file below the home, making its folders.
  void Write(const std::string& name, const std::string& bytes) const;
  // The bytes of a file below the home ("" when missing).
  std::string Read(const std::string& name) const;

 private:
  std::filesystem::path path_;
};

// Folder of the source tree (for shipped data and fixtures).
std::filesystem::path SourceDir();

}  // namespace tolmi::test
