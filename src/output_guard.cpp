#include "output_guard.h"

#include <cstdio>
#include <cstring>

#include "ascii.h"

namespace {

// As Linux follows them.
constexpr int kMaxLinks = 40;
// The longest name a link leads to: Linux's PATH_MAX.
constexpr std::size_t kMaxName = 4096;

// The name without its last component, with a slash at the end: "" for a
// name without a folder.
std::size_t FolderLength(const char* name) {
  const char* slash = std::strrchr(name, '/');
  return slash ? static_cast<std::size_t>(slash - name) + 1 : 0;
}

NameVerdict CannotCheck(const char* cause) {
  return {Refused(OutputRefusal::kCannotCheck, cause), nullptr};
}

// Why a track file is never written over, with how to name one to convert.
constexpr char kTrackFileCause[] =
    "a track file is never overwritten; an argument that ends in .trb names a track file to "
    "convert beside itself, another the CSV file to write, and without one the track is read "
    "from ceTrackTail.trb in the current folder";
static_assert(kTextCheckSize == 4096, "the cause below says so");

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// A number as a spreadsheet writes it: a sign, digits with a full stop or a
// comma among them, an exponent; from *at, which it moves past it.
bool SkipNumber(const unsigned char* line, std::size_t end, std::size_t* at) {
  std::size_t i = *at;
  if (i < end && (line[i] == '-' || line[i] == '+')) ++i;
  std::size_t digits = 0;
  for (; i < end && IsDigit(line[i]); ++i) ++digits;
  if (i < end && (line[i] == '.' || line[i] == ',')) {
    for (++i; i < end && IsDigit(line[i]); ++i) ++digits;
  }
  if (digits == 0) return false;
  if (i < end && (line[i] == 'e' || line[i] == 'E')) {
    std::size_t exponent = i + 1;
    if (exponent < end && (line[exponent] == '-' || line[exponent] == '+')) ++exponent;
    if (exponent < end && IsDigit(line[exponent])) {
      i = exponent;
      while (i < end && IsDigit(line[i])) ++i;
    }
  }
  *at = i;
  return true;
}

bool IsSeparator(unsigned char c) { return c == ',' || c == ';' || c == '\t' || c == ' '; }

// Whether standard output or standard error writes to the output: then it
// is written through that stream, after what it holds.
OutputVerdict JudgeStandardStreams(const OutputFacts& output) {
  OutputVerdict verdict = {OutputRefusal::kNone, ""};
  for (int stream = 1; stream <= 2; ++stream) {
    const StreamFacts& facts = output.streams[stream - 1];
    if (output.kind == FileKind::kRegular && facts.kind == FileKind::kRegular && !facts.identity) {
      return {OutputRefusal::kCannotCheck,
              stream == 1 ? "standard output goes to a file whose identity cannot be read, so it "
                            "may be this one"
                          : "standard error goes to a file whose identity cannot be read, so it "
                            "may be this one"};
    }
    if (output.identity && facts.identity == output.identity) verdict.standard_stream = stream;
  }
  return verdict;
}

}  // namespace

OutputVerdict Refused(OutputRefusal refusal, const char* cause) { return {refusal, cause}; }

bool IsTrackTailName(const char* name) {
  const char kExtension[] = ".trb";
  const std::size_t kLength = sizeof kExtension - 1;
  const std::size_t length = std::strlen(name);
  return length >= kLength && MatchesIgnoringCase(name + length - kLength, kExtension, kLength);
}

bool IsText(const unsigned char* bytes, std::size_t size) {
  return std::memchr(bytes, 0, size) == nullptr;
}

bool HoldsLinesOfNumbers(const unsigned char* bytes, std::size_t size) {
  if (size == 0) return true;
  std::size_t at = size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF ? 3 : 0;
  std::size_t end = at;
  while (end < size && bytes[end] != '\n' && bytes[end] != '\r') ++end;
  int numbers = 0;
  while (true) {
    while (at < end && IsSeparator(bytes[at])) ++at;
    if (at == end) return numbers > 0;
    const bool quoted = bytes[at] == '"';
    if (quoted) ++at;
    // In quotes a comma is the decimal one, and blanks may stand around it.
    while (quoted && at < end && bytes[at] == ' ') ++at;
    if (!SkipNumber(bytes, end, &at)) return false;
    while (quoted && at < end && bytes[at] == ' ') ++at;
    if (quoted && (at == end || bytes[at++] != '"')) return false;
    if (at < end && !IsSeparator(bytes[at])) return false;
    ++numbers;
  }
}

