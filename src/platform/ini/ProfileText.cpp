// The profile rules over the text of one INI file, in one pass over its lines.
//
// How a file reads (the rules of the Windows profile functions):
// - Lines end at LF; blanks (space, tab, CR, VT, FF and the DOS end-of-file
//   byte 0x1A) around a line are ignored, so CRLF and LF files read alike.
// - A line whose first non-blank character is "[" and that holds a "]" starts
//   a section named by the text between the "[" and the last "]", without
//   blanks around it. Lines before the first section belong to a section
//   with an empty name.
// - Any other non-blank line is an entry: its name is the text before the
//   first "=", its value the text after it, both without blanks around them.
//   A line without "=" is an entry without a value, which reads as missing.
//   A line starting with ";" is a comment: it is left out of a key listing.
// - Section and key names compare without regard to the case of ASCII
//   letters, and the first match wins: a key is looked for only in the first
//   section of its name, and the first entry of its name is the one read.
// - A value (or default) in matching double or single quotes reads without
//   them. Names and values end at a NUL byte.
// - A UTF-8 byte order mark at the start of the file is skipped.
// - A value longer than the buffer is cut to size - 1 bytes; a key list that
//   leaves no room for its two final NULs is cut to size - 2 bytes, counted
//   size - 2. No cut splits a UTF-8 character.
//
// How a write changes a file: it replaces the value of the key's entry in
// place, adds the key after the last entry of its section (comments and blank
// lines after that entry stay after it) or adds the section at the end of the
// file. Every other byte stays as it was. New lines end as the file's first
// line does (LF for a file without any line end), and a last line without a
// line end gets one before anything is added after it.
#include "platform/ini/ProfileText.h"

#include <cstring>

namespace liaison::profile_text {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c) {
  switch (c) {
    case ' ':
    case '\t':
    case '\n':
    case '\v':
    case '\f':
    case '\r':
    case '\x1a':
      return true;
    default:
      return false;
  }
}

std::string_view TrimLeft(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  return s.substr(i);
}

std::string_view TrimRight(std::string_view s) {
  std::size_t n = s.size();
  while (n > 0 && IsBlank(s[n - 1])) --n;
  return s.substr(0, n);
}

std::string_view Trim(std::string_view s) {
  return TrimRight(TrimLeft(s));
}

// Texts reach the profile functions as C strings: a NUL ends them.
std::string_view UntilNul(std::string_view s) {
  const std::size_t nul = s.find('\0');
  return nul == std::string_view::npos ? s : s.substr(0, nul);
}

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

bool IsContinuation(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The number of bytes of `s` that fit in `limit` bytes without splitting a
// UTF-8 character. Bytes that are not valid UTF-8 may be cut anywhere.
std::size_t FitUtf8(std::string_view s, std::size_t limit) {
  if (s.size() <= limit) return s.size();
  std::size_t start = limit;
  std::size_t back = 0;
  while (start > 0 && back < 3 && IsContinuation(s[start])) {
    --start;
    ++back;
  }
  if (back == 0 || IsContinuation(s[start])) return limit;
  const auto lead = static_cast<unsigned char>(s[start]);
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  return length > back ? start : limit;
}

// Copies a value or a default into the caller's buffer of `size` (> 0) bytes:
// without its quotes when it has matching ones, cut to size - 1 bytes.
std::uint32_t CopyValue(std::string_view value, char* buffer, std::uint32_t size) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  const std::size_t n = FitUtf8(value, size - 1);
  std::memcpy(buffer, value.data(), n);
  buffer[n] = '\0';
  return static_cast<std::uint32_t>(n);
}

// One line of the text and what it holds.
struct Line {
  std::size_t next = 0;   // where the next line starts
  std::string_view text;  // without blanks around it; empty for a blank line
  bool is_section = false;
  std::string_view name;  // of the section or the entry
  bool has_value = false;
  std::string_view value;  // of an entry with "="
};

