#include "platform/registry_store.h"

#include <cstdio>
#include <system_error>

#include "platform/drive_map.h"
#include "platform/log.h"

namespace cs {

namespace fs = std::filesystem;

namespace {

constexpr char kLog[] = "registry";
constexpr std::size_t kMaxFileName = 200;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

std::optional<std::string> DecodeQuoted(std::string_view body) {
  if (body.size() < 2 || body.front() != '"' || body.back() != '"') return std::nullopt;
  body = body.substr(1, body.size() - 2);
  std::string out;
  for (std::size_t i = 0; i < body.size(); ++i) {
    const char c = body[i];
    if (IsControl(static_cast<unsigned char>(c)) || c == '"') return std::nullopt;
    if (c != '\\') {
      out += c;
      continue;
    }
    if (++i >= body.size()) return std::nullopt;
    switch (body[i]) {
      case '\\':
        out += '\\';
        break;
      case '"':
        out += '"';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 't':
        out += '\t';
        break;
      case 'x': {
        if (i + 2 >= body.size()) return std::nullopt;
        const int hi = HexDigit(body[i + 1]);
        const int lo = HexDigit(body[i + 2]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out += static_cast<char>(hi << 4 | lo);
        i += 2;
        break;
      }
      default:
        return std::nullopt;
    }
  }
  return out;
}

}  // namespace

std::optional<RegistryValue> DecodeRegistryValue(std::string_view stored) {
  constexpr std::string_view kDword = "dword:";
  constexpr std::string_view kSz = "sz:";
  if (stored.substr(0, kDword.size()) == kDword) {
    const std::string_view digits = stored.substr(kDword.size());
    if (digits.size() != 8) return std::nullopt;
    std::uint32_t v = 0;
    for (char c : digits) {
      const int d = HexDigit(c);
      if (d < 0) return std::nullopt;
      v = v << 4 | static_cast<std::uint32_t>(d);
    }
    return RegistryValue{RegistryValue::Kind::kInteger, v, {}};
  }
  if (stored.substr(0, kSz.size()) == kSz) {
    auto text = DecodeQuoted(stored.substr(kSz.size()));
    if (!text) return std::nullopt;
    return RegistryValue{RegistryValue::Kind::kString, 0, std::move(*text)};
  }
  return std::nullopt;
}

std::string EncodeRegistryValue(const RegistryValue& value) {
  char buf[16];
  if (value.kind == RegistryValue::Kind::kInteger) {
    std::snprintf(buf, sizeof buf, "dword:%08x", static_cast<unsigned>(value.number));
    return buf;
  }
  std::string out = "sz:\"";
  for (char c : value.text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\\' || c == '"') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (IsControl(u)) {
      std::snprintf(buf, sizeof buf, "\\x%02x", u);
      out += buf;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::optional<std::string> RegistryKeyFileName(std::string_view keyPath) {
  if (keyPath.empty()) return std::nullopt;
  std::string out;
  std::size_t start = 0;
  while (true) {
    const std::size_t sep = keyPath.find('\\', start);
    const std::string_view part =
        keyPath.substr(start, sep == std::string_view::npos ? std::string_view::npos : sep - start);
    if (part.empty() || part.front() == ' ' || part.back() == ' ') return std::nullopt;
    for (char c : part) {
      const auto u = static_cast<unsigned char>(c);
      if (IsControl(u) || c == ']') return std::nullopt;
      const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                        (c >= '0' && c <= '9') || c == '_' || c == '-';
      if (keep) {
        out += c;
      } else {
        char buf[4];
        std::snprintf(buf, sizeof buf, "%%%02X", u);
        out += buf;
      }
    }
    if (sep == std::string_view::npos) break;
    out += '.';
    start = sep + 1;
  }
  out += ".ini";
  if (out.size() > kMaxFileName) return std::nullopt;
  return out;
}

RegistryKey::RegistryKey(std::string keyPath, ProfileFile file)
    : key_path_(std::move(keyPath)), file_(std::move(file)) {}

RegistryKey::~RegistryKey() { CloseKey(); }

std::unique_ptr<RegistryKey> RegistryKey::Open(const fs::path& root, std::string_view keyPath,
                                               bool canCreate, std::string* error) {
  const auto name = RegistryKeyFileName(keyPath);
  if (!name) {
    if (error) *error = "not a key path: " + std::string(keyPath);
    return nullptr;
  }
  const fs::path dir = root / "registry";
  const fs::path file = MatchCaseInsensitive(dir, *name);
  std::error_code ec;
  const bool exists = fs::exists(file, ec);
  if (!exists) {
    if (!canCreate) {
      if (error) *error = "no such key";
      return nullptr;
    }
    fs::create_directories(dir, ec);
    std::string why;
    if (ec || !ReplaceFileAtomically(file, "[" + std::string(keyPath) + "]\n", &why)) {
      if (ec) why = ec.message();
      LogDiag(kLog, "cannot create key " + file.string() + ": " + why);
      if (error) *error = why;
      return nullptr;
    }
  }
  std::unique_ptr<RegistryKey> key(new RegistryKey(std::string(keyPath), ProfileFile::Load(file)));
  key->bound_ = true;
  return key;
}

std::unique_ptr<RegistryKey> RegistryKey::FromText(std::string_view keyPath,
                                                   std::string_view text) {
  if (!RegistryKeyFileName(keyPath)) return nullptr;
  return std::unique_ptr<RegistryKey>(
      new RegistryKey(std::string(keyPath), ProfileFile::FromText(text)));
}

std::optional<RegistryValue> RegistryKey::Read(std::string_view name) const {
  // A sentinel that no stored value can be: DecodeRegistryValue refuses it.
  constexpr std::string_view kMissing = "\n";
  const std::string raw = file_.ReadString(key_path_, name, kMissing);
  if (raw == kMissing) return std::nullopt;
  return DecodeRegistryValue(raw);
}

bool RegistryKey::ValueExists(std::string_view name) const { return Read(name).has_value(); }

std::optional<std::string> RegistryKey::ReadString(std::string_view name) const {
  auto v = Read(name);
  if (!v || v->kind != RegistryValue::Kind::kString) return std::nullopt;
  return std::move(v->text);
}

std::optional<std::int32_t> RegistryKey::ReadInteger(std::string_view name) const {
  const auto v = Read(name);
  if (!v || v->kind != RegistryValue::Kind::kInteger) return std::nullopt;
  return static_cast<std::int32_t>(v->number);
}

std::optional<bool> RegistryKey::ReadBool(std::string_view name) const {
  const auto v = ReadInteger(name);
  if (!v) return std::nullopt;
  return *v != 0;
}

bool RegistryKey::Write(std::string_view name, const RegistryValue& value) {
  if (!file_.WriteString(key_path_, name, EncodeRegistryValue(value))) return false;
  dirty_ = true;
  return true;
}

bool RegistryKey::WriteString(std::string_view name, std::string_view value) {
  return Write(name, RegistryValue{RegistryValue::Kind::kString, 0, std::string(value)});
}

bool RegistryKey::WriteInteger(std::string_view name, std::int32_t value) {
  return Write(name,
               RegistryValue{RegistryValue::Kind::kInteger, static_cast<std::uint32_t>(value), {}});
}

bool RegistryKey::CloseKey(std::string* error) {
  if (!dirty_) return true;
  dirty_ = false;
  if (!bound_) return true;
  std::string why;
  if (!file_.Save(&why)) {
    LogDiag(kLog, "cannot write key " + key_path_ + " (" + file_.Path().string() + "): " + why);
    if (error) *error = why;
    return false;
  }
  return true;
}

}  // namespace cs
