#include "catalogue/catalogue_db.h"

#include <sqlite3.h>

#include <system_error>

#include "catalogue/sqlite_statement_private.h"
#include "platform/drive_map.h"
#include "platform/log.h"

namespace cs {

namespace fs = std::filesystem;
using catalogue_private::Statement;

namespace {

constexpr const char* kCreateSchema = R"sql(
CREATE TABLE PARAMS2 (
  NAMEFILE TEXT NOT NULL COLLATE NOCASE PRIMARY KEY,
  NAMEGAME TEXT,
  "GROUP" TEXT,
  CREDITS INTEGER,
  COINS INTEGER,
  Nrplayer INTEGER
);
CREATE INDEX iNameGame ON PARAMS2 (NAMEGAME COLLATE NOCASE, NAMEFILE);
CREATE INDEX iCredits ON PARAMS2 (CREDITS DESC, NAMEFILE);
CREATE INDEX iCoins ON PARAMS2 (COINS, NAMEFILE);
PRAGMA application_id = 1129530161;
PRAGMA user_version = 1;
)sql";

// Partial indexes behind the filtered views' orders: the menu walks the games in use by play
// count and by title, the settings screen lists the available games by title. Without them a
// view of 40 games in use among 10,000 would scan the whole order at every step.
constexpr const char* kViewIndexes = R"sql(
CREATE INDEX IF NOT EXISTS cs_inuse_credits ON PARAMS2 (CREDITS DESC, NAMEFILE)
  WHERE "GROUP" = 'GR1';
CREATE INDEX IF NOT EXISTS cs_inuse_namegame ON PARAMS2 (NAMEGAME COLLATE NOCASE, NAMEFILE)
  WHERE "GROUP" = 'GR1';
CREATE INDEX IF NOT EXISTS cs_avail_namegame ON PARAMS2 (NAMEGAME COLLATE NOCASE, NAMEFILE)
  WHERE "GROUP" IS NOT 'GR1';
)sql";

void SetError(std::string* error, std::string text) {
  if (error) *error = std::move(text);
}

}  // namespace

CatalogueDb::~CatalogueDb() { sqlite3_close_v2(db_); }

std::string CatalogueDb::LastError() const { return db_ ? sqlite3_errmsg(db_) : "not open"; }

bool CatalogueDb::Exec(const char* sql, std::string* error) {
  catalogue_private::NoteChange();
  char* msg = nullptr;
  if (sqlite3_exec(db_, sql, nullptr, nullptr, &msg) != SQLITE_OK) {
    SetError(error, msg ? msg : LastError());
    sqlite3_free(msg);
    return false;
  }
  return true;
}

std::unique_ptr<CatalogueDb> CatalogueDb::Connect(const fs::path& file, bool create,
                                                  std::string* error) {
  sqlite3* db = nullptr;
  const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
  if (sqlite3_open_v2(file.c_str(), &db, flags, nullptr) != SQLITE_OK) {
    SetError(error, file.string() + ": " + (db ? sqlite3_errmsg(db) : "cannot open"));
    sqlite3_close_v2(db);
    return nullptr;
  }
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, 2000);
  std::unique_ptr<CatalogueDb> c(new CatalogueDb(file, db));
  std::string why;
  // WAL where the file system supports it; a rollback journal otherwise. Either is durable at
  // every commit with synchronous=FULL.
  if (!c->Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;", &why)) {
    SetError(error, file.string() + ": " + why);
    return nullptr;
  }
  return c;
}

bool CatalogueDb::CheckSchema(std::string* error) {
  Statement st(db_, "PRAGMA table_info(PARAMS2)");
  if (!st.Ok()) {
    SetError(error, file_.string() + ": " + LastError());
    return false;
  }
  bool seen[6] = {};
  int rc;
  while ((rc = st.Step()) == SQLITE_ROW) {
    if (auto f = FieldFromName(st.ColumnText(1))) seen[static_cast<int>(*f)] = true;
  }
  if (rc != SQLITE_DONE) {
    SetError(error, file_.string() + ": " + LastError());
    return false;
  }
  for (int i = 0; i < 6; ++i) {
    if (!seen[i]) {
      SetError(error, file_.string() + ": not a game catalogue (no PARAMS2 table with field " +
                          std::string(FieldName(static_cast<CatalogueField>(i))) + ")");
      return false;
    }
  }
  return true;
}

