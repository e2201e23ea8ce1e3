#include "platform/profile_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

#include "platform/drive_map.h"
#include "platform/log.h"

namespace cs {

namespace fs = std::filesystem;

namespace {

// Profile files are small; anything larger is not a profile we wrote.
constexpr std::uintmax_t kMaxProfileBytes = 4u << 20;

std::function<int(ReplaceStep)>& StepHook() {
  static std::function<int(ReplaceStep)> hook;
  return hook;
}

int RunHook(ReplaceStep step) {
  const auto& hook = StepHook();
  return hook ? hook(step) : 0;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool HasAny(std::string_view s, std::string_view chars) {
  return s.find_first_of(chars) != std::string_view::npos;
}

const char* StepName(ReplaceStep step) {
  switch (step) {
    case ReplaceStep::kCreateTemp:
      return "create temporary file";
    case ReplaceStep::kWrite:
      return "write";
    case ReplaceStep::kSyncFile:
      return "fsync";
    case ReplaceStep::kCloseTemp:
      return "close";
    case ReplaceStep::kRename:
      return "rename";
    case ReplaceStep::kSyncDir:
      return "fsync directory";
  }
  return "?";
}

std::string TempPrefix(const fs::path& target) {
  return "." + target.filename().string() + ".tmp-";
}

// Removes temporary files a crashed earlier save of `target` left behind.
void RemoveStaleTemps(const fs::path& dir, const fs::path& target) {
  const std::string prefix = TempPrefix(target);
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0) {
      std::error_code rm;
      fs::remove(it->path(), rm);
    }
  }
}

}  // namespace

void SetReplaceStepHookForTesting(std::function<int(ReplaceStep)> hook) {
  StepHook() = std::move(hook);
}

bool ParseProfileInteger(std::string_view text, std::int32_t* out) {
  text = Trim(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return false;
  std::uint64_t v = 0;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    for (char c : text) {
      int d;
      if (c >= '0' && c <= '9') {
        d = c - '0';
      } else if (c >= 'a' && c <= 'f') {
        d = c - 'a' + 10;
      } else if (c >= 'A' && c <= 'F') {
        d = c - 'A' + 10;
      } else {
        return false;
      }
      v = v * 16 + static_cast<std::uint64_t>(d);
      if (v > 0xFFFFFFFFu) return false;
    }
    std::uint32_t bits = static_cast<std::uint32_t>(v);
    if (negative) bits = 0u - bits;
    *out = static_cast<std::int32_t>(bits);
    return true;
  }
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<std::uint64_t>(c - '0');
    if (v > 2147483648u) return false;
  }
  if (!negative && v > 2147483647u) return false;
  *out = negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(v))
                  : static_cast<std::int32_t>(v);
  return true;
}

ProfileFile::Line ProfileFile::ParseLine(std::string_view raw) {
  Line line;
  line.text = std::string(raw);
  const std::string_view t = Trim(raw);
  if (t.empty() || t.front() == ';') return line;
  if (t.front() == '[') {
    std::string_view name = t.substr(1);
    const std::size_t close = name.find(']');
    if (close != std::string_view::npos) name = name.substr(0, close);
    line.kind = Line::kSection;
    line.name = std::string(Trim(name));
    return line;
  }
  const std::size_t eq = t.find('=');
  if (eq == std::string_view::npos) return line;
  const std::string_view key = Trim(t.substr(0, eq));
  if (key.empty()) return line;
  line.kind = Line::kKey;
  line.name = std::string(key);
  line.value = std::string(Trim(t.substr(eq + 1)));
  return line;
}

ProfileFile ProfileFile::FromText(std::string_view text) {
  ProfileFile p;
  if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    p.bom_ = true;
    text.remove_prefix(3);
  }
  const std::size_t first_nl = text.find('\n');
  if (first_nl != std::string_view::npos && first_nl > 0 && text[first_nl - 1] == '\r') {
    p.eol_ = "\r\n";
  }
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t nl = text.find('\n', start);
    if (nl == std::string_view::npos) nl = text.size();
    std::string_view raw = text.substr(start, nl - start);
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    p.lines_.push_back(ParseLine(raw));
    start = nl + 1;
  }
  return p;
}

