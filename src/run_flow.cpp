#include "run_flow.h"

#include <cstdio>
#include <cstring>
#include <optional>

#include "command_line.h"
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

constexpr std::size_t kNameFieldSize = kMaxNameLength + 1;  // and a terminating zero

const char kUsageLine[] =
    "Usage: trb2csv [-quiet | NAME | [-quiet] TRACK.trb... | --help | --version]\n";

void PrintUsage() {
  PrintText(stdout,
            "%s"
            "Reads ceTrackTail.trb in the current folder and writes its track as CSV lines\n"
            "of latitude, longitude and point number to KeloTrackTail.csv, or to NAME\n"
            "(a NAME that starts with - is written ./-NAME). When any argument names a\n"
            "track file (TRACK.trb, one or several, as dropped on trb2csv.exe), each is\n"
            "converted into a CSV file beside it, TRACK.csv, also after -quiet; other\n"
            "words are left alone, and a CSV file is written once.\n"
            "\n"
            "  -quiet     no banner, no summary and no closing key wait\n"
            "  --help     this text\n"
            "  --version  the version\n"
            "\n"
            "Never overwritten: the track file itself, any file named *.trb (also through\n"
            "a link), any file that is not text (a NUL byte in its first 4 KiB), and any\n"
            "text whose first line is not numbers (a GPX track, a web page, a note).\n"
            "Exit status: 0 when the CSV file holds the whole track, 1 when it was not\n"
            "written or not whole (the cause is on standard error), 2 for an unknown option.\n"
            "%s",
            kUsageLine, kWhereToReadMore);
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
void ExplainWriteFailure(const char* output_name, const OutputResult& result,
                         std::int32_t all_lines) {
  const int kept = static_cast<int>(result.lines_kept);
  const int lines = static_cast<int>(all_lines);
  if (result.to_stream) {
    PrintCause(output_name, "%s; only part of the track (%d of %d lines) reached it", result.cause,
               kept, lines);
    return;
  }
  switch (result.holds) {
    case Overwritten::kWhole:
      PrintCause(output_name, "%s; %s may not hold the whole track", result.cause, output_name);
      break;
    case Overwritten::kPart:
      if (kept == 0) {
        PrintCause(output_name, "%s; %s is now empty", result.cause, output_name);
      } else {
        PrintCause(output_name, "%s; %s now holds only part of the track (%d of %d lines)",
                   result.cause, output_name, kept, lines);
      }
      break;
    case Overwritten::kPartAndOldRest:
      PrintCause(output_name,
                 "%s; %s now holds %d of the %d lines of the track, and after them what it "
                 "held before",
                 result.cause, output_name, kept, lines);
      break;
    case Overwritten::kUnchanged:
      PrintCause(output_name, "%s; %s was left as it was", result.cause, output_name);
      break;
  }
}

// Says on standard error why a track gave no line to write.
void ExplainNothingToWrite(const char* input_name, const char* output_name,
                           std::int32_t header_point_count, std::int32_t records_walked) {
  if (header_point_count <= 0) {
    PrintCause(input_name, "its point count is %d, so it holds no track point; %s was not written",
               static_cast<int>(header_point_count), output_name);
  } else if (records_walked == 0) {
    PrintCause(input_name,
               "holds no whole track point record (%d bytes after its first %d); %s was not "
               "written",
               static_cast<int>(g_loaded_byte_count), kBodyOffset, output_name);
  } else {
    PrintCause(input_name,
               "none of its %d records lies within the coordinate range; %s was not written",
               static_cast<int>(records_walked), output_name);
  }
}

// What one run has written, so that no later track file of the run writes
// over the CSV file of an earlier one: each CSV file and the track file it
// came from. A fixed number: more than a command line of Windows can name.
constexpr std::size_t kMaxTrackFiles = 8192;
struct Conversions {
  FileIdentity csv_files[kMaxTrackFiles];
  FileIdentity track_files[kMaxTrackFiles];
  const char* track_names[kMaxTrackFiles];
  std::size_t count;
};
Conversions g_conversions;

void Remember(const ExportResult& result, const std::optional<FileIdentity>& track,
              const char* track_name) {
  if (!result.output.now_named || !track || g_conversions.count == kMaxTrackFiles) return;
  g_conversions.csv_files[g_conversions.count] = *result.output.now_named;
  g_conversions.track_files[g_conversions.count] = *track;
  g_conversions.track_names[g_conversions.count] = track_name;
  ++g_conversions.count;
}

// The line on standard output for each refusal of an output; the cause on
// standard error is the verdict's.
const char* RefusalLine(OutputRefusal refusal) {
  switch (refusal) {
    case OutputRefusal::kInputFile:
      return "%s is the input file and is not overwritten!\n";
    case OutputRefusal::kTrackTailFile:
      return "%s is a track-tail file and is not overwritten!\n";
    case OutputRefusal::kNotText:
      return "%s is not a text file and is not overwritten!\n";
    case OutputRefusal::kNotCsv:
      return "%s is not a CSV file and is not overwritten!\n";
    default:  // it could not be opened, or checked, for this
      return "%s could not opend!\n";
  }
}

// Exports the loaded track and prints the outcome.
ExportResult ExportAndReport(const char* input_name, const char* output_name,
                             std::int32_t header_point_count,
                             const std::optional<FileIdentity>& input) {
  const ExportResult result = ExportCsv(output_name, header_point_count, input,
                                        {g_conversions.csv_files, g_conversions.count});
  const OutputVerdict& verdict = result.output.verdict;
  if (result.outcome == Exported::kNothingToWrite) {
    ExplainNothingToWrite(input_name, output_name, header_point_count,
                          result.converted.records_walked);
  } else if (result.output.failed) {
    PrintText(stdout, "%s could not be written!\n", output_name);
    ExplainWriteFailure(output_name, result.output, result.converted.lines);
    return result;
  } else if (verdict.refusal == OutputRefusal::kWrittenThisRun) {
    PrintText(stdout, RefusalLine(verdict.refusal), output_name);
    PrintCause(output_name,
               "this run wrote it already, for %s, and does not replace it with the CSV lines "
               "of %s",
               g_conversions.track_names[verdict.written_index], input_name);
  } else if (verdict.refusal != OutputRefusal::kNone) {
    PrintText(stdout, RefusalLine(verdict.refusal), output_name);
    PrintCause(output_name, "%s", verdict.cause);
  }
  if (!g_quiet_mode) {
    const bool refused = result.outcome == Exported::kNotWritten;
    PrintText(stdout, "%s --> %s : %d Trackpoints\n", input_name, output_name,
              refused ? 0 : static_cast<int>(result.converted.records_walked));
  }
  return result;
}

// Warns on standard error of a file that converts, but does not look like
// a track-tail file, and of the records left out at the load limit.
void WarnOfTrackFile(const char* input_name, const LoadResult& load, const CsvText& converted) {
  static char doubts[kMaxDoubtsSize];
  if (DescribeDoubts(load.header_point_count, load.file_size, converted.records_walked,
                     converted.lines, doubts) > 0) {
    PrintCause(input_name, "does not look like a track-tail file: %s", doubts);
  }
  if (load.record_left_out) {
    PrintCause(input_name,
               "converted in part: it holds more than its first %d whole records, which alone "
               "were converted",
               static_cast<int>(kMaxRecords));
  }
}

// How far a track file was converted.
enum class Conversion {
  kWhole,
  kPart,      // cut at the load limit: the CSV file holds the records loaded
  kNone,      // the CSV file was not written, or not whole
  kRepeated,  // the same track file as one converted before in this run
};

// Loads the track file; says on standard error why it cannot be opened,
// with the hint given, if any.
LoadResult Load(const char* input_name, const char* hint) {
  const LoadResult load = LoadTrackTail(input_name, NoticeLoadLimit);
  if (load.outcome != LoadOutcome::kOpened) {
    PrintText(stdout, "%s could not opened!\n", input_name);
    PrintCause(input_name, "%s, in %s%s", load.cause, CurrentFolder(),
               load.outcome == LoadOutcome::kCannotOpen ? hint : "");
  }
  return load;
}

// Converts the loaded track into the CSV file and says how it went.
Conversion ExportLoaded(const char* input_name, const char* output_name, const LoadResult& load) {
  if (g_loaded_byte_count == 0) {
    PrintCause(input_name, "holds no track point (%d bytes or fewer); %s was not written",
               kBodyOffset, output_name);
    return Conversion::kNone;
  }
  const ExportResult result =
      ExportAndReport(input_name, output_name, load.header_point_count, load.identity);
  // A track without a line has been explained already.
  if (result.outcome != Exported::kNothingToWrite)
    WarnOfTrackFile(input_name, load, result.converted);
  if (result.outcome != Exported::kWritten) return Conversion::kNone;
  Remember(result, load.identity, input_name);
  return load.record_left_out ? Conversion::kPart : Conversion::kWhole;
}

void RefuseLongName(const char* name) {
  PrintText(stdout, "Output name is longer than %d characters!\n", kMaxNameLength);
  PrintCause(name, "%d bytes, more than %d, so nothing is read or written",
             static_cast<int>(std::strlen(name)), kMaxNameLength);
}

NameVerdict JudgeTrackFileName(const char* name) {
  return JudgeOutputName(name, false, true, ReadLink, NameAsOpened, ErrorText);
}

bool LeadsToTrackFile(const char* name) {
  return !NamesDeviceInDisguise(name) &&
         JudgeTrackFileName(name).verdict.refusal == OutputRefusal::kTrackTailFile &&
         IsExistingFile(name);
}

// The CSV file beside the track file that was opened by the name given: the
// name, or the name its links lead to, with .csv for .trb; judged now, on
// the file opened. Null, and said why, if that name no longer ends in .trb,
// reaches another file, or is too long.
const char* CsvNameBeside(const char* track_name, const std::optional<FileIdentity>& opened) {
  static char csv_name[kNameFieldSize];
  const NameVerdict verdict = JudgeTrackFileName(track_name);
  const char* track = verdict.final_name;
  if (verdict.verdict.refusal != OutputRefusal::kTrackTailFile || !opened ||
      IdentityOfName(track) != opened) {
    PrintCause(track_name, "no longer leads to the track file that was read, so it is left alone");
    return nullptr;
  }
  const std::size_t length = std::strlen(track);  // at least ".trb"
  if (length > kMaxNameLength) {
    RefuseLongName(track);
    return nullptr;
  }
  std::memcpy(csv_name, track, length - 4);
  std::strcpy(csv_name + length - 4, ".csv");
  return csv_name;
}

Conversion ConvertTrackFile(const char* track_name) {
  if (std::strlen(track_name) > kMaxNameLength) {
    RefuseLongName(track_name);
    return Conversion::kNone;
  }
  const LoadResult load = Load(track_name, "");
  if (load.outcome != LoadOutcome::kOpened) return Conversion::kNone;
  for (std::size_t i = 0; load.identity && i < g_conversions.count; ++i) {
    if (g_conversions.track_files[i] == *load.identity) {
      PrintCause(track_name, "the same track file as %s, converted once",
                 g_conversions.track_names[i]);
      return Conversion::kRepeated;
    }
  }
  const char* csv_name = CsvNameBeside(track_name, load.identity);
  return csv_name ? ExportLoaded(track_name, csv_name, load) : Conversion::kNone;
}

// Converts each track file named into the CSV file beside it; the other
// words are left alone. True if every argument was a track file, converted.
bool ConvertTrackFiles(int count, const char* const* arguments) {
  int tracks = 0;
  int not_converted = 0;
  int in_part = 0;
  bool all_converted = true;
  for (int i = 0; i < count; ++i) {
    const char* argument = arguments[i];
    if (!NamesTrackFile(argument, LeadsToTrackFile)) {
      PrintCause(argument, "left alone: it names no track file (TRACK.trb)");
      all_converted = false;
      continue;
    }
    ++tracks;
    switch (ConvertTrackFile(argument)) {
      case Conversion::kWhole:
      case Conversion::kRepeated:
        break;
      case Conversion::kPart:
        ++in_part;
        break;
      case Conversion::kNone:
        ++not_converted;
        if (count > 1) PrintCause(argument, "not converted");
        break;
    }
  }
  if (tracks > 1 && not_converted > 0) {
    PrintCause(nullptr, "%d of the %d track files were not converted", not_converted, tracks);
  }
  if (tracks > 1 && in_part > 0) {
    PrintCause(nullptr, "%d of the %d track files were converted in part", in_part, tracks);
  }
  return all_converted && not_converted == 0 && in_part == 0;
}

// A program that Explorer started from inside a zip file runs alone in a
// temporary folder, without the sample track or anything else of the zip.
void WarnOfZipFolder() {
  const char* folder = CurrentFolder();
  if (!IsInsideZipFolder(folder)) return;
  PrintCause(folder,
             "a folder of a zip file, where Windows put trb2csv alone to start it: unpack the "
             "whole zip file first (Extract All), and start trb2csv there");
}

// Says on standard error which words were ignored, and what is written.
void SayIgnored(int argc, const char* const* argv, int first_ignored, const char* output_name) {
  static char ignored[2048];  // the words, as far as they fit
  std::size_t length = 0;
  for (int i = first_ignored; i < argc && length < sizeof ignored; ++i) {
    const int added = std::snprintf(ignored + length, sizeof ignored - length, "%s%s",
                                    i > first_ignored ? " " : "", argv[i]);
    length += added > 0 ? static_cast<std::size_t>(added) : 0;
  }
  PrintCause(ignored, "ignored; a single argument names the CSV file%s, so %s is written",
             g_quiet_mode ? ", and -quiet takes none" : "", output_name);
}

// Converts ceTrackTail.trb in the current folder into the CSV file; the
// hint for a missing track file fits the command line: named is the name
// given, if any. True if the CSV file holds the whole track.
bool ConvertCeTrackTail(const char* named, const char* output_name) {
  static char hint[kNameFieldSize + 128];
  if (named) {
    std::snprintf(hint, sizeof hint,
                  " (the track is read from this name in the current folder; %s, the one "
                  "argument, names the CSV file to write)",
                  named);
  } else {
    std::snprintf(hint, sizeof hint,
                  " (the track is read from this name in the current folder; to convert track "
                  "files of other names, name them: trb2csv TRACK.trb)");
  }
  const LoadResult load = Load("ceTrackTail.trb", hint);
  return load.outcome == LoadOutcome::kOpened &&
         ExportLoaded("ceTrackTail.trb", output_name, load) == Conversion::kWhole;
}

}  // namespace

