// Access to one INI file: single keys, a section's key names, the list of
// sections and an existence test, through the platform's profile functions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Platform.h"

namespace liaison {

class INI_FILE {
 public:
  static constexpr std::uint32_t kValueBuffer = 145;
  static constexpr std::uint32_t kKeyNamesBuffer = 1024;

  INI_FILE(IProfile& profile, IFiles& files, char separator)
      : profile_(profile), files_(files), separator_(separator) {}

  // True (-1) when the file exists, whatever the case of its name on disk.
  std::int16_t Existe();
  void Get_Keys_of_Section(std::string_view Str_SectionName, std::vector<std::string>& KeyNames);
  // Every section name, each followed by "-ZOV-".
  std::string Get_Liste_Of_Sections();
  std::int32_t Set_Key_Of_Section(std::string_view str_Section, std::string_view str_Key,
                                  std::string_view str_Value);
  // The key's value or the default, at most 144 characters.
  std::string Get_Key_Of_Section(std::string_view str_Section, std::string_view str_Key,
                                 std::string_view str_Default);
  void Path_Fichier_Ini(std::string_view vData);
  const std::string& Path_Fichier_Ini() const { return folder_; }
  void Nom_Fichier_Ini(std::string_view vData);
  const std::string& Nom_Fichier_Ini() const { return name_; }

  std::string Path() const { return folder_ + name_; }

 private:
  bool FileExists();

  IProfile& profile_;
  IFiles& files_;
  char separator_;
  std::string name_;
  std::string folder_;
  std::int16_t exists_ = 0;
};

}  // namespace liaison
