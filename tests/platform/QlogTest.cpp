// The logger: configuration from a file, the stderr fallback, and the shape
// of every message.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <log4cpp/Category.hh>
#include <log4cpp/Priority.hh>

#include "LogCapture.h"
#include "TempDir.h"
#include "cQlog.h"
#include "logQueue.h"

namespace {

// Waits until the logger's writer has written every line logged so far.
void drainLog() {
  if (std::shared_ptr<qlog::LogQueue> queue = qlog::processLogQueue()) {
    EXPECT_TRUE(queue->drain(std::chrono::seconds(5)));
  }
}

// The lines of a log file, once the writer has written them.
std::vector<std::string> readLines(const std::string& path) {
  drainLog();
  std::ifstream in(path);
  std::vector<std::string> out;
  for (std::string line; std::getline(in, line);) {
    out.push_back(line);
  }
  return out;
}

// Sends everything written to file descriptor 2 into a file while alive.
class StderrCapture {
 public:
  explicit StderrCapture(const std::string& path) : mPath(path) {
    std::cerr.flush();
    std::fflush(stderr);
    mSaved = ::dup(2);
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ::dup2(fd, 2);
    ::close(fd);
  }
  ~StderrCapture() { restore(); }

  // Stops capturing and returns the captured lines.
  std::vector<std::string> lines() {
    restore();
    return readLines(mPath);
  }

 private:
  void restore() {
    if (mSaved >= 0) {
      drainLog();
      std::cerr.flush();
      std::fflush(stderr);
      ::dup2(mSaved, 2);
      ::close(mSaved);
      mSaved = -1;
    }
  }
  std::string mPath;
  int mSaved = -1;
};

// A configuration as the daemon's properties file holds it: its own keys
// beside log4cpp's, writing "<priority> <category>: <message>" to `logFile`.
std::string fileConfiguration(const std::string& logFile) {
  return "# daemon settings and logging in one file\n"
         "SyncTime=300\n"
         "log4cpp.rootCategory=DEBUG, A1\n"
         "log4cpp.appender.A1=FileAppender\n"
         "log4cpp.appender.A1.fileName=" +
         logFile +
         "\n"
         "log4cpp.appender.A1.layout=PatternLayout\n"
         "log4cpp.appender.A1.layout.ConversionPattern=%p %c: %m%n\n";
}

class QlogTest : public ::testing::Test {
 protected:
  TempDir dir;
};

}  // namespace

TEST_F(QlogTest, AValidFileIsAppliedAndReappliedWithoutDuplicates) {
  const std::string logFile = dir.path() + "/frigel.log";
  const std::string conf = dir.write("frigel.conf", fileConfiguration(logFile));
  cQlog log("Fan");
  {
    StderrCapture err(dir.path() + "/stderr.txt");
    EXPECT_TRUE(cQlog::init(conf.c_str()));
    log.debug("debug %d", 1);
    log.info("info %s", "two");
    EXPECT_TRUE(err.lines().empty());
  }
  EXPECT_TRUE(cQlog::init(conf.c_str()));  // again: replaces, does not add
  log.info("after re-init");
  EXPECT_EQ(readLines(logFile),
            (std::vector<std::string>{"DEBUG Fan: debug 1", "INFO Fan: info two",
                                      "INFO Fan: after re-init"}));
}

TEST_F(QlogTest, AMissingFileFallsBackToStderrAtInfoWithOneLine) {
  const std::string missing = dir.path() + "/absent.conf";
  cQlog log("CqTranslator");
  StderrCapture err(dir.path() + "/stderr.txt");
  EXPECT_FALSE(cQlog::init(missing.c_str()));
  log.debug("hidden debug line");
  log.info("visible info line");
  std::vector<std::string> lines = err.lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find(missing), std::string::npos) << lines[0];
  EXPECT_NE(lines[0].find("INFO"), std::string::npos) << lines[0];
  EXPECT_NE(lines[1].find("CqTranslator: visible info line"), std::string::npos) << lines[1];
}

