// Any bytes as a profile file (CALC.INI): no crash; reads are stable across a rewrite; a key
// written reads back, and the keys not written read as before.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/profile_file.h"

namespace {

constexpr const char* kKeys[] = {"iSysCounter", "iCredits", "iVolume", "DtUpdate", "x"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  cs::ProfileFile p = cs::ProfileFile::FromText(text);
  std::string before[5];
  for (int i = 0; i < 5; ++i) {
    before[i] = p.ReadString("DUZER", kKeys[i], "\x01");
    p.ReadInteger("duzer", kKeys[i], 7);
  }
  // The text as it would be saved reads the same.
  const cs::ProfileFile same = cs::ProfileFile::FromText(p.ToText());
  for (int i = 0; i < 5; ++i) {
    if (same.ReadString("DUZER", kKeys[i], "\x01") != before[i]) __builtin_trap();
  }
  // A write reads back; the other keys are unchanged.
  if (!p.WriteInteger("DUZER", "iCredits", 42)) __builtin_trap();
  const cs::ProfileFile after = cs::ProfileFile::FromText(p.ToText());
  if (after.ReadInteger("duzer", "ICREDITS", 0) != 42) __builtin_trap();
  for (int i = 0; i < 5; ++i) {
    if (i == 1) continue;
    if (after.ReadString("DUZER", kKeys[i], "\x01") != before[i]) __builtin_trap();
  }
  return 0;
}