// Walks the lines of `text` from `start`.
class Lines {
 public:
  Lines(std::string_view text, std::size_t start) : text_(text), pos_(start) {}

  // The next line with its section name if it starts a section. Entries are
  // taken apart by Entry() only when the caller needs them.
  bool Next(Line& line) {
    if (pos_ >= text_.size()) return false;
    const char* begin = text_.data() + pos_;
    const auto* newline = static_cast<const char*>(std::memchr(begin, '\n', text_.size() - pos_));
    const std::size_t length =
        newline ? static_cast<std::size_t>(newline - begin) : text_.size() - pos_;
    line = Line{};
    line.next = pos_ + length + (newline ? 1 : 0);
    line.text = Trim(std::string_view(begin, length));
    pos_ = line.next;
    if (!line.text.empty() && line.text.front() == '[') {
      const std::size_t close = line.text.rfind(']');
      if (close != std::string_view::npos && close > 0) {
        line.is_section = true;
        line.name = UntilNul(Trim(line.text.substr(1, close - 1)));
      }
    }
    return true;
  }

  // Sets the name and value of an entry line.
  static void Entry(Line& line) {
    const std::size_t equals = line.text.find('=');
    if (equals == std::string_view::npos) {
      line.name = UntilNul(line.text);
      return;
    }
    line.name = UntilNul(TrimRight(line.text.substr(0, equals)));
    line.has_value = true;
    line.value = TrimLeft(line.text.substr(equals + 1));
  }

 private:
  std::string_view text_;
  std::size_t pos_;
};

std::size_t BodyStart(std::string_view text) {
  return text.substr(0, kByteOrderMark.size()) == kByteOrderMark ? kByteOrderMark.size() : 0;
}

// The default without its trailing spaces (a default of spaces keeps one).
std::string_view TrimDefault(std::string_view def) {
  def = UntilNul(def);
  std::size_t n = def.size();
  while (n > 1 && def[n - 1] == ' ') --n;
  return def.substr(0, n);
}

// The key names of the first section named `section`, into the buffer of
// `size` (>= 2) bytes: each name followed by a NUL, then a final NUL. A list
// that does not leave room for both NULs at its end is cut to size - 2 bytes
// and ends with two NULs; the count is then size - 2.
std::uint32_t ListKeys(std::string_view text, std::string_view section, char* buffer,
                       std::uint32_t size) {
  buffer[0] = buffer[1] = '\0';
  Lines lines(text, BodyStart(text));
  Line line;
  bool in_section = section.empty();  // the lines before the first section
  bool previous_unnamed = false;
  std::size_t pos = 0;
  const std::size_t room = size - 2;  // for the names and their NULs
  while (lines.Next(line)) {
    if (line.text.empty()) continue;
    if (line.is_section) {
      if (in_section) break;
      in_section = SameName(line.name, section);
      continue;
    }
    if (!in_section) continue;
    Lines::Entry(line);
    // Of consecutive entries without a name, only the first one counts.
    const bool unnamed = line.name.empty();
    if (unnamed && previous_unnamed) continue;
    previous_unnamed = unnamed;
    if (!line.has_value || (!unnamed && line.name.front() == ';')) continue;
    if (pos + line.name.size() + 1 <= room) {
      std::memcpy(buffer + pos, line.name.data(), line.name.size());
      pos += line.name.size();
      buffer[pos++] = '\0';
      continue;
    }
    const std::size_t cut = FitUtf8(line.name, room - pos);
    std::memcpy(buffer + pos, line.name.data(), cut);
    pos += cut;
    buffer[pos] = buffer[pos + 1] = '\0';
    return static_cast<std::uint32_t>(pos);
  }
  buffer[pos] = '\0';
  return static_cast<std::uint32_t>(pos);
}

