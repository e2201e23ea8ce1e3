// Any bytes as an imported CSV: no crash; what is accepted passes the row checks and exports to
// a CSV that reads back as the same rows.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "catalogue/catalogue_csv.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const cs::CatalogueCsv csv = cs::ParseCatalogueCsv(text);
  if (csv.problems.size() > cs::kMaxCsvProblems) __builtin_trap();
  for (const cs::CsvProblem& p : csv.problems) {
    if (p.line == 0 || p.reason.empty()) __builtin_trap();
  }
  if (!csv.problems.empty()) return 0;
  for (const cs::GameRow& row : csv.rows) {
    if (cs::RowProblem(row)) __builtin_trap();
  }
  const cs::CatalogueCsv again = cs::ParseCatalogueCsv(cs::FormatCatalogueCsv(csv.rows));
  if (!again.problems.empty() || again.rows != csv.rows) __builtin_trap();
  return 0;
}