TEST_F(QlogTest, AFileWithoutLoggingKeysFallsBackToStderrAtInfo) {
  const std::string settingsOnly = dir.write("settings.conf", "SyncTime=300\n");
  const std::string noAppender = dir.write("noappender.conf", "log4cpp.rootCategory=DEBUG\n");
  const std::string unknownAppender = dir.write(
      "unknown.conf", "log4cpp.rootCategory=DEBUG, A1\nlog4cpp.appender.A1=NoSuchAppender\n");
  for (const std::string& conf : {settingsOnly, noAppender, unknownAppender}) {
    cQlog log("Fan");
    StderrCapture err(dir.path() + "/stderr.txt");
    EXPECT_FALSE(cQlog::init(conf.c_str())) << conf;
    log.debug("hidden");
    log.info("shown");
    std::vector<std::string> lines = err.lines();
    ASSERT_EQ(lines.size(), 2u) << conf;
    EXPECT_NE(lines[0].find(conf), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("Fan: shown"), std::string::npos) << lines[1];
    EXPECT_EQ(log4cpp::Category::getRoot().getPriority(), log4cpp::Priority::INFO);
  }
}

TEST_F(QlogTest, FallbackThenValidFileReconfiguresCleanly) {
  const std::string logFile = dir.path() + "/frigel.log";
  const std::string conf = dir.write("frigel.conf", fileConfiguration(logFile));
  {
    StderrCapture err(dir.path() + "/stderr.txt");
    EXPECT_FALSE(cQlog::init((dir.path() + "/absent.conf").c_str()));
  }
  StderrCapture err(dir.path() + "/stderr2.txt");
  EXPECT_TRUE(cQlog::init(conf.c_str()));
  cQlog("Fan").debug("to the file only");
  EXPECT_TRUE(err.lines().empty());  // the fallback appender is gone
  EXPECT_EQ(readLines(logFile), std::vector<std::string>{"DEBUG Fan: to the file only"});
}

TEST(Qlog, ALongMessageIsCutToTheBuffer) {
  cQlog log("QlogCut");
  LogCapture capture("QlogCut");
  const std::string label(2000, 'L');
  log.info("label=%s end", label.c_str());
  std::vector<LogEntry> entries = capture.entries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].priority, log4cpp::Priority::INFO);
  EXPECT_EQ(entries[0].message.size(), cQlog::kLogBufferSize - 1);
  EXPECT_EQ(entries[0].message, ("label=" + label).substr(0, cQlog::kLogBufferSize - 1));
}

TEST(Qlog, TrailingLineEndsAreStrippedAndInnerOnesKept) {
  cQlog log("QlogLines");
  LogCapture capture("QlogLines");
  log.info("Fan set to: %f\n", 12.0);
  log.debug("crlf\r\n\r\n");
  log.info("two\nlines\n");
  log.info("\n");
  EXPECT_EQ(capture.messages(),
            (std::vector<std::string>{"Fan set to: 12.000000", "crlf", "two\nlines", ""}));
  EXPECT_EQ(capture.entries()[1].priority, log4cpp::Priority::DEBUG);
}

TEST(Qlog, DisabledDebugIsNotLogged) {
  cQlog log("QlogQuiet");
  LogCapture capture("QlogQuiet");
  log4cpp::Category::getInstance("QlogQuiet").setPriority(log4cpp::Priority::INFO);
  log.debug("not wanted %d", 1);
  log.info("wanted");
  EXPECT_EQ(capture.messages(), std::vector<std::string>{"wanted"});
}

TEST(Qlog, CategoryNamesAreKeptAndCutToTheirBuffer) {
  EXPECT_STREQ(cQlog("CqTranslator").getCategoryName(), "CqTranslator");
  const std::string longName(200, 'c');
  EXPECT_EQ(std::string(cQlog(longName.c_str()).getCategoryName()),
            longName.substr(0, cQlog::kCatNameSize - 1));
}

TEST(Qlog, OneLoggerUsedFromTwoThreadsKeepsEveryMessageWhole) {
  cQlog log("QlogThreads");
  LogCapture capture("QlogThreads");
  auto writer = [&log](char mark) {
    for (int i = 0; i < 500; ++i) {
      log.debug("%c%0400d%c", mark, i, mark);
    }
  };
  std::thread a(writer, 'a');
  std::thread b(writer, 'b');
  a.join();
  b.join();
  std::vector<std::string> messages = capture.messages();
  ASSERT_EQ(messages.size(), 1000u);
  for (const std::string& m : messages) {
    ASSERT_EQ(m.size(), 402u);
    ASSERT_EQ(m.front(), m.back()) << "message mixed from two threads";
  }
}
