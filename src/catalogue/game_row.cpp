#include "catalogue/game_row.h"

#include <array>

#include "platform/drive_map.h"

namespace cs {

namespace {

constexpr std::array<std::string_view, 6> kNames = {"NAMEFILE", "NAMEGAME", "GROUP",
                                                    "CREDITS",  "COINS",    "Nrplayer"};

// Number of code points of valid UTF-8 text without control characters, or -1.
long CountCharacters(std::string_view s) {
  long count = 0;
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    std::size_t len;
    std::uint32_t cp;
    if (c < 0x80) {
      if (c < 0x20 || c == 0x7F) return -1;
      len = 1;
      cp = c;
    } else if ((c & 0xE0) == 0xC0) {
      len = 2;
      cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      len = 3;
      cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      len = 4;
      cp = c & 0x07;
    } else {
      return -1;
    }
    if (i + len > s.size()) return -1;
    for (std::size_t k = 1; k < len; ++k) {
      const unsigned char cc = static_cast<unsigned char>(s[i + k]);
      if ((cc & 0xC0) != 0x80) return -1;
      cp = (cp << 6) | (cc & 0x3F);
    }
    // Overlong forms, surrogates, beyond Unicode, C1 controls.
    if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) ||
        (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF || (cp >= 0x80 && cp < 0xA0)) {
      return -1;
    }
    i += len;
    ++count;
  }
  return count;
}

}  // namespace

std::string_view FieldName(CatalogueField field) { return kNames[static_cast<int>(field)]; }

std::optional<CatalogueField> FieldFromName(std::string_view name) {
  for (std::size_t i = 0; i < kNames.size(); ++i) {
    if (EqualsNoCase(kNames[i], name)) return static_cast<CatalogueField>(i);
  }
  return std::nullopt;
}

bool IsTextField(CatalogueField field) {
  return field == CatalogueField::NAMEFILE || field == CatalogueField::NAMEGAME ||
         field == CatalogueField::GROUP;
}

bool IsSafeNameFile(std::string_view s) {
  if (s.empty() || s.size() > 8) return false;
  for (char c : s) {
    const bool ok =
        (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
    if (!ok) return false;
  }
  return true;
}

std::optional<std::string> TextFieldProblem(CatalogueField field, std::string_view text) {
  switch (field) {
    case CatalogueField::NAMEFILE:
      if (IsSafeNameFile(text)) return std::nullopt;
      return "NAMEFILE must be 1 to 8 letters, digits or underscores";
    case CatalogueField::NAMEGAME:
    case CatalogueField::GROUP: {
      const long max = field == CatalogueField::NAMEGAME ? 14 : 10;
      const long n = CountCharacters(text);
      const std::string name(FieldName(field));
      if (n < 0) return name + " must be UTF-8 text without control characters";
      if (n > max) return name + " must be at most " + std::to_string(max) + " characters";
      return std::nullopt;
    }
    default:
      return std::string(FieldName(field)) + " holds an integer, not text";
  }
}

std::optional<std::string> IntegerFieldProblem(CatalogueField field, std::int64_t v) {
  switch (field) {
    case CatalogueField::CREDITS:
      if (v >= 0 && v <= 2147483647) return std::nullopt;
      return "CREDITS must be 0 to 2147483647";
    case CatalogueField::COINS:
      if (v >= -2147483648LL && v <= 2147483647) return std::nullopt;
      return "COINS must be -2147483648 to 2147483647";
    case CatalogueField::Nrplayer:
      if (v >= 0 && v <= 32767) return std::nullopt;
      return "Nrplayer must be 0 to 32767";
    default:
      return std::string(FieldName(field)) + " holds text, not an integer";
  }
}

std::optional<std::string> RowProblem(const GameRow& row) {
  if (auto p = TextFieldProblem(CatalogueField::NAMEFILE, row.NAMEFILE)) return p;
  if (row.NAMEGAME) {
    if (auto p = TextFieldProblem(CatalogueField::NAMEGAME, *row.NAMEGAME)) return p;
  }
  if (row.GROUP) {
    if (auto p = TextFieldProblem(CatalogueField::GROUP, *row.GROUP)) return p;
  }
  const std::pair<CatalogueField, const std::optional<std::int32_t>*> ints[] = {
      {CatalogueField::CREDITS, &row.CREDITS},
      {CatalogueField::COINS, &row.COINS},
      {CatalogueField::Nrplayer, &row.Nrplayer}};
  for (const auto& [field, value] : ints) {
    if (*value) {
      if (auto p = IntegerFieldProblem(field, **value)) return p;
    }
  }
  return std::nullopt;
}

}  // namespace cs
