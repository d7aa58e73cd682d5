// The INI file class over the in-memory file system: its path rules, the
// buffers that cut long values and key lists, and the section listing.
#include <gtest/gtest.h>

#include "platform/Error.h"
#include "platform/memory/Memory.h"
#include "settings/IniFile.h"

namespace liaison {
namespace {

class IniFileTest : public ::testing::Test {
 protected:
  INI_FILE Open(const std::string& path, char separator = '/') {
    INI_FILE ini(machine.profile, machine.files, separator);
    ini.Nom_Fichier_Ini(path);
    return ini;
  }

  memory::Machine machine;
};

struct PathCase {
  char separator;
  const char* set;
  const char* folder;
  const char* name;
};

TEST_F(IniFileTest, FileNameSplitsAtTheLastSeparator) {
  const PathCase cases[] = {
      {'\\', "C:\\Prog\\liaison.ini", "C:\\Prog\\", "liaison.ini"},
      {'\\', "C:\\\\liaison.ini", "C:\\", "liaison.ini"},  // a drive root with the callers' "\"
      {'\\', "liaison.ini", "", "liaison.ini"},
      {'\\', "C:\\Prog\\", "C:\\Prog\\", ""},
      {'/', "/opt/app/liaison.ini", "/opt/app/", "liaison.ini"},
      {'/', "//liaison.ini", "/", "liaison.ini"},  // the root folder "/" with one more "/"
      {'/', "/a b/c'd\"/liaison.ini", "/a b/c'd\"/", "liaison.ini"},
      {'/', "C:\\Prog\\liaison.ini", "", "C:\\Prog\\liaison.ini"},  // "\" is no separator here
  };
  for (const PathCase& c : cases) {
    INI_FILE ini(machine.profile, machine.files, c.separator);
    ini.Nom_Fichier_Ini(c.set);
    EXPECT_EQ(ini.Path_Fichier_Ini(), c.folder) << c.set;
    EXPECT_EQ(ini.Nom_Fichier_Ini(), c.name) << c.set;
    EXPECT_EQ(ini.Path(), std::string(c.folder) + c.name) << c.set;
  }
}

TEST_F(IniFileTest, BareNameKeepsTheFolderAndFolderGetsOneSeparator) {
  INI_FILE ini(machine.profile, machine.files, '\\');
  ini.Path_Fichier_Ini("");
  EXPECT_EQ(ini.Path_Fichier_Ini(), "\\");
  ini.Path_Fichier_Ini("C:\\Prog");
  EXPECT_EQ(ini.Path_Fichier_Ini(), "C:\\Prog\\");
  ini.Path_Fichier_Ini("C:\\Prog\\");
  EXPECT_EQ(ini.Path_Fichier_Ini(), "C:\\Prog\\");
  ini.Nom_Fichier_Ini("other.ini");
  EXPECT_EQ(ini.Path(), "C:\\Prog\\other.ini");
}

TEST_F(IniFileTest, ReadsTrimmedNamesAndCutsAt144Characters) {
  const std::string long_value(200, 'v');
  machine.files.texts["/d/a.ini"] =
      "[APPLICATIONS]\nAPPLICATION_NAME=Atelier\nLONG=" + long_value + "\n";
  INI_FILE ini = Open("/d/a.ini");
  EXPECT_EQ(ini.Get_Key_Of_Section("  APPLICATIONS ", " APPLICATION_NAME  ", ""), "Atelier");
  EXPECT_EQ(ini.Get_Key_Of_Section("APPLICATIONS", "LONG", ""), long_value.substr(0, 144));
  EXPECT_EQ(ini.Get_Key_Of_Section("APPLICATIONS", "MISSING", "fallback"), "fallback");
  EXPECT_EQ(ini.Get_Key_Of_Section("APPLICATIONS", "MISSING", long_value),
            long_value.substr(0, 144));
  EXPECT_EQ(Open("/d/none.ini").Get_Key_Of_Section("APPLICATIONS", "APPLICATION_NAME", ""), "");
}

TEST_F(IniFileTest, WritesWithoutTrimmingAndReportsTheStatus) {
  INI_FILE ini = Open("/d/new.ini");
  EXPECT_NE(ini.Set_Key_Of_Section("APPLICATIONS", "RES_ORIGINE", "800x600x16"), 0);
  EXPECT_EQ(ini.Get_Key_Of_Section("APPLICATIONS", "RES_ORIGINE", "?"), "800x600x16");
  EXPECT_NE(ini.Set_Key_Of_Section("APPLICATIONS", "RES_ORIGINE", ""), 0);
  // An empty value keeps the key in the file.
  EXPECT_NE(machine.files.texts["/d/new.ini"].find("RES_ORIGINE="), std::string::npos);
  EXPECT_EQ(ini.Get_Key_Of_Section("APPLICATIONS", "RES_ORIGINE", "?"), "");

  machine.profile.refuse_writes = true;
  const std::string before = machine.files.texts["/d/new.ini"];
  EXPECT_EQ(ini.Set_Key_Of_Section("APPLICATIONS", "RES_ORIGINE", "1x1x1"), 0);
  EXPECT_EQ(machine.files.texts["/d/new.ini"], before);
}

TEST_F(IniFileTest, ListsKeyNamesInFileOrder) {
  machine.files.texts["/d/a.ini"] = "[S]\nA=1\nB=2\n[Empty]\n";
  INI_FILE ini = Open("/d/a.ini");
  std::vector<std::string> names{"old", "names", "go"};
  ini.Get_Keys_of_Section("S", names);
  EXPECT_EQ(names, (std::vector<std::string>{"A", "B"}));
  for (const char* section : {"Empty", "Missing"}) {
    ini.Get_Keys_of_Section(section, names);
    EXPECT_EQ(names, std::vector<std::string>{""}) << section;
  }
  Open("/d/none.ini").Get_Keys_of_Section("S", names);
  EXPECT_EQ(names, std::vector<std::string>{""});
}

TEST_F(IniFileTest, KeyNameListCutShortByTheBufferKeepsTheCutName) {
  // 120 names of 10 characters and their NULs need 1320 characters; the
  // buffer holds 1024.
  std::string text = "[S]\n";
  for (int i = 0; i < 120; ++i) text += "KEY" + std::to_string(1000000 + i) + "=x\n";
  machine.files.texts["/d/a.ini"] = text;
  std::vector<std::string> names;
  Open("/d/a.ini").Get_Keys_of_Section("S", names);
  ASSERT_GE(names.size(), 93u);
  ASSERT_LE(names.size(), 94u);
  EXPECT_EQ(names[0], "KEY1000000");
  EXPECT_EQ(names[92], "KEY1000092");
  std::size_t total = 0;
  for (const auto& name : names) total += name.size() + 1;
  EXPECT_LE(total, 1024u);
  for (std::size_t i = 0; i + 1 < names.size(); ++i) EXPECT_EQ(names[i].size(), 10u);
  EXPECT_FALSE(names.back().empty());
}

TEST_F(IniFileTest, BlankFileNameReadsTheSystemProfile) {
  machine.files.texts[machine.profile.system_profile_path] = "[windows]\nload=\nrun=\n";
  machine.files.texts["/d/a.ini"] = "[windows]\nmine=1\n";
  INI_FILE ini(machine.profile, machine.files, '/');
  ini.Path_Fichier_Ini("/d");
  ini.Nom_Fichier_Ini("   ");
  std::vector<std::string> names;
  ini.Get_Keys_of_Section("windows", names);
  EXPECT_EQ(names, (std::vector<std::string>{"load", "run"}));
}

TEST_F(IniFileTest, ListsSectionsWithTheirSeparator) {
  struct Case {
    const char* text;
    const char* sections;
  };
  const Case cases[] = {
      {"[APPLICATIONS]\nAPPLICATION_NAME=x\n", "APPLICATIONS-ZOV-"},
      {"[A]\r\nk=1\r\n[B] trailing text\r\n", "A-ZOV-B-ZOV-"},
      {" [Indented]\n[A]\n[A]\n", "A-ZOV-A-ZOV-"},
      {"no sections\n\n;[comment]\n", ""},
      {"[Last]", "Last-ZOV-"},
      {"[]\n", "-ZOV-"},
  };
  for (const Case& c : cases) {
    machine.files.texts["/d/a.ini"] = c.text;
    EXPECT_EQ(Open("/d/a.ini").Get_Liste_Of_Sections(), c.sections) << c.text;
  }
  EXPECT_EQ(Open("/d/missing.ini").Get_Liste_Of_Sections(), "");
}

TEST_F(IniFileTest, SectionLineWithoutClosingBracketIsAnError) {
  machine.files.texts["/d/a.ini"] = "[A]\n[Broken\n";
  try {
    Open("/d/a.ini").Get_Liste_Of_Sections();
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(error.kind(), Error::Kind::kInvalidArgument);
    EXPECT_NE(std::string(error.what()).find("[Broken"), std::string::npos);
  }
}

TEST_F(IniFileTest, ExisteFindsTheFileWhateverTheCaseOfItsName) {
  machine.files.texts["/d/LIAISON.INI"] = "";
  EXPECT_EQ(Open("/d/liaison.ini").Existe(), -1);
  EXPECT_EQ(Open("/d/LIAISON.INI").Existe(), -1);
  EXPECT_EQ(Open("/d/other.ini").Existe(), 0);
}

}  // namespace
}  // namespace liaison
