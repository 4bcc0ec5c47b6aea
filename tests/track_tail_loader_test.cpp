#include "track_tail_loader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "converter_state.h"
#include "test.h"
#include "track_writer.h"

namespace {

int g_notices = 0;
std::int32_t g_notice_count = 0;

void CountNotice(std::int32_t loaded_byte_count) {
  ++g_notices;
  g_notice_count = loaded_byte_count;
}

class TrackTailLoaderTest : public testing::Test {
 protected:
  void SetUp() override {
    g_notices = 0;
    std::memset(g_record_buffer, 0, sizeof g_record_buffer);
  }

  LoadResult Load(const std::string& file_bytes) {
    EXPECT_TRUE(WriteFileBytes(dir_.File("track.trb"), file_bytes));
    return LoadTrackTail(dir_.File("track.trb").c_str(), CountNotice);
  }

  ScopedTempDir dir_;
};

TEST_F(TrackTailLoaderTest, MissingFileCannotBeOpened) {
  LoadResult result = LoadTrackTail(dir_.File("missing.trb").c_str(), CountNotice);
  EXPECT_EQ(result.outcome, LoadOutcome::kCannotOpen);
  EXPECT_EQ(g_loaded_byte_count, -1);
}

TEST_F(TrackTailLoaderTest, FolderCountsAsUnreadable) {
  LoadResult result = LoadTrackTail(dir_.path().c_str(), CountNotice);
  EXPECT_NE(result.outcome, LoadOutcome::kOpened);
  EXPECT_EQ(g_loaded_byte_count, -1);
}

TEST_F(TrackTailLoaderTest, FileOfAtMostHeaderAndCountLoadsNothing) {
  std::string whole = TrackTailFile(7, "");
  for (std::size_t size = 0; size <= whole.size(); ++size) {
    LoadResult result = Load(whole.substr(0, size));
    EXPECT_EQ(result.outcome, LoadOutcome::kOpened) << size;
    EXPECT_EQ(g_loaded_byte_count, 0) << size;
  }
  EXPECT_EQ(Load(whole).header_point_count, 7);
  EXPECT_EQ(g_notices, 0);
}

TEST_F(TrackTailLoaderTest, StoresTheBodyAndNothingForTheEndOfFile) {
  LoadResult result = Load(TrackTailFile(2, "\x01\x02\x03", std::string(200, 'h')));
  EXPECT_EQ(result.outcome, LoadOutcome::kOpened);
  EXPECT_EQ(result.header_point_count, 2);
  EXPECT_EQ(g_loaded_byte_count, 3);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(g_record_buffer), 4),
            std::string("\x01\x02\x03\0", 4));
}

TEST_F(TrackTailLoaderTest, DecodesTheCountAsSignedLittleEndian) {
  struct Case {
    std::int32_t count;
  } cases[] = {{1}, {-1}, {0}, {0x01020304}, {INT32_MAX}, {INT32_MIN}};
  for (const Case& c : cases) {
    EXPECT_EQ(Load(TrackTailFile(c.count, "x")).header_point_count, c.count);
  }
  std::string raw = TrackTailFile(0, "x");
  raw.replace(200, 4, "\xFF\xFF\xFF\xFF");
  EXPECT_EQ(Load(raw).header_point_count, -1);
}

// The rule the console's loader and the web page share.
TEST(MeasureTrackTail, CountFromAWholeHeaderAndBodyUpToTheLimit) {
  const std::string file = TrackTailFile(-7, std::string(70000, 'b'));
  const auto* bytes = reinterpret_cast<const unsigned char*>(file.data());
  struct Case {
    std::size_t file_size;
    std::int32_t count, loaded;
  } cases[] = {{0, 0, 0},
               {203, 0, 0},
               {204, -7, 0},
               {205, -7, 1},
               {204 + 65534, -7, 65534},
               {204 + 65535, -7, 65535},
               {file.size(), -7, 65535}};
  for (const Case& c : cases) {
    const TrackTailLoad load = MeasureTrackTail(bytes, c.file_size);
    EXPECT_EQ(load.header_point_count, c.count) << c.file_size;
    EXPECT_EQ(load.loaded_byte_count, c.loaded) << c.file_size;
  }
}

TEST_F(TrackTailLoaderTest, StopsAtTheLoadLimitWithANotice) {
  // 1,366 whole records take 65,568 bytes.
  struct Case {
    std::int32_t body_size, loaded, notices;
    bool record_left_out;
  } cases[] = {
      {65533, 65533, 0, false}, {65534, 65534, 0, false}, {65535, 65535, 1, false},
      {65536, 65535, 1, false}, {65567, 65535, 1, false}, {65568, 65535, 1, true},
      {300000, 65535, 1, true},
  };
  for (const Case& c : cases) {
    g_notices = 0;
    std::string body(static_cast<std::size_t>(c.body_size), '\x5A');
    body.back() = '\x01';
    EXPECT_EQ(Load(TrackTailFile(1, body)).record_left_out, c.record_left_out) << c.body_size;
    EXPECT_EQ(g_loaded_byte_count, c.loaded) << c.body_size;
    EXPECT_EQ(g_notices, c.notices) << c.body_size;
    if (c.notices) {
      EXPECT_EQ(g_notice_count, kLoadLimit);
    }
    EXPECT_EQ(g_record_buffer[kRecordBufferSize - 1], 0) << "the last byte is never loaded";
  }
}

}  // namespace
