#include "panelsim_script.h"

#include <optional>

#include "panel/panel_bits.h"
#include "platform/drive_map.h"

namespace cs::panelsim {

namespace {

std::vector<std::string_view> Tokens(std::string_view s) {
  std::vector<std::string_view> out;
  std::size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r')) ++i;
    std::size_t j = i;
    while (j < s.size() && s[j] != ' ' && s[j] != '\t' && s[j] != '\r') ++j;
    if (j > i) out.push_back(s.substr(i, j - i));
    i = j;
  }
  return out;
}

std::optional<int> Number(std::string_view s, int max) {
  if (s.empty() || s.size() > 9) return std::nullopt;
  int v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
  }
  if (v > max) return std::nullopt;
  return v;
}

bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool ParseLine(std::string_view text, int lineNo, std::vector<Command>* out, std::string* error) {
  const std::string where = "line " + std::to_string(lineNo) + ": ";
  if (text.size() > kMaxLineLength) {
    *error = where + "line too long";
    return false;
  }
  if (const auto hash = text.find('#'); hash != std::string_view::npos) text = text.substr(0, hash);
  auto tok = Tokens(text);
  if (tok.empty()) return true;

  Command c;
  c.line = lineNo;
  const std::string_view verb = tok[0];
  tok.erase(tok.begin());

  // press / hold / release: names, then for press and hold an optional number of ms.
  auto switches = [&](bool numberAllowed, int* ms) -> bool {
    if (numberAllowed && !tok.empty() && AllDigits(tok.back())) {
      const auto v = Number(tok.back(), kMaxWaitMs);
      if (!v) {
        *error = where + "time out of range (0 to " + std::to_string(kMaxWaitMs) + " ms)";
        return false;
      }
      *ms = *v;
      tok.pop_back();
    }
    for (std::string_view n : tok) {
      const auto bit = PanelBitByName(n);
      if (!bit) {
        *error = where + "unknown switch '" + std::string(n) + "'";
        return false;
      }
      c.switches |= 1u << *bit;
    }
    return true;
  };

  if (EqualsNoCase(verb, "press") || EqualsNoCase(verb, "hold")) {
    const bool press = EqualsNoCase(verb, "press");
    c.kind = press ? Command::Kind::kPress : Command::Kind::kHold;
    c.ms = press ? 100 : 0;
    if (!switches(true, &c.ms)) return false;
    if (c.switches == 0) {
      *error = where + std::string(verb) + " needs at least one switch";
      return false;
    }
  } else if (EqualsNoCase(verb, "release")) {
    c.kind = Command::Kind::kRelease;
    if (!switches(false, nullptr)) return false;
  } else if (EqualsNoCase(verb, "wait")) {
    c.kind = Command::Kind::kWait;
    const auto v = tok.size() == 1 ? Number(tok[0], kMaxWaitMs) : std::nullopt;
    if (!v) {
      *error = where + "wait needs one time in ms (0 to " + std::to_string(kMaxWaitMs) + ")";
      return false;
    }
    c.ms = *v;
  } else if (EqualsNoCase(verb, "rate")) {
    c.kind = Command::Kind::kRate;
    const auto v = tok.size() == 1 ? Number(tok[0], kMaxRate) : std::nullopt;
    if (!v) {
      *error = where + "rate needs one number of frames per second (0 to " +
               std::to_string(kMaxRate) + ")";
      return false;
    }
    c.ms = *v;
  } else if (EqualsNoCase(verb, "raw")) {
    c.kind = Command::Kind::kRaw;
    for (std::string_view t : tok) {
      if (t.size() % 2 != 0) {
        *error = where + "raw bytes are pairs of hex digits";
        return false;
      }
      for (std::size_t i = 0; i < t.size(); i += 2) {
        const int hi = HexDigit(t[i]), lo = HexDigit(t[i + 1]);
        if (hi < 0 || lo < 0) {
          *error = where + "not a hex byte: '" + std::string(t.substr(i, 2)) + "'";
          return false;
        }
        if (c.bytes.size() == kMaxRawBytes) {
          *error = where + "more than " + std::to_string(kMaxRawBytes) + " raw bytes";
          return false;
        }
        c.bytes.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
      }
    }
    if (c.bytes.empty()) {
      *error = where + "raw needs bytes";
      return false;
    }
  } else if (EqualsNoCase(verb, "quit")) {
    c.kind = Command::Kind::kQuit;
    if (!tok.empty()) {
      *error = where + "quit takes nothing";
      return false;
    }
  } else {
    *error = where + "unknown command '" + std::string(verb) + "'";
    return false;
  }
  out->push_back(std::move(c));
  return true;
}

Script ParseScript(std::string_view text) {
  Script s;
  int lineNo = 0;
  std::size_t pos = 0;
  while (pos <= text.size()) {
    const std::size_t nl = text.find('\n', pos);
    const std::size_t end = nl == std::string_view::npos ? text.size() : nl;
    ++lineNo;
    if (!ParseLine(text.substr(pos, end - pos), lineNo, &s.commands, &s.error)) return s;
    if (nl == std::string_view::npos) break;
    pos = nl + 1;
  }
  return s;
}

}  // namespace cs::panelsim
