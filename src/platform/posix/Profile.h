// The profile functions on Linux: the rules of the Windows ones over INI files
// on disk, each read going to the file and each write replacing it whole.
#pragma once

#include <string>

#include "platform/Platform.h"

namespace liaison {

class PosixProfile final : public IProfile {
 public:
  // `system_profile`: the file that GetProfileString reads (win.ini beside the
  // registry store). A file name without a folder is taken in that file's
  // folder, as Windows takes it in its own folder.
  explicit PosixProfile(std::string system_profile);

  std::uint32_t GetPrivateProfileString(std::string_view section,
                                        std::optional<std::string_view> key, std::string_view def,
                                        char* buffer, std::uint32_t size,
                                        const std::string& path) override;
  std::uint32_t GetProfileString(std::string_view section, std::optional<std::string_view> key,
                                 std::string_view def, char* buffer, std::uint32_t size) override;
  // Returns 1 when the file holds the value afterwards, 0 when the file could
  // not be read or replaced (it is then left as it was).
  std::int32_t WritePrivateProfileString(std::string_view section, std::string_view key,
                                         std::string_view value, const std::string& path) override;

 private:
  std::string Resolve(const std::string& path) const;

  std::string system_profile_;
};

}  // namespace liaison
