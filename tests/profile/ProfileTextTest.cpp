// The profile rules over the text of an INI file: what reads give, what
// writes leave in the file (byte for byte), and bad input.
#include "platform/ini/ProfileText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace liaison::profile_text {
namespace {

using namespace std::string_literals;

// A read into a buffer of `size` bytes: the count and the bytes up to and
// including the terminator at that count.
struct Got {
  std::uint32_t count;
  std::string bytes;
};

Got ReadText(std::optional<std::string_view> text, std::string_view section,
             std::optional<std::string_view> key, std::string_view def, std::uint32_t size) {
  std::vector<char> buffer(size + 8, '\x7f');
  const std::uint32_t n = Read(text, section, key, def, buffer.data(), size);
  return {n, std::string(buffer.data(), std::min<std::size_t>(n + 1, buffer.size()))};
}

std::string Value(std::string_view text, std::string_view section, std::string_view key,
                  std::uint32_t size = 145) {
  const Got got = ReadText(text, section, key, "<default>", size);
  return got.bytes.substr(0, got.count);
}

// --- Reads -------------------------------------------------------------------

struct ReadCase {
  const char* what;
  std::string text;
  std::string section;
  std::optional<std::string> key;
  std::string def;
  std::uint32_t size;
  std::uint32_t count;
  std::string bytes;  // up to and including the terminator at `count`
};

class Reads : public testing::TestWithParam<ReadCase> {};

TEST_P(Reads, GiveWhatTheWindowsRulesSay) {
  const ReadCase& c = GetParam();
  std::optional<std::string_view> key;
  if (c.key) key = *c.key;
  const Got got = ReadText(c.text, c.section, key, c.def, c.size);
  EXPECT_EQ(got.count, c.count) << c.what;
  EXPECT_EQ(got.bytes, c.bytes) << c.what;
}

const std::string kFile =
    "; a comment\r\n"
    "[Applications]\r\n"
    "  APPLICATION_NAME =  Movelka  \r\n"
    "Quoted=\"  spaced  \"\r\n"
    "Single='x'\r\n"
    "Unbalanced=\"x'\r\n"
    "Empty=\r\n"
    ";Commented=1\r\n"
    "NoEquals\r\n"
    "\r\n"
    "[applications]\r\n"
    "Second=2\r\n";

INSTANTIATE_TEST_SUITE_P(
    Table, Reads,
    testing::Values(
        ReadCase{"names match blind to case and blanks", kFile, " APPLICATIONS ",
                 " application_name ", "d", 145, 7, "Movelka\0"s},
        ReadCase{"double quotes go", kFile, "Applications", "Quoted", "d", 145, 10,
                 "  spaced  \0"s},
        ReadCase{"single quotes go", kFile, "Applications", "Single", "d", 145, 1, "x\0"s},
        ReadCase{"unmatched quotes stay", kFile, "Applications", "Unbalanced", "d", 145, 3,
                 "\"x'\0"s},
        ReadCase{"an empty value is no default", kFile, "Applications", "Empty", "d", 145, 0,
                 "\0"s},
        ReadCase{"a line without = reads as missing", kFile, "Applications", "NoEquals", "d", 145,
                 1, "d\0"s},
        ReadCase{"only the first section of a name is searched", kFile, "Applications", "Second",
                 "d", 145, 1, "d\0"s},
        ReadCase{"missing section", kFile, "Other", "APPLICATION_NAME", "d", 145, 1, "d\0"s},
        ReadCase{"trailing spaces of the default go", kFile, "Other", "k", "dflt   ", 145, 4,
                 "dflt\0"s},
        ReadCase{"a default of spaces keeps one", kFile, "Other", "k", "   ", 145, 1, " \0"s},
        ReadCase{"other trailing blanks of the default stay", kFile, "Other", "k", "d\t", 145, 2,
                 "d\t\0"s},
        ReadCase{"a buffer of one byte", kFile, "Applications", "Single", "d", 1, 0, "\0"s},
        ReadCase{"a buffer of no byte is left alone", kFile, "Applications", "Single", "d", 0, 0,
                 "\x7f"},
        ReadCase{"key names skip comments and lines without =", kFile, "Applications", std::nullopt,
                 "", 1024, 48, "APPLICATION_NAME\0Quoted\0Single\0Unbalanced\0Empty\0\0"s},
        ReadCase{"the section of a key list is compared as given", kFile, " Applications ",
                 std::nullopt, "", 1024, 0, "\0"s},
        ReadCase{"no keys give the default", kFile, "Other", std::nullopt, "none", 1024, 4,
                 "none\0"s},
        // Windows: a list too long for the buffer is cut to size - 2 bytes and
        // ends with two NULs (name1 name2 name4 into 16 bytes).
        ReadCase{"key list cut inside a name", "[s]\nname1=1\nname2=2\nname4=4\n", "s",
                 std::nullopt, "", 16, 14, "name1\0name2\0na\0"s},
        ReadCase{"key list that just fits", "[s]\nname1=1\nname2=2\nname4=4\n", "s", std::nullopt,
                 "", 20, 18, "name1\0name2\0name4\0\0"s},
        ReadCase{"key list one byte short keeps all names but counts size - 2",
                 "[s]\nname1=1\nname2=2\nname4=4\n", "s", std::nullopt, "", 19, 17,
                 "name1\0name2\0name4\0"s},
        ReadCase{"lines before the first section have the empty name", "top=1\n[S]\nk=2\n", "",
                 "top", "d", 145, 1, "1\0"s},
        ReadCase{"a section line is found by its last ]", "[A]x]\nq=2\n", "A]x", "q", "d", 145, 1,
                 "2\0"s},
        ReadCase{"a line of [ without ] is an entry", "[S]\n[abc=1\n", "S", "[abc", "d", 145, 1,
                 "1\0"s},
        ReadCase{"LF only, no final newline", "[S]\nk=v", "S", "k", "d", 145, 1, "v\0"s},
        ReadCase{"blanks include tab, CR and ^Z", "\x1a[S]\t\r\n\tk\x1a=\x1a v\t\r\n", "S", "k",
                 "d", 145, 1, "v\0"s},
        ReadCase{"a UTF-8 byte order mark is skipped", "\xEF\xBB\xBF[S]\nk=v\n", "S", "k", "d", 145,
                 1, "v\0"s},
        ReadCase{"a NUL ends a value", "[S]\nk=a\0b\n"s, "S", "k", "d", 145, 1, "a\0"s},
        ReadCase{"a NUL ends a name", "[S]\nk\0junk=v\n"s, "S", "k", "d", 145, 1, "v\0"s},
        ReadCase{"an empty file gives the default", "", "S", "k", "d", 145, 1, "d\0"s}),
    [](const testing::TestParamInfo<ReadCase>& info) {
      return "Case" + std::to_string(info.index);
    });

TEST(ReadTest, MissingFileGivesTheDefaultAndNoKeys) {
  EXPECT_EQ(ReadText(std::nullopt, "S", "k", "dflt", 145).bytes, "dflt\0"s);
  EXPECT_EQ(ReadText(std::nullopt, "S", std::nullopt, "", 1024).bytes, "\0"s);
}

TEST(ReadTest, LongValuesAreCutToTheBuffer) {
  const std::string value(200, 'v');
  for (const std::string& text : {"[S]\nk=" + value + "\n", "[S]\nk=\"" + value + "\"\n"}) {
    const Got got = ReadText(text, "S", "k", "", 145);
    EXPECT_EQ(got.count, 144u);
    EXPECT_EQ(got.bytes, std::string(144, 'v') + '\0');
  }
  // The default is cut the same way.
  EXPECT_EQ(ReadText("", "S", "k", value, 145).bytes, std::string(144, 'v') + '\0');
  // A quoted value that fits once its quotes are gone is not cut.
  EXPECT_EQ(ReadText("[S]\nk=\"abcde\"\n", "S", "k", "", 6).bytes, "abcde\0"s);
}

// --- UTF-8 cuts -------------------------------------------------------------

TEST(Utf8Cut, NeverSplitsACharacter) {
  // "é" is 2 bytes, "€" 3, "𝄞" 4: every cut point inside one moves before it.
  const std::string value = "a\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E";
  const std::vector<std::pair<std::uint32_t, std::string>> expected = {
      {1, ""},
      {2, "a"},
      {3, "a"},
      {4, "a\xC3\xA9"},
      {5, "a\xC3\xA9"},
      {6, "a\xC3\xA9"},
      {7, "a\xC3\xA9\xE2\x82\xAC"},
      {8, "a\xC3\xA9\xE2\x82\xAC"},
      {9, "a\xC3\xA9\xE2\x82\xAC"},
      {10, "a\xC3\xA9\xE2\x82\xAC"},
      {11, value}};
  for (const auto& [size, want] : expected) {
    EXPECT_EQ(Value("[S]\nk=" + value + "\n", "S", "k", size), want) << "size " << size;
    EXPECT_EQ(ReadText(std::nullopt, "S", "k", value, size).bytes, want + '\0') << size;
  }
}

TEST(Utf8Cut, KeyListCutKeepsWholeCharacters) {
  // "aé" and "€€": cut at 5 bytes of the list the second name would end in
  // the middle of a "€"; the name is cut before it instead.
  const std::string text = "[S]\na\xC3\xA9=1\n\xE2\x82\xAC\xE2\x82\xAC=2\n";
  const Got got = ReadText(text, "S", std::nullopt, "", 7);
  EXPECT_EQ(got.count, 4u);
  EXPECT_EQ(got.bytes, "a\xC3\xA9\0\0"s);
  const Got wider = ReadText(text, "S", std::nullopt, "", 9);
  EXPECT_EQ(wider.count, 7u);
  EXPECT_EQ(wider.bytes, "a\xC3\xA9\0\xE2\x82\xAC\0"s);
}

TEST(Utf8Cut, InvalidBytesAreCutWhereTheBufferEnds) {
  // Stray continuation bytes and a lead byte without its continuation are no
  // characters: the cut falls at size - 1 bytes.
  EXPECT_EQ(Value("[S]\nk=\x80\x80\x80\x80\x80\x80\n", "S", "k", 4), "\x80\x80\x80");
  EXPECT_EQ(Value("[S]\nk=ab\xC3xy\n", "S", "k", 4), "ab\xC3");
  EXPECT_EQ(Value("[S]\nk=a\xC3\xA9\x80\x80\n", "S", "k", 5), "a\xC3\xA9\x80");
}

// --- Writes -------------------------------------------------------------------

struct WriteCase {
  const char* what;
  std::optional<std::string> before;
  std::string section;
  std::string key;
  std::string value;
  std::string after;
};

class Writes : public testing::TestWithParam<WriteCase> {};

TEST_P(Writes, ChangeOnlyWhatTheyMust) {
  const WriteCase& c = GetParam();
  std::optional<std::string_view> before;
  if (c.before) before = *c.before;
  const std::string after = Write(before, c.section, c.key, c.value);
  EXPECT_EQ(after, c.after) << c.what;
  // And the written value reads back (values here have no quotes or blanks).
  EXPECT_EQ(Value(after, c.section, c.key), c.value) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Table, Writes,
    testing::Values(
        WriteCase{"a missing file is created", std::nullopt, "APPLICATIONS", "RES_ORIGINE",
                  "800x600x16", "[APPLICATIONS]\nRES_ORIGINE=800x600x16\n"},
        WriteCase{"an empty file gets the section", "", "S", "k", "v", "[S]\nk=v\n"},
        WriteCase{"a value is replaced in place, spacing and CRLF kept",
                  "; c\r\n[S]\r\n  k =  old  \r\nj=1\r\n", "s", "K", "new",
                  "; c\r\n[S]\r\n  k =  new  \r\nj=1\r\n"},
        WriteCase{"a value with NUL bytes is replaced whole", "[S]\nk=a\0b\nz=1\n"s, "S", "k", "c",
                  "[S]\nk=c\nz=1\n"},
        WriteCase{"an empty value is written", "[S]\nk=1\n", "S", "k", "", "[S]\nk=\n"},
        WriteCase{"a new key follows the section's last entry, before blank lines and comments",
                  "[S]\nk=1\n\n; about T\n[T]\nt=1\n", "S", "j", "2",
                  "[S]\nk=1\nj=2\n\n; about T\n[T]\nt=1\n"},
        WriteCase{"a new key in a section without entries follows its header", "[S]\n\n[T]\n", "S",
                  "k", "1", "[S]\nk=1\n\n[T]\n"},
        WriteCase{"a new key in a CRLF file ends with CRLF", "[S]\r\nk=1\r\n", "S", "j", "2",
                  "[S]\r\nk=1\r\nj=2\r\n"},
        WriteCase{"mixed endings: the first line's is used", "[S]\nk=1\r\n", "S", "j", "2",
                  "[S]\nk=1\r\nj=2\n"},
        WriteCase{"mixed endings, first line CRLF", "[S]\r\nk=1\n", "T", "j", "2",
                  "[S]\r\nk=1\n[T]\r\nj=2\r\n"},
        WriteCase{"no final newline: one comes before the new key", "[S]\r\nk=1", "S", "j", "2",
                  "[S]\r\nk=1\r\nj=2\r\n"},
        WriteCase{"no final newline: a replaced value adds none", "[S]\nk=1", "S", "k", "2",
                  "[S]\nk=2"},
        WriteCase{"a new section goes at the end", "[S]\nk=1\n\n", "T", "k", "2",
                  "[S]\nk=1\n\n[T]\nk=2\n"},
        WriteCase{"a new section after a last line without newline", "[S]\nk=1", "T", "k", "2",
                  "[S]\nk=1\n[T]\nk=2\n"},
        WriteCase{"names are written without blanks around them", "", " S ", " k ", "v",
                  "[S]\nk=v\n"},
        WriteCase{"only the first section of a name is written", "[S]\nk=1\n[S]\nj=2\n", "S", "j",
                  "3", "[S]\nk=1\nj=3\n[S]\nj=2\n"},
        WriteCase{"the first of two entries is replaced", "[S]\nk=1\nk=2\n", "S", "k", "3",
                  "[S]\nk=3\nk=2\n"},
        WriteCase{"an entry without = gets one", "[S]\nk\nj=1\n", "S", "k", "2", "[S]\nk=2\nj=1\n"},
        WriteCase{"the empty section is the part before the first section",
                  "; c\ntop=1\n[S]\nk=1\n", "", "new", "2", "; c\ntop=1\nnew=2\n[S]\nk=1\n"},
        WriteCase{"the byte order mark stays first", "\xEF\xBB\xBF", "S", "k", "v",
                  "\xEF\xBB\xBF[S]\nk=v\n"},
        WriteCase{"bad bytes on other lines are kept",
                  "\x80\xFF garbage \0 here\n[S]\r\nk=1\n\xC3\n"s, "S", "k", "2",
                  "\x80\xFF garbage \0 here\n[S]\r\nk=2\n\xC3\n"s}),
    [](const testing::TestParamInfo<WriteCase>& info) {
      return "Case" + std::to_string(info.index);
    });

TEST(WriteTest, KeepsEveryOtherLineOfALargeFileByteForByte) {
  // Sections of every shape around the one written, in a file of about 1 MB.
  std::string head;
  for (int i = 0; i < 5000; ++i)
    head += "[Section" + std::to_string(i) + "]\r\n key" + std::to_string(i) +
            " = value ; not a comment\r\n\t;comment\n\n" + std::string(i % 97, '#') + "\r\n";
  const std::string tail = "[After]\nlast=1";
  const std::string text = head + "[Target]\r\nk=old\r\n" + tail;
  EXPECT_EQ(Write(text, "target", "k", "new"), head + "[Target]\r\nk=new\r\n" + tail);
  EXPECT_EQ(Write(text, "Target", "j", "2"), head + "[Target]\r\nk=old\r\nj=2\r\n" + tail);
  EXPECT_EQ(Write(text, "New", "n", "3"), text + "\r\n[New]\r\nn=3\r\n");
}

// --- Bad input ------------------------------------------------------------------

TEST(BadInput, LongLinesNulBytesAndInvalidUtf8ReadByTheRules) {
  const std::string junk = std::string(100000, 'z') + "\0\xFF\xC3"s + std::string(100, '=');
  const std::string text =
      "[S]\n" + junk + "\n[" + std::string(100000, '[') + "\nk=" + std::string(100000, 'v') + "\n";
  EXPECT_EQ(Value(text, "S", "k"), std::string(144, 'v'));
  EXPECT_EQ(ReadText(text, "S", std::nullopt, "", 1024).bytes.substr(0, 3), "zzz");
  EXPECT_EQ(Value(text, "S", "missing"), "<default>");
  const std::string written = Write(text, "S", "k", "short");
  EXPECT_EQ(written, "[S]\n" + junk + "\n[" + std::string(100000, '[') + "\nk=short\n");
}

TEST(BadInput, ATwentyMegabyteFileIsReadAndWritten) {
  std::string text;
  text.reserve(21 << 20);
  const std::string filler = "[Filler]\nkey=" + std::string(100, 'f') + "\n";
  while (text.size() < (20u << 20)) text += filler;
  text += "[Last]\nk=found\n";
  EXPECT_EQ(Value(text, "Last", "k"), "found");
  EXPECT_EQ(Value(text, "Filler", "key", 8), "fffffff");
  EXPECT_EQ(Value(text, "Nowhere", "k"), "<default>");
  const std::string written = Write(text, "Last", "j", "2");
  ASSERT_EQ(written.size(), text.size() + 4);
  EXPECT_EQ(written.compare(0, text.size(), text), 0);
  EXPECT_EQ(written.substr(text.size()), "j=2\n");
}

TEST(BadInput, AFileOfOneHugeLineWithoutNewline) {
  const std::string text(20u << 20, 'q');
  EXPECT_EQ(Value(text, "S", "k"), "<default>");
  EXPECT_EQ(Write(text, "S", "k", "v"), text + "\n[S]\nk=v\n");
}

}  // namespace
}  // namespace liaison::profile_text
