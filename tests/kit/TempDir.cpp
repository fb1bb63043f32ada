#include "TempDir.h"

#include <sstream>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

TempDir::TempDir() {
  std::string pattern = std::filesystem::temp_directory_path().string() + "/frigel-test-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("cannot create a temporary folder");
  }
  mPath = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(mPath, ignored);
}

std::string TempDir::write(const std::string& relativePath, const std::string& content) const {
  return writeFileIn(mPath, relativePath, content);
}

std::string writeFileIn(const std::string& folder, const std::string& relativePath,
                        const std::string& content) {
  std::filesystem::path full = std::filesystem::path(folder) / relativePath;
  std::error_code ignored;
  std::filesystem::create_directories(full.parent_path(), ignored);
  std::ofstream out(full, std::ios::binary | std::ios::trunc);
  out << content;
  out.close();
  return out ? full.string() : "";
}

std::string readWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}