std::unique_ptr<CatalogueDb> CatalogueDb::Open(const fs::path& file, std::string* error) {
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) {
    SetError(error, file.string() + ": no such file");
    return nullptr;
  }
  auto c = Connect(file, false, error);
  if (!c || !c->CheckSchema(error)) return nullptr;
  // A catalogue made elsewhere gets the views' indexes; where the file cannot be written the
  // views still work, only slower.
  std::string why;
  if (!c->Exec(kViewIndexes, &why)) LogDiag("catalogue", file.string() + ": " + why);
  return c;
}

std::unique_ptr<CatalogueDb> CatalogueDb::Create(const fs::path& file, std::string* error) {
  std::error_code ec;
  if (fs::exists(fs::symlink_status(file, ec))) {
    SetError(error, file.string() + ": already exists");
    return nullptr;
  }
  auto c = Connect(file, true, error);
  if (!c) return nullptr;
  std::string why;
  if (!c->Exec("BEGIN", &why) || !c->Exec(kCreateSchema, &why) || !c->Exec(kViewIndexes, &why) ||
      !c->Exec("COMMIT", &why)) {
    SetError(error, file.string() + ": " + why);
    c.reset();
    fs::remove(file, ec);
    return nullptr;
  }
  return c;
}

bool CatalogueDb::UpsertGames(const std::vector<GameRow>& rows, std::string* error) {
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (auto p = RowProblem(rows[i])) {
      SetError(error, "row " + std::to_string(i + 1) + ": " + *p);
      return false;
    }
  }
  Statement st(db_, R"sql(
INSERT INTO PARAMS2 (NAMEFILE, NAMEGAME, "GROUP", CREDITS, COINS, Nrplayer)
VALUES (?1, ?2, ?3, ?4, ?5, ?6)
ON CONFLICT (NAMEFILE) DO UPDATE SET NAMEFILE = excluded.NAMEFILE,
  NAMEGAME = excluded.NAMEGAME, "GROUP" = excluded."GROUP", CREDITS = excluded.CREDITS,
  COINS = excluded.COINS, Nrplayer = excluded.Nrplayer)sql");
  if (!st.Ok() || !Exec("BEGIN IMMEDIATE", error)) {
    if (!st.Ok()) SetError(error, LastError());
    return false;
  }
  for (const GameRow& r : rows) {
    st.Reset();
    st.BindText(1, r.NAMEFILE);
    st.BindOptionalText(2, r.NAMEGAME);
    st.BindOptionalText(3, r.GROUP);
    st.BindOptionalInt(4, r.CREDITS);
    st.BindOptionalInt(5, r.COINS);
    st.BindOptionalInt(6, r.Nrplayer);
    if (st.Step() != SQLITE_DONE) {
      SetError(error, r.NAMEFILE + ": " + LastError());
      st.Reset();
      Exec("ROLLBACK");
      return false;
    }
  }
  st.Reset();
  catalogue_private::NoteChange();
  if (!Exec("COMMIT", error)) {
    Exec("ROLLBACK");
    return false;
  }
  return true;
}

