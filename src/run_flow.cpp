#include "run_flow.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <optional>

#include "ascii.h"
#include "console_text.h"
#include "converter_state.h"
#include "csv_exporter.h"
#include "file_access.h"
#include "key_wait.h"
#include "output_guard.h"
#include "track_tail_check.h"
#include "track_tail_loader.h"
#include "version.h"

namespace {

constexpr std::size_t kNameFieldSize = 254;  // 253 characters and a zero

bool IsQuietOption(const char* argument) {
  const char kOption[] = "-quiet";
  return std::strlen(argument) == sizeof kOption - 1 &&
         MatchesIgnoringCase(argument, kOption, sizeof kOption - 1);
}

// "/?" is the Windows way of asking; the others are the usual ones.
bool IsHelpOption(const char* argument) {
  const char* const kOptions[] = {"-h", "-?", "--help", "/?"};
  return std::any_of(std::begin(kOptions), std::end(kOptions),
                     [argument](const char* option) { return std::strcmp(argument, option) == 0; });
}

const char kUsageLine[] = "Usage: trb2csv [-quiet | NAME | --help | --version]\n";

void PrintUsage() {
  PrintText(stdout,
            "%s"
            "Reads ceTrackTail.trb in the current folder and writes its track as CSV lines\n"
            "of latitude, longitude and point number to KeloTrackTail.csv, or to NAME\n"
            "(a NAME that starts with - is written ./-NAME).\n"
            "\n"
            "  -quiet     no banner, no summary and no closing key wait\n"
            "  --help     this text\n"
            "  --version  the version\n"
            "\n"
            "Never overwritten: the track file itself, any file named *.trb (also through\n"
            "a link), and any file that is not text (a NUL byte in its first 4 KiB).\n"
            "Exit status: 0 when the CSV file holds the whole track, 1 when it was not\n"
            "written or not whole (the cause is on standard error), 2 for an unknown option.\n"
#ifdef _WIN32
            "More in README.txt, beside trb2csv.exe.\n",
#else
            "More in README.md and in the manual page, trb2csv(1).\n",
#endif
            kUsageLine);
}

// The hint for a name that was taken for the track file rather than the CSV.
void PrintTrackFileHint(const char* output_name) {
  PrintText(stderr,
            "trb2csv: %s: a track file is never overwritten; the one argument names the CSV "
            "file to write, and the track is always read from ceTrackTail.trb in the current "
            "folder\n",
            output_name);
}

void PromptAndWait() {
  const char kPrompt[] = "\nPress any key";
  PrintText(stdout, "%s", kPrompt);
  WaitForKey(kPrompt);
}

void NoticeLoadLimit(std::int32_t loaded_byte_count) {
  PrintText(stdout, "**** ceTrackTail too big to read into memory buffer: %d\n",
            static_cast<int>(loaded_byte_count));
  PromptAndWait();
}

// Says on standard error what the output holds after a write that failed.
void ExplainWriteFailure(const char* output_name, const ExportResult& result) {
  PrintText(stderr, "trb2csv: %s: %s; ", output_name, result.cause);
  if (result.to_stream) {
    PrintText(stderr, "only part of the track (%d of %d lines) reached it\n",
              static_cast<int>(result.lines_kept), static_cast<int>(result.converted.lines));
    return;
  }
  switch (result.holds) {
    case Overwritten::kWhole:
      PrintText(stderr, "%s may not hold the whole track\n", output_name);
      break;
    case Overwritten::kPart:
      if (result.lines_kept == 0) {
        PrintText(stderr, "%s is now empty\n", output_name);
      } else {
        PrintText(stderr, "%s now holds only part of the track (%d of %d lines)\n", output_name,
                  static_cast<int>(result.lines_kept), static_cast<int>(result.converted.lines));
      }
      break;
    case Overwritten::kPartAndOldRest:
      PrintText(stderr,
                "%s now holds %d of the %d lines of the track, and after them what it held "
                "before\n",
                output_name, static_cast<int>(result.lines_kept),
                static_cast<int>(result.converted.lines));
      break;
    case Overwritten::kUnchanged:
      PrintText(stderr, "%s was left as it was\n", output_name);
      break;
  }
}

// Says on standard error why a track gave no line to write.
void ExplainNothingToWrite(const char* input_name, const char* output_name,
                           std::int32_t header_point_count, std::int32_t records_walked) {
  PrintText(stderr, "trb2csv: %s: ", input_name);
  if (header_point_count <= 0) {
    PrintText(stderr, "its point count is %d, so it holds no track point",
              static_cast<int>(header_point_count));
  } else if (records_walked == 0) {
    PrintText(stderr, "holds no whole track point record (%d bytes after its first %d)",
              static_cast<int>(g_loaded_byte_count), kBodyOffset);
  } else {
    PrintText(stderr, "none of its %d records lies within the coordinate range",
              static_cast<int>(records_walked));
  }
  PrintText(stderr, "; %s was not written\n", output_name);
}

// Exports the loaded track and prints the outcome.
ExportResult ExportAndReport(const char* input_name, const char* output_name,
                             std::int32_t header_point_count,
                             const std::optional<FileIdentity>& input) {
  const ExportResult result = ExportCsv(output_name, header_point_count, input);
  switch (result.outcome) {
    case ExportOutcome::kWritten:
      break;
    case ExportOutcome::kNothingToWrite:
      ExplainNothingToWrite(input_name, output_name, header_point_count, result.records_walked);
      break;
    case ExportOutcome::kInputFile:
      PrintText(stdout, "%s is the input file and is not overwritten!\n", output_name);
      PrintTrackFileHint(output_name);
      break;
    case ExportOutcome::kTrackTailFile:
      PrintText(stdout, "%s is a track-tail file and is not overwritten!\n", output_name);
      PrintTrackFileHint(output_name);
      break;
    case ExportOutcome::kNotText:
      PrintText(stdout, "%s is not a text file and is not overwritten!\n", output_name);
      PrintText(stderr, "trb2csv: %s: holds a NUL byte in its first %d bytes\n", output_name,
                kTextCheckSize);
      break;
    case ExportOutcome::kCannotOpen:
      PrintText(stdout, "%s could not opend!\n", output_name);
      PrintText(stderr, "trb2csv: %s: %s\n", output_name, result.cause);
      break;
    case ExportOutcome::kWriteFailed:
      PrintText(stdout, "%s could not be written!\n", output_name);
      ExplainWriteFailure(output_name, result);
      return result;
  }
  if (!g_quiet_mode) {
    PrintText(stdout, "%s --> %s : %d Trackpoints\n", input_name, output_name,
              static_cast<int>(result.records_walked));
  }
  return result;
}

// Warns on standard error of a file that converts, but does not look like
// a track-tail file, and of the records left out at the load limit.
void WarnOfTrackFile(const char* input_name, const LoadResult& load, const CsvText& converted) {
  static char doubts[kMaxDoubtsSize];
  if (DescribeDoubts(load.header_point_count, load.file_size, converted.records_walked,
                     converted.lines, doubts) > 0) {
    PrintText(stderr, "trb2csv: %s: does not look like a track-tail file: %s\n", input_name,
              doubts);
  }
  if (load.record_left_out) {
    PrintText(stderr,
              "trb2csv: %s: holds more than its first %d whole records, which alone were "
              "converted\n",
              input_name, static_cast<int>(kMaxRecords));
  }
}

// Says on standard error why the track file gave nothing to write.
void ExplainLoad(const char* input_name, const char* output_name, const LoadResult& load) {
  if (load.outcome == LoadOutcome::kOpened) {
    if (g_loaded_byte_count == 0) {
      PrintText(stderr,
                "trb2csv: %s: holds no track point (%d bytes or fewer); %s was not written\n",
                input_name, kBodyOffset, output_name);
    }
    return;
  }
  PrintText(stderr, "trb2csv: %s: %s, in %s", input_name, load.cause, CurrentFolder());
  if (load.outcome == LoadOutcome::kCannotOpen) {
    PrintText(stderr,
              " (the track is read from this name in the current folder; the one "
              "argument names the CSV file to write)");
  }
  PrintText(stderr, "\n");
}

}  // namespace

