#include "platform/posix/RegistryStore.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "platform/posix/AtomicFile.h"

#ifndef LIAISON_MACHINE_REGISTRY
#define LIAISON_MACHINE_REGISTRY "/etc/liaison/machine.reg"
#endif

namespace liaison {

const char* DefaultRegistryPath() {
  return LIAISON_MACHINE_REGISTRY;
}

namespace regedit {
namespace {

constexpr std::string_view kLocalMachineName = "HKEY_LOCAL_MACHINE";
constexpr std::uint32_t kString = IRegistry::kString;  // REG_SZ
constexpr std::uint32_t kBinary = 3;                   // REG_BINARY
constexpr std::uint32_t kDword = 4;                    // REG_DWORD
// Hexadecimal data goes on to a further line beyond this many characters.
constexpr std::size_t kLineWidth = 76;

// --- Lines ---------------------------------------------------------------------

// One line of the file: its text and its line end ("\n", "\r\n", or nothing
// for a last line without one). A lone "\r" is part of the text.
struct Line {
  std::string_view body;
  std::string_view end;
};

std::vector<Line> SplitLines(std::string_view text) {
  std::vector<Line> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t newline = text.find('\n', pos);
    if (newline == std::string_view::npos) {
      lines.push_back({text.substr(pos), {}});
      break;
    }
    std::size_t body_end = newline;
    if (body_end > pos && text[body_end - 1] == '\r') --body_end;
    lines.push_back(
        {text.substr(pos, body_end - pos), text.substr(body_end, newline + 1 - body_end)});
    pos = newline + 1;
  }
  return lines;
}

// The line end of the file's first line, so that added lines match the file.
std::string_view LineEnd(const std::vector<Line>& lines) {
  if (!lines.empty() && lines.front().end == "\r\n") return "\r\n";
  return "\n";
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}

std::string_view Trim(std::string_view s) {
  s = TrimLeft(s);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return Lower(x) == Lower(y); });
}

bool StartsNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && EqualNoCase(s.substr(0, prefix.size()), prefix);
}

// `key` itself, or a key under it.
bool IsKeyOrBelow(std::string_view candidate, std::string_view key) {
  return StartsNoCase(candidate, key) &&
         (candidate.size() == key.size() || candidate[key.size()] == '\\');
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = Lower(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// --- Reading a line --------------------------------------------------------------

// A quoted text at the start of `s`: the text between the quotes with \\ and
// \" taken back to \ and ", and `s` left after the closing quote. A backslash
// before any other character stands for itself.
std::optional<std::string> TakeQuoted(std::string_view& s) {
  if (s.empty() || s.front() != '"') return std::nullopt;
  std::string text;
  for (std::size_t i = 1; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '"') {
      s.remove_prefix(i + 1);
      return text;
    }
    if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) ++i;
    text.push_back(s[i]);
  }
  return std::nullopt;
}

std::optional<std::uint32_t> ParseHexNumber(std::string_view s) {
  if (s.empty() || s.size() > 8) return std::nullopt;
  std::uint32_t number = 0;
  for (const char c : s) {
    const int digit = HexDigit(c);
    if (digit < 0) return std::nullopt;
    number = number * 16 + static_cast<std::uint32_t>(digit);
  }
  return number;
}

// Bytes written as two-digit hexadecimal numbers between commas.
std::optional<std::vector<std::uint8_t>> ParseHexBytes(std::string_view s) {
  std::vector<std::uint8_t> bytes;
  if (Trim(s).empty()) return bytes;
  while (true) {
    const std::size_t comma = s.find(',');
    const std::string_view item = Trim(s.substr(0, comma));
    if (item.empty() || item.size() > 2) return std::nullopt;
    const auto number = ParseHexNumber(item);
    if (!number) return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(*number));
    if (comma == std::string_view::npos) return bytes;
    s.remove_prefix(comma + 1);
  }
}

struct ParsedValue {
  std::string name;
  std::optional<Value> value;  // empty for a deletion ("name"=-)
  std::size_t lines = 1;       // lines taken, continuation lines included
};

