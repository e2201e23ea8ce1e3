#include "catalogue/catalogue_csv.h"

#include <array>
#include <map>
#include <optional>

#include "platform/drive_map.h"

namespace cs {

namespace {

constexpr std::array<CatalogueField, 6> kColumns = {
    CatalogueField::NAMEFILE, CatalogueField::NAMEGAME, CatalogueField::GROUP,
    CatalogueField::CREDITS,  CatalogueField::COINS,    CatalogueField::Nrplayer};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A value quoted for a message: printable ASCII only, at most 24 characters.
std::string Shown(std::string_view v) {
  std::string s = "\"";
  for (std::size_t i = 0; i < v.size() && i < 24; ++i) {
    const unsigned char c = static_cast<unsigned char>(v[i]);
    s += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
  }
  if (v.size() > 24) s += "...";
  return s + "\"";
}

// Splits the text into records of fields. Each record remembers its first line.
struct Record {
  std::size_t line;
  std::vector<std::string> fields;
};

class Reader {
 public:
  explicit Reader(std::string_view text) : t_(text) {
    if (t_.size() >= 3 && t_.compare(0, 3, "\xEF\xBB\xBF") == 0) t_.remove_prefix(3);
  }

  bool Done() const { return i_ >= t_.size(); }

  // Reads one record. On a malformed one `error` is set and reading stops at the next line.
  Record Read(std::optional<std::string>* error) {
    Record r{line_, {}};
    std::string field;
    for (;;) {
      // Start of a field.
      std::size_t j = i_;
      while (j < t_.size() && IsBlank(t_[j])) ++j;
      if (j < t_.size() && t_[j] == '"') {
        i_ = j + 1;
        field.clear();
        bool closed = false;
        while (i_ < t_.size()) {
          const char c = t_[i_++];
          if (c == '"') {
            if (i_ < t_.size() && t_[i_] == '"') {
              field += '"';
              ++i_;
            } else {
              closed = true;
              break;
            }
          } else {
            if (c == '\n') ++line_;
            field += c;
          }
        }
        if (!closed) {
          *error = "a quoted field is not closed";
          i_ = t_.size();
          return r;
        }
        while (i_ < t_.size() && IsBlank(t_[i_])) ++i_;
      } else {
        std::size_t end = i_;
        while (end < t_.size() && t_[end] != ',' && t_[end] != '\n' &&
               !(t_[end] == '\r' && end + 1 < t_.size() && t_[end + 1] == '\n')) {
          if (t_[end] == '"') {
            *error = "a quote inside an unquoted field";
            SkipLine();
            return r;
          }
          ++end;
        }
        std::string_view v = t_.substr(i_, end - i_);
        while (!v.empty() && IsBlank(v.front())) v.remove_prefix(1);
        while (!v.empty() && IsBlank(v.back())) v.remove_suffix(1);
        field.assign(v);
        i_ = end;
      }
      r.fields.push_back(field);
      if (i_ >= t_.size()) return r;
      if (t_[i_] == ',') {
        ++i_;
        continue;
      }
      if (t_[i_] == '\n' || (t_[i_] == '\r' && i_ + 1 < t_.size() && t_[i_ + 1] == '\n')) {
        SkipLine();
        return r;
      }
      *error = "text after a closing quote";
      SkipLine();
      return r;
    }
  }

 private:
  void SkipLine() {
    while (i_ < t_.size() && t_[i_] != '\n') ++i_;
    if (i_ < t_.size()) ++i_;
    ++line_;
  }

