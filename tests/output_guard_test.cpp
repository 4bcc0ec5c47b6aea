#include "output_guard.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

TEST(OutputGuard, TrackTailNamesEndInTrbInAnyCase) {
  for (const char* name : {"a.trb", "A.TRB", "x/ceTrackTail.tRb", ".trb", "/proc/x/notes.trb"}) {
    EXPECT_TRUE(IsTrackTailName(name)) << name;
  }
  for (const char* name : {"", "trb", "a.trb.bak", "a.trbx", "a.csv", "a_trb", "a.trb "}) {
    EXPECT_FALSE(IsTrackTailName(name)) << name;
  }
}

TEST(OutputGuard, TextHasNoNulInTheBytesGiven) {
  std::vector<unsigned char> bytes(kTextCheckSize, 'x');
  EXPECT_TRUE(IsText(bytes.data(), bytes.size()));
  EXPECT_TRUE(IsText(bytes.data(), 0));
  for (std::size_t at : {std::size_t{0}, std::size_t{100}, bytes.size() - 1}) {
    bytes.assign(kTextCheckSize, 'x');
    bytes[at] = '\0';
    EXPECT_FALSE(IsText(bytes.data(), bytes.size())) << "a NUL at " << at;
  }
}

// Only a CSV file of numbers is replaced: what a spreadsheet or trb2csv
// writes, not a track, page or note that a name or a drop may reach.
TEST(OutputGuard, OnlyLinesOfNumbersAreACsvFile) {
  const struct {
    const char* what;
    std::string bytes;
    bool csv;
  } kCases[] = {
      {"empty", "", true},
      {"trb2csv's", "53.558080 , 10.004000 , \"1\"\r\n53.5 , 10.0 , \"2\"\r\n", true},
      {"a spreadsheet's", "53.55808,10.004,1\n", true},
      {"a spreadsheet's in German", "53,558080;10,004;1\r\n", true},
      {"quoted, with a decimal comma", "\"53,558080\";\"10,004\";\"1\"\r\n", true},
      {"tabs and blanks, signs and an exponent", "-33.85\t+151.2  1E-05\n", true},
      {"with a byte order mark",
       "\xEF\xBB\xBF"
       "1;2;3\r\n",
       true},
      {"cut after the first bytes", "53.558080 , 10.0", true},
      {"a GPX track", "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\">\n", false},
      {"a KML file", "<kml xmlns=\"http://www.opengis.net/kml/2.2\">", false},
      {"a web page", "<!DOCTYPE html>\n<html>", false},
      {"JSON", "{\"type\": \"FeatureCollection\"}\n", false},
      {"JSON numbers", "[53.5, 10.0]\n", false},
      {"prose", "Walk around the Alster, 18 May 2009\n", false},
      {"a script", "#!/bin/sh\nrm -rf ~\n", false},
      {"a header line", "latitude,longitude,number\n1,2,3\n", false},
      {"a prefix before a number", "x1.000000 , 2.000000\n", false},
      {"a word after a number", "1.5 km\n", false},
      {"a blank first line", "\r\n1,2,3\r\n", false},
      {"separators alone", " , ; \n", false},
      {"an open quote", "\"1.5, 2\n", false},
      {"numbers without a separator", "1\"2\"\n", false},
  };
  for (const auto& c : kCases) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(c.bytes.data());
    EXPECT_EQ(HoldsLinesOfNumbers(bytes, c.bytes.size()), c.csv) << c.what;
  }
}

// The names of a made-up file system are opened as written.
const char* AsWritten(const char* name) { return name; }
const char* ErrorName(int error) {
  static std::string text;
  text = "error " + std::to_string(error);
  return text.c_str();
}

// The links of a made-up file system: name to target.
std::map<std::string, std::string> g_links;

LinkRead ReadTableLink(const char* name, char* target, std::size_t size, int* error) {
  if (std::string(name) == "unreadable") {
    *error = 5;
    return LinkRead::kFailed;
  }
  const auto link = g_links.find(name);
  if (link == g_links.end()) return LinkRead::kNotALink;
  if (link->second.size() >= size) return LinkRead::kFailed;
  std::strcpy(target, link->second.c_str());
  return LinkRead::kLink;
}

