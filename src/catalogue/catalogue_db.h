#pragma once
// The game catalogue file PARAMS2.DAT: an SQLite database holding the table PARAMS2 with the
// fields NAMEFILE (primary key, unique without regard to case), NAMEGAME, "GROUP", CREDITS,
// COINS, Nrplayer and the named indexes
//   iNameGame  NAMEGAME, case-insensitive
//   iCredits   CREDITS, descending
//   iCoins     COINS
// each followed by NAMEFILE, which breaks ties, and partial indexes behind the filtered views
// (games in use by play count and by title, available games by title). Every connection runs with
// synchronous=FULL (WAL journal where the file system allows it, else a rollback journal), so a
// committed change (a posted row) survives a power cut.
//
// One object is one connection; several may be open on one file, in one process or several
// (the shell's views, the catalogue tool). Not thread-safe: one thread per object.
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/game_row.h"

struct sqlite3;

namespace cs {

// Options of an added index. Case-insensitive applies to text fields (NOCASE collation); an
// integer field has no case and ignores it.
struct IndexOptions {
  bool descending = false;
  bool caseInsensitive = false;
};

class CatalogueDb {
 public:
  // Opens an existing catalogue. Fails (nullptr, `*error`) when the file is missing, is not a
  // database, or holds no PARAMS2 table with the six fields.
  static std::unique_ptr<CatalogueDb> Open(const std::filesystem::path& file,
                                           std::string* error = nullptr);
  // Creates a new, empty catalogue with its indexes. Fails when the file already exists.
  static std::unique_ptr<CatalogueDb> Create(const std::filesystem::path& file,
                                             std::string* error = nullptr);

  ~CatalogueDb();
  CatalogueDb(const CatalogueDb&) = delete;
  CatalogueDb& operator=(const CatalogueDb&) = delete;

  const std::filesystem::path& File() const { return file_; }
  sqlite3* Handle() const { return db_; }

  // Runs fixed SQL text (never built from outside input). False with `*error` on failure.
  bool Exec(const char* sql, std::string* error = nullptr);

  // Adds the rows, replacing those with the same NAMEFILE (matched without case), in one
  // transaction: all or nothing. Every row must pass RowProblem(); the first that does not
  // fails the whole call.
  bool UpsertGames(const std::vector<GameRow>& rows, std::string* error = nullptr);
  // Every row in NAMEFILE order; nullopt on a read error. Values of the wrong type (text in an
  // integer field) read as empty.
  std::optional<std::vector<GameRow>> ReadAllGames(std::string* error = nullptr);

  // Deletes the index `name` (matched without case, as index names are). False when there is
  // no such index; the primary key cannot be deleted.
  bool DeleteIndex(std::string_view name, std::string* error = nullptr);
  // Adds the index `name` on `fields` (field names separated by ';' or ',', matched without
  // case) with NAMEFILE appended as the tie-breaker. The name must be a plain identifier
  // (letters, digits, underscores) and every field one of the six; nothing else reaches SQL.
  // False when the name is taken or a field is unknown.
  bool AddIndex(std::string_view name, std::string_view fields, IndexOptions options,
                std::string* error = nullptr);
  // True when an index of that name (without case) exists.
  bool HasIndex(std::string_view name);

  // The journal mode in force ("wal" or "delete") and the synchronous level (2 = FULL).
  std::string JournalMode();
  int Synchronous();

  // The text of the connection's last error.
  std::string LastError() const;

 private:
  CatalogueDb(std::filesystem::path file, sqlite3* db) : file_(std::move(file)), db_(db) {}
  static std::unique_ptr<CatalogueDb> Connect(const std::filesystem::path& file, bool create,
                                              std::string* error);
  bool CheckSchema(std::string* error);

  std::filesystem::path file_;
  sqlite3* db_ = nullptr;
};

}  // namespace cs
