// The real trb2csv with FIFOs and pipes for its files and streams: nothing
// blocks forever, and nothing is lost without being said.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "end_to_end.h"

namespace {

TEST_F(TrackTail, FifoInputNeitherBlocksWithoutWriterNorFailsWithASlowOne) {
  ASSERT_EQ(mkfifo(dir_.File("ceTrackTail.trb").c_str(), 0644), 0);
  RunResult result = Run();
  EXPECT_EQ(result.console, Console(std::string(kBanner) + kPrompt));
  EXPECT_EQ(result.exit_status, 1) << "no track point";
  EXPECT_FALSE(FileExists(dir_.File(kDefaultOutput)));

  if (TestingWindowsProgram()) return;  // no FIFOs on Windows
  // A writer that holds the FIFO open from the start (file 4) and writes only
  // a while later, once there is a reader.
  ASSERT_TRUE(WriteFileBytes(dir_.File("track"), TrackTailFile(5, TrackBody(kFivePoints))));
  RunResult slow_writer = Run({}, Script("with_slow_fifo_writer"));
  EXPECT_EQ(slow_writer.console, kBanner + Summary(kDefaultOutput, 5) + kPrompt);
  EXPECT_EQ(slow_writer.exit_status, 0);
  EXPECT_EQ(Csv(), kFivePointLines);
}

TEST_F(TrackTail, FifoOutputIsRefusedWithoutReaderAndWrittenWholeWithOne) {
  WriteInput(5, TrackBody(kFivePoints));
  const std::string fifo = dir_.File("out.fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // Under Wine a FIFO opens whether it has a reader or not: it is refused.
  const std::string kNoReader = TestingWindowsProgram()
                                    ? "a FIFO, and whether anything reads it cannot be known"
                                    : "No such device or address";
  RunResult no_reader = Run({"out.fifo"});
  EXPECT_EQ(no_reader.console, Console(kBanner + std::string("out.fifo could not opend!\n") +
                                       Summary("out.fifo", 0) + kPrompt));
  EXPECT_EQ(no_reader.exit_status, 1);
  EXPECT_EQ(no_reader.errors, Console("trb2csv: out.fifo: " + kNoReader + "\n"));

  const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  RunResult with_reader = Run({"out.fifo"});
  std::string received(4096, '\0');
  const ssize_t got = read(reader, received.data(), received.size());
  close(reader);
  received.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  EXPECT_EQ(with_reader.exit_status, TestingWindowsProgram() ? 1 : 0);
  EXPECT_EQ(received, TestingWindowsProgram() ? "" : kFivePointLines);
}

TEST_F(TrackTail, PipeWithoutReaderFailsWritesButEndsNoRun) {
  if (TestingWindowsProgram()) GTEST_SKIP() << "POSIX pipes";
  ASSERT_EQ(mkfifo(dir_.File("pipe.fifo").c_str(), 0600), 0);
  WriteInput(5, TrackBody(kFivePoints));
  RunResult console_lost = Run({}, Script("with_pipe_without_reader", {"stdout"}));
  EXPECT_EQ(console_lost.exit_status, 0);
  EXPECT_EQ(Csv(), kFivePointLines);

  RunResult output_lost = Run({"/dev/fd/4"}, Script("with_pipe_without_reader"));
  EXPECT_EQ(output_lost.console, kBanner + std::string("/dev/fd/4 could not opend!\n") +
                                     Summary("/dev/fd/4", 0) + kPrompt);
  EXPECT_EQ(output_lost.exit_status, 1);

  WriteInput(INT32_MAX, TrackBody(std::vector<TrackPoint>(1400, {1.0, 2.0})));
  RunResult notice_lost = Run({"-quiet"}, Script("with_pipe_without_reader", {"stdout"}));
  EXPECT_EQ(notice_lost.exit_status, 1);
  const std::string csv = Csv();
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1365);

  // A small pipe whose reader takes the first bytes and goes: the CSV is
  // written only in part.
  WriteInput(INT32_MAX, TrackBody(std::vector<TrackPoint>(1365, {1.0, 2.0})));
  int pipe_ends[2];
  ASSERT_EQ(pipe(pipe_ends), 0);
  ASSERT_GE(fcntl(pipe_ends[1], F_SETPIPE_SZ, 4096), 0);
  const pid_t reader = fork();
  if (reader == 0) {
    close(pipe_ends[1]);
    char first_bytes[100];
    _exit(read(pipe_ends[0], first_bytes, sizeof first_bytes) > 0 ? 0 : 1);
  }
  close(pipe_ends[0]);
  const std::string output = "/dev/fd/" + std::to_string(pipe_ends[1]);
  RunResult written_in_part = Run({output});
  close(pipe_ends[1]);
  waitpid(reader, nullptr, 0);
  EXPECT_EQ(written_in_part.console,
            kBanner + output + " could not be written!\n" + std::string(kPrompt));
  EXPECT_EQ(written_in_part.exit_status, 1);
}

}  // namespace
