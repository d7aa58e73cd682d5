// Texts at the boundary of the Windows layer: the program holds UTF-8, the
// 8-bit ("A") functions of Windows take and give texts in the system's ANSI
// code page.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace liaison::win32 {

// UTF-8 to the ANSI code page. A character that the code page lacks becomes
// the code page's default character ("?").
std::string ToAnsi(std::string_view utf8);
// The ANSI code page to UTF-8.
std::string FromAnsi(std::string_view ansi);

// The system's description of the error `code` (a GetLastError value), in
// UTF-8, without a line ending.
std::string SystemMessage(std::uint32_t code);

// Copies at most `size` - 1 bytes of `text` and a terminating NUL into
// `buffer`, never cutting a UTF-8 sequence in two. Returns the number of
// bytes copied, not counting the terminator.
std::uint32_t CopyOut(std::string_view text, char* buffer, std::uint32_t size);

}  // namespace liaison::win32
