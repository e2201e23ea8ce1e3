#pragma once
// A prepared statement that finalizes itself; used inside the catalogue only.
#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace cs::catalogue_private {

// Raised by every change made to a catalogue in this process (posts, commits, rollbacks, index
// and bulk changes): a view's row and look-ahead read at an older generation are read again.
inline std::uint64_t& ChangeGeneration() {
  static std::uint64_t generation = 1;
  return generation;
}
inline void NoteChange() { ++ChangeGeneration(); }

class Statement {
 public:
  Statement() = default;
  Statement(sqlite3* db, std::string_view sql) {
    if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr) !=
        SQLITE_OK) {
      stmt_ = nullptr;
    }
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(Statement&& o) noexcept : stmt_(o.stmt_) { o.stmt_ = nullptr; }
  Statement& operator=(Statement&& o) noexcept {
    if (this != &o) {
      sqlite3_finalize(stmt_);
      stmt_ = o.stmt_;
      o.stmt_ = nullptr;
    }
    return *this;
  }

  bool Ok() const { return stmt_ != nullptr; }
  sqlite3_stmt* Get() const { return stmt_; }

  // Resets the statement and clears its bindings, so that it holds no read lock between uses.
  void Reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
  // SQLITE_ROW, SQLITE_DONE or an error code.
  int Step() { return sqlite3_step(stmt_); }

  void BindText(int i, std::string_view s) {
    sqlite3_bind_text(stmt_, i, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
  }
  void BindInt(int i, std::int64_t v) { sqlite3_bind_int64(stmt_, i, v); }
  void BindNull(int i) { sqlite3_bind_null(stmt_, i); }
  void BindOptionalText(int i, const std::optional<std::string>& s) {
    if (s) {
      BindText(i, *s);
    } else {
      BindNull(i);
    }
  }
  template <typename T>
  void BindOptionalInt(int i, const std::optional<T>& v) {
    if (v) {
      BindInt(i, *v);
    } else {
      BindNull(i);
    }
  }

  int ColumnType(int i) const { return sqlite3_column_type(stmt_, i); }
  std::int64_t ColumnInt(int i) const { return sqlite3_column_int64(stmt_, i); }
  std::string ColumnText(int i) const {
    const unsigned char* p = sqlite3_column_text(stmt_, i);
    return p ? std::string(reinterpret_cast<const char*>(p),
                           static_cast<std::size_t>(sqlite3_column_bytes(stmt_, i)))
             : std::string();
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

}  // namespace cs::catalogue_private