TEST(OutputGuard, NamesAreFollowedThroughEveryLinkFromItsFolder) {
  g_links = {
      {"latest.csv", "notes.trb"}, {"a.csv", "b.csv"},          {"b.csv", "sub/c.TRB"},
      {"sub/link.csv", "new.csv"}, {"sub/up.csv", "../up.csv"}, {"sub/abs.csv", "/data/abs.csv"},
      {"loop1.csv", "loop2.csv"},  {"loop2.csv", "loop1.csv"},  {"dev/stderr", "/proc/self/fd/2"}};
  for (int i = 0; i < 41; ++i) {  // a chain of 40 links, and one of 41
    g_links["chain" + std::to_string(i)] = "chain" + std::to_string(i + 1);
  }
  const struct {
    const char* name;
    OutputRefusal refusal;
    const char* final_name;  // the name a new file is created as, or the .trb name
  } kCases[] = {
      {"out.csv", OutputRefusal::kNone, "out.csv"},
      {"notes.trb", OutputRefusal::kTrackTailFile, "notes.trb"},
      {"latest.csv", OutputRefusal::kTrackTailFile, "notes.trb"},
      {"a.csv", OutputRefusal::kTrackTailFile, "sub/c.TRB"},
      {"sub/link.csv", OutputRefusal::kNone, "sub/new.csv"},
      {"sub/up.csv", OutputRefusal::kNone, "sub/../up.csv"},
      {"sub/abs.csv", OutputRefusal::kNone, "/data/abs.csv"},
      {"dev/stderr", OutputRefusal::kNone, "/proc/self/fd/2"},
      {"chain1", OutputRefusal::kNone, "chain41"},
      {"chain0", OutputRefusal::kCannotCheck, ""},
      {"loop1.csv", OutputRefusal::kCannotCheck, ""},
      {"unreadable", OutputRefusal::kCannotCheck, ""},
  };
  const auto judge = [](const char* name, bool names_device = false, bool input_known = true) {
    return JudgeOutputName(name, names_device, input_known, ReadTableLink, AsWritten, ErrorName);
  };
  for (const auto& c : kCases) {
    const NameVerdict verdict = judge(c.name);
    EXPECT_EQ(verdict.verdict.refusal, c.refusal) << c.name;
    EXPECT_STREQ(verdict.final_name ? verdict.final_name : "", c.final_name) << c.name;
    EXPECT_EQ(verdict.verdict.refusal != OutputRefusal::kNone,
              std::strlen(verdict.verdict.cause) > 0)
        << c.name;
  }
  EXPECT_STREQ(judge("unreadable").verdict.cause, "error 5");
  EXPECT_EQ(judge("com1.csv", true).verdict.refusal, OutputRefusal::kDeviceName);
  // Without the track file's identity, no name is known not to reach it.
  EXPECT_EQ(judge("out.csv", false, false).verdict.refusal, OutputRefusal::kCannotCheck);
  // A name judged a track-tail file may be the input itself.
  EXPECT_EQ(JudgeTrackTailName(FileIdentity{7, 100}, {7, 100}).refusal, OutputRefusal::kInputFile);
  EXPECT_EQ(JudgeTrackTailName(FileIdentity{7, 200}, {7, 100}).refusal,
            OutputRefusal::kTrackTailFile);
  EXPECT_EQ(JudgeTrackTailName(std::nullopt, {7, 100}).refusal, OutputRefusal::kTrackTailFile);
}

