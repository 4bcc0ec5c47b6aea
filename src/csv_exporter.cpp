#include "csv_exporter.h"

#include <algorithm>

#include "converter_state.h"
#include "csv_format.h"
#include "output_guard.h"

namespace {

ExportResult Refused(const CsvText& text, ExportOutcome outcome, const char* cause = "") {
  return {outcome, 0, cause, Overwritten::kUnchanged, 0, false, text, std::nullopt, 0};
}

// A name that ends in .trb may be the input itself: that is the message then.
ExportOutcome TrackTailNameOutcome(const char* output_name, const FileIdentity& input) {
  const Fd file = OpenInputFile(output_name, nullptr);
  const std::optional<FileStatus> status =
      file.valid() ? GetStatus(file.get(), nullptr) : std::nullopt;
  const bool is_input = status && status->identity == input;
  return is_input ? ExportOutcome::kInputFile : ExportOutcome::kTrackTailFile;
}

std::int32_t CountLines(const char* text, std::size_t size) {
  return static_cast<std::int32_t>(std::count(text, text + size, '\n'));
}

}  // namespace

ExportResult ExportCsv(const char* output_name, std::int32_t header_point_count,
                       const std::optional<FileIdentity>& input, WrittenFiles written_before) {
  // The lines are written over the records in the record buffer, which is
  // in memory already: a buffer of its own would cost a run more in fresh
  // pages than the whole conversion does. The output's first bytes are read
  // into the buffer's end, which the lines never reach.
  static_assert(kMaxCsvSize + kTextCheckSize <= kRecordBufferSize, "lines and bytes fit");
  char* csv = reinterpret_cast<char*>(g_record_buffer);
  const CsvText text = ConvertToCsv(g_record_buffer, g_loaded_byte_count, header_point_count, csv);
  if (text.size == 0) {
    ExportResult nothing = Refused(text, ExportOutcome::kNothingToWrite);
    nothing.records_walked = text.records_walked;
    return nothing;
  }
  if (!input) {
    return Refused(text, ExportOutcome::kCannotOpen,
                   "the track file's identity could not be read, so this name may reach it");
  }

  const NameVerdict name =
      JudgeOutputName(output_name, NamesDeviceInDisguise(output_name), ReadLink);
  switch (name.refusal) {
    case OutputRefusal::kNone:
      break;
    case OutputRefusal::kTrackTailFile:
      return Refused(text, TrackTailNameOutcome(output_name, *input));
    case OutputRefusal::kDeviceName:
      return Refused(text, ExportOutcome::kCannotOpen,
                     "a device name on Windows, which makes no file");
    default:
      return Refused(text, ExportOutcome::kCannotOpen, name.cause);
  }

  OpenedOutput output;
  const char* cause = "";
  if (!OpenOutputFile(output_name, name.final_name, &output, &cause)) {
    return Refused(text, ExportOutcome::kCannotOpen, cause);
  }
  unsigned char* leading_bytes = g_record_buffer + kRecordBufferSize - kTextCheckSize;
  OutputFacts facts = {output.kind,
                       output.identity,
                       output.own_name,
                       leading_bytes,
                       0,
                       "",
                       {GetStreamFacts(1), GetStreamFacts(2)}};
  facts.through_link = name.final_name != output_name;
  facts.created = output.created;
  facts.links = output.links;
  facts.owned_by_user = output.owned_by_user;
  facts.access_list = output.access_list;
  facts.written_this_run = written_before.identities;
  facts.written_count = written_before.count;
  if (output.kind == FileKind::kRegular && !output.empty) {
    facts.leading_size =
        ReadLeadingBytes(output.file.get(), leading_bytes, kTextCheckSize, &facts.leading_cause);
  }
  const OutputVerdict verdict = JudgeOpenedOutput(*input, facts);
  switch (verdict.refusal) {
    case OutputRefusal::kNone:
      break;
    case OutputRefusal::kInputFile:
      return Refused(text, ExportOutcome::kInputFile);
    case OutputRefusal::kTrackTailFile:
      return Refused(text, ExportOutcome::kTrackTailFile);
    case OutputRefusal::kNotText:
      return Refused(text, ExportOutcome::kNotText);
    case OutputRefusal::kNotCsv:
      return Refused(text, ExportOutcome::kNotCsv);
    case OutputRefusal::kWrittenThisRun: {
      ExportResult refused = Refused(text, ExportOutcome::kWrittenThisRun);
      refused.written_index = verdict.written_index;
      return refused;
    }
    default:
      return Refused(text, ExportOutcome::kCannotOpen, verdict.cause);
  }

  WriteWay way = ChooseWriteWay(facts, verdict);
  OverwriteResult written = {Overwritten::kWhole, text.size};
  std::optional<FileIdentity> now_named =
      output.kind == FileKind::kRegular ? output.identity : std::nullopt;
  if (way == WriteWay::kReplace) {
    static char replacement[512];  // a name that does not fit is written in place
    std::optional<FileIdentity> replaced_by;
    const Replaced replaced =
        ReplacementName(output_name, kFolderSeparators, replacement, sizeof replacement)
            ? ReplaceByRename(&output.file, output_name, replacement, csv, text.size, &replaced_by,
                              &cause)
            : Replaced::kNotReplaced;
    if (replaced == Replaced::kHeld) return Refused(text, ExportOutcome::kCannotOpen, cause);
    if (replaced == Replaced::kNotReplaced) way = WriteWay::kInPlace;
    if (replaced == Replaced::kUnchanged) written = {Overwritten::kUnchanged, 0};
    if (replaced == Replaced::kWhole) now_named = replaced_by;
  }
  if (way == WriteWay::kStream) {
    const int stream = verdict.standard_stream > 0 ? verdict.standard_stream : output.file.get();
    const std::size_t size = WriteToStream(stream, csv, text.size, &cause);
    written = {size == text.size ? Overwritten::kWhole : Overwritten::kPart, size};
  } else if (way == WriteWay::kInPlace) {
    written = OverwriteFile(output.file.get(), csv, text.size, &cause);
  }
  const bool to_stream = way == WriteWay::kStream;
  const char* close_cause = "";
  const bool closed = output.file.Close(&close_cause);
  if (written.holds != Overwritten::kWhole || !closed) {
    return {ExportOutcome::kWriteFailed,
            0,
            written.holds != Overwritten::kWhole ? cause : close_cause,
            written.holds,
            CountLines(csv, written.kept),
            to_stream,
            text,
            std::nullopt,
            0};
  }
  return {ExportOutcome::kWritten,
          text.records_walked,
          "",
          Overwritten::kWhole,
          0,
          to_stream,
          text,
          now_named,
          0};
}
