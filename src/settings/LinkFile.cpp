#include "settings/LinkFile.h"

namespace liaison {

INI_FILE OpenLinkFile(const Platform& platform) {
  INI_FILE ini(platform.profile, platform.files, platform.separator);
  std::string path = platform.program.Folder();
  path.push_back(platform.separator);
  path.append(kLinkFileName);
  ini.Nom_Fichier_Ini(path);
  return ini;
}

std::string ResolutionString(std::int16_t width, std::int16_t height, std::int16_t bits) {
  return std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(bits);
}

std::string MinimumResolution(std::int16_t bits) {
  return "1024x768x" + std::to_string(bits);
}

}  // namespace liaison