int RunConverter(int argc, const char* const* argv) {
  // Console text to a pipe whose reader has gone is then lost quietly, and a
  // CSV file that cannot be written whole is reported.
  PrepareStandardStreams();
  std::setvbuf(stdout, nullptr, _IONBF, 0);

  const CommandLine line = ParseCommandLine(argc, argv, LeadsToTrackFile);
  // Asking for help or the version reads and writes nothing and does not wait.
  switch (line.action) {
    case Action::kHelp:
      PrintUsage();
      return 0;
    case Action::kVersion:
      PrintText(stdout, "trb2csv %s\n", TRB2CSV_VERSION);
      return 0;
    case Action::kUnknownOption:
      PrintCause(argv[1], "unknown option");
      PrintText(stderr, "%s", kUsageLine);
      return 2;
    case Action::kConvert:
    case Action::kConvertTrackFiles:
      break;
  }

  g_quiet_mode = line.quiet;
  const char* output_name = line.output_name ? line.output_name : "KeloTrackTail.csv";
  if (line.first_ignored < argc) SayIgnored(argc, argv, line.first_ignored, output_name);

  if (!g_quiet_mode) PrintText(stdout, "KeloCE trb to csv Converter  (Lat-Lon)  /v1.0 18.05.09\n");
  bool converted = false;
  if (line.action == Action::kConvertTrackFiles) {
    converted =
        ConvertTrackFiles(argc - line.first_track_argument, argv + line.first_track_argument);
  } else if (line.name_too_long) {
    RefuseLongName(argv[1]);
  } else {
    converted = ConvertCeTrackTail(line.output_name, output_name);
  }
  WarnOfZipFolder();
  if (!g_quiet_mode) PromptAndWait();
  return converted ? 0 : 1;
}