ProfileFile ProfileFile::Load(const fs::path& file) {
  const fs::path dir = file.has_parent_path() ? file.parent_path() : fs::path(".");
  const fs::path found = MatchCaseInsensitive(dir, file.filename().string());
  std::string text;
  std::error_code ec;
  if (fs::is_regular_file(found, ec)) {
    std::ifstream in(found, std::ios::binary);
    if (in) {
      text.resize(kMaxProfileBytes);
      in.read(text.data(), static_cast<std::streamsize>(text.size()));
      text.resize(static_cast<std::size_t>(in.gcount()));
      if (!in.eof()) LogDiag("profile", found.string() + " is too large; only its start is read");
    } else {
      LogDiag("profile", "cannot read " + found.string() + ": " + std::strerror(errno));
    }
  }
  ProfileFile p = FromText(text);
  p.path_ = file.has_parent_path() ? found : found.filename();
  return p;
}

int ProfileFile::FindSection(std::string_view section) const {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind == Line::kSection && EqualsNoCase(lines_[i].name, section)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

int ProfileFile::FindKey(int header, std::string_view key) const {
  for (std::size_t i = static_cast<std::size_t>(header) + 1; i < lines_.size(); ++i) {
    if (lines_[i].kind == Line::kSection) break;
    if (lines_[i].kind == Line::kKey && EqualsNoCase(lines_[i].name, key)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

std::string ProfileFile::ReadString(std::string_view section, std::string_view key,
                                    std::string_view def) const {
  const int header = FindSection(section);
  if (header < 0) return std::string(def);
  const int k = FindKey(header, key);
  if (k < 0) return std::string(def);
  std::string_view v = lines_[static_cast<std::size_t>(k)].value;
  if (v.size() >= 2 && v.front() == v.back() && (v.front() == '"' || v.front() == '\'')) {
    v = v.substr(1, v.size() - 2);
  }
  return std::string(v);
}

std::int32_t ProfileFile::ReadInteger(std::string_view section, std::string_view key,
                                      std::int32_t def) const {
  const int header = FindSection(section);
  if (header < 0 || FindKey(header, key) < 0) return def;
  std::int32_t v;
  return ParseProfileInteger(ReadString(section, key, ""), &v) ? v : def;
}

bool ProfileFile::WriteString(std::string_view section, std::string_view key,
                              std::string_view value) {
  using namespace std::string_view_literals;
  const std::string_view bad = "\r\n\0"sv;
  if (section.empty() || HasAny(section, bad) || section.find(']') != std::string_view::npos ||
      Trim(section) != section) {
    return false;
  }
  if (key.empty() || HasAny(key, bad) || key.find('=') != std::string_view::npos ||
      Trim(key) != key || key.front() == ';' || key.front() == '[') {
    return false;
  }
  if (HasAny(value, bad)) return false;

  int header = FindSection(section);
  if (header < 0) {
    if (!lines_.empty() && !Trim(lines_.back().text).empty()) lines_.push_back(ParseLine(""));
    lines_.push_back(ParseLine("[" + std::string(section) + "]"));
    header = static_cast<int>(lines_.size()) - 1;
  }
  const int k = FindKey(header, key);
  if (k >= 0) {
    Line& line = lines_[static_cast<std::size_t>(k)];
    line = ParseLine(line.name + "=" + std::string(value));
    return true;
  }
  // Append after the last non-blank line of the section, before the blank lines that part it
  // from the next one.
  std::size_t at = static_cast<std::size_t>(header) + 1;
  for (std::size_t i = at; i < lines_.size() && lines_[i].kind != Line::kSection; ++i) {
    if (!Trim(lines_[i].text).empty()) at = i + 1;
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at),
                ParseLine(std::string(key) + "=" + std::string(value)));
  return true;
}

bool ProfileFile::WriteInteger(std::string_view section, std::string_view key, std::int32_t value) {
  return WriteString(section, key, std::to_string(value));
}

std::string ProfileFile::ToText() const {
  std::string out;
  if (bom_) out = "\xEF\xBB\xBF";
  for (const Line& line : lines_) {
    out += line.text;
    out += eol_;
  }
  return out;
}

bool ProfileFile::Save(std::string* error) const {
  if (path_.empty()) {
    if (error) *error = "profile has no file";
    return false;
  }
  const fs::path dir = path_.has_parent_path() ? path_.parent_path() : fs::path(".");
  const fs::path target = MatchCaseInsensitive(dir, path_.filename().string());
  return ReplaceFileAtomically(path_.has_parent_path() ? target : target.filename(), ToText(),
                               error);
}

bool ReplaceFileAtomically(const fs::path& file, std::string_view contents, std::string* error) {
  std::error_code ec;
  fs::path target = file;
  if (fs::is_symlink(fs::symlink_status(file, ec))) target = fs::weakly_canonical(file, ec);
  if (ec) target = file;
  const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");

  auto fail = [&](ReplaceStep step, int err) {
    if (error) *error = std::string(StepName(step)) + ": " + std::strerror(err);
    return false;
  };

  struct stat old_st;
  const bool had_old = ::stat(target.c_str(), &old_st) == 0;

  RemoveStaleTemps(dir, target);
  static std::atomic<unsigned> counter{0};
  fs::path temp;
  int fd = -1;
  for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
    temp = dir / (TempPrefix(target) + std::to_string(::getpid()) + "-" +
                  std::to_string(counter.fetch_add(1)));
    if (int err = RunHook(ReplaceStep::kCreateTemp)) return fail(ReplaceStep::kCreateTemp, err);
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return fail(ReplaceStep::kCreateTemp, errno);
  }
  if (fd < 0) return fail(ReplaceStep::kCreateTemp, EEXIST);

  auto abandon = [&](ReplaceStep step, int err) {
    if (fd >= 0) ::close(fd);
    ::unlink(temp.c_str());
    return fail(step, err);
  };

  if (had_old && ::fchmod(fd, old_st.st_mode & 07777) != 0) {
    return abandon(ReplaceStep::kCreateTemp, errno);
  }
  std::size_t done = 0;
  while (done < contents.size()) {
    if (int err = RunHook(ReplaceStep::kWrite)) return abandon(ReplaceStep::kWrite, err);
    const ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return abandon(ReplaceStep::kWrite, errno);
    }
    done += static_cast<std::size_t>(n);
  }
  if (int err = RunHook(ReplaceStep::kSyncFile)) return abandon(ReplaceStep::kSyncFile, err);
  if (::fsync(fd) != 0) return abandon(ReplaceStep::kSyncFile, errno);
  if (int err = RunHook(ReplaceStep::kCloseTemp)) return abandon(ReplaceStep::kCloseTemp, err);
  const int closed = ::close(fd);
  fd = -1;
  if (closed != 0) return abandon(ReplaceStep::kCloseTemp, errno);
  if (int err = RunHook(ReplaceStep::kRename)) return abandon(ReplaceStep::kRename, err);
  if (::rename(temp.c_str(), target.c_str()) != 0) return abandon(ReplaceStep::kRename, errno);

  if (int err = RunHook(ReplaceStep::kSyncDir)) return fail(ReplaceStep::kSyncDir, err);
  const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd < 0) return fail(ReplaceStep::kSyncDir, errno);
  const int synced = ::fsync(dfd);
  const int sync_err = errno;
  ::close(dfd);
  if (synced != 0) return fail(ReplaceStep::kSyncDir, sync_err);
  return true;
}

}  // namespace cs
