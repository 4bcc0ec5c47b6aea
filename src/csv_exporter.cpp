#include "csv_exporter.h"

#include <cstring>

#include "converter_state.h"
#include "csv_format.h"

namespace {

// The first bytes of an existing output, for the text check.
unsigned char g_leading_bytes[kTextCheckSize];

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
ExportResult CheckOutput(int output, const char* output_name, const FileIdentity& input,
                         FileFacts* facts) {
  if (!GetOutputFacts(output, facts)) return {ExportOutcome::kCannotOpen, 0, LastFileError()};
  if (facts->has_identity && facts->identity == input) return {ExportOutcome::kInputFile, 0, ""};
  if (facts->regular && !facts->empty) {
    const long size = ReadLeadingBytes(output, output_name, g_leading_bytes, kTextCheckSize);
    if (size < 0) return {ExportOutcome::kCannotOpen, 0, LastFileError()};
    if (std::memchr(g_leading_bytes, 0, static_cast<std::size_t>(size))) {
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

  const int output = OpenOutputFile(output_name);
  if (output < 0) return {ExportOutcome::kCannotOpen, 0, LastFileError()};
  FileFacts facts;
  const ExportResult check = CheckOutput(output, output_name, *input, &facts);
  if (check.outcome != ExportOutcome::kWritten) {
    CloseFile(output);
    return check;
  }

  // The lines are written over the records in the record buffer, which is
  // in memory already: a buffer of its own would cost a run more in fresh
  // pages than the whole conversion does.
  static_assert(kMaxCsvSize <= kRecordBufferSize, "the lines fit the record buffer");
  char* csv = reinterpret_cast<char*>(g_record_buffer);
  const CsvText text = ConvertToCsv(g_record_buffer, g_loaded_byte_count, header_point_count, csv);
  const bool written = OverwriteFile(output, facts, csv, text.size);
  const char* write_error = LastFileError();
  const bool closed = CloseFile(output);
  if (!written) return {ExportOutcome::kWriteFailed, 0, write_error};
  if (!closed) return {ExportOutcome::kWriteFailed, 0, LastFileError()};
  return {ExportOutcome::kWritten, text.records_walked, ""};
}
