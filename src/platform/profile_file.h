#pragma once
// Profile (INI) files with the semantics the counters file relies on:
//   - "[section]" header lines, then "key=value" lines; section and key names are matched
//     without regard to ASCII case, the first matching section and key win;
//   - names and values are trimmed of blanks; one pair of matching quotes around a value is
//     removed when reading;
//   - an integer read takes decimal text or "0x"/"0X" hex (an optional sign before either);
//     anything else (empty, "abc", "12abc", out of 32-bit range) yields the caller's default;
//   - lines that are not a header or a key (comments, garbage, binary bytes) are kept as they
//     are and never match; a file with no section yields every default.
//
// Reads come from the text loaded at Load(); writes change that text in memory (a key present is
// rewritten in place under its existing spelling, a new key is appended to its section, a new
// section to the file) and Save() replaces the file in one atomic, durable step. So a batch of
// writes followed by one Save() is one replacement, and a power cut leaves the old or the new
// file, never a torn one.
//
// Main thread only (one object per use; no shared state apart from the test hook).
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace cs {

class ProfileFile {
 public:
  ProfileFile() = default;

  // Reads `file`, found through a case-insensitive match of its name in its directory (so
  // "CALC.INI" finds "CALC.ini"). A missing or unreadable file gives an empty profile; Save()
  // then creates the file under the name given.
  static ProfileFile Load(const std::filesystem::path& file);
  // A profile from text, not bound to a file (parsers, tests).
  static ProfileFile FromText(std::string_view text);

  // The file this profile was loaded from (the existing entry's spelling when one matched).
  const std::filesystem::path& Path() const { return path_; }

  // The value of `key` in `section`, or `def` when the section or key is missing.
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view def) const;
  // The value as an integer (see the rules above), or `def`.
  std::int32_t ReadInteger(std::string_view section, std::string_view key, std::int32_t def) const;

  // Sets `key` in `section` in memory. False (nothing changed) when a name is empty or would
  // not read back as itself (line breaks, NUL, '=' in a key, ']' in a section, blanks around
  // it) or the value holds a line break or NUL.
  bool WriteString(std::string_view section, std::string_view key, std::string_view value);
  bool WriteInteger(std::string_view section, std::string_view key, std::int32_t value);

  // The whole file as it would be saved.
  std::string ToText() const;

  // Replaces the file with ToText() atomically and durably (ReplaceFileAtomically), under the
  // existing entry's name when one matches case-insensitively. False with `*error` set on
  // failure; the file on disk is then unchanged (or, if only the final directory sync failed,
  // already replaced).
  bool Save(std::string* error = nullptr) const;

 private:
  struct Line {
    enum Kind { kOther, kSection, kKey } kind = kOther;
    std::string text;   // the line as it stands in the file, without its line break
    std::string name;   // section or key name, trimmed
    std::string value;  // key value, trimmed, quotes kept
  };
  static Line ParseLine(std::string_view raw);
  // Index of the first header of `section`, or -1.
  int FindSection(std::string_view section) const;
  // Index of the first line of `key` in the section whose header is at `header`, or -1.
  int FindKey(int header, std::string_view key) const;

  std::filesystem::path path_;
  std::vector<Line> lines_;
  std::string eol_ = "\n";  // kept from the loaded file ("\r\n" for a file written on Windows)
  bool bom_ = false;
};

// Parses an integer the way profile reads do: optional blanks, optional sign, then decimal
// digits or "0x"/"0X" and hex digits, then optional blanks, nothing else. Hex takes up to
// 8 digits as a 32-bit pattern (0xFFFFFFFF is -1); decimal must fit 32 bits. False otherwise.
bool ParseProfileInteger(std::string_view text, std::int32_t* out);

// Replaces `file` with `contents` so that a crash or power cut at any moment leaves the old
// contents or the new, whole: a temporary file in the same directory is written, fsync'ed,
// renamed over the target, then the directory is fsync'ed. A symbolic link is followed, so the
// file it points to is replaced. The old file's permission bits are kept (new files: 0666 less
// the umask). False with `*error` ("<step>: <reason>") on failure; the temporary file is removed.
bool ReplaceFileAtomically(const std::filesystem::path& file, std::string_view contents,
                           std::string* error = nullptr);

// The steps of a replacement, in order; a test hook sees each one before it is taken.
enum class ReplaceStep { kCreateTemp, kWrite, kSyncFile, kCloseTemp, kRename, kSyncDir };

// Test seam: called before every step (kWrite before every write() call). Returning a non-zero
// errno makes that step fail with it; the hook may also end the process to model a crash there.
// An empty function removes the hook.
void SetReplaceStepHookForTesting(std::function<int(ReplaceStep)> hook);

}  // namespace cs