TEST(OutputGuard, OpenedOutputIsJudgedByWhatItIs) {
  const FileIdentity kInput = {7, 100};
  const FileIdentity kOther = {7, 200};
  std::vector<unsigned char> kText;
  const std::string kLine = "1.000000 , 2.000000 , \"1\"\r\n";
  while (kText.size() < kTextCheckSize) kText.insert(kText.end(), kLine.begin(), kLine.end());
  std::vector<unsigned char> binary = {'1', '2', '3', '4', '5', '6', '7', '8', '9', '\0'};
  const StreamFacts kTerminal = {FileKind::kDevice, FileIdentity{1, 1}};
  const StreamFacts kLog = {FileKind::kRegular, kOther};
  const StreamFacts kUnknownFile = {FileKind::kRegular, std::nullopt};
  const auto regular = [&](std::optional<FileIdentity> identity, const char* own_name) {
    return OutputFacts{FileKind::kRegular,    identity, own_name, kText.data(), 100, "",
                       {kTerminal, kTerminal}};
  };
  struct Case {
    const char* what;
    OutputFacts facts;
    OutputRefusal refusal;
    int standard_stream;
  };
  std::vector<Case> cases = {
      {"a CSV file", regular(kOther, "/d/out.csv"), OutputRefusal::kNone, -1},
      {"the input", regular(kInput, "/d/out.csv"), OutputRefusal::kInputFile, -1},
      {"the input's number on another device", regular(FileIdentity{8, 100}, "/d/out.csv"),
       OutputRefusal::kNone, -1},
      {"no identity", regular(std::nullopt, "/d/out.csv"), OutputRefusal::kCannotCheck, -1},
      {"a track file's own name", regular(kOther, "/d/notes.TRB"), OutputRefusal::kTrackTailFile,
       -1},
      {"no own name", regular(kOther, nullptr), OutputRefusal::kCannotCheck, -1},
  };
  cases.push_back({"binary", regular(kOther, "/d/x.csv"), OutputRefusal::kNotText, -1});
  cases.back().facts.leading_bytes = binary.data();
  cases.back().facts.leading_size = static_cast<long>(binary.size());
  cases.push_back(
      {"a NUL past the bytes checked", regular(kOther, "/d/x.csv"), OutputRefusal::kNone, -1});
  cases.back().facts.leading_bytes = binary.data();
  cases.back().facts.leading_size = 9;
  cases.push_back({"unreadable", regular(kOther, "/d/x.csv"), OutputRefusal::kCannotCheck, -1});
  cases.back().facts.leading_size = -1;
  cases.back().facts.leading_cause = "cannot be read";
  cases.push_back({"standard output's file", regular(kOther, "/d/log"), OutputRefusal::kNone, 1});
  cases.back().facts.streams[0] = kLog;
  cases.push_back({"standard error's file", regular(kOther, "/d/log"), OutputRefusal::kNone, 2});
  cases.back().facts.streams[1] = kLog;
  cases.push_back({"standard error to an unknown file", regular(kOther, "/d/log"),
                   OutputRefusal::kCannotCheck, -1});
  cases.back().facts.streams[1] = kUnknownFile;
  cases.push_back({"a FIFO",
                   {FileKind::kFifo, kOther, nullptr, nullptr, 0, "", {kTerminal, kTerminal}},
                   OutputRefusal::kNone,
                   -1});
  cases.push_back({"the input as a FIFO",
                   {FileKind::kFifo, kInput, nullptr, nullptr, 0, "", {kTerminal, kTerminal}},
                   OutputRefusal::kInputFile,
                   -1});
  const std::string kNote = "notes on the walk\n";
  cases.push_back({"a note", regular(kOther, "/d/x.csv"), OutputRefusal::kNotCsv, -1});
  cases.back().facts.leading_bytes = reinterpret_cast<const unsigned char*>(kNote.data());
  cases.back().facts.leading_size = static_cast<long>(kNote.size());
  cases.push_back(
      {"a note standard error appends to", regular(kOther, "/d/log"), OutputRefusal::kNone, 2});
  cases.back().facts.leading_bytes = reinterpret_cast<const unsigned char*>(kNote.data());
  cases.back().facts.leading_size = static_cast<long>(kNote.size());
  cases.back().facts.streams[1] = kLog;
  const FileIdentity kWritten[] = {{7, 300}, kOther};
  cases.push_back(
      {"written by this run", regular(kOther, "/d/x.csv"), OutputRefusal::kWrittenThisRun, -1});
  cases.back().facts.written_this_run = kWritten;
  cases.back().facts.written_count = 2;
  cases.push_back({"not written by this run", regular(FileIdentity{7, 400}, "/d/x.csv"),
                   OutputRefusal::kNone, -1});
  cases.back().facts.written_this_run = kWritten;
  cases.back().facts.written_count = 2;
  for (FileKind kind : {FileKind::kBlockDevice, FileKind::kOther}) {
    cases.push_back({"a disk, a socket or a folder",
                     {kind, kOther, nullptr, nullptr, 0, "", {kTerminal, kTerminal}},
                     OutputRefusal::kNotAFile,
                     -1});
  }
  cases.push_back({"a FIFO that may have no reader (under Wine)",
                   {FileKind::kFifo, kOther, nullptr, nullptr, 0, "", {kTerminal, kTerminal}},
                   OutputRefusal::kCannotCheck,
                   -1});
  cases.back().facts.reader_unknown = true;
  cases.push_back({"a pipe standard output writes to",
                   {FileKind::kFifo, kOther, nullptr, nullptr, 0, "", {kLog, kUnknownFile}},
                   OutputRefusal::kNone,
                   1});
  for (const Case& c : cases) {
    const OutputVerdict verdict = JudgeOpenedOutput(kInput, c.facts);
    EXPECT_EQ(verdict.refusal, c.refusal) << c.what;
    if (verdict.refusal == OutputRefusal::kNone) {
      EXPECT_EQ(verdict.standard_stream, c.standard_stream) << c.what;
    }
    if (verdict.refusal == OutputRefusal::kWrittenThisRun) {
      EXPECT_EQ(verdict.written_index, 1u) << c.what;
    }
    if (verdict.refusal != OutputRefusal::kNone &&
        verdict.refusal != OutputRefusal::kWrittenThisRun) {
      EXPECT_GT(std::strlen(verdict.cause), 0u) << c.what;
    }
  }
}