int RunConverter(int argc, const char* const* argv) {
  OpenClosedStandardStreams();
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
    PrintText(stdout, "trb2csv %s\n", TRB2CSV_VERSION);
    return 0;
  }
  // Any other single option is not taken for a file name to write.
  if (argc == 2 && argv[1][0] == '-' && !IsQuietOption(argv[1])) {
    PrintText(stderr, "trb2csv: unknown option %s\n%s", argv[1], kUsageLine);
    return 2;
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
  if (argc > 2) {
    PrintText(stderr, "trb2csv:");
    for (int i = g_quiet_mode ? 2 : 1; i < argc; ++i) PrintText(stderr, " %s", argv[i]);
    PrintText(stderr, ": ignored; a single argument names the CSV file%s, so %s is written\n",
              g_quiet_mode ? ", and -quiet takes none" : "", output_name);
  }

  if (!g_quiet_mode) PrintText(stdout, "KeloCE trb to csv Converter  (Lat-Lon)  /v1.0 18.05.09\n");

  bool failed = false;
  if (output_name_too_long) {
    PrintText(stdout, "Output name is longer than %d characters!\n",
              static_cast<int>(kNameFieldSize - 1));
    failed = true;
  } else {
    const char input_name[kNameFieldSize] = "ceTrackTail.trb";
    const LoadResult load = LoadTrackTail(input_name, NoticeLoadLimit);
    if (load.outcome != LoadOutcome::kOpened) {
      PrintText(stdout, "%s could not opened!\n", input_name);
    }
    ExplainLoad(input_name, output_name, load);
    // A run that leaves the CSV file as it was, or not whole, has failed.
    if (g_loaded_byte_count <= 0 || load.record_left_out) failed = true;
    if (g_loaded_byte_count > 0) {
      const ExportResult result =
          ExportAndReport(input_name, output_name, load.header_point_count, load.identity);
      if (result.outcome != ExportOutcome::kWritten) failed = true;
      // A track without a line has been explained already.
      if (result.outcome != ExportOutcome::kNothingToWrite) {
        WarnOfTrackFile(input_name, load, result.converted);
      }
    }
  }

  if (!g_quiet_mode) PromptAndWait();
  return failed ? 1 : 0;
}
