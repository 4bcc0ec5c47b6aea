// Times whole runs of "trb2csv -quiet" on the largest track that loads whole,
// with the CSV of an earlier run present, against the floor program (one read
// of the input, one write of the same CSV), in the default temporary folder
// and in /dev/shm, and against trb2csv started where the input is missing
// (pure start-up). The kinds of run are interleaved in a new random order in
// every round, so that a change in the machine's load affects all alike; the
// ratios are those of the medians. Where valgrind is installed, it also
// counts the instructions of the conversion: a whole run less a run on a
// missing input.
//
//   benchmark_quiet_run PATH/TO/trb2csv PATH/TO/benchmark_floor [ROUNDS]

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "benchmark_track.h"
#include "track_writer.h"

namespace fs = std::filesystem;

namespace {

// Runs the command in folder, its error output to error_file; returns the
// wall time in microseconds, or -1 if it could not be run.
double Run(const std::vector<std::string>& command, const std::string& folder,
           const std::string& error_file = "/dev/null") {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, error_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);  // no terminal, no key wait
  std::vector<char*> argv;
  argv.reserve(command.size() + 1);
  for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);

  const auto start = std::chrono::steady_clock::now();
  pid_t child;
  int status = 0;
  const bool ran =
      posix_spawnp(&child, argv[0], &actions, &attributes, argv.data(), environ) == 0 &&
      waitpid(child, &status, 0) == child && WIFEXITED(status);
  const auto end = std::chrono::steady_clock::now();
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  return ran ? std::chrono::duration<double, std::micro>(end - start).count() : -1;
}

// Runs the command as Run does; ends the benchmark if it cannot be run.
double TimedRun(const std::vector<std::string>& command, const std::string& folder) {
  const double time = Run(command, folder);
  if (time < 0) {
    std::fprintf(stderr, "benchmark_quiet_run: %s failed in %s\n", command[0].c_str(),
                 folder.c_str());
    std::exit(1);
  }
  return time;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

std::string ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Instructions of a run of trb2csv -quiet in folder, as callgrind counts
// them; -1 if valgrind cannot be run.
long long CountInstructions(const std::string& program, const std::string& folder) {
  const std::string report = folder + "/../callgrind.txt";
  if (Run({"valgrind", "--tool=callgrind", "--callgrind-out-file=/dev/null", program, "-quiet"},
          folder, report) < 0) {
    return -1;
  }
  const std::string text = ReadFile(report);
  fs::remove(report);
  const std::size_t at = text.find("Collected : ");
  return at == std::string::npos ? -1 : std::strtoll(text.c_str() + at + 12, nullptr, 10);
}

struct Kind {
  std::vector<std::string> command;
  std::string folder;
  std::vector<double> times;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) {
    std::fprintf(stderr,
                 "usage: benchmark_quiet_run PATH/TO/trb2csv PATH/TO/benchmark_floor [ROUNDS]\n");
    return 2;
  }
  const std::string program = fs::absolute(argv[1]).string();
  const std::string floor = fs::absolute(argv[2]).string();
  const long rounds = argc == 4 ? std::strtol(argv[3], nullptr, 10) : 300;
  if (rounds < 1) {
    std::fprintf(stderr, "benchmark_quiet_run: ROUNDS must be a positive number\n");
    return 2;
  }

  const std::string run_name = "trb2csv-benchmark-" + std::to_string(getpid());
  std::vector<fs::path> bases = {fs::temp_directory_path() / run_name};
  if (fs::is_directory("/dev/shm")) bases.push_back(fs::path("/dev/shm") / run_name);
  const std::vector<TrackPoint> points(kBenchmarkRecords,
                                       {kBenchmarkLatitude, kBenchmarkLongitude});
  const std::string track = TrackTailFile(100000, TrackBody(points) + std::string(14, '\0'));

  std::vector<Kind> kinds;
  for (const fs::path& base : bases) {
    for (const char* folder : {"trb2csv", "floor"}) {
      fs::create_directories(base / folder);
      if (!WriteFileBytes((base / folder / kBenchmarkInput).string(), track)) {
        std::fprintf(stderr, "benchmark_quiet_run: cannot write in %s\n", base.c_str());
        return 1;
      }
    }
    kinds.push_back({{program, "-quiet"}, (base / "trb2csv").string(), {}});
    kinds.push_back({{floor}, (base / "floor").string(), {}});
  }
  fs::create_directories(bases[0] / "missing");
  kinds.push_back({{program, "-quiet"}, (bases[0] / "missing").string(), {}});

  // The first runs write the CSV files that every timed run then replaces.
  for (const Kind& kind : kinds) TimedRun(kind.command, kind.folder);
  if (ReadFile(fs::path(kinds[0].folder) / kBenchmarkOutput) !=
      ReadFile(fs::path(kinds[1].folder) / kBenchmarkOutput)) {
    std::fprintf(stderr, "benchmark_quiet_run: trb2csv and the floor write different CSV files\n");
    return 1;
  }

  std::mt19937 random(std::random_device{}());
  std::vector<std::size_t> order(kinds.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  for (long round = 0; round < rounds; ++round) {
    std::shuffle(order.begin(), order.end(), random);
    for (std::size_t i : order)
      kinds[i].times.push_back(TimedRun(kinds[i].command, kinds[i].folder));
  }

  std::printf("rounds: %ld; medians in microseconds\n", rounds);
  for (std::size_t i = 0; i + 1 < kinds.size(); i += 2) {
    const double ratio = Median(kinds[i].times) / Median(kinds[i + 1].times);
    std::printf("%-24s trb2csv %6.0f  floor %6.0f  trb2csv/floor %.3f (target: at most 1.05)\n",
                fs::path(kinds[i].folder).parent_path().parent_path().c_str(),
                Median(kinds[i].times), Median(kinds[i + 1].times), ratio);
  }
  std::printf("trb2csv/start-up %.3f (start-up %.0f)\n",
              Median(kinds[0].times) / Median(kinds.back().times), Median(kinds.back().times));

  const long long whole = CountInstructions(program, kinds[0].folder);
  const long long start_up = CountInstructions(program, kinds.back().folder);
  if (whole > 0 && start_up > 0) {
    std::printf("instructions of the conversion: %lld (target: at most 400000)\n",
                whole - start_up);
  } else {
    std::printf("instructions of the conversion: not counted (valgrind is not installed)\n");
  }
  for (const fs::path& base : bases) fs::remove_all(base);
  return 0;
}
