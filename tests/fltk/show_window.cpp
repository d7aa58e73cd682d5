// A developer's tool: shows the program's windows on the X display with the
// real logic behind them, over the in-memory settings and display, so that
// they can be looked at, clicked through and photographed.
//
//   show_window wizard [APP]   the wizard, as a run at 800x600x32 opens it
//   show_window warning        the message of a resolution changed since the
//                              last launch
//   show_window error          the report of an error that ends the program
//   show_window form1          the host window
#include <iostream>
#include <string>

#include "platform/fltk/FltkMessageBox.h"
#include "platform/fltk/FltkToolkit.h"
#include "platform/memory/Memory.h"
#include "startup/Module1.h"
#include "wizard/Layout.h"

namespace {

class Closable final : public liaison::IWindowEvents {
 public:
  liaison::IWindow* window = nullptr;
  void OnClick(int) override {}
  void OnTimer(int) override {}
  void OnCloseRequest() override { window->Hide(); }
};

int Run(const std::string& what, const std::string& app) {
  liaison::FltkToolkit toolkit;
  liaison::FltkMessageBox message_box;
  std::cout << "Arial is rendered with " << liaison::FltkToolkit::ResolvedFamily("Arial")
            << std::endl;
  if (what == "form1") {
    Closable events;
    auto window = toolkit.Create(liaison::Form1Layout(), events);
    events.window = window.get();
    window->ShowModal();
    return 0;
  }
  liaison::memory::Machine machine(800, 600, 32);
  const liaison::Platform platform{machine.profile,
                                   machine.files,
                                   machine.registry,
                                   machine.display,
                                   machine.process,
                                   message_box,
                                   machine.program,
                                   toolkit,
                                   '/',
                                   ""};
  std::string link = "[APPLICATIONS]\nAPPLICATION_NAME=" + app + "\n";
  if (what == "warning") link += "AutoChangeRes=OK\nRES_ORIGINE=800x600x16\n";
  if (what == "error") link += "RES_ORIGINE=1024x768\n";
  machine.LinkFile() = link;
  try {
    const int status = liaison::RunLauncher(platform, std::cerr, true);
    std::cout << "status " << status << ", display " << machine.display.Mode() << std::endl;
    return status;
  } catch (const liaison::memory::ProgramEnded&) {
    std::cout << "the program ended, display " << machine.display.Mode() << std::endl;
    return 0;
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::string what = argc > 1 ? argv[1] : "wizard";
  const std::string app = argc > 2 ? argv[2] : "Atelier";
  return Run(what, app);
}
