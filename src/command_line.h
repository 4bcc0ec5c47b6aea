// What the command line asks trb2csv to do, as a pure function of the
// arguments, so that a table tests its rules:
//
//   trb2csv                 convert ceTrackTail.trb into KeloTrackTail.csv
//   trb2csv NAME            ... into NAME
//   trb2csv -quiet ...      ... into KeloTrackTail.csv, with no banner, summary
//                           or closing key wait; the words after it are ignored
//   trb2csv TRACK.trb ...   convert each existing track file named, in turn,
//                           into a CSV file beside it (as a drop of track files
//                           on trb2csv.exe gives them)
//   trb2csv --help          a short usage (also -h, -? and /?)
//   trb2csv --version       the version
//
// -quiet is matched in any letter case of A to Z, and only as the first
// argument. A single other argument that starts with - is an unknown option.
// Any other list of arguments is ignored: KeloTrackTail.csv is written.

#ifndef TRB2CSV_COMMAND_LINE_H_
#define TRB2CSV_COMMAND_LINE_H_

enum class Action { kConvert, kConvertTrackFiles, kHelp, kVersion, kUnknownOption };

// Names are at most this long, as the names' fields of 254 bytes hold them.
constexpr int kMaxNameLength = 253;

struct CommandLine {
  Action action;
  bool quiet;
  // kConvert: the CSV file named, or null for KeloTrackTail.csv;
  // name_too_long if it has more than kMaxNameLength bytes (and is null).
  const char* output_name;
  bool name_too_long;
  // The arguments ignored: from argv[first_ignored] on; none if it is argc.
  int first_ignored;
};

// Whether an argument names an existing track file: a file named *.trb, or
// reached through a symbolic link by such a name.
using TrackFileTest = bool (*)(const char* name);

// Reads argv[1] to argv[argc - 1]. For kConvertTrackFiles they are the track
// files; for kUnknownOption argv[1] is the option.
CommandLine ParseCommandLine(int argc, const char* const* argv, TrackFileTest names_track_file);

#endif  // TRB2CSV_COMMAND_LINE_H_
