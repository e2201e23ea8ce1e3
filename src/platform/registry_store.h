#pragma once
// The registry key store: a small typed key store, one INI file per key under <root>/registry/.
//
// A key path such as "HKEY_LOCAL_MACHINE\Software\Halvardine\Tvw" names one file,
// "HKEY_LOCAL_MACHINE.Software.Halvardine.Tvw.ini" (RegistryKeyFileName): letters, digits, '_'
// and '-' stay, the separators become '.', every other byte is written %XX. The file holds one
// section named by the key path, one line per value, typed as in an exported key:
//
//   [HKEY_LOCAL_MACHINE\Software\Halvardine\Tvw]
//   Polarity=dword:000000f3
//   VideoStandard=sz:"PAL"
//
// Key and value names are matched without regard to ASCII case, as the registry does (the file
// name too: profile_file.h finds "tvw" for "Tvw"). A value that is missing, malformed or of the
// other type reads as missing, so a caller's default stands.
//
// Lazy writing: writes change the key in memory; CloseKey() (or the destructor) replaces the
// file in one atomic, durable step (write, fsync, rename, directory fsync), so a batch of writes
// lands whole or not at all, and once CloseKey() returned true it survives a power cut.
//
// Main thread only; one open key object per key at a time.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/profile_file.h"

namespace cs {

// One stored value: REG_DWORD (a 32-bit pattern) or REG_SZ.
struct RegistryValue {
  enum class Kind { kInteger, kString };
  Kind kind = Kind::kInteger;
  std::uint32_t number = 0;
  std::string text;
  friend bool operator==(const RegistryValue&, const RegistryValue&) = default;
};

// "dword:" and exactly eight hex digits, or "sz:" and a quoted string whose escapes are \\, \",
// \n, \r, \t and \xHH (raw control bytes are not allowed inside); nullopt for anything else.
std::optional<RegistryValue> DecodeRegistryValue(std::string_view stored);
// The stored form; DecodeRegistryValue(EncodeRegistryValue(v)) == v for every value.
std::string EncodeRegistryValue(const RegistryValue& value);

// The file name of a key path, or nullopt when the text is not a key path: empty, a component
// that is empty or has blanks around it, a control byte or ']' (a section header could not hold
// it), or a name longer than 200 bytes.
std::optional<std::string> RegistryKeyFileName(std::string_view keyPath);

class RegistryKey {
 public:
  // Opens the key under <root>/registry. With canCreate a missing key is created at once (the
  // folder and an empty key file, durably); without it a missing key gives nullptr. nullptr also
  // for a malformed key path or a key that cannot be created (`*error` says why).
  static std::unique_ptr<RegistryKey> Open(const std::filesystem::path& root,
                                           std::string_view keyPath, bool canCreate,
                                           std::string* error = nullptr);
  // A key read from text, bound to no file (tests, the fuzzer). nullptr for a malformed path.
  static std::unique_ptr<RegistryKey> FromText(std::string_view keyPath, std::string_view text);

  ~RegistryKey();
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  const std::string& KeyPath() const { return key_path_; }
  // The key's file (empty for FromText).
  const std::filesystem::path& FilePath() const { return file_.Path(); }

  bool ValueExists(std::string_view name) const;
  std::optional<RegistryValue> Read(std::string_view name) const;
  // nullopt when missing or not a string.
  std::optional<std::string> ReadString(std::string_view name) const;
  // nullopt when missing or not an integer; the 32-bit pattern as a signed value.
  std::optional<std::int32_t> ReadInteger(std::string_view name) const;
  // An integer value, true when non-zero (booleans are stored as the integers 0 and 1).
  std::optional<bool> ReadBool(std::string_view name) const;

  // In memory until CloseKey(). False (nothing changed) for a name the file cannot hold: empty,
  // blanks around it, '=', a line break or NUL.
  bool Write(std::string_view name, const RegistryValue& value);
  bool WriteString(std::string_view name, std::string_view value);
  bool WriteInteger(std::string_view name, std::int32_t value);
  bool WriteBool(std::string_view name, bool value) { return WriteInteger(name, value ? 1 : 0); }

  // Writes the changes made since opening (nothing when there are none) and closes the key;
  // later writes start a new batch. False, with one log line and `*error`, when the file could
  // not be replaced: the file then holds what it held before.
  bool CloseKey(std::string* error = nullptr);
  bool Dirty() const { return dirty_; }

  // The whole key file as it would be written.
  std::string ToText() const { return file_.ToText(); }

 private:
  RegistryKey(std::string keyPath, ProfileFile file);

  std::string key_path_;
  ProfileFile file_;
  bool bound_ = false;
  bool dirty_ = false;
};

}  // namespace cs
