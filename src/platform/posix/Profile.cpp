#include "platform/posix/Profile.h"

#include <sys/stat.h>

#include <cerrno>
#include <utility>

#include "platform/ini/ProfileText.h"
#include "platform/posix/AtomicFile.h"

namespace liaison {

PosixProfile::PosixProfile(std::string system_profile)
    : system_profile_(std::move(system_profile)) {}

std::string PosixProfile::Resolve(const std::string& path) const {
  if (path.find('/') != std::string::npos) return path;
  const auto slash = system_profile_.rfind('/');
  return (slash == std::string::npos ? std::string() : system_profile_.substr(0, slash + 1)) + path;
}

std::uint32_t PosixProfile::GetPrivateProfileString(std::string_view section,
                                                    std::optional<std::string_view> key,
                                                    std::string_view def, char* buffer,
                                                    std::uint32_t size, const std::string& path) {
  std::string text;
  const bool readable = !path.empty() && ReadWholeFile(Resolve(path), text);
  return profile_text::Read(readable ? std::optional<std::string_view>(text) : std::nullopt,
                            section, key, def, buffer, size);
}

std::uint32_t PosixProfile::GetProfileString(std::string_view section,
                                             std::optional<std::string_view> key,
                                             std::string_view def, char* buffer,
                                             std::uint32_t size) {
  return GetPrivateProfileString(section, key, def, buffer, size, system_profile_);
}

std::int32_t PosixProfile::WritePrivateProfileString(std::string_view section, std::string_view key,
                                                     std::string_view value,
                                                     const std::string& path) {
  if (path.empty()) return 0;
  const std::string file = Resolve(path);
  std::string text;
  std::optional<std::string_view> old;
  if (ReadWholeFile(file, text)) {
    old = text;
  } else {
    // Only a missing file may be created; one that exists but cannot be read
    // (or is too large) is left alone.
    struct stat st {};
    if (::stat(file.c_str(), &st) == 0 || errno != ENOENT) return 0;
  }
  std::string updated = profile_text::Write(old, section, key, value);
  if (old && updated == *old) return 1;
  return WriteFileAtomically(file, updated) ? 1 : 0;
}

}  // namespace liaison
