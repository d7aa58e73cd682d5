#include "platform/memory/Memory.h"

#include <algorithm>
#include <cstring>

#include "platform/Error.h"
#include "platform/ini/ProfileText.h"

namespace liaison::memory {
namespace {

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return out;
}

std::string_view BaseName(std::string_view path) {
  const auto slash = path.find_last_of("/\\");
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

class TextReader final : public ITextReader {
 public:
  explicit TextReader(std::string text) : text_(std::move(text)) {}
  std::string ReadLine() override {
    if (AtEnd()) throw Error(Error::Kind::kFile, "Input past end of file");
    auto end = text_.find('\n', pos_);
    if (end == std::string::npos) end = text_.size();
    std::string line = text_.substr(pos_, end - pos_);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    pos_ = end + 1;
    return line;
  }
  bool AtEnd() const override { return pos_ >= text_.size(); }

 private:
  std::string text_;
  std::size_t pos_ = 0;
};

}  // namespace

// --- Files -------------------------------------------------------------------

std::string Files::FindFirstFile(const std::string& path) {
  const auto found = texts.find(path);
  if (found != texts.end()) return std::string(BaseName(path));
  // File names are found whatever their case.
  const std::string wanted = Upper(path);
  for (const auto& [name, text] : texts) {
    if (Upper(name) == wanted) return std::string(BaseName(name));
  }
  return {};
}

std::unique_ptr<ITextReader> Files::OpenText(const std::string& path) {
  const auto found = texts.find(path);
  if (found == texts.end()) throw Error(Error::Kind::kFile, "Cannot open " + path);
  return std::make_unique<TextReader>(found->second);
}

// --- Profile -----------------------------------------------------------------

std::uint32_t Profile::GetPrivateProfileString(std::string_view section,
                                               std::optional<std::string_view> key,
                                               std::string_view def, char* buffer,
                                               std::uint32_t size, const std::string& path) {
  const auto found = files_.texts.find(path);
  std::optional<std::string_view> text;
  if (found != files_.texts.end()) text = found->second;
  return profile_text::Read(text, section, key, def, buffer, size);
}

std::uint32_t Profile::GetProfileString(std::string_view section,
                                        std::optional<std::string_view> key, std::string_view def,
                                        char* buffer, std::uint32_t size) {
  return GetPrivateProfileString(section, key, def, buffer, size, system_profile_path);
}

std::int32_t Profile::WritePrivateProfileString(std::string_view section, std::string_view key,
                                                std::string_view value, const std::string& path) {
  if (refuse_writes) return 0;
  ++writes;
  const auto found = files_.texts.find(path);
  std::optional<std::string_view> text;
  if (found != files_.texts.end()) text = found->second;
  files_.texts[path] = profile_text::Write(text, section, key, value);
  return 1;
}

// --- Registry ----------------------------------------------------------------

std::int32_t Registry::CreateKey(Key root, std::string_view sub_key, Key& opened) {
  if (refuse_access || root != kLocalMachine) return kAccessDenied;
  const std::string path = Upper(sub_key);
  keys[path];
  opened = next_++;
  open_[opened] = path;
  return kSuccess;
}

std::int32_t Registry::SetValue(Key key, std::string_view name, std::uint32_t type,
                                const std::uint8_t* data, std::uint32_t size) {
  const auto open = open_.find(key);
  if (open == open_.end()) return 6;  // ERROR_INVALID_HANDLE
  Value& value = keys[open->second][Upper(name)];
  value.type = type;
  value.data.assign(data, data + size);
  return kSuccess;
}

std::int32_t Registry::QueryValue(Key key, std::string_view name, std::uint32_t* type,
                                  std::uint8_t* data, std::uint32_t* size) {
  ++reads;
  const auto open = open_.find(key);
  if (open == open_.end()) return 6;
  const auto& values = keys[open->second];
  const auto found = values.find(Upper(name));
  if (found == values.end()) return kNotFound;
  if (type != nullptr) *type = found->second.type;
  const auto length = static_cast<std::uint32_t>(found->second.data.size());
  if (data == nullptr) {
    *size = length;
    return kSuccess;
  }
  if (*size < length) {
    *size = length;
    return kMoreData;
  }
  std::copy(found->second.data.begin(), found->second.data.end(), data);
  *size = length;
  return kSuccess;
}

std::int32_t Registry::CloseKey(Key key) {
  return open_.erase(key) == 1 ? kSuccess : 6;
}

std::optional<std::string> Registry::Text(std::string_view name) const {
  const auto key = keys.find(Upper("SOFTWARE\\Movelka"));
  if (key == keys.end()) return std::nullopt;
  const auto value = key->second.find(Upper(name));
  if (value == key->second.end()) return std::nullopt;
  std::string text(value->second.data.begin(), value->second.data.end());
  if (!text.empty() && text.back() == '\0') text.pop_back();
  return text;
}

void Registry::SetText(std::string_view name, std::string_view text) {
  Value& value = keys[Upper("SOFTWARE\\Movelka")][Upper(name)];
  value.type = kString;
  value.data.assign(text.begin(), text.end());
  value.data.push_back(0);
}

// --- Display -----------------------------------------------------------------

Display::Display(std::uint32_t width, std::uint32_t height, std::int16_t bits) {
  std::strncpy(current.dmDeviceName, "MEMORY0", sizeof current.dmDeviceName - 1);
  current.dmSize = sizeof(DISPLAY_MODE);
  current.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
  current.dmDisplayFrequency = 60;
  Set(width, height, bits);
}

void Display::Set(std::uint32_t width, std::uint32_t height, std::int16_t bits) {
  current.dmPelsWidth = width;
  current.dmPelsHeight = height;
  current.dmBitsPerPel = bits;
}

std::string Display::Mode() const {
  return std::to_string(current.dmPelsWidth) + "x" + std::to_string(current.dmPelsHeight) + "x" +
         std::to_string(current.dmBitsPerPel);
}

bool Display::QueryCurrent(DISPLAY_MODE& mode) {
  ++queries;
  if (query_fails) return false;
  mode = current;
  return true;
}

std::int32_t Display::Change(const DISPLAY_MODE& mode, std::uint32_t change_flags) {
  requests.push_back(mode);
  flags.push_back(change_flags);
  const std::uint32_t width =
      (mode.dmFields & DM_PELSWIDTH) ? mode.dmPelsWidth : current.dmPelsWidth;
  const std::uint32_t height =
      (mode.dmFields & DM_PELSHEIGHT) ? mode.dmPelsHeight : current.dmPelsHeight;
  const std::int16_t bits =
      (mode.dmFields & DM_BITSPERPEL) ? mode.dmBitsPerPel : current.dmBitsPerPel;
  if (refused_sizes.count({width, height}) != 0) return kBadMode;
  if (refuse_depth_change && bits != current.dmBitsPerPel) return kBadMode;
  if (!ignore_changes) Set(width, height, bits);
  return 0;
}

void Display::Broadcast(std::uint32_t message, std::uintptr_t w_param, std::intptr_t l_param) {
  std::uint32_t pointed = 0;
  if (message == 0x001B && l_param != 0) {
    std::memcpy(&pointed, reinterpret_cast<const void*>(l_param), sizeof pointed);
  }
  broadcasts.push_back({message, w_param, l_param, pointed});
}

// --- Process, message box, program ------------------------------------------

std::string Process::Start(const std::string& file, int show_style) {
  if (!failure.empty()) return failure;
  started.emplace_back(file, show_style);
  return {};
}

void MessageBox::Show(std::string_view text, std::string_view title, std::uint32_t style) {
  shown.push_back({std::string(text), std::string(title), style});
}

void Program::End() {
  ++ends;
  throw ProgramEnded{};
}

Machine::Machine(std::uint32_t width, std::uint32_t height, std::int16_t bits)
    : display(width, height, bits), platform{profile,     files,   registry, display, process,
                                             message_box, program, toolkit,  '/',     ""} {}

}  // namespace liaison::memory
