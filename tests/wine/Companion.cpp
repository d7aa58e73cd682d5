// The companion application of the Windows program's tests: a GUI program
// that appends one line to companion.ran in its own folder, with its own full
// path and the show style it was started with, then ends. One line per run.
#include <windows.h>

#include <cstdio>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  std::string self(MAX_PATH, '\0');
  for (;;) {
    const DWORD n = GetModuleFileNameA(nullptr, self.data(), static_cast<DWORD>(self.size()));
    if (n == 0) return 1;
    if (n < self.size()) {
      self.resize(n);
      break;
    }
    self.resize(self.size() * 2);
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);
  const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;

  const std::string record = self.substr(0, self.find_last_of('\\') + 1) + "companion.ran";
  std::FILE* file = std::fopen(record.c_str(), "ab");
  if (!file) return 1;
  std::fprintf(file, "%s show=%d\n", self.c_str(), show);
  return std::fclose(file) == 0 ? 0 : 1;
}
