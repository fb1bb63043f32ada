// The statistics every figure of the table goes through.
#include <gtest/gtest.h>

#include "Stats.h"

TEST(Summarize, NearestRankPercentilesOfKnownValues) {
  std::vector<double> values;
  for (int i = 100; i >= 1; --i) {
    values.push_back(i);  // unsorted on purpose
  }
  Summary s = summarize(values);
  EXPECT_EQ(s.count, 100u);
  EXPECT_DOUBLE_EQ(s.min, 1);
  EXPECT_DOUBLE_EQ(s.mean, 50.5);
  EXPECT_DOUBLE_EQ(s.median, 50);  // rank ceil(0.5 * 100) = 50
  EXPECT_DOUBLE_EQ(s.p99, 99);     // rank ceil(0.99 * 100) = 99
  EXPECT_DOUBLE_EQ(s.max, 100);
}

TEST(Summarize, SmallAndEmptySeries) {
  EXPECT_EQ(summarize({}).count, 0u);
  Summary one = summarize({7});
  EXPECT_DOUBLE_EQ(one.min, 7);
  EXPECT_DOUBLE_EQ(one.median, 7);
  EXPECT_DOUBLE_EQ(one.p99, 7);
  EXPECT_DOUBLE_EQ(one.max, 7);
  // With fewer than 100 values the p99 is the largest.
  EXPECT_DOUBLE_EQ(summarize({1, 2, 3}).p99, 3);
}

TEST(Summarize, NanosecondsInOtherUnits) {
  Summary s = summarizeNs({1000, 3000}, 1000);
  EXPECT_DOUBLE_EQ(s.mean, 2);
  EXPECT_DOUBLE_EQ(s.max, 3);
}

TEST(Differences, LengthsBetweenConsecutiveTimes) {
  EXPECT_EQ(differences({10, 15, 35}), (std::vector<int64_t>{5, 20}));
  EXPECT_TRUE(differences({10}).empty());
  EXPECT_TRUE(differences({}).empty());
}

TEST(GridLateness, ALatePassEndStandsOutAndTheNextPassMakesUpForIt) {
  // Passes of 100 with the third end 30 late: the third pass is long, the
  // fourth short, and only the third end is off the grid.
  std::vector<int64_t> lateness = gridLatenessNs({100, 100, 130, 70, 100}, 100);
  EXPECT_EQ(lateness, (std::vector<int64_t>{0, 0, 30, 0, 0}));
}

TEST(GridLateness, TheGridSitsAtTheEarliestEnd) {
  // Every end 5 late but the second, which is on time: that one is 0.
  std::vector<int64_t> lateness = gridLatenessNs({105, 95, 105, 100}, 100);
  EXPECT_EQ(lateness, (std::vector<int64_t>{5, 0, 5, 5}));
  EXPECT_TRUE(gridLatenessNs({}, 100).empty());
}
