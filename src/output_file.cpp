#include "output_file.h"

#include <algorithm>
#include <cerrno>

namespace {

OutputResult Refusal(const OutputVerdict& verdict) {
  return {verdict, false, "", Overwritten::kUnchanged, 0, false, std::nullopt};
}

std::int32_t CountLines(const char* text, std::size_t size) {
  return static_cast<std::int32_t>(std::count(text, text + size, '\n'));
}

struct Opened {
  Fd file;
  OutputStatus status;
  bool created;
};

// Opens the output: an existing file through links, a missing one only as
// create_name itself, never through a link, and only if it is still missing
// then (if something took its place since the name was judged, it is opened
// as an existing file instead, and judged as one); and locks a regular file.
// A file locked after another run put a new one in its place by rename is
// let go, and the name opened again.
OutputVerdict Open(const char* name, const char* create_name, Opened* opened) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    int error = 0;
    Fd file = OpenExistingOutput(name, &error);
    const bool created = !file.valid() && error == ENOENT;
    if (created) {
      file = CreateOutput(create_name, &error);
      if (!file.valid() && error == EEXIST) continue;
    }
    if (!file.valid()) return Refused(OutputRefusal::kCannotOpen, ErrorText(error));
    const std::optional<OutputStatus> status = StatusOfOutput(file.get(), &error);
    if (!status) return Refused(OutputRefusal::kCannotOpen, ErrorText(error));
    if (status->kind == FileKind::kRegular) {
      if (!LockForThisRun(file.get())) {
        return Refused(OutputRefusal::kHeldByAnotherRun, "held by another run of trb2csv");
      }
      const std::optional<FileIdentity> named = IdentityOfName(name);
      if (!named || named != status->identity) continue;
    }
    *opened = {std::move(file), *status, created};
    return Refused(OutputRefusal::kNone, "");
  }
  return Refused(OutputRefusal::kCannotOpen,
                 "another program kept putting a new file in its place");
}

// What the guard judges of the output opened for the name judged.
OutputFacts FactsOf(Opened& opened, const char* name, const NameVerdict& judged,
                    WrittenFiles written_before, unsigned char* leading_room) {
  const OutputStatus& status = opened.status;
  OutputFacts facts = {status.kind,
                       status.identity,
                       OwnNameOf(opened.file.get(), status.identity, judged.final_name),
                       leading_room,
                       0,
                       "",
                       {GetStreamFacts(1), GetStreamFacts(2)}};
  facts.reader_unknown = status.reader_unknown;
  facts.through_link = judged.final_name != name;
  facts.created = opened.created;
  facts.links = status.links;
  facts.owned_by_user = status.owned_by_user;
  facts.access_list = status.access_list;
  facts.written_this_run = written_before.identities;
  facts.written_count = written_before.count;
  if (status.kind == FileKind::kRegular && !status.empty) {
    int error = 0;
    facts.leading_size = ReadLeadingBytes(opened.file.get(), leading_room, kTextCheckSize, &error);
    if (facts.leading_size < 0) {
      facts.leading_cause = error == EBADF ? "cannot be read, so it is not known to be a text file"
                                           : ErrorText(error);
    }
  }
  return facts;
}

// Writes the bytes the way chosen: a file replaced by rename is written in
// place where no new file can be put beside it.
OutputResult Write(Opened& opened, const char* name, WriteWay way, const OutputVerdict& verdict,
                   const char* bytes, std::size_t size) {
  OverwriteResult written = {Overwritten::kWhole, size};
  std::optional<FileIdentity> now_named =
      opened.status.kind == FileKind::kRegular ? opened.status.identity : std::nullopt;
  int error = 0;
  if (way == WriteWay::kReplace) {
    static char replacement[512];  // a name that does not fit is written in place
    std::optional<FileIdentity> replaced_by;
    const Replaced replaced =
        ReplacementName(name, kFolderSeparators, replacement, sizeof replacement)
            ? ReplaceByRename(&opened.file, name, replacement, bytes, size, &replaced_by, &error)
            : Replaced::kNotReplaced;
    if (replaced == Replaced::kHeld) {
      return Refusal(Refused(OutputRefusal::kHeldByAnotherRun, "held by another run of trb2csv"));
    }
    if (replaced == Replaced::kNotReplaced) way = WriteWay::kInPlace;
    if (replaced == Replaced::kUnchanged) written = {Overwritten::kUnchanged, 0};
    if (replaced == Replaced::kWhole) now_named = replaced_by;
  }
  if (way == WriteWay::kStream) {
    const int stream = verdict.standard_stream > 0 ? verdict.standard_stream : opened.file.get();
    const std::size_t put = WriteToStream(stream, bytes, size, &error);
    written = {put == size ? Overwritten::kWhole : Overwritten::kPart, put};
  } else if (way == WriteWay::kInPlace) {
    written = OverwriteFile(opened.file.get(), bytes, size, &error);
  }
  int close_error = 0;
  const bool closed = opened.file.Close(&close_error);
  const bool whole = written.holds == Overwritten::kWhole;
  OutputResult result = {verdict, !whole || !closed,        "",          written.holds,
                         0,       way == WriteWay::kStream, std::nullopt};
  // The system's text of an error costs a run more than the conversion: only
  // a failure has one.
  if (result.failed) {
    result.cause = ErrorText(whole ? close_error : error);
    result.lines_kept = CountLines(bytes, written.kept);
  } else {
    result.now_named = now_named;
  }
  return result;
}

}  // namespace

OutputResult WriteOutput(const char* name, const std::optional<FileIdentity>& input,
                         WrittenFiles written_before, const char* bytes, std::size_t size,
                         unsigned char* leading_room) {
  const NameVerdict judged = JudgeOutputName(name, NamesDeviceInDisguise(name), input.has_value(),
                                             ReadLink, NameAsOpened, ErrorText);
  if (judged.verdict.refusal == OutputRefusal::kTrackTailFile) {
    return Refusal(JudgeTrackTailName(IdentityOfName(name), *input));
  }
  if (judged.verdict.refusal != OutputRefusal::kNone) return Refusal(judged.verdict);
  Opened opened;
  const OutputVerdict open = Open(name, judged.final_name, &opened);
  if (open.refusal != OutputRefusal::kNone) return Refusal(open);
  const OutputFacts facts = FactsOf(opened, name, judged, written_before, leading_room);
  const OutputVerdict verdict = JudgeOpenedOutput(*input, facts);
  if (verdict.refusal != OutputRefusal::kNone) return Refusal(verdict);
  return Write(opened, name, ChooseWriteWay(facts, verdict), verdict, bytes, size);
}
