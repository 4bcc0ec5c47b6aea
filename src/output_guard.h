// Which files the converter never writes its CSV lines over, and how it
// writes the others, decided from facts that the platform layer reads
// (file_facts.h), so that tables test every rule without files:
//
//   - the track file that was read, under any name: the same identity; and
//     any name at all where that identity could not be read;
//   - a track-tail file: a name ending in .trb, in any letter case, whether
//     it is the name given, a name a symbolic link leads to, or the name the
//     opened file has;
//   - a file that is not text: a NUL byte in its first kTextCheckSize bytes
//     (as git and grep judge; a track-tail file always has one, in the high
//     bytes of its point count);
//   - a text file that is no CSV file of numbers (a GPX or KML track, a web
//     page, a note), which a name given or a file dropped may reach: only an
//     empty file, or one whose first line holds numbers alone, is replaced;
//   - a CSV file that this run wrote already, for another track file;
//   - on Windows, a device name with an extension (com1.csv), which would
//     seem to be written and leave no file;
//   - a block device (a disk, a partition), a socket or a folder: only files,
//     devices of characters, FIFOs and terminals are written;
//   - a file another run of trb2csv is writing.
//
// A fact that cannot be read refuses the output, as it could be any of them.
// Each refusal says why in its cause.

#ifndef TRB2CSV_OUTPUT_GUARD_H_
#define TRB2CSV_OUTPUT_GUARD_H_

#include <cstddef>
#include <cstdint>

#include "file_facts.h"

constexpr int kTextCheckSize = 4096;

// True if the name ends in ".trb", in any case of the letters.
bool IsTrackTailName(const char* name);

// True if none of the size bytes is NUL; the caller passes at most the
// first kTextCheckSize bytes of a file.
bool IsText(const unsigned char* bytes, std::size_t size);

// True if the first line of the size bytes holds numbers alone, separated by
// commas, semicolons, tabs or blanks, each in double quotes or not, as trb2csv
// and spreadsheets write CSV files ("53.558080 , 10.004000 , \"1\"",
// "53,558080;10,004;1"), after a UTF-8 byte order mark if any; or if there is
// no byte at all. The line ends at a line end or after the bytes given.
bool HoldsLinesOfNumbers(const unsigned char* bytes, std::size_t size);

enum class OutputRefusal {
  kNone,
  kInputFile,         // the track file that was read
  kTrackTailFile,     // named *.trb, or reached through such a name
  kNotText,           // a NUL byte near its start
  kNotCsv,            // text, but its first line is not numbers
  kWrittenThisRun,    // the CSV file of an earlier track file of this run
  kDeviceName,        // a Windows device name with an extension
  kNotAFile,          // a block device, a socket or a folder
  kHeldByAnotherRun,  // another run of trb2csv is writing it
  kCannotOpen,        // the system would not open it
  kCannotCheck,       // a fact could not be read
};

// The verdict on an output: refused or not, why, and how it is reached.
struct OutputVerdict {
  OutputRefusal refusal;
  const char* cause;              // for every refusal
  int standard_stream = -1;       // 1 or 2 if that stream writes to the output
  std::size_t written_index = 0;  // for kWrittenThisRun: which of written_this_run
};

// A verdict of refusal, and its cause.
OutputVerdict Refused(OutputRefusal refusal, const char* cause);

// What a name leads to before anything is opened: every name on its chain
// of symbolic links, each target read from the folder of its link, as open
// follows them, each as the platform opens it (name_as_opened, NameAsOpened);
// next_link reads one link (ReadLink; tests pass tables of their own).
// names_device says that the platform opens the name as a device
// (NamesDeviceInDisguise); input_known that the track file read has an
// identity, without which no name can be known not to reach it.
struct NameVerdict {
  OutputVerdict verdict;  // kNone, kTrackTailFile, kDeviceName or kCannotCheck
  // For kNone: the last name of the chain, the one a new file would be
  // created as; for kTrackTailFile the name on it that ends in .trb (as the
  // platform opens it, where only that ends so). name itself, or valid until
  // the next call.
  const char* final_name;
};
using LinkReader = LinkRead (*)(const char* name, char* target, std::size_t size, int* error);
using NameReader = const char* (*)(const char* name);
// error_text says an error number of next_link in words (ErrorText).
NameVerdict JudgeOutputName(const char* name, bool names_device, bool input_known,
                            LinkReader next_link, NameReader name_as_opened,
                            const char* (*error_text)(int));

// A name judged a track-tail file, whose file named has this identity: the
// message says it is the input, where it is.
OutputVerdict JudgeTrackTailName(const std::optional<FileIdentity>& named,
                                 const FileIdentity& input);

// What the platform layer read of an opened output.
struct OutputFacts {
  FileKind kind;
  std::optional<FileIdentity> identity;
  // The opened file's own name (OwnNameOf); null if it cannot be known.
  const char* own_name;
  // The first bytes of a regular file, at most kTextCheckSize; a
  // leading_size of -1 if they cannot be read, and leading_cause why.
  const unsigned char* leading_bytes;
  long leading_size;
  const char* leading_cause;
  // Standard output and standard error (index 0 and 1).
  StreamFacts streams[2];
  // A FIFO that may have no reader: under Wine it cannot be told.
  bool reader_unknown = false;
  // For the choice of how it is written: a link on the way of the name
  // given, and what a file put in its place would not keep.
  bool through_link = false;
  bool created = false;
  std::uint64_t links = 1;
  bool owned_by_user = true;
  bool access_list = false;
  // The CSV files this run has written, for earlier track files.
  const FileIdentity* written_this_run = nullptr;
  std::size_t written_count = 0;
};

// Judges the opened output against the identity of the track file read.
OutputVerdict JudgeOpenedOutput(const FileIdentity& input, const OutputFacts& output);

// How the lines reach an output that the verdict allows.
enum class WriteWay {
  kStream,   // a FIFO, a device or a standard stream: at its position
  kReplace,  // a new file beside it, renamed over it: the old one stays whole until then
  kInPlace,  // written over from its start and cut: the file keeps its inode
};
// A file is replaced by rename only where nothing the user sees changes (as
// vim's backupcopy=auto judges): a regular file that existed, reached by no
// link, with one name, the user's own, without an access list. The platform
// falls back to writing in place where no file can be made beside it.
WriteWay ChooseWriteWay(const OutputFacts& output, const OutputVerdict& verdict);

// The name of the new file that replaces name: ".NAME.trb2csv-new" in the
// same folder, which ends after the last of the separators ("/", or "/\\:"
// on Windows). False if it does not fit size bytes.
bool ReplacementName(const char* name, const char* separators, char* replacement, std::size_t size);

#endif  // TRB2CSV_OUTPUT_GUARD_H_