std::optional<std::vector<GameRow>> CatalogueDb::ReadAllGames(std::string* error) {
  Statement st(db_,
               R"sql(SELECT NAMEFILE, NAMEGAME, "GROUP", CREDITS, COINS, Nrplayer
                     FROM PARAMS2 ORDER BY NAMEFILE)sql");
  if (!st.Ok()) {
    SetError(error, LastError());
    return std::nullopt;
  }
  std::vector<GameRow> rows;
  auto text = [&](int i) -> std::optional<std::string> {
    if (st.ColumnType(i) == SQLITE_NULL) return std::nullopt;
    return st.ColumnText(i);
  };
  auto integer = [&](int i) -> std::optional<std::int32_t> {
    if (st.ColumnType(i) != SQLITE_INTEGER) return std::nullopt;
    const std::int64_t v = st.ColumnInt(i);
    if (v < INT32_MIN || v > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(v);
  };
  int rc;
  while ((rc = st.Step()) == SQLITE_ROW) {
    GameRow r;
    r.NAMEFILE = st.ColumnText(0);
    r.NAMEGAME = text(1);
    r.GROUP = text(2);
    r.CREDITS = integer(3);
    r.COINS = integer(4);
    r.Nrplayer = integer(5);
    rows.push_back(std::move(r));
  }
  if (rc != SQLITE_DONE) {
    SetError(error, LastError());
    return std::nullopt;
  }
  return rows;
}

namespace {

bool IsIdentifier(std::string_view s) {
  if (s.empty() || s.size() > 64) return false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
    if (!letter && !(i > 0 && c >= '0' && c <= '9')) return false;
  }
  return !(s.size() >= 7 && EqualsNoCase(s.substr(0, 7), "sqlite_"));
}

// The name of an index of PARAMS2 called `name` without regard to case (the primary key's
// automatic index excluded), or nullopt.
std::optional<std::string> FindIndex(sqlite3* db, std::string_view name) {
  Statement st(db,
               "SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name = 'PARAMS2' "
               "AND sql IS NOT NULL AND name = ?1 COLLATE NOCASE");
  if (!st.Ok()) return std::nullopt;
  st.BindText(1, name);
  if (st.Step() != SQLITE_ROW) return std::nullopt;
  return st.ColumnText(0);
}

std::string Quoted(std::string_view id) {
  std::string q = "\"";
  for (char c : id) {
    if (c == '"') q += '"';
    q += c;
  }
  return q + "\"";
}

}  // namespace

bool CatalogueDb::HasIndex(std::string_view name) { return FindIndex(db_, name).has_value(); }

bool CatalogueDb::DeleteIndex(std::string_view name, std::string* error) {
  const auto found = FindIndex(db_, name);
  if (!found) {
    SetError(error, "no index " + std::string(name));
    return false;
  }
  return Exec(("DROP INDEX " + Quoted(*found)).c_str(), error);
}

bool CatalogueDb::AddIndex(std::string_view name, std::string_view fields, IndexOptions options,
                           std::string* error) {
  if (!IsIdentifier(name)) {
    SetError(error, "bad index name");
    return false;
  }
  std::string columns;
  bool has_namefile = false;
  std::size_t start = 0;
  while (start <= fields.size()) {
    std::size_t end = fields.find_first_of(";,", start);
    if (end == std::string_view::npos) end = fields.size();
    std::string_view part = fields.substr(start, end - start);
    while (!part.empty() && part.front() == ' ') part.remove_prefix(1);
    while (!part.empty() && part.back() == ' ') part.remove_suffix(1);
    const auto field = FieldFromName(part);
    if (!field) {
      SetError(error, "unknown field in index: " + std::string(part));
      return false;
    }
    if (!columns.empty()) columns += ", ";
    columns += Quoted(FieldName(*field));
    if (options.caseInsensitive && IsTextField(*field)) columns += " COLLATE NOCASE";
    if (options.descending) columns += " DESC";
    has_namefile = has_namefile || *field == CatalogueField::NAMEFILE;
    start = end + 1;
  }
  if (!has_namefile) columns += ", NAMEFILE";
  const std::string sql = "CREATE INDEX " + Quoted(name) + " ON PARAMS2 (" + columns + ")";
  return Exec(sql.c_str(), error);
}

std::string CatalogueDb::JournalMode() {
  Statement st(db_, "PRAGMA journal_mode");
  return st.Ok() && st.Step() == SQLITE_ROW ? st.ColumnText(0) : std::string();
}

int CatalogueDb::Synchronous() {
  Statement st(db_, "PRAGMA synchronous");
  return st.Ok() && st.Step() == SQLITE_ROW ? static_cast<int>(st.ColumnInt(0)) : -1;
}

}  // namespace cs