// A value line at `lines[index]`, with the continuation lines of its
// hexadecimal data; nothing when the line is not a well-formed value.
std::optional<ParsedValue> ParseValue(const std::vector<Line>& lines, std::size_t index) {
  std::string_view s = TrimLeft(lines[index].body);
  ParsedValue parsed;
  if (!s.empty() && s.front() == '@') {
    s.remove_prefix(1);
  } else {
    auto name = TakeQuoted(s);
    if (!name) return std::nullopt;
    parsed.name = std::move(*name);
  }
  s = TrimLeft(s);
  if (s.empty() || s.front() != '=') return std::nullopt;
  s = Trim(s.substr(1));

  if (!s.empty() && s.front() == '"') {
    auto text = TakeQuoted(s);
    if (!text || !Trim(s).empty()) return std::nullopt;
    Value value{kString, std::vector<std::uint8_t>(text->begin(), text->end())};
    value.data.push_back(0);
    parsed.value = std::move(value);
    return parsed;
  }
  if (s == "-") return parsed;
  if (StartsNoCase(s, "dword:")) {
    const auto number = ParseHexNumber(s.substr(6));
    if (!number) return std::nullopt;
    Value value{kDword, {}};
    for (int shift = 0; shift < 32; shift += 8) {
      value.data.push_back(static_cast<std::uint8_t>(*number >> shift));
    }
    parsed.value = std::move(value);
    return parsed;
  }

  std::uint32_t type = kBinary;
  if (StartsNoCase(s, "hex:")) {
    s.remove_prefix(4);
  } else if (StartsNoCase(s, "hex(")) {
    const std::size_t close = s.find("):");
    if (close == std::string_view::npos) return std::nullopt;
    const auto number = ParseHexNumber(s.substr(4, close - 4));
    if (!number) return std::nullopt;
    type = *number;
    s.remove_prefix(close + 2);
  } else {
    return std::nullopt;
  }
  // A trailing backslash carries the data on to the next line.
  std::string data(s);
  while (!data.empty() && data.back() == '\\' && index + parsed.lines < lines.size()) {
    data.pop_back();
    data.append(Trim(lines[index + parsed.lines].body));
    ++parsed.lines;
  }
  auto bytes = ParseHexBytes(data);
  if (!bytes) return std::nullopt;
  parsed.value = Value{type, std::move(*bytes)};
  return parsed;
}

// --- The file as entries -----------------------------------------------------------

enum class Kind { kOther, kBlank, kKey, kValue };

// One or more lines of the file that belong together.
struct Entry {
  Kind kind = Kind::kOther;
  std::size_t first = 0;           // index of the first line
  std::size_t count = 1;           // number of lines
  std::optional<std::string> key;  // kKey: the key's path; empty for a "[-...]" deletion
  ParsedValue value;               // kValue
};

std::vector<Entry> Parse(const std::vector<Line>& lines) {
  std::vector<Entry> entries;
  for (std::size_t i = 0; i < lines.size();) {
    Entry entry;
    entry.first = i;
    const std::string_view s = Trim(lines[i].body);
    if (s.empty()) {
      entry.kind = Kind::kBlank;
    } else if (s.size() >= 2 && s.front() == '[' && s.back() == ']') {
      entry.kind = Kind::kKey;
      const std::string_view key = s.substr(1, s.size() - 2);
      if (key.empty() || key.front() != '-') entry.key = std::string(key);
    } else if (s.front() == '"' || s.front() == '@') {
      if (auto value = ParseValue(lines, i)) {
        entry.kind = Kind::kValue;
        entry.count = value->lines;
        entry.value = std::move(*value);
      }
    }
    i += entry.count;
    entries.push_back(std::move(entry));
  }
  return entries;
}

bool IsKey(const Entry& entry, std::string_view key) {
  return entry.kind == Kind::kKey && entry.key && EqualNoCase(*entry.key, key);
}

// The index of the last entry that sets `name` of `key` (deletions
// included), or nothing.
std::optional<std::size_t> LastValueEntry(const std::vector<Entry>& entries, std::string_view key,
                                          std::string_view name) {
  std::optional<std::size_t> found;
  bool in_key = false;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const Entry& entry = entries[i];
    if (entry.kind == Kind::kKey) in_key = IsKey(entry, key);
    if (in_key && entry.kind == Kind::kValue && EqualNoCase(entry.value.name, name)) found = i;
  }
  return found;
}

// The text with lines [from, to) replaced by `fresh`, each ended as the file's
// lines are.
std::string Splice(const std::vector<Line>& lines, std::size_t from, std::size_t to,
                   const std::vector<std::string>& fresh) {
  const std::string_view end = LineEnd(lines);
  std::string out;
  for (std::size_t i = 0; i < from; ++i) {
    out.append(lines[i].body);
    out.append(lines[i].end);
  }
  if (from > 0 && lines[from - 1].end.empty() && !fresh.empty()) out.append(end);
  for (const std::string& line : fresh) {
    out.append(line);
    out.append(end);
  }
  for (std::size_t i = to; i < lines.size(); ++i) {
    out.append(lines[i].body);
    out.append(lines[i].end);
  }
  return out;
}