// A file is replaced by rename only where the user sees nothing change but
// its content; otherwise it keeps its inode.
TEST(OutputGuard, WrittenByRenameOnlyWhereNothingElseChanges) {
  const struct {
    const char* what;
    FileKind kind;
    bool created, through_link;
    std::uint64_t links;
    bool owned_by_user, access_list;
    int standard_stream;
    WriteWay way;
  } kCases[] = {
      {"a CSV file of the user's", FileKind::kRegular, false, false, 1, true, false, -1,
       WriteWay::kReplace},
      {"made by this run", FileKind::kRegular, true, false, 1, true, false, -1, WriteWay::kInPlace},
      {"reached through a link", FileKind::kRegular, false, true, 1, true, false, -1,
       WriteWay::kInPlace},
      {"with a second name", FileKind::kRegular, false, false, 2, true, false, -1,
       WriteWay::kInPlace},
      {"no longer named", FileKind::kRegular, false, false, 0, true, false, -1, WriteWay::kInPlace},
      {"of another user", FileKind::kRegular, false, false, 1, false, false, -1,
       WriteWay::kInPlace},
      {"with an access list", FileKind::kRegular, false, false, 1, true, true, -1,
       WriteWay::kInPlace},
      {"standard error's file", FileKind::kRegular, false, false, 1, true, false, 2,
       WriteWay::kStream},
      {"a FIFO", FileKind::kFifo, false, false, 1, true, false, -1, WriteWay::kStream},
      {"a terminal", FileKind::kDevice, false, false, 1, true, false, -1, WriteWay::kStream},
  };
  for (const auto& c : kCases) {
    OutputFacts facts = {c.kind, FileIdentity{7, 200}, "/d/out.csv", nullptr, 0, "", {}};
    facts.created = c.created;
    facts.through_link = c.through_link;
    facts.links = c.links;
    facts.owned_by_user = c.owned_by_user;
    facts.access_list = c.access_list;
    OutputVerdict verdict = Refused(OutputRefusal::kNone, "");
    verdict.standard_stream = c.standard_stream;
    EXPECT_EQ(ChooseWriteWay(facts, verdict), c.way) << c.what;
  }
}

TEST(OutputGuard, ReplacementBesideTheFileItReplaces) {
  const struct {
    const char* name;
    const char* separators;
    const char* replacement;
  } kCases[] = {
      {"KeloTrackTail.csv", "/", ".KeloTrackTail.csv.trb2csv-new"},
      {"a/b/c.csv", "/", "a/b/.c.csv.trb2csv-new"},
      {"/c.csv", "/", "/.c.csv.trb2csv-new"},
      {"a\\b.csv", "/", ".a\\b.csv.trb2csv-new"},
      {"D:\\Tracks\\x.csv", "/\\:", "D:\\Tracks\\.x.csv.trb2csv-new"},
      {"D:x.csv", "/\\:", "D:.x.csv.trb2csv-new"},
  };
  char replacement[64];
  for (const auto& c : kCases) {
    ASSERT_TRUE(ReplacementName(c.name, c.separators, replacement, sizeof replacement)) << c.name;
    EXPECT_STREQ(replacement, c.replacement);
  }
  EXPECT_FALSE(ReplacementName(std::string(60, 'x').c_str(), "/", replacement, sizeof replacement));
}

}  // namespace
