#include "csv_exporter.h"

#include <cstring>

#include "converter_state.h"
#include "csv_format.h"

namespace {

// A name that ends in .trb may be the input itself: that is the message then.
ExportOutcome TrackTailNameOutcome(const char* output_name, const FileIdentity& input) {
  const int file = OpenInputFile(output_name);
  if (file < 0) return ExportOutcome::kTrackTailFile;
  FileIdentity identity;
  const bool is_input = GetFileIdentity(file, &identity) && identity == input;
  CloseFile(file);
  return is_input ? ExportOutcome::kInputFile : ExportOutcome::kTrackTailFile;
}

// What keeps the CSV out of the open output file, if anything.
// The first bytes of the file are read into leading_bytes, kTextCheckSize of them.
ExportResult CheckOutput(int output, const FileIdentity& input, const FileFacts& facts,
                         unsigned char* leading_bytes) {
  if (facts.has_identity && facts.identity == input) return {ExportOutcome::kInputFile, 0, ""};
  if (facts.regular && !facts.empty) {
    const long size = ReadLeadingBytes(output, leading_bytes, kTextCheckSize);
    if (size < 0) return {ExportOutcome::kCannotOpen, 0, LastFileError()};
    if (std::memchr(leading_bytes, 0, static_cast<std::size_t>(size))) {
      return {ExportOutcome::kNotText, 0, ""};
    }
  }
  return {ExportOutcome::kWritten, 0, ""};
}

}  // namespace

ExportResult ExportCsv(const char* output_name, std::int32_t header_point_count,
                       const FileIdentity* input) {
  if (!input) {
    return {ExportOutcome::kCannotOpen, 0,
            "the track file's identity could not be read, so this name may reach it"};
  }
  if (NamesDeviceInDisguise(output_name)) {
    return {ExportOutcome::kCannotOpen, 0, "a device name on Windows, which makes no file"};
  }
  switch (NamesTrackTailFile(output_name)) {
    case TrackTailName::kNo:
      break;
    case TrackTailName::kYes:
      return {TrackTailNameOutcome(output_name, *input), 0, ""};
    case TrackTailName::kUnknown:
      return {ExportOutcome::kCannotOpen, 0, LastFileError()};
  }

  // The lines are written over the records in the record buffer, which is
  // in memory already: a buffer of its own would cost a run more in fresh
  // pages than the whole conversion does. The output's first bytes are read
  // into the buffer's end, which the lines never reach.
  static_assert(kMaxCsvSize + kTextCheckSize <= kRecordBufferSize, "lines and bytes fit");
  char* csv = reinterpret_cast<char*>(g_record_buffer);
  const CsvText text = ConvertToCsv(g_record_buffer, g_loaded_byte_count, header_point_count, csv);
  unsigned char* leading_bytes = g_record_buffer + kRecordBufferSize - kTextCheckSize;

  FileFacts facts;
  const int output = OpenOutputFile(output_name, &facts);
  if (output < 0) return {ExportOutcome::kCannotOpen, 0, LastFileError()};
  const ExportResult check = CheckOutput(output, *input, facts, leading_bytes);
  if (check.outcome != ExportOutcome::kWritten) {
    CloseFile(output);
    return check;
  }
  const bool written = OverwriteFile(output, facts, csv, text.size);
  const char* write_error = LastFileError();
  const bool closed = CloseFile(output);
  if (!written) return {ExportOutcome::kWriteFailed, 0, write_error};
  if (!closed) return {ExportOutcome::kWriteFailed, 0, LastFileError()};
  return {ExportOutcome::kWritten, text.records_walked, ""};
}
