// coinshell-catalogue: creates, fills, exports and lists a game catalogue (PARAMS2.DAT).
//   coinshell-catalogue --db FILE create | import CSV | export | list
// import checks every row first (docs/catalogue.md) and changes nothing when one is bad.
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "catalogue/catalogue_csv.h"
#include "catalogue/catalogue_db.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uintmax_t kMaxCsvBytes = 64u << 20;

int Usage() {
  std::fprintf(stderr,
               "usage: coinshell-catalogue --db FILE create | import CSV | export | list\n"
               "  create      make a new, empty catalogue (refuses an existing FILE)\n"
               "  import CSV  add or replace rows by NAMEFILE from CSV (\"-\": standard input);\n"
               "              creates FILE when missing; a bad row imports nothing\n"
               "  export      write every row as CSV to standard output\n"
               "  list        show every row\n");
  return 2;
}

int Fail(const std::string& text) {
  std::fprintf(stderr, "coinshell-catalogue: %s\n", text.c_str());
  return 1;
}

bool ReadInput(const std::string& name, std::string* text, std::string* error) {
  std::FILE* f = name == "-" ? stdin : std::fopen(name.c_str(), "rb");
  if (!f) {
    *error = name + ": cannot open";
    return false;
  }
  char buf[65536];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
    text->append(buf, n);
    if (text->size() > kMaxCsvBytes) {
      *error = name + ": larger than 64 MiB";
      if (f != stdin) std::fclose(f);
      return false;
    }
  }
  const bool failed = std::ferror(f) != 0;
  if (f != stdin) std::fclose(f);
  if (failed) *error = name + ": read error";
  return !failed;
}

// Text for a terminal: control characters shown as '?'.
std::string Printable(const std::string& s) {
  std::string out = s;
  for (char& c : out) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) c = '?';
  }
  return out;
}

int Create(const fs::path& db_file) {
  std::string error;
  if (!cs::CatalogueDb::Create(db_file, &error)) return Fail(error);
  std::printf("created %s\n", db_file.c_str());
  return 0;
}

int Import(const fs::path& db_file, const std::string& csv_name) {
  std::string text, error;
  if (!ReadInput(csv_name, &text, &error)) return Fail(error);
  const cs::CatalogueCsv csv = cs::ParseCatalogueCsv(text);
  if (!csv.problems.empty()) {
    for (const cs::CsvProblem& p : csv.problems) {
      std::fprintf(stderr, "%s:%zu: %s\n", csv_name.c_str(), p.line, p.reason.c_str());
    }
    if (csv.problems.size() >= cs::kMaxCsvProblems) {
      std::fprintf(stderr, "%s: (further rows not checked)\n", csv_name.c_str());
    }
    return Fail("nothing imported");
  }
  std::error_code ec;
  const bool existed = fs::exists(db_file, ec);
  auto db =
      existed ? cs::CatalogueDb::Open(db_file, &error) : cs::CatalogueDb::Create(db_file, &error);
  if (!db) return Fail(error);
  std::set<std::string> known;
  if (existed) {
    const auto rows = db->ReadAllGames(&error);
    if (!rows) return Fail(error);
    for (const cs::GameRow& r : *rows) {
      std::string lower = r.NAMEFILE;
      for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      known.insert(lower);
    }
  }
  std::size_t replaced = 0;
  for (const cs::GameRow& r : csv.rows) {
    std::string lower = r.NAMEFILE;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    replaced += known.count(lower);
  }
  if (!db->UpsertGames(csv.rows, &error)) return Fail(error + "; nothing imported");
  std::printf("%zu rows imported into %s (%zu added, %zu replaced)\n", csv.rows.size(),
              db_file.c_str(), csv.rows.size() - replaced, replaced);
  return 0;
}

int Export(const fs::path& db_file) {
  std::string error;
  auto db = cs::CatalogueDb::Open(db_file, &error);
  if (!db) return Fail(error);
  const auto rows = db->ReadAllGames(&error);
  if (!rows) return Fail(error);
  const std::string out = cs::FormatCatalogueCsv(*rows);
  if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0) {
    return Fail("cannot write to standard output");
  }
  return 0;
}

int List(const fs::path& db_file) {
  std::string error;
  auto db = cs::CatalogueDb::Open(db_file, &error);
  if (!db) return Fail(error);
  const auto rows = db->ReadAllGames(&error);
  if (!rows) return Fail(error);
  auto number = [](const std::optional<std::int32_t>& v) {
    return v ? std::to_string(*v) : std::string("-");
  };
  std::printf("%-8s  %-14s  %-10s  %10s  %10s  %8s\n", "NAMEFILE", "NAMEGAME", "GROUP", "CREDITS",
              "COINS", "Nrplayer");
  std::size_t in_use = 0;
  for (const cs::GameRow& r : *rows) {
    const std::string title = Printable(r.NAMEGAME.value_or(""));
    // Pad by characters, not bytes, so accented titles line up.
    std::size_t chars = 0;
    for (unsigned char c : title) chars += (c & 0xC0) != 0x80;
    std::printf("%-8s  %s%*s  %-10s  %10s  %10s  %8s\n", Printable(r.NAMEFILE).c_str(),
                title.c_str(), static_cast<int>(chars < 14 ? 14 - chars : 0), "",
                Printable(r.GROUP.value_or("")).c_str(), number(r.CREDITS).c_str(),
                number(r.COINS).c_str(), number(r.Nrplayer).c_str());
    in_use += r.GROUP == std::string(cs::kGroupInUse);
  }
  std::printf("%zu games, %zu in use, %zu available\n", rows->size(), in_use,
              rows->size() - in_use);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string db;
  std::vector<std::string> words;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--db" && i + 1 < argc) {
      db = argv[++i];
    } else if (a == "-h" || a == "--help") {
      return Usage();
    } else {
      words.push_back(a);
    }
  }
  if (db.empty() || words.empty()) return Usage();
  const std::string& cmd = words[0];
  if (cmd == "create" && words.size() == 1) return Create(db);
  if (cmd == "import" && words.size() == 2) return Import(db, words[1]);
  if (cmd == "export" && words.size() == 1) return Export(db);
  if (cmd == "list" && words.size() == 1) return List(db);
  return Usage();
}
