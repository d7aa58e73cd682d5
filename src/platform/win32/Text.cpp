#include "platform/win32/Text.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/Error.h"

#include "platform/win32/Win32Api.h"

namespace liaison::win32 {
namespace {

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

int Length(std::size_t size) {
  if (size > static_cast<std::size_t>(INT_MAX)) {
    throw Error(Error::Kind::kInvalidArgument, "A text is too long for the system.");
  }
  return static_cast<int>(size);
}

std::wstring Widen(UINT code_page, std::string_view text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(code_page, 0, text.data(), Length(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(code_page, 0, text.data(), Length(text.size()), wide.data(), n);
  return wide;
}

std::string Narrow(UINT code_page, std::wstring_view wide) {
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(code_page, 0, wide.data(), Length(wide.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string text(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(code_page, 0, wide.data(), Length(wide.size()), text.data(), n, nullptr,
                      nullptr);
  return text;
}

}  // namespace

std::string ToAnsi(std::string_view utf8) {
  if (IsAscii(utf8)) return std::string(utf8);
  return Narrow(CP_ACP, Widen(CP_UTF8, utf8));
}

std::string FromAnsi(std::string_view ansi) {
  if (IsAscii(ansi)) return std::string(ansi);
  return Narrow(CP_UTF8, Widen(CP_ACP, ansi));
}

std::string SystemMessage(std::uint32_t code) {
  char buffer[512];
  const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, code, 0, buffer, sizeof buffer, nullptr);
  std::string text = FromAnsi(std::string_view(buffer, n));
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) {
    text.pop_back();
  }
  if (text.empty()) text = "Windows error " + std::to_string(code) + ".";
  return text;
}

std::uint32_t CopyOut(std::string_view text, char* buffer, std::uint32_t size) {
  if (size == 0) return 0;
  std::size_t n = std::min<std::size_t>(text.size(), size - 1);
  if (n < text.size()) {
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  }
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return static_cast<std::uint32_t>(n);
}

}  // namespace liaison::win32
