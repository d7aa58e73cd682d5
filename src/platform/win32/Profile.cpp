#include <vector>

#include "platform/win32/Text.h"
#include "platform/win32/Win32Platform.h"

#include "platform/win32/Win32Api.h"

namespace liaison::win32 {
namespace {

// The ANSI reading of the profile functions, handed back in UTF-8 within
// the caller's buffer. A list of key names keeps its NUL separators.
template <typename Read>
std::uint32_t ReadInto(char* buffer, std::uint32_t size, Read read) {
  std::vector<char> ansi(size == 0 ? 1 : size);
  const DWORD n = read(ansi.data(), static_cast<DWORD>(size));
  return CopyOut(FromAnsi(std::string_view(ansi.data(), n)), buffer, size);
}

}  // namespace

std::uint32_t Profile::GetPrivateProfileString(std::string_view section,
                                               std::optional<std::string_view> key,
                                               std::string_view def, char* buffer,
                                               std::uint32_t size, const std::string& path) {
  const std::string a_section = ToAnsi(section);
  const std::string a_key = key ? ToAnsi(*key) : std::string();
  const std::string a_def = ToAnsi(def);
  const std::string a_path = ToAnsi(path);
  return ReadInto(buffer, size, [&](char* ansi, DWORD ansi_size) {
    return GetPrivateProfileStringA(a_section.c_str(), key ? a_key.c_str() : nullptr, a_def.c_str(),
                                    ansi, ansi_size, a_path.c_str());
  });
}

std::uint32_t Profile::GetProfileString(std::string_view section,
                                        std::optional<std::string_view> key, std::string_view def,
                                        char* buffer, std::uint32_t size) {
  const std::string a_section = ToAnsi(section);
  const std::string a_key = key ? ToAnsi(*key) : std::string();
  const std::string a_def = ToAnsi(def);
  return ReadInto(buffer, size, [&](char* ansi, DWORD ansi_size) {
    return GetProfileStringA(a_section.c_str(), key ? a_key.c_str() : nullptr, a_def.c_str(), ansi,
                             ansi_size);
  });
}

std::int32_t Profile::WritePrivateProfileString(std::string_view section, std::string_view key,
                                                std::string_view value, const std::string& path) {
  return WritePrivateProfileStringA(ToAnsi(section).c_str(), ToAnsi(key).c_str(),
                                    ToAnsi(value).c_str(), ToAnsi(path).c_str());
}

}  // namespace liaison::win32
