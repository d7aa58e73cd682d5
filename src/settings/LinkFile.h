// The link file liaison.ini beside the program, its keys, and the text form
// of a display mode.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Platform.h"
#include "settings/IniFile.h"

namespace liaison {

inline constexpr std::string_view kLinkFileName = "liaison.ini";
inline constexpr std::string_view kApplications = "APPLICATIONS";
inline constexpr std::string_view kApplicationName = "APPLICATION_NAME";
inline constexpr std::string_view kAutoChangeRes = "AutoChangeRes";
inline constexpr std::string_view kResOrigine = "RES_ORIGINE";
inline constexpr std::string_view kOk = "OK";

// Registry value names under SOFTWARE\Movelka.
inline constexpr std::string_view kRegResOrigine = "RES_ORIGINE";
inline constexpr std::string_view kRegResLogiciel = "RES_LOGICIEL";
inline constexpr std::string_view kRegAutoChangeRes = "AUTOCHANGERES";
inline constexpr std::string_view kRegPasAff = "PasAff";

// An INI_FILE pointed at the link file: the program's folder, one separator,
// liaison.ini.
INI_FILE OpenLinkFile(const Platform& platform);

// "800x600x16": width, "x", height, "x", colour depth, in plain decimal.
std::string ResolutionString(std::int16_t width, std::int16_t height, std::int16_t bits);

// The minimum mode at a colour depth: "1024x768x" and the depth.
std::string MinimumResolution(std::int16_t bits);

}  // namespace liaison
