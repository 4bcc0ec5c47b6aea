#include "track_tail_check.h"

#include <gtest/gtest.h>

#include <string>

#include "track_tail_format.h"

namespace {

std::string Doubts(std::int32_t count, std::uint64_t records_held, std::int32_t walked,
                   std::int32_t lines) {
  char text[kMaxDoubtsSize];
  const std::size_t size =
      DescribeDoubts(count, kBodyOffset + records_held * kRecordSize + 7, walked, lines, text);
  EXPECT_EQ(size, std::string(text).size());
  return text;
}

TEST(TrackTailCheck, CountsAndRangesThatDoNotLookLikeATrack) {
  const struct {
    std::int32_t count;
    std::uint64_t records_held;
    std::int32_t walked;
    std::int32_t lines;
    const char* doubts;
  } kCases[] = {
      {360, 360, 360, 360, ""},
      {361, 360, 360, 360, ""},  // a count one off, as devices write them
      {359, 360, 359, 359, ""},
      {362, 360, 360, 360,
       "the point count in its header, 362, differs from the 360 records it holds"},
      {358, 360, 358, 358,
       "the point count in its header, 358, differs from the 360 records it holds"},
      {-1, 5, 0, 0, "the point count in its header, -1, is negative"},
      {INT32_MIN, 0, 0, 0, "the point count in its header, -2,147,483,648, is negative"},
      {2000000, 100000, 1365, 1365,
       "the point count in its header, 2,000,000, differs from the 100,000 records it holds"},
      {6, 6, 6, 3, ""},  // half left out
      {6, 6, 6, 2, "most of its records (4 of 6) lie outside the coordinate range"},
      {10, 6, 6, 2,
       "the point count in its header, 10, differs from the 6 records it holds, and most of its "
       "records (4 of 6) lie outside the coordinate range"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(Doubts(c.count, c.records_held, c.walked, c.lines), c.doubts) << c.count;
  }
  char text[kMaxDoubtsSize];
  EXPECT_EQ(DescribeDoubts(0, 100, 0, 0, text), 0u) << "no record: nothing to doubt";
}

}  // namespace
