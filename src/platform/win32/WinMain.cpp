// The Windows program: the Win32 services put together, and the launcher run
// over them.
#include <iostream>

#include "platform/win32/Win32Platform.h"
#include "startup/Module1.h"

#include "platform/win32/Win32Api.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  liaison::win32::Profile profile;
  liaison::win32::Files files;
  liaison::win32::Registry registry;
  liaison::win32::Display display;
  liaison::win32::Process process;
  liaison::win32::MessageBoxes message_box;
  liaison::win32::Program program;
  liaison::win32::Toolkit toolkit;
  const liaison::Platform platform{profile,     files,   registry, display, process,
                                   message_box, program, toolkit,  '\\',    ".exe"};
  return liaison::RunLauncher(platform, std::cerr, true);
}
