// Console line splitting, with its bound on line length.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LineReader.h"

namespace {

struct Collected {
  std::vector<std::string> lines;
  LineReader::LineHandler handler() {
    return [this](const std::string& line, bool tooLong) {
      lines.push_back(tooLong ? "<too long>" : line);
    };
  }
};

TEST(LineReader, JoinsLinesSplitAcrossReads) {
  LineReader reader(100);
  Collected got;
  for (const char* chunk : {"get a", "\nget", " b\n\nquit\n"}) {
    reader.feed(chunk, std::string(chunk).size(), got.handler());
  }
  EXPECT_EQ(got.lines, (std::vector<std::string>{"get a", "get b", "", "quit"}));
}

TEST(LineReader, ALastLineWithoutLineFeedCountsAtTheEnd) {
  LineReader reader(100);
  Collected got;
  reader.feed("quit", 4, got.handler());
  EXPECT_TRUE(got.lines.empty());
  reader.finish(got.handler());
  EXPECT_EQ(got.lines, (std::vector<std::string>{"quit"}));
}

TEST(LineReader, AnOverlongLineIsReportedOnceAndSkippedToItsEnd) {
  LineReader reader(8);
  Collected got;
  std::string input = "get 12345678901234567890";
  reader.feed(input.data(), input.size(), got.handler());
  reader.feed("more", 4, got.handler());
  reader.feed("\nget x\n", 7, got.handler());
  EXPECT_EQ(got.lines, (std::vector<std::string>{"<too long>", "get x"}));
  // A line exactly at the bound is still whole.
  reader.feed("12345678\n", 9, got.handler());
  EXPECT_EQ(got.lines.back(), "12345678");
}

}  // namespace
