// A fresh temporary folder, removed with everything in it on destruction,
// and the writing and reading of a whole file.
#ifndef FRIGEL_TESTS_TEMPDIR_H
#define FRIGEL_TESTS_TEMPDIR_H

#include <string>

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return mPath; }
  // Writes `content` to `relativePath` (creating folders) and returns the
  // full path.
  std::string write(const std::string& relativePath, const std::string& content) const;

 private:
  std::string mPath;
};

// Writes `content` to `folder`/`relativePath`, creating folders; the full
// path, or "" when it could not be written.
std::string writeFileIn(const std::string& folder, const std::string& relativePath,
                        const std::string& content);

// The whole content of the file at `path`, byte for byte; "" when it cannot
// be read.
std::string readWholeFile(const std::string& path);

#endif
