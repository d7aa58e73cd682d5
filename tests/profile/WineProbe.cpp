// A Windows program that answers profile reads and writes with the real
// kernel32 functions, so that the Linux engine can be compared with them.
//
// Usage: probe <commands file> <answers file>
//
// Each command is one line of space-separated fields. Every text field is
// "x" followed by the text in hexadecimal ("x" alone is an empty text), or
// "-" for a null pointer:
//   R <file> <section> <key> <default> <size>   GetPrivateProfileStringA
//   W <file> <section> <key> <value>            WritePrivateProfileStringA
// Each answer is one line:
//   R: the returned count, a space, and the bytes 0 to count (the count-th
//      byte being the terminator) in hexadecimal;
//   W: 1 for a non-zero result, 0 otherwise.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::string> Field(const std::string& field) {
  if (field == "-") return std::nullopt;
  std::string out;
  for (std::size_t i = 1; i + 1 < field.size(); i += 2)
    out += static_cast<char>(HexDigit(field[i]) * 16 + HexDigit(field[i + 1]));
  return out;
}

const char* Ptr(const std::optional<std::string>& text) {
  return text ? text->c_str() : nullptr;
}

std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  while (start <= line.size()) {
    std::size_t end = line.find(' ', start);
    if (end == std::string::npos) end = line.size();
    if (end > start) fields.push_back(line.substr(start, end - start));
    start = end + 1;
  }
  return fields;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: probe <commands> <answers>\n");
    return 2;
  }
  FILE* in = std::fopen(argv[1], "rb");
  FILE* out = std::fopen(argv[2], "wb");
  if (!in || !out) {
    std::fprintf(stderr, "probe: cannot open %s or %s\n", argv[1], argv[2]);
    return 2;
  }
  std::string line;
  for (int c = std::fgetc(in);; c = std::fgetc(in)) {
    if (c != EOF && c != '\n') {
      if (c != '\r') line += static_cast<char>(c);
      continue;
    }
    std::vector<std::string> f = Split(line);
    line.clear();
    if (!f.empty() && f[0] == "R" && f.size() == 6) {
      unsigned size = static_cast<unsigned>(std::strtoul(f[5].c_str(), nullptr, 10));
      std::vector<char> buffer(size + 16, '\x7f');
      std::optional<std::string> file = Field(f[1]), section = Field(f[2]), key = Field(f[3]),
                                 def = Field(f[4]);
      DWORD n = GetPrivateProfileStringA(Ptr(section), Ptr(key), Ptr(def), buffer.data(), size,
                                         Ptr(file));
      std::fprintf(out, "%lu ", static_cast<unsigned long>(n));
      for (DWORD i = 0; i <= n && i < buffer.size(); ++i)
        std::fprintf(out, "%02x", static_cast<unsigned char>(buffer[i]));
      std::fprintf(out, "\n");
    } else if (!f.empty() && f[0] == "W" && f.size() == 5) {
      std::optional<std::string> file = Field(f[1]), section = Field(f[2]), key = Field(f[3]),
                                 value = Field(f[4]);
      BOOL ok = WritePrivateProfileStringA(Ptr(section), Ptr(key), Ptr(value), Ptr(file));
      std::fprintf(out, "%d\n", ok ? 1 : 0);
    } else if (!f.empty()) {
      std::fprintf(out, "? bad command\n");
    }
    if (c == EOF) break;
  }
  std::fclose(in);
  std::fclose(out);
  return 0;
}
