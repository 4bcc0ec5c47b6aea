#include "run_flow.h"

#include <csignal>
#include <cstdio>
#include <cstring>

#include "converter_state.h"
#include "csv_exporter.h"
#include "file_access.h"
#include "key_wait.h"
#include "track_tail_loader.h"

namespace {

constexpr std::size_t kNameFieldSize = 254;  // 253 characters and a zero

bool IsQuietOption(const char* argument) {
  const char kOption[] = "-quiet";
  for (std::size_t i = 0; i < sizeof kOption; ++i) {
    char c = argument[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kOption[i]) return false;
  }
  return true;
}

void PromptAndWait() {
  std::printf("\nPress any key");
  WaitForKey();
}

void NoticeLoadLimit(std::int32_t loaded_byte_count) {
  std::printf("**** ceTrackTail too big to read into memory buffer: %d\n",
              static_cast<int>(loaded_byte_count));
  PromptAndWait();
}

// Exports the loaded track and prints the outcome; false on an error.
bool ExportTrack(const char* input_name, const char* output_name, std::int32_t header_point_count) {
  ExportResult result = {ExportOutcome::kCannotOpen, 0};
  if (IsSameFile(input_name, output_name)) {
    std::printf("%s is the input file and is not overwritten!\n", output_name);
  } else {
    result = ExportCsv(output_name, header_point_count);
    if (result.outcome == ExportOutcome::kCannotOpen) {
      std::printf("%s could not opend!\n", output_name);
    } else if (result.outcome == ExportOutcome::kWriteFailed) {
      std::printf("%s could not be written!\n", output_name);
      return false;
    }
  }
  if (!g_quiet_mode) {
    std::printf("%s --> %s : %d Trackpoints\n", input_name, output_name,
                static_cast<int>(result.records_walked));
  }
  return result.outcome == ExportOutcome::kWritten;
}

}  // namespace

int RunConverter(int argc, const char* const* argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  // A pipe whose reader has gone, or a file size limit, makes a write fail
  // instead of ending the run: console text is then lost quietly, and a CSV
  // file that cannot be written whole is reported.
#ifdef SIGPIPE
  std::signal(SIGPIPE, SIG_IGN);
#endif
#ifdef SIGXFSZ
  std::signal(SIGXFSZ, SIG_IGN);
#endif

  g_quiet_mode = false;
  char output_name[kNameFieldSize] = "";
  bool output_name_too_long = false;

  if (argc >= 2 && IsQuietOption(argv[1])) {
    g_quiet_mode = true;
  } else if (argc == 2 && argv[1][0] != '\0') {
    if (std::strlen(argv[1]) < kNameFieldSize) {
      std::strcpy(output_name, argv[1]);
    } else {
      output_name_too_long = true;
    }
  }
  if (output_name[0] == '\0') std::strcpy(output_name, "KeloTrackTail.csv");

  if (!g_quiet_mode) std::printf("KeloCE trb to csv Converter  (Lat-Lon)  /v1.0 18.05.09\n");

  bool failed = false;
  if (output_name_too_long) {
    std::printf("Output name is longer than %d characters!\n",
                static_cast<int>(kNameFieldSize - 1));
    failed = true;
  } else {
    const char input_name[kNameFieldSize] = "ceTrackTail.trb";
    const LoadResult load = LoadTrackTail(input_name, NoticeLoadLimit);
    if (load.outcome != LoadOutcome::kOpened) {
      std::printf("%s could not opened!\n", input_name);
      failed = true;
    }
    if (g_loaded_byte_count >= kLoadLimit) failed = true;
    if (g_loaded_byte_count > 0 && !ExportTrack(input_name, output_name, load.header_point_count)) {
      failed = true;
    }
  }

  if (!g_quiet_mode) PromptAndWait();
  return failed ? 1 : 0;
}
