// The Linux program: the launcher's logic over X11 (XRandR), FLTK and POSIX.
#include <iostream>
#include <string>

#include "platform/fltk/FltkMessageBox.h"
#include "platform/fltk/FltkToolkit.h"
#include "platform/posix/Files.h"
#include "platform/posix/Process.h"
#include "platform/posix/Profile.h"
#include "platform/posix/Program.h"
#include "platform/posix/RegistryStore.h"
#include "platform/x11/X11Display.h"
#include "startup/Module1.h"

namespace {

// The system profile lives beside the registry store.
std::string SystemProfilePath(const std::string& store) {
  const auto slash = store.rfind('/');
  return (slash == std::string::npos ? std::string() : store.substr(0, slash + 1)) + "win.ini";
}

}  // namespace

int main() {
  std::string problem;
  auto display = liaison::X11Display::Open(problem);
  if (!display) {
    std::cerr << "liaison: " << problem << std::endl;
    return 1;
  }
  const std::string store = liaison::DefaultRegistryPath();
  liaison::PosixProfile profile(SystemProfilePath(store));
  liaison::PosixFiles files;
  liaison::RegeditStore registry(store);
  liaison::PosixProcess process;
  liaison::FltkMessageBox message_box;
  liaison::PosixProgram program;
  liaison::FltkToolkit toolkit;
  const liaison::Platform platform{profile,     files,   registry, *display, process,
                                   message_box, program, toolkit,  '/',      ""};
  return liaison::RunLauncher(platform, std::cerr, true);
}
