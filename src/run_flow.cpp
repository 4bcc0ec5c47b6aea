#include "run_flow.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iterator>

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

// "/?" is the Windows way of asking; the others are the usual ones.
bool IsHelpOption(const char* argument) {
  const char* const kOptions[] = {"-h", "-?", "--help", "/?"};
  return std::any_of(std::begin(kOptions), std::end(kOptions),
                     [argument](const char* option) { return std::strcmp(argument, option) == 0; });
}

void PrintUsage() {
  std::printf(
      "Usage: trb2csv [-quiet | NAME]\n"
      "Reads ceTrackTail.trb in the current folder and writes its track as CSV lines\n"
      "of latitude, longitude and point number to KeloTrackTail.csv, or to NAME.\n"
      "A .trb file is never overwritten.\n"
      "\n"
      "  -quiet   no banner, no summary and no closing key wait\n"
      "\n"
      "Exit status: 0 when the CSV file holds the whole track (or the input holds no\n"
      "track point), 1 when a problem was reported.\n"
      "More in README.md and in the manual page, trb2csv(1).\n");
}

void PromptAndWait() {
  const char kPrompt[] = "\nPress any key";
  std::printf("%s", kPrompt);
  WaitForKey(kPrompt);
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
  } else if (IsTrackTailFileName(output_name)) {
    std::printf("%s is a track-tail file and is not overwritten!\n", output_name);
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

  // Asking for help or the version reads and writes nothing and does not wait.
  if (argc == 2 && IsHelpOption(argv[1])) {
    PrintUsage();
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("trb2csv %s\n", TRB2CSV_VERSION);
    return 0;
  }

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
