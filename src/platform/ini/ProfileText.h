// The rules of the Windows profile functions over the text of one INI file,
// without any file access: the posix layer and the in-memory layer both read
// and write link files through these two functions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace liaison::profile_text {

// GetPrivateProfileStringA over `text` (the whole file; `std::nullopt` for a
// missing file). Returns the number of bytes copied into `buffer` without the
// final terminator.
std::uint32_t Read(std::optional<std::string_view> text, std::string_view section,
                   std::optional<std::string_view> key, std::string_view def, char* buffer,
                   std::uint32_t size);

// WritePrivateProfileStringA over `text` (`std::nullopt` for a missing
// file): the new text of the file. Every line that the write does not concern
// is kept byte for byte.
std::string Write(std::optional<std::string_view> text, std::string_view section,
                  std::string_view key, std::string_view value);

}  // namespace liaison::profile_text
