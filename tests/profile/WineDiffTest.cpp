// The Linux profile functions against the real Windows ones: a table of INI
// files, reads and writes is answered once by the probe (GetPrivateProfileStringA
// and WritePrivateProfileStringA under wine) and once by PosixProfile, and
// every answer must be the same. Wine rewrites a whole file in its own layout
// when it writes, while the Linux functions keep the other lines byte for
// byte, so after each write the two are compared by what they read back (the
// written key and the key list of its section), not by the bytes.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/posix/Profile.h"

extern char** environ;

namespace liaison {
namespace {

namespace fs = std::filesystem;

struct Op {
  bool write = false;
  std::string section;
  std::optional<std::string> key;  // none: list the section's keys
  std::string text;                // the default of a read, the value of a write
  std::uint32_t size = 0;
};

Op Get(std::string section, std::string key, std::string def = "dflt", std::uint32_t size = 145) {
  return Op{false, std::move(section), std::move(key), std::move(def), size};
}
Op List(std::string section, std::uint32_t size = 1024, std::string def = "") {
  return Op{false, std::move(section), std::nullopt, std::move(def), size};
}
Op Set(std::string section, std::string key, std::string value) {
  return Op{true, std::move(section), std::move(key), std::move(value), 0};
}

struct Case {
  std::string name;
  std::optional<std::string> content;  // none: the file does not exist
  std::vector<Op> ops;
};

std::vector<Case> Table() {
  using namespace std::string_literals;
  const std::string x200(200, 'x');
  const std::string y150(150, 'y');
  std::vector<Case> cases = {
      {"Basics",
       "[Sec]\r\nA=1\r\nb = two  \r\n  c=  'q'  \r\nd=\"x\"\r\ne=\"y'\r\nf=\"\r\n;g=3\r\nh\r\n"
       "[ Spc ]\r\nk=v\r\n[sec]\r\nA=dup\r\nZ=z\r\n",
       {Get("Sec", "A"), Get("sec", "a"), Get(" Sec ", " b "), Get("Sec", "c"), Get("Sec", "d"),
        Get("Sec", "e"), Get("Sec", "f"), Get("Sec", "h"), Get("Sec", "Z"), Get("Spc", "k"),
        Get(" Spc\t", "K"), Get("Sec", "nothere"), Get("Nope", "A"), List("Sec"), List("sEC"),
        List("Spc"), List(" Spc "), List("Nope", 1024, "none")}},
      {"Blanks",
       "  [S]  \n\tt\t=\tv\t\n\x1au\x1a=\x1aw\x1a\na b = 1 2 \n  k=  spaced value  \n",
       {Get("S", "t"), Get("S", "u"), Get("S", "a b"), Get("S", "A B"), Get("S", "k"),
        Get("S", "a  b"), List("S")}},
      {"Quotes",
       "[S]\nk=\"\"\nl='\nm=\"a'\nn = \" a b \" \no='it''s'\np=\"in\"side\"\nq='x'y\n",
       // n holds 5 characters between its quotes. A buffer of exactly 6 is
       // left out: wine then returns 4 characters where the documented rule
       // (the value cut to size - 1 characters) gives all 5.
       {Get("S", "k"), Get("S", "l"), Get("S", "m"), Get("S", "n"), Get("S", "o"), Get("S", "p"),
        Get("S", "q"), Get("S", "n", "d", 8), Get("S", "n", "d", 7), Get("S", "n", "d", 5),
        Get("S", "n", "d", 4), Get("S", "n", "d", 2)}},
      {"Defaults",
       "[S]\nk=1\n",
       {Get("S", "no", "dflt   "), Get("S", "no", "   "), Get("S", "no", " a  b "),
        Get("S", "no", "ab\t"), Get("S", "no", "\"q\""), Get("S", "no", ""), Get("S", "no", x200),
        Get("S", "no", "abcdef", 4), Get("S", "no", "ab  ", 3), Get("S", "no", "abc", 1),
        Get("S", "no", "abc", 0), Get("S", "k", "abc", 1), Get("T", "no", "dflt"),
        List("T", 3, "dflt"), List("S", 2, "dflt"), List("", 100, "dflt")}},
      {"LongValues",
       "[S]\nv=" + x200 + "\nw='" + x200 + "'\ny=" + y150 + "\n" + std::string(300, 'n') + "=1\n",
       {Get("S", "v"), Get("S", "w"), Get("S", "y"), Get("S", "v", "", 1024),
        Get("S", std::string(300, 'N')), List("S"), List("S", 145)}},
      {"ListingCuts",
       "[s]\nname1=a\nname2=b\nnoequals\n;comment=c\nname4=d\n",
       {List("s", 1), List("s", 2), List("s", 3), List("s", 4), List("s", 5), List("s", 6),
        List("s", 7), List("s", 12), List("s", 13), List("s", 14), List("s", 15), List("s", 16),
        List("s", 17), List("s", 18), List("s", 19), List("s", 20), List("s", 1024)}},
      {"Duplicates",
       "[S]\nk=1\nk=2\nn\nn=3\n[s]\nk=4\nj=5\n",
       {Get("S", "k"), Get("S", "j"), Get("S", "n"), List("S"), List("s"), Set("S", "j", "6"),
        Set("s", "k", "7"), Set("S", "n", "8")}},
      {"MissingFile",
       std::nullopt,
       {Get("S", "k"), List("S", 1024, "dflt"), Set("S", "k", "1"), Set("T", "j", "2"),
        Set("S", "m", "3"), Get("T", "j")}},
      {"EmptyFile", "", {Get("S", "k"), List("S"), Set("S", "k", "v"), Set("S", "k", "w")}},
      {"NoFinalNewline",
       "[S]\nx=1\ny=2",
       {Get("S", "y"), Set("S", "z", "3"), Set("S", "y", "4"), Set("T", "t", "5"), Get("S", "x")}},
      {"HeaderWithoutNewline", "[S]", {Set("S", "k", "1"), Set("T", "k", "2")}},
      {"CommentsAndBlankLines",
       "; top comment\n\n[S]\n; about k\nk=1\n\n; trailing\n\n[T]\nt=1\n\n",
       {Set("S", "new", "1"), Set("T", "new", "2"), Set("U", "u", "3"), Set("S", "k", "4"),
        Get("S", "; about k")}},
      {"KeysBeforeSections",
       "top=1\n[S]\nk=2\n",
       {Get("", "top"), Get("  ", "top"), Get("S", "top"), List(""), Set("", "top", "3"),
        Set("", "new", "4"), Get("", "new"), Get("S", "k")}},
      {"SectionHeaders",
       "[A]x]\nq=2\n[abc\nr=3\n[]\ns=4\n  [Indented]\ni=5\n[Trail] junk\nt=6\n",
       {Get("A]x", "q"), Get("A", "q"), Get("A]x", "r"), Get("A]x", "[abc"), Get("", "s"),
        Get("Indented", "i"), Get("Trail", "t"), Get("Trail] junk", "t"), List("A]x"),
        List("Trail")}},
      {"EmptyValues",
       "[S]\ne=\nf=   \ng=''\n",
       {Get("S", "e"), Get("S", "f"), Get("S", "g"), List("S"), Set("S", "e", "filled"),
        Set("S", "g", ""), Set("S", "h", "")}},
      {"NulBytes",
       "[S]\nv=a\0b\nw\0x=2\n[T]\nk=1\n"s,
       {Get("S", "v"), Get("S", "w"), List("S"), Get("T", "k"), Set("T", "k", "3"),
        Set("S", "v", "4")}},
      {"ByteOrderMark", "\xEF\xBB\xBF[B]\r\nk=1\r\n", {Get("B", "k"), Set("B", "k", "2")}},
      {"UnnamedEntries",
       "[S]\nk=1\n=a\n=b\nj=2\n=c\n",
       {Get("S", "k"), Get("S", ""), List("S"), Set("S", "j", "3")}},
      {"CrlfWrites",
       "[S]\r\nk=1\r\n\r\n[T]\r\nx=1",
       {Set("S", "j", "2"), Set("T", "k", "sp"), Set("S", "k", "5")}},
      {"MixedEndings", "[S]\r\nk=1\nj=2\r\n", {Set("S", "m", "3"), Set("N", "n", "4")}},
      {"OddWrites",
       "[S]\nk=1\n",
       {Set(" N ", " k ", " v "), Get("N", "k"), Set("S", "k", "  lead"),
        Set("S", "q", "\"quoted\""), Set("S", "t", "tail  ")}},
      {"LongLines",
       "[S]\n" + std::string(5000, 'z') + "\nk=" + std::string(3000, 'v') + "\n" +
           std::string(4000, '[') + "\nj=1\n",
       {Get("S", "k"), Get("S", "j"), List("S"), Set("S", "j", "2"), Set("S", "new", "3")}},
      {"CaseFolding",
       "[MiXeD]\nKeY=1\n",
       {Get("mixed", "key"), Get("MIXED", "KEY"), Set("mixed", "KEY", "2"), List("MIXED")}},
  };
  // After every write, both sides read back the key and its section's keys.
  for (Case& c : cases) {
    std::vector<Op> ops;
    for (const Op& op : c.ops) {
      ops.push_back(op);
      if (op.write) {
        ops.push_back(Get(op.section, *op.key, "dflt", 1024));
        ops.push_back(List(op.section));
      }
    }
    c.ops = std::move(ops);
  }
  return cases;
}

const std::vector<Case>& Cases() {
  static const std::vector<Case> cases = Table();
  return cases;
}

std::string Hex(std::string_view bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (const char c : bytes) {
    out += digits[static_cast<unsigned char>(c) >> 4];
    out += digits[static_cast<unsigned char>(c) & 15];
  }
  return out;
}

std::string Field(const std::optional<std::string>& text) {
  return text ? "x" + Hex(*text) : "-";
}

std::string WindowsPath(const fs::path& path) {
  std::string out = "Z:" + path.string();
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}

fs::path CaseFile(const char* side, std::size_t index) {
  return fs::path(LIAISON_WINE_WORK) / side / ("case" + std::to_string(index) + ".ini");
}

// An answer as the probe writes it.
std::string ReadAnswer(std::uint32_t n, const std::vector<char>& buffer) {
  return std::to_string(n) + " " +
         Hex(std::string_view(buffer.data(), std::min<std::size_t>(n + 1, buffer.size())));
}

// A readable form of an answer line, for failure messages.
std::string Show(const std::string& answer) {
  const auto space = answer.find(' ');
  if (space == std::string::npos) return answer;
  std::string text;
  for (std::size_t i = space + 1; i + 1 < answer.size(); i += 2) {
    const int byte = std::stoi(answer.substr(i, 2), nullptr, 16);
    if (byte >= 0x20 && byte < 0x7f) {
      text += static_cast<char>(byte);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
      text += escaped;
    }
  }
  return answer.substr(0, space) + " \"" + text + "\"";
}

std::string Describe(const Op& op) {
  std::ostringstream out;
  out << (op.write ? "write [" : "read [") << op.section << "] ";
  out << (op.key ? "key \"" + *op.key + "\"" : std::string("(key list)"));
  if (op.write)
    out << " = \"" << op.text << "\"";
  else
    out << " default \"" << op.text << "\" size " << op.size;
  return out.str();
}

// Runs the probe under wine over the whole table; fills `answers` with one
// line per operation, or returns what went wrong.
std::string RunWine(std::vector<std::vector<std::string>>& answers) {
  const fs::path work = LIAISON_WINE_WORK;
  std::error_code ec;
  fs::remove_all(work, ec);
  fs::create_directories(work / "wine");
  fs::create_directories(work / "linux");
  fs::create_directories(LIAISON_WINE_PREFIX);

  std::ofstream commands(work / "commands.txt", std::ios::binary);
  for (std::size_t i = 0; i < Cases().size(); ++i) {
    const Case& c = Cases()[i];
    if (c.content) {
      for (const char* side : {"wine", "linux"}) {
        std::ofstream file(CaseFile(side, i), std::ios::binary);
        file << *c.content;
      }
    }
    const std::string file = Field(WindowsPath(CaseFile("wine", i)));
    for (const Op& op : c.ops) {
      if (op.write)
        commands << "W " << file << ' ' << Field(op.section) << ' ' << Field(op.key) << ' '
                 << Field(op.text) << '\n';
      else
        commands << "R " << file << ' ' << Field(op.section) << ' ' << Field(op.key) << ' '
                 << Field(op.text) << ' ' << op.size << '\n';
    }
  }
  commands.close();

  // Wine's environment: no display, no debug output, the prefix of this
  // build, and no offer to install .NET or a web engine.
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string_view var = *e;
    if (var.starts_with("DISPLAY=") || var.starts_with("WAYLAND_DISPLAY=") ||
        var.starts_with("WINEDEBUG=") || var.starts_with("WINEPREFIX=") ||
        var.starts_with("WINEDLLOVERRIDES="))
      continue;
    env.emplace_back(var);
  }
  env.push_back("WINEDEBUG=-all");
  env.push_back(std::string("WINEPREFIX=") + LIAISON_WINE_PREFIX);
  env.push_back("WINEDLLOVERRIDES=mscoree,mshtml=");
  std::vector<char*> envp;
  for (std::string& var : env) envp.push_back(var.data());
  envp.push_back(nullptr);

