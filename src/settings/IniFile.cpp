#include "settings/IniFile.h"

#include "platform/Error.h"

namespace liaison {
namespace {

std::string_view TrimSpaces(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto upper = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; };
    if (upper(a[i]) != upper(b[i])) return false;
  }
  return true;
}

}  // namespace

bool INI_FILE::FileExists() {
  return SameNameIgnoringCase(files_.FindFirstFile(Path()), name_);
}

std::int16_t INI_FILE::Existe() {
  exists_ = FileExists() ? -1 : 0;
  return exists_;
}

void INI_FILE::Get_Keys_of_Section(std::string_view Str_SectionName,
                                   std::vector<std::string>& KeyNames) {
  char buffer[kKeyNamesBuffer];
  std::uint32_t n = 0;
  if (TrimSpaces(name_).empty()) {
    n = profile_.GetProfileString(Str_SectionName, std::nullopt, "", buffer, kKeyNamesBuffer);
  } else {
    n = profile_.GetPrivateProfileString(Str_SectionName, std::nullopt, "", buffer, kKeyNamesBuffer,
                                         Path());
  }
  KeyNames.assign(1, std::string());
  if (n == 0) return;
  if (n > kKeyNamesBuffer) n = kKeyNamesBuffer;
  std::string list(buffer, n);
  // A list that the platform cut short ends without its NUL; the cut last
  // name is then taken as it is.
  if (list.back() != '\0') list.push_back('\0');
  std::size_t start = 0;
  std::size_t index = 0;
  for (;;) {
    const std::size_t nul = list.find('\0', start);
    if (nul == std::string::npos) break;
    if (index >= KeyNames.size()) KeyNames.resize(index + 1);
    KeyNames[index++] = list.substr(start, nul - start);
    if (nul + 1 == list.size()) break;
    start = nul + 1;
  }
}

std::string INI_FILE::Get_Liste_Of_Sections() {
  std::string result;
  if (!FileExists()) return result;
  auto reader = files_.OpenText(Path());
  while (!reader->AtEnd()) {
    const std::string line = reader->ReadLine();
    if (line.empty() || line.front() != '[') continue;
    const std::string_view rest = std::string_view(line).substr(1);
    const auto close = rest.find(']');
    if (close == std::string_view::npos) {
      throw Error(Error::Kind::kInvalidArgument,
                  "The section line \"" + line + "\" of " + Path() + " has no closing \"]\".");
    }
    result.append(rest.substr(0, close));
    result.append("-ZOV-");
  }
  return result;
}

std::int32_t INI_FILE::Set_Key_Of_Section(std::string_view str_Section, std::string_view str_Key,
                                          std::string_view str_Value) {
  return profile_.WritePrivateProfileString(str_Section, str_Key, str_Value, Path());
}

std::string INI_FILE::Get_Key_Of_Section(std::string_view str_Section, std::string_view str_Key,
                                         std::string_view str_Default) {
  char buffer[kValueBuffer];
  std::uint32_t n = profile_.GetPrivateProfileString(TrimSpaces(str_Section), TrimSpaces(str_Key),
                                                     str_Default, buffer, kValueBuffer, Path());
  if (n >= kValueBuffer) n = kValueBuffer - 1;
  return std::string(buffer, n);
}

void INI_FILE::Path_Fichier_Ini(std::string_view vData) {
  folder_.assign(vData);
  if (folder_.empty() || folder_.back() != separator_) folder_.push_back(separator_);
}

void INI_FILE::Nom_Fichier_Ini(std::string_view vData) {
  const auto p = vData.rfind(separator_);
  if (p == std::string_view::npos) {
    name_.assign(vData);
    return;
  }
  folder_.assign(vData.substr(0, p + 1));
  // A drive root's folder already ends with a separator, and the callers add
  // one more.
  if (folder_.size() >= 2 && folder_[folder_.size() - 2] == separator_) folder_.pop_back();
  name_.assign(vData.substr(p + 1));
}

}  // namespace liaison
