// The in-memory layer of the unit tests: a file system of texts, a registry,
// a display that records every change request and broadcast, a process
// starter, a message box and the program's end, all observable by a test.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/memory/Headless.h"

namespace liaison::memory {

// Thrown by Program::End() so that a test sees where the program ended.
struct ProgramEnded {};

class Files final : public IFiles {
 public:
  std::map<std::string, std::string> texts;  // path -> bytes

  std::string FindFirstFile(const std::string& path) override;
  std::unique_ptr<ITextReader> OpenText(const std::string& path) override;
};

class Profile final : public IProfile {
 public:
  explicit Profile(Files& files) : files_(files) {}
  std::string system_profile_path = "win.ini";
  bool refuse_writes = false;  // as a folder that cannot be written
  int writes = 0;

  std::uint32_t GetPrivateProfileString(std::string_view section,
                                        std::optional<std::string_view> key, std::string_view def,
                                        char* buffer, std::uint32_t size,
                                        const std::string& path) override;
  std::uint32_t GetProfileString(std::string_view section, std::optional<std::string_view> key,
                                 std::string_view def, char* buffer, std::uint32_t size) override;
  std::int32_t WritePrivateProfileString(std::string_view section, std::string_view key,
                                         std::string_view value, const std::string& path) override;

 private:
  Files& files_;
};

class Registry final : public IRegistry {
 public:
  struct Value {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
  };
  // Key path (upper case) -> value name (upper case) -> value.
  std::map<std::string, std::map<std::string, Value>> keys;
  bool refuse_access = false;
  int reads = 0;  // value queries

  std::int32_t CreateKey(Key root, std::string_view sub_key, Key& opened) override;
  std::int32_t SetValue(Key key, std::string_view name, std::uint32_t type,
                        const std::uint8_t* data, std::uint32_t size) override;
  std::int32_t QueryValue(Key key, std::string_view name, std::uint32_t* type, std::uint8_t* data,
                          std::uint32_t* size) override;
  std::int32_t CloseKey(Key key) override;

  std::size_t OpenKeys() const { return open_.size(); }
  // The string stored under SOFTWARE\Movelka, if any.
  std::optional<std::string> Text(std::string_view name) const;
  void SetText(std::string_view name, std::string_view text);

 private:
  std::map<Key, std::string> open_;
  Key next_ = 0x1000;
};

class Display final : public IDisplay {
 public:
  struct Broadcasted {
    std::uint32_t message;
    std::uintptr_t w_param;
    std::intptr_t l_param;
    std::uint32_t pointed;  // the 32-bit value that the lParam points to, for a device name
  };

  Display(std::uint32_t width, std::uint32_t height, std::int16_t bits);

  DISPLAY_MODE current{};
  std::vector<DISPLAY_MODE> requests;  // every change request, as sent
  std::vector<std::uint32_t> flags;
  std::vector<Broadcasted> broadcasts;
  int queries = 0;
  bool query_fails = false;
  // Sizes the display refuses (status -2), and whether it refuses another depth.
  std::set<std::pair<std::uint32_t, std::uint32_t>> refused_sizes;
  bool refuse_depth_change = false;
  // Accepts a change but keeps the old mode (a switch that does not take).
  bool ignore_changes = false;

  bool QueryCurrent(DISPLAY_MODE& mode) override;
  std::int32_t Change(const DISPLAY_MODE& mode, std::uint32_t flags) override;
  void Broadcast(std::uint32_t message, std::uintptr_t w_param, std::intptr_t l_param) override;

  void Set(std::uint32_t width, std::uint32_t height, std::int16_t bits);
  std::string Mode() const;  // "800x600x16"
};

class Process final : public IProcess {
 public:
  std::vector<std::pair<std::string, int>> started;
  std::string failure;  // when not empty, every start fails with it

  std::string Start(const std::string& file, int show_style) override;
};

class MessageBox final : public IMessageBox {
 public:
  struct Shown {
    std::string text, title;
    std::uint32_t style;
  };
  std::vector<Shown> shown;
  void Show(std::string_view text, std::string_view title, std::uint32_t style) override;
};

class Program final : public IProgram {
 public:
  std::string folder = "/opt/app";
  int ends = 0;
  std::string Folder() override { return folder; }
  [[noreturn]] void End() override;
};

// All of the above, wired into one Platform.
struct Machine {
  Machine(std::uint32_t width = 800, std::uint32_t height = 600, std::int16_t bits = 32);

  Files files;
  Profile profile{files};
  Registry registry;
  Display display;
  Process process;
  MessageBox message_box;
  Program program;
  HeadlessToolkit toolkit;
  Platform platform;

  std::string LinkPath() const { return program.folder + "/liaison.ini"; }
  std::string& LinkFile() { return files.texts[LinkPath()]; }
  bool HasLinkFile() const { return files.texts.count(LinkPath()) != 0; }
};

}  // namespace liaison::memory
