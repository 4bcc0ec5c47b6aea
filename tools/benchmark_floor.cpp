// The least that any converter must do for the benchmark's track, built with
// the same compiler and linking as trb2csv: read ceTrackTail.trb with one
// read, and replace the CSV of an earlier run whole or not at all, as trb2csv
// does: write the CSV that trb2csv writes for it with one write into a new
// file beside it, flush that to the disk and rename it over the old one.

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cstddef>

#include "benchmark_track.h"

namespace {

// The lines trb2csv writes for the benchmark's track, made by the compiler.
struct ExpectedCsv {
  char bytes[kBenchmarkRecords * 32];
  std::size_t size;

  constexpr ExpectedCsv() : bytes(), size(0) {
    for (int number = 1; number <= kBenchmarkRecords; ++number) {
      for (const char* c = kBenchmarkLineStart; *c; ++c) bytes[size++] = *c;
      char digits[4] = {};
      int count = 0;
      for (int rest = number; rest > 0; rest /= 10)
        digits[count++] = static_cast<char>('0' + rest % 10);
      while (count > 0) bytes[size++] = digits[--count];
      for (const char* c = "\"\r\n"; *c; ++c) bytes[size++] = *c;
    }
  }
};
constexpr ExpectedCsv kExpectedCsv;

unsigned char g_input[1 << 17];

}  // namespace

int main() {
  const int input = open(kBenchmarkInput, O_RDONLY);
  if (input < 0 || read(input, g_input, sizeof g_input) <= 0) return 1;
  close(input);
  const int output = open(kBenchmarkReplacement, O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (output < 0) return 1;
  const bool written = write(output, kExpectedCsv.bytes, kExpectedCsv.size) ==
                       static_cast<ssize_t>(kExpectedCsv.size);
  const bool flushed = fsync(output) == 0;
  return close(output) == 0 && written && flushed &&
                 rename(kBenchmarkReplacement, kBenchmarkOutput) == 0
             ? 0
             : 1;
}
