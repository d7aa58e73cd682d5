// The registry store's text, without files: how values are written, read
// back, and how odd or damaged files are read and kept.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/posix/RegistryStore.h"

namespace liaison::regedit {
namespace {

constexpr const char* kKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Movelka";

Value Bytes(std::uint32_t type, std::string_view bytes) {
  return {type, std::vector<std::uint8_t>(bytes.begin(), bytes.end())};
}
Value Text(std::string_view text) {
  Value value = Bytes(1, text);
  value.data.push_back(0);
  return value;
}

// --- Writing values ------------------------------------------------------------

struct FormatCase {
  const char* what;
  Value value;
  std::vector<std::string> lines;
};

void PrintTo(const FormatCase& c, std::ostream* os) {
  *os << c.what;
}

class FormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatTest, WritesTheValueAndReadsBackTheSameBytes) {
  const FormatCase& c = GetParam();
  EXPECT_EQ(FormatValue("Name", c.value), c.lines);
  const std::string text = WithValue("", kKey, "Name", c.value);
  const auto read = FindValue(text, kKey, "Name");
  ASSERT_TRUE(read.has_value()) << text;
  EXPECT_EQ(read->type, c.value.type);
  EXPECT_EQ(read->data, c.value.data);
}

std::string Repeat(std::string_view item, int times) {
  std::string s;
  for (int i = 0; i < times; ++i) s.append(item);
  return s;
}

INSTANTIATE_TEST_SUITE_P(
    Values, FormatTest,
    ::testing::Values(
        FormatCase{"String", Text("OK"), {R"("Name"="OK")"}},
        FormatCase{"EmptyString", Text(""), {R"("Name"="")"}},
        FormatCase{"Escapes", Text(R"(C:\dir "x" \\)"), {R"("Name"="C:\\dir \"x\" \\\\")"}},
        FormatCase{"Utf8AsIs", Text("r\xC3\xA9solution"), {"\"Name\"=\"r\xC3\xA9solution\""}},
        FormatCase{"InvalidUtf8AsIs", Text("\xFF\xFE"), {"\"Name\"=\"\xFF\xFE\""}},
        FormatCase{"NoTerminator", Bytes(1, "OK"), {"\"Name\"=hex(1):4f,4b"}},
        FormatCase{
            "InnerZero", Bytes(1, std::string_view("a\0b\0", 4)), {"\"Name\"=hex(1):61,00,62,00"}},
        FormatCase{"NothingAtAll", Bytes(1, ""), {"\"Name\"=hex(1):"}},
        FormatCase{"LineBreak", Text("a\nb"), {"\"Name\"=hex(1):61,0a,62,00"}},
        FormatCase{"CarriageReturn", Text("a\r"), {"\"Name\"=hex(1):61,0d,00"}},
        FormatCase{
            "Binary", Bytes(3, std::string_view("\0\x01\xff", 3)), {"\"Name\"=hex:00,01,ff"}},
        FormatCase{"Dword", Bytes(4, "\x01\x02\x03\x84"), {"\"Name\"=dword:84030201"}},
        FormatCase{"ShortDword", Bytes(4, "\x01\x02"), {"\"Name\"=hex(4):01,02"}},
        FormatCase{"ExpandString",
                   Bytes(2, std::string_view("%A%\0", 4)),
                   {"\"Name\"=hex(2):25,41,25,00"}},
        FormatCase{"TypeAbove9", Bytes(11, "\x07"), {"\"Name\"=hex(b):07"}},
        FormatCase{"LongDataOnSeveralLines",
                   Bytes(3, Repeat("\xAB", 40)),
                   {"\"Name\"=hex:" + Repeat("ab,", 21) + "\\", "  " + Repeat("ab,", 18) + "ab"}}),
    [](const auto& info) { return std::string(info.param.what); });

TEST(FormatTest, DefaultValueAndOddNames) {
  EXPECT_EQ(FormatValue("", Text("x")), std::vector<std::string>{R"(@="x")"});
  EXPECT_EQ(FormatValue("a\"b\\c]", Text("x")), std::vector<std::string>{R"("a\"b\\c]"="x")"});
  const std::string text = WithValue("", kKey, "a\"b\\c]", Text("x"));
  EXPECT_EQ(FindValue(text, kKey, "A\"B\\C]"), Text("x"));
}

TEST(FormatTest, EveryLineOfLongDataStaysShort) {
  const Value value = Bytes(7, Repeat("\x01\x02\x03", 300));
  const std::vector<std::string> lines = FormatValue("Name", value);
  ASSERT_GT(lines.size(), 10u);
  for (const std::string& line : lines) EXPECT_LE(line.size(), 80u) << line;
  EXPECT_EQ(FindValue(WithValue("", kKey, "Name", value), kKey, "Name"), value);
}

// --- A new store and changes to it -------------------------------------------------

TEST(StoreTextTest, NewStoreHasTheHeaderAndTheKey) {
  const std::string text = WithKey("", kKey);
  EXPECT_EQ(text, "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Movelka]\n");
  EXPECT_EQ(WithKey(text, "hkey_local_machine\\software\\MOVELKA"), text);
  const std::string with_values =
      WithValue(WithValue(text, kKey, "PasAff", Text("OK")), kKey, "RES_ORIGINE", Text(""));
  EXPECT_EQ(with_values,
            "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Movelka]\n\"PasAff\"=\"OK\"\n"
            "\"RES_ORIGINE\"=\"\"\n");
}

TEST(StoreTextTest, ValueOfAMissingKeyAddsTheKeyAfterABlankLine) {
  const std::string text = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\n\"A\"=\"1\"\n";
  EXPECT_EQ(WithValue(text, kKey, "PasAff", Text("OK")),
            text + "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Movelka]\n\"PasAff\"=\"OK\"\n");
}

TEST(StoreTextTest, KeysAreFoundWithAnyCaseAndThroughTheirChildren) {
  const std::string text = "REGEDIT4\n\n[hkey_local_machine\\software\\movelka\\Sub]\n";
  EXPECT_TRUE(HasKey(text, kKey));
  EXPECT_TRUE(HasKey(text, "HKEY_LOCAL_MACHINE\\SOFTWARE"));
  EXPECT_TRUE(HasKey(text, "HKEY_LOCAL_MACHINE\\SOFTWARE\\MOVELKA\\SUB"));
  EXPECT_FALSE(HasKey(text, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Move"));
  EXPECT_FALSE(HasKey(text, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Movelka\\Sub\\Deeper"));
  EXPECT_FALSE(HasKey(text, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Movelka\\Su"));
  // A parent known only through its child gets its own block for a value.
  const std::string changed = WithValue(text, "HKEY_LOCAL_MACHINE\\SOFTWARE", "V", Text("1"));
  EXPECT_EQ(changed, text + "\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\n\"V\"=\"1\"\n");
}

TEST(StoreTextTest, ChangedValueTakesThePlaceOfTheOldOneAndKeepsItsSpelling) {
  const std::string text =
      "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Movelka]\n\"pasaff\"=\"no\"\n"
      "\"RES_ORIGINE\"=\"800x600x16\"\n";
  EXPECT_EQ(WithValue(text, kKey, "PasAff", Text("OK")),
            "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Movelka]\n\"pasaff\"=\"OK\"\n"
            "\"RES_ORIGINE\"=\"800x600x16\"\n");
}

TEST(StoreTextTest, NewValueGoesBeforeTheBlankLinesAndTheNextKey) {
  const std::string text =
      "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Movelka]\n\"A\"=\"1\"\n; note\n\n\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\n\"B\"=\"2\"\n";
  EXPECT_EQ(WithValue(text, kKey, "C", Text("3")),
            "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Movelka]\n\"A\"=\"1\"\n; note\n"
            "\"C\"=\"3\"\n\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\n\"B\"=\"2\"\n");
}

TEST(StoreTextTest, MultiLineValueIsReplacedWhole) {
  const std::string text =
      "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Movelka]\n\"Bin\"=hex:01,02,\\\n  03,\\\n"
      "  04\n\"After\"=\"x\"\n";
  EXPECT_EQ(FindValue(text, kKey, "Bin"), Bytes(3, "\x01\x02\x03\x04"));
  EXPECT_EQ(WithValue(text, kKey, "Bin", Text("OK")),
            "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Movelka]\n\"Bin\"=\"OK\"\n"
            "\"After\"=\"x\"\n");
}

TEST(StoreTextTest, LastOfRepeatedValuesAndBlocksCounts) {
  const std::string text =
      "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Movelka]\n\"A\"=\"first\"\n\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\n\"A\"=\"other\"\n\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\MOVELKA]\n\"a\"=\"second\"\n";
  EXPECT_EQ(FindValue(text, kKey, "A"), Text("second"));
  EXPECT_EQ(WithValue(text, kKey, "A", Text("third")),
            "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Movelka]\n\"A\"=\"first\"\n\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\n\"A\"=\"other\"\n\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\MOVELKA]\n\"a\"=\"third\"\n");
}

TEST(StoreTextTest, ValuesOutsideTheirKeyAreNotSeen) {
  const std::string text =
      "REGEDIT4\n\"A\"=\"before any key\"\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Movelka]\n"
      "\"B\"=\"in a deleted block\"\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Movelka]\n\"C\"=-\n";
  EXPECT_FALSE(FindValue(text, kKey, "A"));
  EXPECT_FALSE(FindValue(text, kKey, "B"));
  EXPECT_FALSE(FindValue(text, kKey, "C"));  // "=-" deletes a value
  EXPECT_EQ(
      WithValue(text, kKey, "C", Text("set")),
      "REGEDIT4\n\"A\"=\"before any key\"\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Movelka]\n"
      "\"B\"=\"in a deleted block\"\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Movelka]\n\"C\"=\"set\"\n");
}

TEST(StoreTextTest, ReadsTheFormsThatRegeditWrites) {
  const std::string text =
      "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Movelka]\r\n@=\"default\"\r\n"
      "\"D\"=dword:0000002A\r\n\"E\"=hex(2):25,00\r\n  \"Spaced\" = \"x\" \t\r\n"
      "\"Odd\"=\"back\\slash\"\r\n";
  EXPECT_EQ(FindValue(text, kKey, ""), Text("default"));
  EXPECT_EQ(FindValue(text, kKey, "d"), Bytes(4, std::string_view("\x2A\0\0\0", 4)));
  EXPECT_EQ(FindValue(text, kKey, "E"), Bytes(2, std::string_view("%\0", 2)));
  EXPECT_EQ(FindValue(text, kKey, "Spaced"), Text("x"));
  EXPECT_EQ(FindValue(text, kKey, "Odd"), Text("back\\slash"));
}

// --- Odd and damaged files -------------------------------------------------------------

struct OddCase {
  const char* what;
  std::string text;
  std::optional<Value> a;  // what "A" of the key reads as
};

void PrintTo(const OddCase& c, std::ostream* os) {
  *os << c.what;
}

class OddStoreTest : public ::testing::TestWithParam<OddCase> {};

// A new value leaves every other byte of the file as it was: the file with the
// value's line taken out again starts with the file as it was, and what
// follows is at most a line end for a last line that had none and a new
// block for the key.
TEST_P(OddStoreTest, ReadsWhatItCanAndKeepsEveryOtherByte) {
  const OddCase& c = GetParam();
  EXPECT_EQ(FindValue(c.text, kKey, "A"), c.a);

  const std::string changed = WithValue(c.text, kKey, "Added", Text("new"));
  EXPECT_EQ(FindValue(changed, kKey, "Added"), Text("new"));
  EXPECT_EQ(FindValue(changed, kKey, "A"), c.a);

  const std::size_t first_end = c.text.find('\n');
  const std::string end =
      (first_end != std::string::npos && first_end > 0 && c.text[first_end - 1] == '\r') ? "\r\n"
                                                                                         : "\n";
  const std::string line = "\"Added\"=\"new\"" + end;
  const std::size_t at = changed.find(line);
  ASSERT_NE(at, std::string::npos) << changed;
  std::string restored = changed;
  restored.erase(at, line.size());
  ASSERT_TRUE(restored.starts_with(c.text)) << restored;
  const std::string tail = restored.substr(c.text.size());
  const std::string block = std::string("[") + kKey + "]" + end;
  EXPECT_TRUE(tail.empty() || tail == end || tail == block || tail == end + block ||
              tail == end + end + block ||
              (c.text.empty() && tail == "REGEDIT4" + end + end + block))
      << tail;
}

// A text with the zero bytes that its literal holds.
template <std::size_t N>
std::string Raw(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

const std::string kHead = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Movelka]";

INSTANTIATE_TEST_SUITE_P(
    Files, OddStoreTest,
    ::testing::Values(
        OddCase{"Crlf", "REGEDIT4\r\n\r\n" + kHead + "\r\n\"A\"=\"1\"\r\n", Text("1")},
        OddCase{"NoHeader", kHead + "\n\"A\"=\"1\"\n", Text("1")},
        OddCase{"NoFinalLineEnd", "REGEDIT4\n\n" + kHead + "\n\"A\"=\"1\"", Text("1")},
        OddCase{"NoFinalLineEndCrlf", "REGEDIT4\r\n\r\n" + kHead + "\r\n\"A\"=\"1\"", Text("1")},
        OddCase{"Garbage",
                "REGEDIT4\n\n" + kHead +
                    "\n}}garbage{{\n\"A\"=\"unterminated\n\"A\"=oops\n"
                    "\"A\"=hex:zz\n\"A\"=\"1\" trailing\n=\"no name\"\n[\n]\n",
                std::nullopt},
        OddCase{"NulBytes", "REGEDIT4\n\n" + kHead + Raw("\n\0\0junk\0\n\"A\"=\"x\0y\"\n"),
                Bytes(1, std::string_view("x\0y\0", 4))},
        OddCase{"HugeLine",
                "REGEDIT4\n\n" + kHead + "\n; " + std::string(1 << 20, 'x') + "\n\"A\"=\"1\"\n",
                Text("1")},
        OddCase{"InvalidUtf8", "REGEDIT4\n\n" + kHead + "\n\xC3\x28\xFF\n\"A\"=\"\xFE\"\n",
                Text("\xFE")},
        OddCase{"LoneCarriageReturns", "REGEDIT4\r\r" + kHead + "\r\"A\"=\"1\"\r", std::nullopt},
        OddCase{"ContinuationAtTheEnd", "REGEDIT4\n\n" + kHead + "\n\"A\"=hex:01,\\", std::nullopt},
        OddCase{"ContinuationIntoGarbage", "REGEDIT4\n\n" + kHead + "\n\"A\"=hex:01,\\\n[other]\n",
                std::nullopt},
        OddCase{"Empty", "", std::nullopt}, OddCase{"OnlyLineEnds", "\n\n\n", std::nullopt},
        OddCase{"Utf16Bom", Raw("\xFF\xFEW\0i\0n\0"), std::nullopt}),
    [](const auto& info) { return std::string(info.param.what); });

}  // namespace
}  // namespace liaison::regedit
