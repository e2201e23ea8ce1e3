#include "platform/drive_map.h"

#include <sys/stat.h>

#include <system_error>
#include <vector>

#include "platform/log.h"

namespace cs {

namespace fs = std::filesystem;

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

fs::path MatchCaseInsensitive(const fs::path& dir, std::string_view name) {
  std::error_code ec;
  const fs::path exact = dir / std::string(name);
  if (fs::exists(fs::symlink_status(exact, ec))) return exact;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string entry = it->path().filename().string();
    if (EqualsNoCase(entry, name)) return it->path();
  }
  return exact;
}

DriveMap::DriveMap(fs::path root) : root_(std::move(root)) {}

std::optional<fs::path> DriveMap::Resolve(std::string_view p) const {
  if (p.size() < 2 || p[1] != ':') return std::nullopt;
  const char drive = p[0];
  if (!((drive >= 'a' && drive <= 'z') || (drive >= 'A' && drive <= 'Z'))) return std::nullopt;
  if (p.find('\0') != std::string_view::npos) return std::nullopt;

  std::vector<std::string_view> parts;
  std::string_view rest = p.substr(2);
  std::size_t i = 0;
  while (i < rest.size()) {
    if (rest[i] == '\\' || rest[i] == '/') {
      ++i;
      continue;
    }
    std::size_t j = i;
    while (j < rest.size() && rest[j] != '\\' && rest[j] != '/') ++j;
    parts.push_back(rest.substr(i, j - i));
    i = j;
  }
  fs::path cur = MatchCaseInsensitive(DosDevices(), std::string(1, drive) + ":");
  for (std::string_view part : parts) {
    if (part == "." || part == "..") return std::nullopt;
    cur = MatchCaseInsensitive(cur, part);
  }
  return cur;
}

std::optional<fs::path> DriveMap::ComDevice(std::string_view name) const {
  if (name.size() < 4 || !EqualsNoCase(name.substr(0, 3), "com")) return std::nullopt;
  int n = 0;
  for (char c : name.substr(3)) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
    if (n > 255) return std::nullopt;
  }
  if (n < 1) return std::nullopt;
  const fs::path link = MatchCaseInsensitive(DosDevices(), "com" + std::to_string(n));
  std::error_code ec;
  if (fs::exists(fs::symlink_status(link, ec))) return link;
  return fs::path("/dev/ttyS" + std::to_string(n - 1));
}

bool DriveMap::CreateSkeleton() const {
  std::error_code ec;
  const fs::path c = MatchCaseInsensitive(DosDevices(), "c:");
  for (const fs::path& d : {MatchCaseInsensitive(c, "windows"), MatchCaseInsensitive(c, "qd")}) {
    fs::create_directories(d, ec);
    if (ec) {
      LogDiag("drive-map", "cannot create " + d.string() + ": " + ec.message());
      return false;
    }
  }
  fs::create_directories(IpcDir(), ec);
  if (ec || ::chmod(IpcDir().c_str(), 0700) != 0) {
    LogDiag("drive-map", "cannot create " + IpcDir().string());
    return false;
  }
  return true;
}

}  // namespace cs
