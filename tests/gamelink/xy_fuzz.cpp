// Fuzz target: a game's ".xy" file as the launch preparation loads it (any length, any bytes),
// then the preparation's fixes. The block size must always end within 2..10 and every region
// must be recomputed from its left and top.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "gamelink/check_settings.h"
#include "platform/log.h"
#include "platform/virtual_event_loop.h"

namespace {

const std::filesystem::path& Dir() {
  static const std::filesystem::path dir = [] {
    char tmpl[] = "/tmp/cs-xy-fuzz-XXXXXX";
    if (::mkdtemp(tmpl) == nullptr) std::abort();
    cs::SetLogSink([](const std::string&) {});
    return std::filesystem::path(tmpl);
  }();
  return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto& dir = Dir();
  if (std::FILE* f = std::fopen((dir / "G.xy").c_str(), "wb")) {
    if (size > 0) std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  static cs::VirtualEventLoop loop;
  cs::TFrmCheck check(loop, dir, dir);
  cs::GameFlags flags;
  if (!check.PrepareLaunch("G", flags)) std::abort();  // a regular file always loads
  if (check.RegionWidth < 2 || check.RegionWidth > 10 || check.RegionHeight < 2 ||
      check.RegionHeight > 10) {
    std::abort();
  }
  for (int i = 0; i < cs::kRegionCount; ++i) {
    const cs::Rect32& r = check.CheckRec.Region(i);
    if (static_cast<std::uint32_t>(r.right) - static_cast<std::uint32_t>(r.left) !=
        static_cast<std::uint32_t>(check.RegionWidth)) {
      std::abort();
    }
  }
  if (check.CheckRec.StartUpTime < 2 || check.StartUpIntervalMs() < 2000 ||
      check.StartUpIntervalMs() > 60000) {
    std::abort();
  }
  return 0;
}
