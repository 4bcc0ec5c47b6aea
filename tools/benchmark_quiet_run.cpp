// Times whole runs of "trb2csv -quiet" on the largest input that loads whole
// (a 65,534-byte body: 1,365 records and 14 bytes) against runs of the same
// binary in a folder without input, which is pure start-up, and prints the
// ratio of the medians. The two kinds of run alternate, so that a change in
// the machine's load affects both alike.
//
//   benchmark_quiet_run PATH/TO/trb2csv [RUNS]

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "track_writer.h"

namespace {

// Runs program -quiet in folder; returns the wall time in microseconds.
double TimedRun(const std::string& program, const std::string& folder) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);  // no terminal, no key wait
  std::string quiet = "-quiet";
  char* argv[] = {const_cast<char*>(program.c_str()), quiet.data(), nullptr};

  auto start = std::chrono::steady_clock::now();
  pid_t child;
  int status = 0;
  if (posix_spawn(&child, program.c_str(), &actions, &attributes, argv, environ) != 0 ||
      waitpid(child, &status, 0) != child) {
    std::fprintf(stderr, "benchmark_quiet_run: cannot run %s\n", program.c_str());
    std::exit(1);
  }
  auto end = std::chrono::steady_clock::now();
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  return std::chrono::duration<double, std::micro>(end - start).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: benchmark_quiet_run PATH/TO/trb2csv [RUNS]\n");
    return 2;
  }
  const std::string program = std::filesystem::absolute(argv[1]).string();
  const long runs = argc == 3 ? std::strtol(argv[2], nullptr, 10) : 400;
  if (runs < 1) {
    std::fprintf(stderr, "benchmark_quiet_run: RUNS must be a positive number\n");
    return 2;
  }

  const std::filesystem::path base =
      std::filesystem::temp_directory_path() / ("trb2csv-benchmark-" + std::to_string(getpid()));
  const std::string full = (base / "full").string();
  const std::string empty = (base / "empty").string();
  std::filesystem::create_directories(full);
  std::filesystem::create_directories(empty);
  std::vector<TrackPoint> points(1365, {53.566, 10.004});
  std::string body = TrackBody(points) + std::string(14, '\0');
  if (!WriteFileBytes(full + "/ceTrackTail.trb", TrackTailFile(100000, body))) {
    std::fprintf(stderr, "benchmark_quiet_run: cannot write the input\n");
    return 1;
  }

  std::vector<double> converting;
  std::vector<double> starting;
  for (long i = 0; i < runs; ++i) {
    converting.push_back(TimedRun(program, full));
    starting.push_back(TimedRun(program, empty));
  }
  std::filesystem::remove_all(base);

  double convert_us = Median(converting);
  double start_us = Median(starting);
  std::printf("runs: %ld of each\n", runs);
  std::printf("median, 1,365 records converted: %.0f us\n", convert_us);
  std::printf("median, input missing (start-up): %.0f us\n", start_us);
  std::printf("ratio: %.2f (target: at most 1.30)\n", convert_us / start_us);
  return 0;
}
