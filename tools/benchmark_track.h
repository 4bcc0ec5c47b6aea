// The track both benchmark programs work on: the largest that loads whole, a
// body of 65,534 bytes (1,365 records of the same point and 14 more bytes).

#ifndef TRB2CSV_TOOLS_BENCHMARK_TRACK_H_
#define TRB2CSV_TOOLS_BENCHMARK_TRACK_H_

constexpr int kBenchmarkRecords = 1365;
constexpr double kBenchmarkLatitude = 53.566;
constexpr double kBenchmarkLongitude = 10.004;
constexpr const char* kBenchmarkLineStart = "53.566000 , 10.004000 , \"";
constexpr const char* kBenchmarkInput = "ceTrackTail.trb";
constexpr const char* kBenchmarkOutput = "KeloTrackTail.csv";
constexpr const char* kBenchmarkReplacement = ".KeloTrackTail.csv.floor-new";

#endif  // TRB2CSV_TOOLS_BENCHMARK_TRACK_H_
