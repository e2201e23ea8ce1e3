#pragma once
// The catalogue's CSV form, read by `coinshell-catalogue import` and written by `export`:
//
//   NAMEFILE,NAMEGAME,GROUP,CREDITS,COINS,Nrplayer
//   galaxo,Galaxo Blast,GR1,12,0,2
//
// The first line is that header (names without case, blanks around them ignored). Fields are
// separated by commas; a field may be quoted with '"' (a '"' inside written twice), which keeps
// commas and blanks; unquoted fields are trimmed of blanks. Lines end with LF or CRLF; blank lines
// are skipped. An empty field is an empty (NULL) value; NAMEFILE may not be empty. Every value
// must pass the row checks of game_row.h, and NAMEFILE may appear once only (without case).
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/game_row.h"

namespace cs {

struct CsvProblem {
  std::size_t line = 0;  // 1-based line where the record starts
  std::string reason;
};

struct CatalogueCsv {
  std::vector<GameRow> rows;         // in file order; only meaningful without problems
  std::vector<CsvProblem> problems;  // every bad record (at most kMaxCsvProblems), in order
};

inline constexpr std::size_t kMaxCsvProblems = 50;

// Parses the whole text. Any problem means nothing of it may be imported.
CatalogueCsv ParseCatalogueCsv(std::string_view text);

// The rows as CSV with the header, quoting only where needed, LF line ends. Parsing the result
// gives the same rows back.
std::string FormatCatalogueCsv(const std::vector<GameRow>& rows);

}  // namespace cs
