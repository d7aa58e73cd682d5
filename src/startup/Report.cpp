#include <exception>
#include <ostream>

#include "platform/Error.h"
#include "startup/Module1.h"

namespace liaison {

int RunLauncher(const Platform& platform, std::ostream& err, bool show_box) {
  std::string problem;
  try {
    Launcher launcher(platform);
    launcher.Main();
    return 0;
  } catch (const Error& error) {
    problem = error.what();
  } catch (const std::exception& error) {
    problem = std::string("Unexpected failure: ") + error.what();
  }
  err << "liaison: " << problem << std::endl;
  if (show_box) {
    try {
      platform.message_box.Show(problem, "Liaison", IMessageBox::kIconError);
    } catch (const std::exception&) {
      // The report on standard error stands.
    }
  }
  return 1;
}

}  // namespace liaison
