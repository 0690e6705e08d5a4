// The log files: the text and XML formats byte for byte, reading them back, files from elsewhere,
// and saving and loading through the file system with what the user is told.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#endif

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "LogTestRecords.h"
#include "common/FileIo.h"
#include "common/ScriptedPrompt.h"
#include "recording/LogFiles.h"

namespace qm {
namespace {

using test::Fill;
using test::Rec;
using test::Records;
using namespace std::string_literals;

const std::string kHeader = "No.\tTime\tFunction\tValue\tUnit\tSubValueA\tSubUnitA\tSubValueB\tSubUnitB\r\n";

// ---- text format ----

TEST(TextLogTest, WritesHeaderThenOneTabSeparatedLinePerRecord) {
  TReadingLog log;
  Fill(log, {Rec(1, {"14:03:27(2024-05-01)", "PWRP", "\t- 1 234 ", "kW", " 1 2 ", "V", "", "A"}),
             Rec(-2, {std::nullopt, "VTHDf", "3,0", "%", "\x01\x02", std::nullopt, "x\xA1", " \t "})});
  EXPECT_EQ(FormatTextLog(log), kHeader +
                                    "1\t14:03:27(2024-05-01)\tPWRP\t-1234\tkW\t\"1 2\"\tV\tNULL\tA\r\n"
                                    "-2\tNULL\tVTHDf\t3,0\t%\tNULL\tNULL\tx\xA1\tNULL\r\n");
}

TEST(TextLogTest, EmptyLogIsTheHeaderAlone) {
  TReadingLog log;
  EXPECT_EQ(FormatTextLog(log), kHeader);
}

struct TextReadCase {
  const char* name;
  std::string bytes;
  bool ok;
  std::vector<LogRecord> loaded;  // appended after the record the log already holds
};

void PrintTo(const TextReadCase& c, std::ostream* os) { *os << c.name; }

class TextReadTest : public ::testing::TestWithParam<TextReadCase> {};

TEST_P(TextReadTest, AppendsTheRecordsOfItsLines) {
  TReadingLog log;
  log.Append(Rec(100, {"held before"}));
  EXPECT_EQ(ParseTextLog(GetParam().bytes, log).Ok(), GetParam().ok);
  std::vector<LogRecord> expected{Rec(100, {"held before"})};
  expected.insert(expected.end(), GetParam().loaded.begin(), GetParam().loaded.end());
  EXPECT_EQ(Records(log), expected);
  EXPECT_EQ(log.CurrentRow(), log.Count() - 1);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, TextReadTest,
    ::testing::Values(
        TextReadCase{"HeaderOnly", kHeader, true, {}}, TextReadCase{"NoLineEnd", "just a header", true, {}},
        TextReadCase{"EmptyFile", "", false, {}},
        TextReadCase{"FirstLineDroppedWhateverItHolds", "1\tx\r\n2\ty\r\n", true, {Rec(2, {"y"})}},
        TextReadCase{"LineEndsAndBlankLines",
                     "h\n1\ta\r2\tb\r\n\r\n \t \n\n3\tc",
                     true,
                     {Rec(1, {"a"}), Rec(2, {"b"}), Rec(3, {"c"})}},
        TextReadCase{"RunsOfSeparatorsCountOnce",
                     "h\r\n \x01"
                     "5 \x1F"
                     "a\t\tb  \x20 c \r\n",
                     true,
                     {Rec(5, {"a", "b", "c"})}},
        TextReadCase{"QuotedTokens",
                     "h\r\n1 \"a b\" \"say \"\"hi\"\"\" \"\" \"ab\"cd q\"r \"open to the end\r\n",
                     true,
                     {Rec(1, {"a b", "say \"hi\"", "", "ab", "cd", "q\"r", "open to the end"})}},
        TextReadCase{"QuotedTokenRunsOverLineEnds",
                     "h\r\n1 \"a\r\nb\" \"\n\" c\r\n2 \"x\"\"\r\"\r\n",
                     true,
                     {Rec(1, {"a\r\nb", "\n", "c"}), Rec(2, {"x\"\r"})}},
        TextReadCase{"QuoteNeverClosedEndsAtItsLineEnd",
                     "h\r\n1 \"open\tto the end\r\n2 b\r\n3 c",
                     true,
                     {Rec(1, {"open\tto the end"}), Rec(2, {"b"}), Rec(3, {"c"})}},
        TextReadCase{"NullTokenIsText", "h\r\n1\tNULL\tNULL\r\n", true, {Rec(1, {"NULL", "NULL"})}},
        TextReadCase{"LongTokenCut", "h\r\n1\t0123456789abcdefghijKLMNO\r\n", true, {Rec(1, {"0123456789abcdefghij"})}},
        TextReadCase{"NulIsNoSeparatorButEndsTheText", "h\r\n1\ta\0b\tc\r\n"s, true, {Rec(1, {"a", "c"})}},
        TextReadCase{"SignedAndZeroPaddedNumbers", "h\r\n-5\r\n007\r\n", true, {Rec(-5, {}), Rec(7, {})}},
        TextReadCase{
            "NineTokens", "h\r\n9 a b c d e f g h\r\n", true, {Rec(9, {"a", "b", "c", "d", "e", "f", "g", "h"})}},
        TextReadCase{
            "TenTokensFailKeepingEarlierLines", "h\r\n1\ta\r\n2 a b c d e f g h i\r\n3\tb\r\n", false, {Rec(1, {"a"})}},
        TextReadCase{"DecimalNumberFails", "h\r\n1\ta\r\n1.5\tb\r\n3\tc\r\n", false, {Rec(1, {"a"})}},
        TextReadCase{"PlusSignFails", "h\r\n+2\tb\r\n", false, {}},
        TextReadCase{"WordFails", "h\r\n1\ta\r\nNo.\tTime\r\n", false, {Rec(1, {"a"})}},
        TextReadCase{"NumberBeyond32BitsFails", "h\r\n2147483647\r\n2147483648\r\n", false, {Rec(2147483647, {})}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(TextLogTest, RoundTripWritesNullForEmptyAndDropsSpacesFromTheMainValue) {
  TReadingLog log;
  Fill(log, {Rec(1, {"14:03:27(2024-05-01)", "PWRP", " 12,5", "kW", "230,1", "V", "0,52", "A"}),
             Rec(2, {std::nullopt, "VTHDf", "1 234", "%", "", "5\"", "-", "\"kW\""}), Rec(3, {})});
  TReadingLog back;
  ASSERT_TRUE(ParseTextLog(FormatTextLog(log), back).Ok());
  EXPECT_EQ(Records(back), (std::vector<LogRecord>{
                               Rec(1, {"14:03:27(2024-05-01)", "PWRP", "12,5", "kW", "230,1", "V", "0,52", "A"}),
                               // A text starting with a quote is written quoted and reads back as it was.
                               Rec(2, {"NULL", "VTHDf", "1234", "%", "NULL", "5\"", "-", "\"kW\""}),
                               Rec(3, {"NULL", "NULL", "NULL", "NULL", "NULL", "NULL", "NULL", "NULL"}),
                           }));
}

TEST(TextLogTest, InnerSpaceOutsideTheMainValueIsQuotedSoTheLogReadsBack) {
  TReadingLog log;
  Fill(log, {Rec(1, {"t", "PWRP", "1", "kW", "5", "V", "6", "A"}),
             Rec(2, {"t", "PWRP", "1", "kW", "1 2", "V", "a\tb", "A"}), Rec(3, {"t", "PWRP", "2", "kW"})});
  std::string file = FormatTextLog(log);
  EXPECT_NE(file.find("\tkW\t\"1 2\"\tV\t\"a\tb\"\tA\r\n"), std::string::npos);
  TReadingLog back;
  ASSERT_TRUE(ParseTextLog(file, back).Ok());
  ASSERT_EQ(back.Count(), 3u);
  EXPECT_EQ(back.Record(1), log.Record(1));

  // A line from elsewhere with a bare inner space loads, each field after it one place right.
  TReadingLog shifted;
  ASSERT_TRUE(ParseTextLog("h\r\n5\tt\tPWRP\t1\tkW\t1 2\tV\r\n", shifted).Ok());
  EXPECT_EQ(Records(shifted), std::vector<LogRecord>{Rec(5, {"t", "PWRP", "1", "kW", "1", "2", "V"})});
}

TEST(TextLogTest, EveryByteInsideAFieldComesBack) {
  // A meter frame with a valid checksum can put a LF into a display field; such a log used to
  // save fine and then fail to load from that line on.
  TReadingLog log;
  for (int c = 1; c < 256; ++c) {
    std::string text = "a" + std::string(1, static_cast<char>(c)) + "b";
    log.Append(Rec(c, {text, "PWRP", "2.4\n5", "kW", text, "\"" + text, "\r\n", text + "\""}));
  }
  const std::string file = FormatTextLog(log);
  TReadingLog back;
  ASSERT_TRUE(ParseTextLog(file, back).Ok());
  ASSERT_EQ(back.Count(), log.Count());
  for (std::size_t row = 0; row < log.Count(); ++row) {
    LogRecord expected = log.Record(row);
    expected.ASubValue2 = "NULL";  // blanks alone are an empty field
    EXPECT_EQ(back.Record(row), expected) << "byte " << row + 1;
  }
  EXPECT_EQ(FormatTextLog(back), file);
}

TEST(TextLogTest, BigFileWithQuotedLineEndsReadsBackWhole) {
  // Several megabytes, so that records and quoted tokens straddle the reader's pieces.
  TReadingLog log;
  for (int i = 1; i <= 60000; ++i)
    log.Append(Rec(i, {"14:03:27(2024-05-01)", "PWRP", "12,5", "kW", "1\r\n" + std::to_string(i), "V", "\"", "A"}));
  TReadingLog back;
  ASSERT_TRUE(ParseTextLog(FormatTextLog(log), back).Ok());
  EXPECT_EQ(Records(back), Records(log));
}

// ---- XML data packet ----

const std::string kXmlHead =
    "<?xml version=\"1.0\" standalone=\"yes\"?>  <DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
    "<FIELD attrname=\"ANo\" fieldtype=\"i4\"/><FIELD attrname=\"ATime\" fieldtype=\"string\" WIDTH=\"20\"/>"
    "<FIELD attrname=\"AFunction\" fieldtype=\"string\" WIDTH=\"20\"/><FIELD attrname=\"AValue\" fieldtype=\"string\" "
    "WIDTH=\"20\"/><FIELD attrname=\"AUnit\" fieldtype=\"string\" WIDTH=\"20\"/><FIELD attrname=\"ASubValue1\" "
    "fieldtype=\"string\" WIDTH=\"20\"/><FIELD attrname=\"ASubUnit1\" fieldtype=\"string\" WIDTH=\"20\"/><FIELD "
    "attrname=\"ASubValue2\" fieldtype=\"string\" WIDTH=\"20\"/><FIELD attrname=\"ASubUnit2\" fieldtype=\"string\" "
    "WIDTH=\"20\"/></FIELDS>";

TEST(XmlLogTest, WritesTheDataPacket) {
  TReadingLog log;
  Fill(log, {Rec(1, {"14:03:27(2024-05-01)", "PWRP", "12,5", "kW", "", std::nullopt, "<>&\"'", "\r\n\t\\"}),
             Rec(2, {std::nullopt, "None", "\xA1\xA3"})});
  EXPECT_EQ(FormatXmlLog(log),
            kXmlHead +
                "<PARAMS CHANGE_LOG=\"1 0 4 2 0 4\"/></METADATA><ROWDATA>"
                "<ROW RowState=\"4\" ANo=\"1\" ATime=\"14:03:27(2024-05-01)\" AFunction=\"PWRP\" AValue=\"12,5\" "
                "AUnit=\"kW\" ASubValue1=\"\" ASubValue2=\"&lt;&gt;&amp;&quot;&apos;\" "
                "ASubUnit2=\"&#013;&#010;&#009;&#092;\"/>"
                "<ROW RowState=\"4\" ANo=\"2\" AFunction=\"None\" AValue=\"\xA1\xA3\"/>"
                "</ROWDATA></DATAPACKET>");

  TReadingLog empty;
  EXPECT_EQ(FormatXmlLog(empty), kXmlHead + "<PARAMS/></METADATA><ROWDATA></ROWDATA></DATAPACKET>");
}

TEST(XmlLogTest, AMeterTextWithANulComesBackAsTheGridShowedIt) {
  TReadingLog log;
  log.Append(Rec(1, {std::string("12\0" "34", 5), "PWRP", std::string("\0", 1)}));
  TReadingLog back;
  ASSERT_TRUE(ParseXmlLog(FormatXmlLog(log), back).Ok());
  EXPECT_EQ(Records(back), Records(log));
  EXPECT_EQ(back.Record(0).ATime, "12");
  EXPECT_EQ(back.Record(0).AValue, "");
}

TEST(XmlLogTest, ControlBytesAreWrittenAsCharacterReferences) {
  TReadingLog log;
  log.Append(Rec(1, {"\x01\x08\x0B\x0C\x1F\x7F", "a\tb"}));
  const std::string file = FormatXmlLog(log);
  EXPECT_NE(file.find("ATime=\"&#001;&#008;&#011;&#012;&#031;\x7F\" AFunction=\"a&#009;b\""), std::string::npos);
  EXPECT_TRUE(std::none_of(file.begin(), file.end(), [](char c) { return c >= 0 && c < 0x20; }));
}

TEST(XmlLogTest, PacketThroughTextAndBackIsUnchanged) {
  // Another program's packet, rows with CR and LF in their texts, converted to text and back.
  const std::string packet = kXmlHead +
                             "<PARAMS/></METADATA><ROWDATA><ROW ANo=\"1\" ATime=\"t\" AFunction=\"a&#013;&#010;b\" "
                             "AValue=\"1\" AUnit=\"x&#010;&quot;y\" ASubValue1=\"1\" ASubUnit1=\"y&#013;z\" "
                             "ASubValue2=\"2\" ASubUnit2=\"A\"/></ROWDATA></DATAPACKET>";
  TReadingLog xml;
  ASSERT_TRUE(ParseXmlLog(packet, xml).Ok());
  TReadingLog text;
  ASSERT_TRUE(ParseTextLog(FormatTextLog(xml), text).Ok());
  TReadingLog again;
  ASSERT_TRUE(ParseXmlLog(FormatXmlLog(text), again).Ok());
  EXPECT_EQ(Records(again), Records(xml));
  EXPECT_EQ(again.Record(0).AUnit, "x\n\"y");
}

TEST(XmlLogTest, RoundTripKeepsEveryByteNullsAndTheChangeState) {
  std::string allBytes;
  for (int c = 1; c < 256; ++c) allBytes.push_back(static_cast<char>(c));
  TReadingLog log;
  for (std::size_t at = 0, no = 1; at < allBytes.size(); at += 20, ++no)
    log.Append(Rec(static_cast<std::int32_t>(no),
                   {allBytes.substr(at, 20), std::nullopt, "", "&#013;", " x ", "\xA1\xA3", "\r\n", "<ROW/>"}));
  log.Append(Rec(-2147483647 - 1, {}));
  log.SetCurrentRow(3);

  TReadingLog back;
  back.Append(Rec(1, {}));
  ASSERT_TRUE(ParseXmlLog(FormatXmlLog(log), back).Ok());
  EXPECT_EQ(Records(back), Records(log));
  EXPECT_EQ(back.CurrentRow(), 0u);
  for (std::size_t row = 0; row < back.Count(); ++row) EXPECT_EQ(back.RowState(row), TReadingLog::kRowInserted);
}

struct ForeignXmlCase {
  const char* name;
  std::string xml;
  std::vector<LogRecord> records;
  std::vector<int> states;
};

std::string NineFields(const std::string& indent = "") {
  std::string s;
  for (std::size_t k = 0; k < kLogFieldCount; ++k)
    s += indent + "<FIELD attrname=\"" + std::string(kLogFieldNames[k]) + "\" fieldtype=\"" +
         (k == 0 ? "i4\"" : "string\" WIDTH=\"20\"") + "/>\n";
  return s;
}

void PrintTo(const ForeignXmlCase& c, std::ostream* os) { *os << c.name; }

class ForeignXmlTest : public ::testing::TestWithParam<ForeignXmlCase> {};

TEST_P(ForeignXmlTest, Loads) {
  TReadingLog log;
  log.Append(Rec(1, {"replaced"}));
  TLogParseResult result = ParseXmlLog(GetParam().xml, log);
  ASSERT_TRUE(result.Ok()) << result.Error;
  EXPECT_EQ(Records(log), GetParam().records);
  std::vector<int> states;
  for (std::size_t row = 0; row < log.Count(); ++row) states.push_back(log.RowState(row));
  EXPECT_EQ(states, GetParam().states);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ForeignXmlTest,
    ::testing::Values(
        ForeignXmlCase{"IndentedWithoutChangeState",
                       "<?xml version=\"1.0\" standalone=\"yes\"?>\r\n<DATAPACKET Version=\"2.0\">\r\n  <METADATA>\r\n"
                       "    <FIELDS>\n" +
                           NineFields("      ") +
                           "    </FIELDS>\n    <PARAMS/>\n  </METADATA>\n"
                           "  <!-- exported elsewhere -->\n  <ROWDATA>\n"
                           "    <ROW ANo=\"1\" ATime=\"10:00:00(2023-01-02)\" AValue=\"1,0\"/>\n"
                           "    <ROW ANo=\"2\"></ROW>\n  </ROWDATA>\n</DATAPACKET>\n",
                       {Rec(1, {"10:00:00(2023-01-02)", std::nullopt, "1,0"}), Rec(2, {})},
                       {0, 0}},
        ForeignXmlCase{
            "ExtraAttributesFieldsAndOrder",
            "<?xml version='1.0'?><DATAPACKET Version='2.0' Producer='x'><METADATA><FIELDS>"
            "<FIELD attrname='AComment' fieldtype='string' WIDTH='40'/>"
            "<FIELD attrname='ASubUnit2' fieldtype='string' WIDTH='30' SUBTYPE='Text'/>" +
                NineFields().substr(0, NineFields().rfind("<FIELD")) +
                "</FIELDS><PARAMS LCID='1033' DATASET_DELTA='1' CHANGE_LOG='1 0 4'/></METADATA>"
                "<ROWDATA><ROW Bookmark='7' AComment='hello' ASubUnit2='A' RowState='4' ANo='3' AUnit='kW'/>"
                "<UNKNOWN ANo='9'/></ROWDATA></DATAPACKET>",
            {Rec(3, {std::nullopt, std::nullopt, std::nullopt, "kW", std::nullopt, std::nullopt, std::nullopt, "A"})},
            {4}},
        ForeignXmlCase{"FieldNamesInAnotherCase",
                       "<DATAPACKET><METADATA><FIELDS><FIELD attrname=\"ano\" fieldtype=\"I4\"/>" +
                           NineFields().substr(NineFields().find('\n') + 1) +
                           "</FIELDS></METADATA><ROWDATA><ROW ano=\"8\" ATime=\"t\"/></ROWDATA></DATAPACKET>",
                       {Rec(8, {"t"})},
                       {0}},
        ForeignXmlCase{"Utf8Declared",
                       "<?xml version=\"1.0\" encoding=\"UTF-8\"?><DATAPACKET><METADATA><FIELDS>" + NineFields() +
                           "</FIELDS></METADATA><ROWDATA><ROW ANo=\"1\" AUnit=\"\xC2\xB5"
                           "A\" AFunction=\"\xE2\x82\xAC\" "
                           "ASubUnit1=\"&#233;&#8364;\" ASubValue1=\"\xFF\"/></ROWDATA></DATAPACKET>",
                       {Rec(1, {std::nullopt, "?", std::nullopt,
                                "\xB5"
                                "A",
                                "?", "\xE9?"})},
                       {0}},
        ForeignXmlCase{"Latin1DeclaredOrNot",
                       "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><DATAPACKET><METADATA><FIELDS>" + NineFields() +
                           "</FIELDS></METADATA><ROWDATA><ROW ANo=\"1\" AUnit=\"\xE9\xA1\"/></ROWDATA></DATAPACKET>",
                       {Rec(1, {std::nullopt, std::nullopt, std::nullopt, "\xE9\xA1"})},
                       {0}},
        ForeignXmlCase{"ChangeLogWithoutRowState",
                       "<DATAPACKET><METADATA><FIELDS>" + NineFields() +
                           "</FIELDS><PARAMS CHANGE_LOG=\"3 0 4  2 0 4\"/></METADATA><ROWDATA><ROW ANo=\"1\"/>"
                           "<ROW ANo=\"2\"/><ROW ANo=\"3\"/></ROWDATA></DATAPACKET>",
                       {Rec(1, {}), Rec(2, {}), Rec(3, {})},
                       {0, 4, 4}},
        ForeignXmlCase{"MalformedChangeLogIgnored",
                       "<DATAPACKET><METADATA><FIELDS>" + NineFields() +
                           "</FIELDS><PARAMS CHANGE_LOG=\"1 0\"/></METADATA><ROWDATA><ROW ANo=\"1\"/></ROWDATA>"
                           "</DATAPACKET>",
                       {Rec(1, {})},
                       {0}},
        ForeignXmlCase{"NoRows",
                       "<DATAPACKET><METADATA><FIELDS>" + NineFields() + "</FIELDS></METADATA><ROWDATA/></DATAPACKET>",
                       {},
                       {}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(XmlLogTest, RecordsAppendedToAForeignLogAreMarkedByTheirRow) {
  TReadingLog log;
  ASSERT_TRUE(ParseXmlLog("<DATAPACKET><METADATA><FIELDS>" + NineFields() +
                              "</FIELDS></METADATA><ROWDATA><ROW ANo=\"1\"/><ROW ANo=\"2\"/></ROWDATA></DATAPACKET>",
                          log)
                  .Ok());
  log.Append(Rec(3, {}));
  EXPECT_EQ(FormatXmlLog(log), kXmlHead +
                                   "<PARAMS CHANGE_LOG=\"3 0 4\"/></METADATA><ROWDATA><ROW ANo=\"1\"/><ROW ANo=\"2\"/>"
                                   "<ROW RowState=\"4\" ANo=\"3\"/></ROWDATA></DATAPACKET>");
}

struct RejectedXmlCase {
  const char* name;
  std::string xml;
};

void PrintTo(const RejectedXmlCase& c, std::ostream* os) { *os << c.name; }

class RejectedXmlTest : public ::testing::TestWithParam<RejectedXmlCase> {};

TEST_P(RejectedXmlTest, FailsAndLeavesTheLogAsItWas) {
  TReadingLog log;
  Fill(log, {Rec(1, {"a"}), Rec(2, {"b"}), Rec(3, {"c"})});
  log.SetCurrentRow(1);
  EXPECT_FALSE(ParseXmlLog(GetParam().xml, log).Ok());
  EXPECT_EQ(Records(log), (std::vector<LogRecord>{Rec(1, {"a"}), Rec(2, {"b"}), Rec(3, {"c"})}));
  EXPECT_EQ(log.CurrentRow(), 1u);
}

std::string Packet(const std::string& fields, const std::string& rows = "") {
  return "<DATAPACKET><METADATA><FIELDS>" + fields + "</FIELDS></METADATA><ROWDATA>" + rows + "</ROWDATA></DATAPACKET>";
}

std::string Replace(std::string s, const std::string& from, const std::string& to) {
  return s.replace(s.find(from), from.size(), to);
}

std::string OurFile() {
  TReadingLog log;
  Fill(log, {Rec(1, {"x"}), Rec(2, {"y"})});
  return FormatXmlLog(log);
}

INSTANTIATE_TEST_SUITE_P(
    Files, RejectedXmlTest,
    ::testing::Values(
        RejectedXmlCase{"Empty", ""}, RejectedXmlCase{"TextFile", kHeader + "1\tx\r\n"},
        RejectedXmlCase{"Truncated", OurFile().substr(0, OurFile().size() / 2)},
        RejectedXmlCase{"OtherRoot", Replace(Replace(OurFile(), "<DATAPACKET", "<PACKET"), "</DATAPACKET", "</PACKET")},
        RejectedXmlCase{"NoMetadata", "<DATAPACKET><ROWDATA><ROW ANo=\"1\"/></ROWDATA></DATAPACKET>"},
        RejectedXmlCase{"MissingField", Packet(NineFields().substr(0, NineFields().rfind("<FIELD")))},
        RejectedXmlCase{"NumberAsText", Packet(Replace(NineFields(), "\"i4\"", "\"string\""))},
        RejectedXmlCase{"TextAsNumber",
                        Packet(Replace(NineFields(), "\"ATime\" fieldtype=\"string\"", "\"ATime\" fieldtype=\"i4\""))},
        RejectedXmlCase{"WideText", Packet(Replace(NineFields(), "\"AUnit\" fieldtype=\"string\"",
                                                   "\"AUnit\" fieldtype=\"string.uni\""))},
        RejectedXmlCase{"FieldTwice", Packet(NineFields() + "<FIELD attrname=\"AUnit\" fieldtype=\"string\"/>")},
        RejectedXmlCase{"NumberNotAnInteger", Packet(NineFields(), "<ROW ANo=\"1\"/><ROW ANo=\"x1\"/>")},
        RejectedXmlCase{"NumberBeyond32Bits", Packet(NineFields(), "<ROW ANo=\"2147483648\"/>")},
        RejectedXmlCase{"MismatchedEndTag", Replace(OurFile(), "</ROWDATA>", "</ROWS>")},
        RejectedXmlCase{"BadRowMarkup", Packet(NineFields(), "<ROW ANo=\"1\"/><ROW ANo=2/>")},
        RejectedXmlCase{"ElementAfterThePacket", OurFile() + "<DATAPACKET/>"},
        RejectedXmlCase{"TextAfterThePacket", OurFile() + " x"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(XmlLogTest, BigPacketWithMarkupBetweenRowsReadsInPieces) {
  // Several megabytes, so that the rows are parsed in many batches; comments, CDATA, blanks and
  // rows with content sit between them, and a row element is split by every piece boundary.
  std::string rows;
  std::vector<LogRecord> expected;
  for (int i = 1; i <= 40000; ++i) {
    rows += "<ROW ANo='" + std::to_string(i) + "' ATime=\"a&gt;b\" AUnit='&#x41;>'/>\r\n";
    expected.push_back(Rec(i, {"a>b", std::nullopt, std::nullopt, "A>"}));
    if (i % 997 == 0) rows += "<!-- <ROW ANo='0'/> --><![CDATA[ <ROW/> ]]>  <?pi ?>";
    if (i % 1499 == 0) {
      rows += "<ROW ANo=\"-" + std::to_string(i) + "\"><X><ROW ANo='1'/></X></ROW>";
      expected.push_back(Rec(-i, {}));
    }
  }
  TReadingLog log;
  TLogParseResult result = ParseXmlLog(Packet(NineFields(), rows) + "\n<!-- end -->\n", log);
  ASSERT_TRUE(result.Ok()) << result.Error;
  EXPECT_EQ(Records(log), expected);

  // A fault far beyond the first batch still leaves the log as it was.
  TReadingLog held;
  held.Append(Rec(1, {"held"}));
  EXPECT_FALSE(ParseXmlLog(Packet(NineFields(), rows + "<ROW ANo='x'/>"), held).Ok());
  EXPECT_FALSE(ParseXmlLog(Packet(NineFields(), rows + "<ROW ANo='1'>"), held).Ok());
  EXPECT_FALSE(ParseXmlLog(Packet(NineFields(), rows).substr(0, rows.size() / 2), held).Ok());
  EXPECT_EQ(Records(held), std::vector<LogRecord>{Rec(1, {"held"})});
}

// ---- files ----

class LogFileTest : public ::testing::Test {
 protected:
  std::filesystem::path dir;
  test::ScriptedPrompt prompt;

  void SetUp() override {
    std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(test.begin(), test.end(), '/', '_');  // parameterised tests are named "Name/3"
    dir = std::filesystem::temp_directory_path() / ("qm-logfiles-" + std::to_string(files::ProcessId()) + "-" + test);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  std::string Path(const std::string& name) const { return (dir / name).string(); }
  static std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static void Write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

struct SaveNameCase {
  const char* typed;
  const char* written;
  bool xml;
};

void PrintTo(const SaveNameCase& c, std::ostream* os) { *os << c.typed; }

class SaveNameTest : public LogFileTest, public ::testing::WithParamInterface<SaveNameCase> {};

TEST_P(SaveNameTest, PicksFormatAndNameByExtension) {
  TReadingLog log;
  Fill(log, {Rec(1, {"a"}), Rec(2, {"b"})});
  log.SetCurrentRow(0);
  std::filesystem::create_directories(dir / "dir.v2");
  SaveLogFile(log, Path(GetParam().typed), prompt);

  std::string written = Path(GetParam().written);
  EXPECT_EQ(Contents(written), GetParam().xml ? FormatXmlLog(log) : FormatTextLog(log));
  std::string message = "Save table to specified file: " + written + " Scuss!";
  EXPECT_EQ(prompt.Texts(GetParam().xml ? "message" : "information"), std::vector<std::string>{message});
  EXPECT_EQ(prompt.shown.size(), 1u);
  // Writing the text file walks the log to its end; the XML writer leaves the current row alone.
  EXPECT_EQ(log.CurrentRow(), GetParam().xml ? 0u : 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Names, SaveNameTest,
    ::testing::Values(SaveNameCase{"data.csv", "data.csv.xls", false}, SaveNameCase{"Data.XLS", "Data.XLS", false},
                      SaveNameCase{"notes.Txt", "notes.Txt", false}, SaveNameCase{"log", "log.xls", false},
                      SaveNameCase{"dir.v2/log", "dir.v2/log.xls", false}, SaveNameCase{".xml", ".xml", true},
                      SaveNameCase{"Packet.XML", "Packet.XML", true}));

TEST_F(LogFileTest, LoadingXmlReplacesTheLogAndTextAppends) {
  TReadingLog source;
  Fill(source, {Rec(7, {"x"}), Rec(8, {"y"})});
  Write(Path("two.XML"), FormatXmlLog(source));
  Write(Path("two.txt"), FormatTextLog(source));

  TReadingLog log;
  for (int i = 1; i <= 500; ++i) log.Append(Rec(i, {}));
  int resets = 0, appends = 0;
  log.OnReset.Add([&] { ++resets; });
  log.OnAppended.Add([&](std::size_t) { ++appends; });
  EXPECT_TRUE(LoadLogFile(Path("two.XML"), log, false, prompt));
  EXPECT_EQ(Records(log), Records(source));
  EXPECT_EQ(resets, 1);
  EXPECT_EQ(log.CurrentRow(), 0u);

  LoadLogFile(Path("two.txt"), log, false, prompt);
  LoadLogFile(Path("two.txt"), log, false, prompt);
  EXPECT_EQ(log.Count(), 6u);
  EXPECT_EQ(log.Record(5).ANo, 8);
  EXPECT_EQ(log.CurrentRow(), 5u);

  EXPECT_TRUE(LoadLogFile(Path("two.txt"), log, true, prompt));
  EXPECT_EQ(log.Count(), 2u);
  EXPECT_EQ(resets, 4);  // one a load, however many rows it brought
  EXPECT_EQ(appends, 0);
  EXPECT_TRUE(prompt.shown.empty());
}

TEST_F(LogFileTest, FailedLoadsAreReportedAndKeepWhatTheyMay) {
  Write(Path("bad.xls"), "h\r\n1\ta\r\nx\tb\r\n");
  Write(Path("bad.xml"), "<DATAPACKET/>");
  Write(Path("empty.txt"), "");
  TReadingLog log;
  log.Append(Rec(1, {"held"}));

  EXPECT_FALSE(LoadLogFile(Path("missing.xls"), log, true, prompt));  // nothing read, so nothing cleared
  EXPECT_FALSE(LoadLogFile(Path("bad.xml"), log, true, prompt));
  EXPECT_FALSE(LoadLogFile(Path("empty.txt"), log, false, prompt));
  EXPECT_FALSE(LoadLogFile(dir.string(), log, false, prompt));
  EXPECT_EQ(Records(log), std::vector<LogRecord>{Rec(1, {"held"})});

  EXPECT_FALSE(LoadLogFile(Path("bad.xls"), log, false, prompt));
  EXPECT_EQ(Records(log), (std::vector<LogRecord>{Rec(1, {"held"}), Rec(1, {"a"})}));
  EXPECT_EQ(prompt.Texts("information"), std::vector<std::string>(5, std::string(kLoadLogFailed)));
}

TEST_F(LogFileTest, SavingOverADirectoryOrIntoAMissingOneFails) {
  TReadingLog log;
  log.Append(Rec(1, {}));
  std::filesystem::create_directories(dir / "taken.xls");
  EXPECT_FALSE(SaveLogFile(log, Path("taken.xls"), prompt));
  EXPECT_FALSE(SaveLogFile(log, Path("nowhere/log.txt"), prompt));
  EXPECT_EQ(prompt.Texts("information"),
            (std::vector<std::string>{"Could not save table to specified file: " + Path("taken.xls"),
                                      "Could not save table to specified file: " + Path("nowhere/log.txt")}));

  std::filesystem::create_directories(dir / "taken.xml");
  EXPECT_FALSE(SaveLogFile(log, Path("taken.xml"), prompt));
  ASSERT_EQ(prompt.Texts("error").size(), 1u);
  EXPECT_NE(prompt.Texts("error")[0].find(Path("taken.xml")), std::string::npos);
  EXPECT_TRUE(prompt.Texts("message").empty());
  EXPECT_TRUE(std::filesystem::is_directory(dir / "taken.xls"));
  EXPECT_EQ(Entries(), (std::vector<std::string>{"taken.xls", "taken.xml"}));  // no temporary files left
}

#ifndef _WIN32
// Makes writes beyond `bytes` fail (as a full disk would) until the end of the scope.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previousHandler_);
  }

 private:
  rlimit saved_{};
  void (*previousHandler_)(int);
};

TEST_F(LogFileTest, AFailedSaveLeavesThePreviousFileIntact) {
  TReadingLog log;
  for (int i = 1; i <= 20000; ++i) log.Append(Rec(i, {"14:03:27(2024-05-01)", "PWRP", "12,5", "kW"}));
  Write(Path("log.xls"), "previous text file");
  Write(Path("log.xml"), "previous packet");
  {
    FileSizeLimit limit(64 * 1024);
    SaveLogFile(log, Path("log.xls"), prompt);
    SaveLogFile(log, Path("log.xml"), prompt);
  }
  EXPECT_EQ(Contents(Path("log.xls")), "previous text file");
  EXPECT_EQ(Contents(Path("log.xml")), "previous packet");
  EXPECT_EQ(prompt.Texts("information"),
            std::vector<std::string>{"Could not save table to specified file: " + Path("log.xls")});
  EXPECT_EQ(prompt.Texts("error").size(), 1u);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"log.xls", "log.xml"}));

  EXPECT_TRUE(SaveLogFile(log, Path("log.xls"), prompt));
  EXPECT_EQ(Contents(Path("log.xls")), FormatTextLog(log));
}
#else
// A file another program holds open without letting it be deleted (a spreadsheet showing the
// log) cannot be replaced: the save fails, the file stays as it was and no temporary is left.
TEST_F(LogFileTest, AFileHeldOpenElsewhereIsNotReplaced) {
  TReadingLog log;
  for (int i = 1; i <= 100; ++i) log.Append(Rec(i, {"14:03:27(2024-05-01)", "PWRP", "12,5", "kW"}));
  for (const char* name : {"log.xls", "log.xml"}) {
    Write(Path(name), "previous");
    HANDLE held = CreateFileA(Path(name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(SaveLogFile(log, Path(name), prompt)) << name;
    CloseHandle(held);
    EXPECT_EQ(Contents(Path(name)), "previous") << name;
  }
  EXPECT_EQ(Entries(), (std::vector<std::string>{"log.xls", "log.xml"}));

  EXPECT_TRUE(SaveLogFile(log, Path("log.xls"), prompt));
  EXPECT_EQ(Contents(Path("log.xls")), FormatTextLog(log));
}
#endif

TEST_F(LogFileTest, LongSavesAndLoadsReportTheirProgress) {
  TReadingLog log;
  for (int i = 1; i <= 200000; ++i) log.Append(Rec(i, {"14:03:27(2024-05-01)", "PWRP", "12,5", "kW"}));
  for (const char* name : {"big.xls", "big.xml"}) {
    std::vector<double> saved, loaded;
    ASSERT_TRUE(WriteLogFile(log, Path(name), [&](double f) { saved.push_back(f); }).Ok);
    TLogReadResult read = ReadLogFile(Path(name), [&](double f) { loaded.push_back(f); });
    ASSERT_TRUE(read.Ok) << name;
    EXPECT_EQ(read.Records.Count(), log.Count());
    for (const auto* fractions : {&saved, &loaded}) {
      ASSERT_GT(fractions->size(), 2u) << name;
      EXPECT_TRUE(std::is_sorted(fractions->begin(), fractions->end())) << name;
      EXPECT_GE(fractions->front(), 0.0);
      EXPECT_EQ(fractions->back(), 1.0) << name;
    }
  }
}

TEST_F(LogFileTest, ToolbarButtonsAskForTheFileThenSaveOrLoad) {
  TReadingLog log;
  log.Append(Rec(1, {"x"}));
  prompt.fileAnswers = {Path("saved.xml"), std::nullopt, Path("saved.xml"), std::nullopt};
  EXPECT_EQ(btnRecordSaveClick(log, prompt), TFileOutcome::Done);
  EXPECT_EQ(btnRecordSaveClick(log, prompt), TFileOutcome::Cancelled);
  log.Append(Rec(2, {}));
  EXPECT_EQ(btnRecordOpenClick(log, prompt), TFileOutcome::Done);
  EXPECT_EQ(btnRecordOpenClick(log, prompt), TFileOutcome::Cancelled);
  EXPECT_EQ(Records(log), std::vector<LogRecord>{Rec(1, {"x"})});

  EXPECT_EQ(prompt.Texts("save"), std::vector<std::string>(2, std::string(kSaveLogFilter)));
  EXPECT_EQ(prompt.lastDefaultExt, "xls");
  EXPECT_TRUE(prompt.lastAskBeforeOverwrite);
  EXPECT_EQ(prompt.Texts("open"), std::vector<std::string>(2, std::string(kOpenLogFilter)));
  EXPECT_EQ(prompt.Texts("message").size(), 1u);
}

}  // namespace
}  // namespace qm
