// Any bytes as a registry key file, a stored value or a key path: no crash; a value decoded
// encodes back to itself; a key path's file name stays one plain name; the TV-out window's
// values written to a key read back, and the others read as before.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/registry_store.h"

namespace {

constexpr char kTvw[] = "HKEY_LOCAL_MACHINE\\Software\\Halvardine\\Tvw";
constexpr const char* kNames[] = {"ExitToVGA",  "SaveChanges",       "Polarity",
                                  "Interlaced", "OddOrEvenSyncSize", "Chipset",
                                  "Model",      "VideoStandard",     "Visible"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  if (const auto v = cs::DecodeRegistryValue(text)) {
    if (cs::DecodeRegistryValue(cs::EncodeRegistryValue(*v)) != *v) __builtin_trap();
  }
  if (const auto name = cs::RegistryKeyFileName(text)) {
    if (name->size() > 200 || name->front() == '.' || name->find("..") != std::string::npos ||
        name->find('/') != std::string::npos || name->find('\0') != std::string::npos) {
      __builtin_trap();
    }
    for (char c : *name) {
      const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                      c == '_' || c == '-' || c == '.' || c == '%';
      if (!ok) __builtin_trap();
    }
  }

  auto key = cs::RegistryKey::FromText(kTvw, text);
  if (!key) __builtin_trap();
  std::optional<cs::RegistryValue> before[9];
  for (int i = 0; i < 9; ++i) {
    before[i] = key->Read(kNames[i]);
    key->ReadBool(kNames[i]);
    key->ReadString(kNames[i]);
  }
  // Unchanged by a rewrite of the text.
  auto same = cs::RegistryKey::FromText(kTvw, key->ToText());
  for (int i = 0; i < 9; ++i) {
    if (same->Read(kNames[i]) != before[i]) __builtin_trap();
  }
  // Two values written: they read back, the others as before.
  if (!key->WriteInteger("Polarity", 0xF3) ||
      !key->WriteString("VideoStandard", text.substr(0, 16)))
    __builtin_trap();
  auto after = cs::RegistryKey::FromText(kTvw, key->ToText());
  if (after->ReadInteger("polarity") != 0xF3) __builtin_trap();
  if (after->ReadString("VIDEOSTANDARD") != std::string(text.substr(0, 16))) __builtin_trap();
  for (int i = 0; i < 9; ++i) {
    if (i == 2 || i == 7) continue;
    if (after->Read(kNames[i]) != before[i]) __builtin_trap();
  }
  return 0;
}