  std::string_view t_;
  std::size_t i_ = 0;
  std::size_t line_ = 1;
};

bool BlankRecord(const Record& r) { return r.fields.size() == 1 && r.fields[0].empty(); }

std::optional<std::int64_t> ParseInteger(std::string_view v) {
  std::size_t i = 0;
  bool negative = false;
  if (i < v.size() && (v[i] == '+' || v[i] == '-')) negative = v[i++] == '-';
  if (i == v.size() || v.size() - i > 12) return std::nullopt;
  std::int64_t n = 0;
  for (; i < v.size(); ++i) {
    if (v[i] < '0' || v[i] > '9') return std::nullopt;
    n = n * 10 + (v[i] - '0');
  }
  return negative ? -n : n;
}

bool NeedsQuotes(std::string_view s) {
  if (s.empty()) return false;
  return s.find_first_of(",\"\r\n") != std::string_view::npos || IsBlank(s.front()) ||
         IsBlank(s.back());
}

void AppendField(std::string* out, std::string_view s) {
  if (!NeedsQuotes(s)) {
    out->append(s);
    return;
  }
  *out += '"';
  for (char c : s) {
    if (c == '"') *out += '"';
    *out += c;
  }
  *out += '"';
}

}  // namespace

CatalogueCsv ParseCatalogueCsv(std::string_view text) {
  CatalogueCsv out;
  auto problem = [&](std::size_t line, std::string reason) {
    if (out.problems.size() < kMaxCsvProblems) out.problems.push_back({line, std::move(reason)});
  };
  Reader reader(text);
  bool header_seen = false;
  std::map<std::string, std::size_t> first_line;  // NAMEFILE in lower case -> its line
  while (!reader.Done() && out.problems.size() < kMaxCsvProblems) {
    std::optional<std::string> error;
    Record r = reader.Read(&error);
    if (error) {
      problem(r.line, *error);
      if (!header_seen) return out;
      continue;
    }
    if (BlankRecord(r)) continue;
    if (!header_seen) {
      bool ok = r.fields.size() == kColumns.size();
      for (std::size_t i = 0; ok && i < kColumns.size(); ++i) {
        ok = EqualsNoCase(r.fields[i], FieldName(kColumns[i]));
      }
      if (!ok) {
        problem(r.line, "the first line must be NAMEFILE,NAMEGAME,GROUP,CREDITS,COINS,Nrplayer");
        return out;
      }
      header_seen = true;
      continue;
    }
    if (r.fields.size() != kColumns.size()) {
      problem(r.line, "expected 6 fields, found " + std::to_string(r.fields.size()));
      continue;
    }
    GameRow row;
    std::optional<std::string> why;
    for (std::size_t i = 0; i < kColumns.size() && !why; ++i) {
      const CatalogueField f = kColumns[i];
      const std::string& v = r.fields[i];
      if (IsTextField(f)) {
        if (v.empty() && f != CatalogueField::NAMEFILE) continue;
        if (auto p = TextFieldProblem(f, v)) {
          why = *p + ": " + Shown(v);
          continue;
        }
        if (f == CatalogueField::NAMEFILE) row.NAMEFILE = v;
        if (f == CatalogueField::NAMEGAME) row.NAMEGAME = v;
        if (f == CatalogueField::GROUP) row.GROUP = v;
      } else {
        if (v.empty()) continue;
        const auto n = ParseInteger(v);
        if (!n) {
          why = std::string(FieldName(f)) + " is not an integer: " + Shown(v);
          continue;
        }
        if (auto p = IntegerFieldProblem(f, *n)) {
          why = *p + ": " + Shown(v);
          continue;
        }
        const auto value = static_cast<std::int32_t>(*n);
        if (f == CatalogueField::CREDITS) row.CREDITS = value;
        if (f == CatalogueField::COINS) row.COINS = value;
        if (f == CatalogueField::Nrplayer) row.Nrplayer = value;
      }
    }
    if (why) {
      problem(r.line, *why);
      continue;
    }
    std::string lower = row.NAMEFILE;
    for (char& c : lower) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    const auto [it, fresh] = first_line.emplace(lower, r.line);
    if (!fresh) {
      problem(r.line, "NAMEFILE " + Shown(row.NAMEFILE) + " is already on line " +
                          std::to_string(it->second));
      continue;
    }
    out.rows.push_back(std::move(row));
  }
  if (!header_seen && out.problems.empty()) {
    problem(1, "the first line must be NAMEFILE,NAMEGAME,GROUP,CREDITS,COINS,Nrplayer");
  }
  return out;
}

std::string FormatCatalogueCsv(const std::vector<GameRow>& rows) {
  std::string out = "NAMEFILE,NAMEGAME,GROUP,CREDITS,COINS,Nrplayer\n";
  auto integer = [&](const std::optional<std::int32_t>& v) {
    if (v) out += std::to_string(*v);
  };
  for (const GameRow& r : rows) {
    AppendField(&out, r.NAMEFILE);
    out += ',';
    if (r.NAMEGAME) AppendField(&out, *r.NAMEGAME);
    out += ',';
    if (r.GROUP) AppendField(&out, *r.GROUP);
    out += ',';
    integer(r.CREDITS);
    out += ',';
    integer(r.COINS);
    out += ',';
    integer(r.Nrplayer);
    out += '\n';
  }
  return out;
}

}  // namespace cs