// Each name on the way is judged as the platform opens it; a link's target
// is read from the folder of the link, as open reads it. A name that is no
// link, as most are, is not copied.
NameVerdict JudgeOutputName(const char* name, bool names_device, bool input_known,
                            LinkReader next_link, NameReader name_as_opened,
                            const char* (*error_text)(int)) {
  if (!input_known) {
    return CannotCheck("the track file's identity could not be read, so this name may reach it");
  }
  if (names_device) {
    return {Refused(OutputRefusal::kDeviceName, "a device name on Windows, which makes no file"),
            nullptr};
  }
  static char path[kMaxName];
  static char target[kMaxName];
  const char* current = name;
  for (int links = 0; links <= kMaxLinks; ++links) {
    const char* as_opened = name_as_opened(current);
    if (!as_opened) return CannotCheck("the name cannot be read as a path");
    if (IsTrackTailName(as_opened)) {
      return {Refused(OutputRefusal::kTrackTailFile, kTrackFileCause),
              IsTrackTailName(current) ? current : as_opened};
    }
    int error = 0;
    switch (next_link(current, target, sizeof target, &error)) {
      case LinkRead::kFailed:
        return CannotCheck(error_text(error));
      case LinkRead::kNotALink:
        return {Refused(OutputRefusal::kNone, ""), current};
      case LinkRead::kLink:
        break;
    }
    const std::size_t folder = target[0] == '/' ? 0 : FolderLength(current);
    if (folder + std::strlen(target) >= sizeof path) {
      return CannotCheck("a name a link leads to is too long to follow");
    }
    std::memmove(path, current, folder);
    std::strcpy(path + folder, target);
    current = path;
  }
  return CannotCheck("too many levels of symbolic links");
}

OutputVerdict JudgeTrackTailName(const std::optional<FileIdentity>& named,
                                 const FileIdentity& input) {
  return Refused(named == input ? OutputRefusal::kInputFile : OutputRefusal::kTrackTailFile,
                 kTrackFileCause);
}

OutputVerdict JudgeOpenedOutput(const FileIdentity& input, const OutputFacts& output) {
  switch (output.kind) {
    case FileKind::kBlockDevice:
      return Refused(OutputRefusal::kNotAFile,
                     "a block device (a disk or a partition), which is never written");
    case FileKind::kOther:
      return Refused(OutputRefusal::kNotAFile, "neither a file, a device of characters nor a FIFO");
    default:
      break;
  }
  if (output.reader_unknown) {
    return Refused(OutputRefusal::kCannotCheck,
                   "a FIFO, and whether anything reads it cannot be known");
  }
  if (output.kind == FileKind::kRegular && !output.identity) {
    return Refused(OutputRefusal::kCannotCheck,
                   "its identity cannot be read, so it may be the track file");
  }
  if (output.identity == input) return Refused(OutputRefusal::kInputFile, kTrackFileCause);
  for (std::size_t i = 0; output.identity && i < output.written_count; ++i) {
    if (output.written_this_run[i] == *output.identity) {
      OutputVerdict verdict = Refused(OutputRefusal::kWrittenThisRun, "");
      verdict.written_index = i;
      return verdict;
    }
  }
  const OutputVerdict verdict = JudgeStandardStreams(output);
  if (verdict.refusal != OutputRefusal::kNone || output.kind != FileKind::kRegular) return verdict;
  // A track file is a regular file: its own name is judged, whatever name
  // opened it, so that no name swapped in after the name was judged gets
  // one written over.
  if (!output.own_name) {
    return Refused(OutputRefusal::kCannotCheck,
                   "the opened file's own name cannot be read, so it may be a track file");
  }
  if (IsTrackTailName(output.own_name))
    return Refused(OutputRefusal::kTrackTailFile, kTrackFileCause);
  if (output.leading_size < 0) return Refused(OutputRefusal::kCannotCheck, output.leading_cause);
  const std::size_t checked = output.leading_size < kTextCheckSize
                                  ? static_cast<std::size_t>(output.leading_size)
                                  : kTextCheckSize;
  if (!IsText(output.leading_bytes, checked)) {
    return Refused(OutputRefusal::kNotText, "holds a NUL byte in its first 4096 bytes");
  }
  // A file that a standard stream writes to is written after what it holds,
  // never replaced.
  if (verdict.standard_stream < 0 && !HoldsLinesOfNumbers(output.leading_bytes, checked)) {
    return Refused(OutputRefusal::kNotCsv,
                   "its first line is not numbers separated by commas, semicolons, tabs or "
                   "blanks, as in a CSV file of trb2csv or of a spreadsheet (a GPX or KML "
                   "track, a web page or a note is never replaced)");
  }
  return verdict;
}

WriteWay ChooseWriteWay(const OutputFacts& output, const OutputVerdict& verdict) {
  if (verdict.standard_stream > 0 || output.kind != FileKind::kRegular) return WriteWay::kStream;
  const bool kept_by_rename = !output.created && !output.through_link && output.links == 1 &&
                              output.owned_by_user && !output.access_list;
  return kept_by_rename ? WriteWay::kReplace : WriteWay::kInPlace;
}

bool ReplacementName(const char* name, const char* separators, char* replacement,
                     std::size_t size) {
  std::size_t folder = std::strlen(name);
  while (folder > 0 && !std::strchr(separators, name[folder - 1])) --folder;
  const int length = std::snprintf(replacement, size, "%.*s.%s.trb2csv-new",
                                   static_cast<int>(folder), name, name + folder);
  return length > 0 && static_cast<std::size_t>(length) < size;
}
