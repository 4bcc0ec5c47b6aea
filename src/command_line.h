// What the command line asks trb2csv to do, as a pure function of the
// arguments, so that a table tests its rules:
//
//   trb2csv                 convert ceTrackTail.trb into KeloTrackTail.csv
//   trb2csv NAME            ... into NAME
//   trb2csv -quiet ...      ... into KeloTrackTail.csv, with no banner, summary
//                           or closing key wait; the words after it are ignored
//   trb2csv TRACK.trb ...   convert each track file named, in turn, into a CSV
//                           file beside it (as a drop of files on trb2csv.exe
//                           gives them), also after -quiet
//   trb2csv --help          a short usage (also -h, -? and /?)
//   trb2csv --version       the version
//
// An argument names a track file when it ends in .trb, in any letter case,
// or leads to such a file through links; when any argument (after a first
// -quiet) does, every one of them is taken in turn, and the others are left
// alone. -quiet is matched in any letter case of A to Z, and only as the
// first argument. A single other argument that starts with - is an unknown
// option. Any other list of arguments is ignored: KeloTrackTail.csv is
// written.

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
  // kConvertTrackFiles: the arguments to take in turn, from
  // argv[first_track_argument] on (NamesTrackFile tells which name one).
  int first_track_argument;
};

// Whether a name that does not end in .trb leads to an existing track file
// through symbolic links.
using TrackFileTest = bool (*)(const char* name);

// True if the argument names a track file: its name ends in .trb, in any
// letter case, or leads_to_track_file says so.
bool NamesTrackFile(const char* argument, TrackFileTest leads_to_track_file);

// Reads argv[1] to argv[argc - 1]. For kUnknownOption argv[1] is the option.
CommandLine ParseCommandLine(int argc, const char* const* argv, TrackFileTest leads_to_track_file);

// True if a folder on the path ends in .zip, in any letter case: where
// Explorer unpacks a program that is started from inside a zip file, alone.
bool IsInsideZipFolder(const char* path);

#endif  // TRB2CSV_COMMAND_LINE_H_
