#pragma once
// The drive map of a cabinet root: Windows paths of the design ("c:\qd\qd.exe", "C:\QD\GAME.AVI")
// resolved to files under <root>/dosdevices/, where "c:" and "d:" are directories (or links) and
// "com1", "com2" are links to serial devices.
//
// Each path component is matched against the existing directory entries without regard to case,
// so "CALC.INI" finds an existing "CALC.ini" (and a write goes back to that name). A component
// with no match keeps the spelling it was given, so a new file is created as named.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace cs {

class DriveMap {
 public:
  explicit DriveMap(std::filesystem::path root);

  const std::filesystem::path& Root() const { return root_; }
  std::filesystem::path DosDevices() const { return root_ / "dosdevices"; }
  // The directory of the IPC endpoints (sockets, lock file): <root>/run.
  std::filesystem::path IpcDir() const { return root_ / "run"; }

  // Resolves "x:\a\b" or "x:/a/b" (drive letter required). nullopt for a relative path, an
  // unknown drive form, or a component that is empty after the drive, "." or "..", or holds a
  // NUL: outside text never walks out of the drive.
  std::optional<std::filesystem::path> Resolve(std::string_view windowsPath) const;

  // The device behind COMn: <root>/dosdevices/comN when it exists (link or device), else the
  // default (COM1 -> /dev/ttyS0, COM2 -> /dev/ttyS1, ...). nullopt for a malformed name.
  std::optional<std::filesystem::path> ComDevice(std::string_view comName) const;

  // Creates the folders a cabinet needs: dosdevices/c:/windows, dosdevices/c:/qd, run (0700).
  // Returns false (with a log line) when one cannot be made.
  bool CreateSkeleton() const;

 private:
  std::filesystem::path root_;
};

// Finds `name` in `dir` without regard to ASCII case; returns the existing entry's path, or
// dir / name when there is none.
std::filesystem::path MatchCaseInsensitive(const std::filesystem::path& dir, std::string_view name);

// True when two names are equal ignoring ASCII case.
bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace cs