// The lines that start a new block for `key` at the end of the file.
std::vector<std::string> NewKeyLines(const std::vector<Line>& lines, std::string_view key) {
  std::vector<std::string> fresh;
  if (lines.empty()) {
    fresh = {"REGEDIT4", ""};
  } else if (!Trim(lines.back().body).empty()) {
    fresh.emplace_back();
  }
  std::string line(1, '[');
  line.append(key);
  line.push_back(']');
  fresh.push_back(std::move(line));
  return fresh;
}

std::string Quote(std::string_view text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '\\' || c == '"') quoted.push_back('\\');
    quoted.push_back(c);
  }
  quoted.push_back('"');
  return quoted;
}

// A string that reads back as the same bytes from "text": one terminating
// zero, none inside, and no line break.
bool IsPlainString(const Value& value) {
  if (value.type != kString || value.data.empty() || value.data.back() != 0) return false;
  return std::none_of(value.data.begin(), value.data.end() - 1,
                      [](std::uint8_t b) { return b == 0 || b == '\n' || b == '\r'; });
}

}  // namespace

std::vector<std::string> FormatValue(std::string_view name, const Value& value) {
  std::string line = name.empty() ? std::string("@") : Quote(name);
  line.push_back('=');
  char digits[16];
  if (IsPlainString(value)) {
    const auto* text = reinterpret_cast<const char*>(value.data.data());
    line.append(Quote(std::string_view(text, value.data.size() - 1)));
    return {line};
  }
  if (value.type == kDword && value.data.size() == 4) {
    const std::uint32_t number = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                                 (static_cast<std::uint32_t>(value.data[3]) << 24);
    std::snprintf(digits, sizeof digits, "dword:%08x", static_cast<unsigned>(number));
    line.append(digits);
    return {line};
  }
  if (value.type == kBinary) {
    line.append("hex:");
  } else {
    std::snprintf(digits, sizeof digits, "hex(%x):", static_cast<unsigned>(value.type));
    line.append(digits);
  }
  std::vector<std::string> out;
  bool first_on_line = true;
  for (std::size_t i = 0; i < value.data.size(); ++i) {
    std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned>(value.data[i]));
    std::string item = digits;
    if (i + 1 < value.data.size()) item.push_back(',');
    if (!first_on_line && line.size() + item.size() > kLineWidth) {
      line.push_back('\\');
      out.push_back(std::move(line));
      line = "  ";
    }
    line.append(item);
    first_on_line = false;
  }
  out.push_back(std::move(line));
  return out;
}

bool HasKey(std::string_view text, std::string_view key) {
  const std::vector<Line> lines = SplitLines(text);
  for (const Entry& entry : Parse(lines)) {
    if (entry.kind == Kind::kKey && entry.key && IsKeyOrBelow(*entry.key, key)) return true;
  }
  return false;
}

std::optional<Value> FindValue(std::string_view text, std::string_view key, std::string_view name) {
  const std::vector<Line> lines = SplitLines(text);
  const std::vector<Entry> entries = Parse(lines);
  const auto found = LastValueEntry(entries, key, name);
  if (!found) return std::nullopt;
  return entries[*found].value.value;
}

std::string WithKey(std::string_view text, std::string_view key) {
  if (HasKey(text, key)) return std::string(text);
  const std::vector<Line> lines = SplitLines(text);
  return Splice(lines, lines.size(), lines.size(), NewKeyLines(lines, key));
}

std::string WithValue(std::string_view text, std::string_view key, std::string_view name,
                      const Value& value) {
  const std::vector<Line> lines = SplitLines(text);
  const std::vector<Entry> entries = Parse(lines);
  if (const auto found = LastValueEntry(entries, key, name)) {
    // The value keeps the spelling of its name, as a registry does.
    const Entry& entry = entries[*found];
    return Splice(lines, entry.first, entry.first + entry.count,
                  FormatValue(entry.value.name, value));
  }
  const std::vector<std::string> value_lines = FormatValue(name, value);
  // After the last line that is not blank in the key's last block.
  std::optional<std::size_t> after;
  bool in_key = false;
  for (const Entry& entry : entries) {
    if (entry.kind == Kind::kKey) {
      in_key = IsKey(entry, key);
      if (in_key) after = entry.first + entry.count;
    } else if (in_key && entry.kind != Kind::kBlank) {
      after = entry.first + entry.count;
    }
  }
  if (after) return Splice(lines, *after, *after, value_lines);

  std::vector<std::string> fresh = NewKeyLines(lines, key);
  fresh.insert(fresh.end(), value_lines.begin(), value_lines.end());
  return Splice(lines, lines.size(), lines.size(), fresh);
}

}  // namespace regedit

