#include "FuzzSupport.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>

namespace {

class ScratchDirectory {
 public:
  ScratchDirectory() {
    std::string pattern = std::filesystem::temp_directory_path().string() + "/frigel-fuzz-XXXXXX";
    FUZZ_CHECK(::mkdtemp(pattern.data()) != nullptr);
    mPath = pattern;
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(mPath, ignored);
  }
  const std::string& path() const { return mPath; }

 private:
  std::string mPath;
};

}  // namespace

const std::string& fuzzScratchDirectory() {
  static const ScratchDirectory directory;
  return directory.path();
}

std::string writeScratchFile(const std::string& relativePath, const uint8_t* data,
                             std::size_t size) {
  std::filesystem::path full = std::filesystem::path(fuzzScratchDirectory()) / relativePath;
  std::filesystem::create_directories(full.parent_path());
  std::ofstream out(full, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  FUZZ_CHECK(out.good());
  return full.string();
}

std::string writeScratchFile(const std::string& relativePath, const std::string& text) {
  return writeScratchFile(relativePath, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}
