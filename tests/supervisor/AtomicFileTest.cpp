// Rewriting a file that others read: links planted where the temporary file
// could go are never followed, and a write that fails leaves the folder as
// it was, with one line saying why.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "LogCapture.h"
#include "TempDir.h"
#include "atomicFile.h"

namespace {

// The names in `folder`, sorted; empty when it does not exist.
std::vector<std::string> namesIn(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ignored)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

mode_t modeOf(const std::string& path) {
  struct stat status = {};
  return ::stat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : 0;
}

// Runs `body` in a child process; its exit status, or -1 when it did not
// exit normally. The child ends with _exit: nothing of the test program's
// own exit runs there.
int inChild(const std::function<int()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::_exit(body());
  }
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
    return -1;
  }
  return WEXITSTATUS(status);
}

class AtomicFileTest : public ::testing::Test {
 protected:
  TempDir dir;
  cQlog log{"AtomicFileTest"};
  LogCapture capture{"AtomicFileTest"};
};

// Links at the names the writer tries, to a file of someone else's and to
// a name that does not exist yet, and one at the fixed name an earlier
// writer used: the taken names are passed over and the file is written
// under the next free one; with every name taken, the write fails. Either
// way the linked file keeps its text and mode, nothing is created through
// a link, and the links stay as they were.
TEST_F(AtomicFileTest, PlantedLinksAreNeverFollowed) {
  const struct {
    const char* name;
    int plantedNames;
    bool written;
  } kCases[] = {
      {"the first names taken", 3, true},
      {"every name taken", AtomicFile::kTemporaryNameAttempts, false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    TempDir folder;
    TempDir elsewhere;
    const std::string victim = elsewhere.write("victim", "not yours\n");
    ::chmod(victim.c_str(), 0600);
    const std::string createdThroughLink = elsewhere.path() + "/created";
    const std::string path = folder.write("status", "old\n");
    ::chmod(path.c_str(), 0640);
    std::vector<std::string> expectedNames = {"status", "status.tmp"};
    ASSERT_EQ(::symlink(victim.c_str(), (path + ".tmp").c_str()), 0);
    for (int i = 0; i < c.plantedNames; ++i) {
      const std::string name = ".status.LINK" + std::to_string(10 + i);
      const std::string& target = i % 2 == 0 ? victim : createdThroughLink;
      ASSERT_EQ(::symlink(target.c_str(), (folder.path() + "/" + name).c_str()), 0);
      expectedNames.push_back(name);
    }
    std::sort(expectedNames.begin(), expectedNames.end());

    AtomicFile file(log, path, "status file", "every second", 0644);
    int tried = 0;
    file.setTemporarySuffixes([&tried, &c] {
      const int i = tried++;
      return i < c.plantedNames ? "LINK" + std::to_string(10 + i) : std::string("FREE00");
    });
    EXPECT_EQ(file.write("new\n"), c.written);

    EXPECT_EQ(readWholeFile(victim), "not yours\n");
    EXPECT_EQ(modeOf(victim), 0600u);
    EXPECT_FALSE(std::filesystem::exists(createdThroughLink));
    EXPECT_EQ(namesIn(folder.path()), expectedNames);
    EXPECT_EQ(readWholeFile(path), c.written ? "new\n" : "old\n");
    EXPECT_EQ(modeOf(path), c.written ? 0644u : 0640u);
    EXPECT_EQ(capture.contains("cannot write the status file " + path +
                               ": File exists; retrying every second"),
              !c.written);
  }
}

// Writes that fail at each step: creating the temporary file (a folder that
// is missing or read-only), filling it (the file size limit, in a child
// process) and renaming it (a folder in the file's place). No temporary
// file is left, what was there stays, and one line says why; the write
// reports the failure.
TEST_F(AtomicFileTest, AFailedWriteLeavesTheFolderAsItWas) {
  enum Step { kMissingFolder, kReadOnlyFolder, kSizeLimit, kFolderInItsPlace };
  const struct {
    const char* name;
    Step step;
    const char* reason;
  } kCases[] = {
      {"missing folder", kMissingFolder, "No such file or directory"},
      {"read-only folder", kReadOnlyFolder, "Permission denied"},
      {"file size limit", kSizeLimit, "File too large"},
      {"a folder in its place", kFolderInItsPlace, "Is a directory"},
  };
  const std::string newText(64 * 1024, 'n');
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    if (c.step == kReadOnlyFolder && ::geteuid() == 0) {
      continue;  // root writes anyway
    }
    TempDir parent;
    const std::string folder = parent.path() + "/run";
    const std::string path = folder + "/status";
    if (c.step == kFolderInItsPlace) {
      std::filesystem::create_directories(path);
    } else if (c.step != kMissingFolder) {
      writeFileIn(folder, "status", "old\n");
    }
    if (c.step == kReadOnlyFolder) {
      ::chmod(folder.c_str(), 0555);
    }
    const std::string line =
        "cannot write the status file " + path + ": " + c.reason + "; retrying every second";

    // Bit 0: the write said it succeeded; bit 1: the line is missing.
    const int outcome = inChild([&] {
      if (c.step == kSizeLimit) {
        ::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails with EFBIG instead
        const rlimit limit = {1024, RLIM_INFINITY};
        ::setrlimit(RLIMIT_FSIZE, &limit);
      }
      AtomicFile file(log, path, "status file", "every second", 0644);
      const bool written = file.write(newText);
      return (written ? 1 : 0) | (capture.contains(line) ? 0 : 2);
    });
    ::chmod(folder.c_str(), 0755);

    EXPECT_EQ(outcome, 0) << line;
    EXPECT_EQ(namesIn(folder), c.step == kMissingFolder ? std::vector<std::string>()
                                                        : std::vector<std::string>{"status"});
    if (c.step == kFolderInItsPlace) {
      EXPECT_TRUE(std::filesystem::is_directory(path));
    } else {
      EXPECT_EQ(readWholeFile(path), c.step == kMissingFolder ? "" : "old\n");
    }
  }
}

}  // namespace
