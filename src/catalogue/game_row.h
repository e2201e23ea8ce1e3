#pragma once
// One row of the game catalogue PARAMS2.DAT, its fields and the checks every value must pass
// before it is stored. NAMEFILE becomes file names and an emulator argument, so it is a short
// name of letters, digits and underscores only.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace cs {

// The fields of a row, named as the table names them.
enum class CatalogueField { NAMEFILE, NAMEGAME, GROUP, CREDITS, COINS, Nrplayer };

// "NAMEFILE", "NAMEGAME", "GROUP", "CREDITS", "COINS", "Nrplayer".
std::string_view FieldName(CatalogueField field);
// The field of a name, matched without case; nullopt for anything else.
std::optional<CatalogueField> FieldFromName(std::string_view name);
// NAMEFILE, NAMEGAME and GROUP hold text; the others integers.
bool IsTextField(CatalogueField field);

// The group of the games in use; every other GROUP (empty included) is available.
inline constexpr std::string_view kGroupInUse = "GR1";
inline constexpr std::string_view kGroupAvailable = "GR2";

// A whole row. An absent value is an empty (NULL) field.
struct GameRow {
  std::string NAMEFILE;
  std::optional<std::string> NAMEGAME;
  std::optional<std::string> GROUP;
  std::optional<std::int32_t> CREDITS;
  std::optional<std::int32_t> COINS;
  std::optional<std::int32_t> Nrplayer;

  friend bool operator==(const GameRow&, const GameRow&) = default;
};

// True for 1 to 8 ASCII letters, digits and underscores: safe as a file name and an argument.
bool IsSafeNameFile(std::string_view namefile);

// Why `text` cannot be stored in a text field, or nullopt when it can. NAMEFILE: IsSafeNameFile.
// NAMEGAME (at most 14 characters) and GROUP (at most 10): valid UTF-8 without control
// characters, counted in characters (code points).
std::optional<std::string> TextFieldProblem(CatalogueField field, std::string_view text);
// Why `value` cannot be stored in an integer field, or nullopt when it can: CREDITS 0 to
// 2147483647, COINS any 32-bit value, Nrplayer 0 to 32767 (a 16-bit field).
std::optional<std::string> IntegerFieldProblem(CatalogueField field, std::int64_t value);
// The first problem of a whole row, or nullopt.
std::optional<std::string> RowProblem(const GameRow& row);

}  // namespace cs
