// Prints the keys of the link file's section APPLICATIONS as the profile
// functions read them, one "KEY=VALUE" line each in the order the section
// lists them, so that link files written by different programs (and in
// different forms) can be compared by what they hold. Bytes below 0x20, 0x7f
// and the backslash are written as \xHH and \\.
//
// Usage: ini_values FILE      (prints "(no file)" when FILE does not exist)
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/posix/Profile.h"

namespace {

std::string Escaped(const std::string& text) {
  std::string out;
  for (const unsigned char c : text) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c < 0x20 || c == 0x7f) {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
    return 2;
  }
  const std::string path = argv[1];
  std::error_code error;
  if (!std::filesystem::exists(path, error)) {
    std::printf("(no file)\n");
    return 0;
  }
  liaison::PosixProfile profile(std::filesystem::path(path).parent_path() / "no-system.ini");
  constexpr std::uint32_t kSize = 1 << 20;
  std::vector<char> buffer(kSize);
  const std::uint32_t listed =
      profile.GetPrivateProfileString("APPLICATIONS", std::nullopt, "", buffer.data(), kSize, path);
  const std::string names(buffer.data(), listed);
  std::size_t start = 0;
  while (start < names.size()) {
    std::size_t end = names.find('\0', start);
    if (end == std::string::npos) end = names.size();
    const std::string name = names.substr(start, end - start);
    const std::uint32_t n =
        profile.GetPrivateProfileString("APPLICATIONS", name, "", buffer.data(), kSize, path);
    std::printf("%s=%s\n", Escaped(name).c_str(), Escaped(std::string(buffer.data(), n)).c_str());
    start = end + 1;
  }
  return 0;
}