  std::string wine = LIAISON_WINE;
  std::string probe = LIAISON_PROFILE_PROBE;
  std::string in = WindowsPath(work / "commands.txt");
  std::string out = WindowsPath(work / "answers.txt");
  char* argv[] = {wine.data(), probe.data(), in.data(), out.data(), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, wine.c_str(), nullptr, nullptr, argv, envp.data()) != 0)
    return "cannot start " + wine;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return "the probe failed under wine (status " + std::to_string(status) + ")";

  std::ifstream answers_file(work / "answers.txt", std::ios::binary);
  answers.assign(Cases().size(), {});
  std::string line;
  for (std::size_t i = 0; i < Cases().size(); ++i) {
    for (std::size_t j = 0; j < Cases()[i].ops.size(); ++j) {
      if (!std::getline(answers_file, line)) return "the probe answered too few commands";
      answers[i].push_back(line);
    }
  }
  return {};
}

class WineComparison : public testing::TestWithParam<std::size_t> {
 protected:
  static void SetUpTestSuite() { problem_ = RunWine(answers_); }

  static std::vector<std::vector<std::string>> answers_;
  static std::string problem_;
};

std::vector<std::vector<std::string>> WineComparison::answers_;
std::string WineComparison::problem_;

TEST_P(WineComparison, SameAnswersAsWindows) {
  ASSERT_EQ(problem_, "");
  const std::size_t index = GetParam();
  const Case& c = Cases()[index];
  const std::string path = CaseFile("linux", index).string();
  PosixProfile profile((CaseFile("linux", 0).parent_path() / "win.ini").string());
  for (std::size_t j = 0; j < c.ops.size(); ++j) {
    const Op& op = c.ops[j];
    std::string answer;
    if (op.write) {
      answer = profile.WritePrivateProfileString(op.section, *op.key, op.text, path) ? "1" : "0";
    } else {
      std::vector<char> buffer(op.size + 16, '\x7f');
      std::optional<std::string_view> key;
      if (op.key) key = *op.key;
      answer = ReadAnswer(
          profile.GetPrivateProfileString(op.section, key, op.text, buffer.data(), op.size, path),
          buffer);
    }
    EXPECT_EQ(Show(answer), Show(answers_[index][j])) << "operation " << j << ": " << Describe(op);
  }
}

INSTANTIATE_TEST_SUITE_P(Table, WineComparison, testing::Range<std::size_t>(0, Cases().size()),
                         [](const testing::TestParamInfo<std::size_t>& info) {
                           return Cases()[info.param].name;
                         });

}  // namespace
}  // namespace liaison