// Finds the first entry named `key` in the first section named `section`.
bool FindEntry(std::string_view text, std::string_view section, std::string_view key, Line& line) {
  Lines lines(text, BodyStart(text));
  bool in_section = section.empty();  // the lines before the first section
  while (lines.Next(line)) {
    if (line.text.empty()) continue;
    if (line.is_section) {
      if (in_section) return false;
      in_section = SameName(line.name, section);
      continue;
    }
    if (!in_section) continue;
    Lines::Entry(line);
    if (SameName(line.name, key)) return true;
  }
  return false;
}

std::string_view LineEnding(std::string_view text) {
  const std::size_t newline = text.find('\n');
  if (newline == std::string_view::npos) return "\n";
  return newline > 0 && text[newline - 1] == '\r' ? "\r\n" : "\n";
}

}  // namespace

std::uint32_t Read(std::optional<std::string_view> text, std::string_view section,
                   std::optional<std::string_view> key, std::string_view def, char* buffer,
                   std::uint32_t size) {
  if (buffer == nullptr || size == 0) return 0;
  def = TrimDefault(def);
  section = UntilNul(section);
  if (!key) {
    // Without a key: the section's key names, or the default when the list
    // starts empty. The section name is taken as given, blanks included.
    if (text && size >= 2) {
      const std::uint32_t n = ListKeys(*text, section, buffer, size);
      if (buffer[0] != '\0') return n;
    }
    return CopyValue(def, buffer, size);
  }
  Line line;
  if (text && FindEntry(*text, Trim(section), Trim(UntilNul(*key)), line) && line.has_value)
    return CopyValue(UntilNul(line.value), buffer, size);
  return CopyValue(def, buffer, size);
}

std::string Write(std::optional<std::string_view> text, std::string_view section,
                  std::string_view key, std::string_view value) {
  const std::string_view old = text.value_or(std::string_view());
  const std::size_t body = BodyStart(old);
  section = Trim(UntilNul(section));
  key = Trim(UntilNul(key));
  value = UntilNul(value);

  // Find the first section of that name, the first entry of that key in it,
  // and the end of the section's last entry line.
  Lines lines(old, body);
  Line line;
  bool in_section = section.empty();
  bool found_section = in_section;
  // A new key goes after the section's last entry (comments and blank lines
  // after it stay after it), or after its header when it has no entries.
  std::size_t insert_at = body;
  while (lines.Next(line)) {
    if (line.text.empty()) continue;
    if (line.is_section) {
      if (in_section) break;
      in_section = SameName(line.name, section);
      if (in_section) {
        found_section = true;
        insert_at = line.next;
      }
      continue;
    }
    if (!in_section) continue;
    Lines::Entry(line);
    if (line.name.empty() || line.name.front() != ';') insert_at = line.next;
    if (!SameName(line.name, key)) continue;
    // Replace the value in place; an entry without "=" gets one.
    std::size_t from;
    std::size_t to;
    std::string_view insert = value;
    std::string with_equals;
    if (line.has_value) {
      from = static_cast<std::size_t>(line.value.data() - old.data());
      to = from + line.value.size();
    } else {
      from = to = static_cast<std::size_t>(line.text.data() - old.data()) + line.text.size();
      with_equals.reserve(value.size() + 1);
      with_equals.append("=").append(value);
      insert = with_equals;
    }
    std::string out;
    out.reserve(old.size() - (to - from) + insert.size());
    out.append(old.substr(0, from)).append(insert).append(old.substr(to));
    return out;
  }

  const std::string_view ending = LineEnding(old);
  if (!found_section) insert_at = old.size();
  std::string added;
  if (insert_at > body && old[insert_at - 1] != '\n') added.append(ending);
  if (!found_section) added.append("[").append(section).append("]").append(ending);
  added.append(key).append("=").append(value).append(ending);

  std::string out;
  out.reserve(old.size() + added.size());
  out.append(old.substr(0, insert_at)).append(added).append(old.substr(insert_at));
  return out;
}

}  // namespace liaison::profile_text