// --- The store ---------------------------------------------------------------------

namespace {

bool HasLineBreakOrZero(std::string_view s) {
  return s.find_first_of(std::string_view("\n\r\0", 3)) != std::string_view::npos;
}

// Creates the folders above `path` that are missing. Failures show up when
// the file itself is written.
void MakeParentFolders(const std::string& path) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    const std::string folder = path.substr(0, slash);
    if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) return;
  }
}

}  // namespace

RegeditStore::RegeditStore(std::string path) : path_(std::move(path)) {}

RegeditStore::Read RegeditStore::Load(std::string& text) const {
  text.clear();
  if (ReadWholeFile(path_, text)) return Read::kOk;
  text.clear();
  struct stat info {};
  if (::stat(path_.c_str(), &info) != 0 && errno == ENOENT) return Read::kMissing;
  return Read::kRefused;
}

bool RegeditStore::Store(std::string_view text) const {
  MakeParentFolders(path_);
  return WriteFileAtomically(path_, text);
}

std::int32_t RegeditStore::CreateKey(Key root, std::string_view sub_key, Key& opened) {
  std::string key;
  if (root == kLocalMachine) {
    key = regedit::kLocalMachineName;
  } else if (const auto parent = open_.find(root); parent != open_.end()) {
    key = parent->second;
  } else {
    return kInvalidHandle;
  }
  while (!sub_key.empty() && sub_key.back() == '\\') sub_key.remove_suffix(1);
  if (HasLineBreakOrZero(sub_key) || (!sub_key.empty() && sub_key.front() == '\\') ||
      sub_key.find("\\\\") != std::string_view::npos) {
    return kBadPathName;
  }
  if (!sub_key.empty()) {
    key.push_back('\\');
    key.append(sub_key);

    std::string text;
    const Read read = Load(text);
    if (read == Read::kRefused) return kAccessDenied;
    if (!regedit::HasKey(text, key) && !Store(regedit::WithKey(text, key))) return kAccessDenied;
  }
  opened = next_++;
  open_.emplace(opened, std::move(key));
  return kSuccess;
}

std::int32_t RegeditStore::SetValue(Key key, std::string_view name, std::uint32_t type,
                                    const std::uint8_t* data, std::uint32_t size) {
  const auto open = open_.find(key);
  if (open == open_.end()) return kInvalidHandle;
  if (HasLineBreakOrZero(name) || (data == nullptr && size != 0)) return kInvalidParameter;
  std::string text;
  if (Load(text) == Read::kRefused) return kAccessDenied;
  regedit::Value value{type, std::vector<std::uint8_t>(data, data + size)};
  if (!Store(regedit::WithValue(text, open->second, name, value))) return kAccessDenied;
  return kSuccess;
}

std::int32_t RegeditStore::QueryValue(Key key, std::string_view name, std::uint32_t* type,
                                      std::uint8_t* data, std::uint32_t* size) {
  const auto open = open_.find(key);
  if (open == open_.end()) return kInvalidHandle;
  if (data != nullptr && size == nullptr) return kInvalidParameter;
  std::string text;
  switch (Load(text)) {
    case Read::kRefused:
      return kAccessDenied;
    case Read::kMissing:
      return kNotFound;
    case Read::kOk:
      break;
  }
  const auto value = regedit::FindValue(text, open->second, name);
  if (!value) return kNotFound;
  if (type != nullptr) *type = value->type;
  const auto length = static_cast<std::uint32_t>(value->data.size());
  if (data == nullptr) {
    if (size != nullptr) *size = length;
    return kSuccess;
  }
  if (*size < length) {
    *size = length;
    return kMoreData;
  }
  std::copy(value->data.begin(), value->data.end(), data);
  *size = length;
  return kSuccess;
}

std::int32_t RegeditStore::CloseKey(Key key) {
  return open_.erase(key) == 1 ? kSuccess : kInvalidHandle;
}

}  // namespace liaison
