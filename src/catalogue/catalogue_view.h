#pragma once
// A view of the game catalogue: the main window's `Tb`, the settings screen's `Table1` and
// `Table2`. Each view is a table object of its own on the file (its own connection); a row
// posted through one view is in the file at once, and every other view sees it at its next move
// or read.
//
// Order. The active index decides the order: "iCredits" (CREDITS descending, empty counts
// last), "iNameGame" (NAMEGAME without case), "iCoins" (COINS, empty first) or the primary
// index ("" or "TbIndex1": NAMEFILE). Rows equal in the index are ordered by NAMEFILE, so every
// order is total and the same at every walk.
//
// Filter. "GROUP='GR1'" (games in use) or "GROUP<>'GR1'" (every other row, empty GROUP
// included), applied while the filter is switched on. These two texts are the only filters;
// filter text never reaches SQL.
//
// Position. A view stands on a row, or (after its row left it) in the gap where that row was.
//   - Open() and First() go to the first row, Last() to the last; on an empty view there is no
//     row and Eof() and Bof() are both true.
//   - Next() goes to the row after the position. From the last row it returns false, sets
//     Eof() and stays on the last row; so row k is reached by First() and k times Next(), and a
//     walk past the end stands on the last row with Eof() true. Prior() is the mirror (Bof()).
//     Any move that finds a row clears both flags.
//   - Post() of a row that still passes the filter leaves the view on that row, at the row's new
//     place in the order (CountPlay's row moves up the play-count order and stays current).
//   - Post() of a row that no longer passes the filter (GROUP changed) leaves the view in the
//     gap at the row's old place: there is no current row (reads and Edit() fail), Prior() goes
//     to the row that came before it and Next() to the row that came after it. So "post, move
//     to the previous row" on the last row of iCredits walks the least played games upward one
//     after another, and "post, next" walks forward without skipping a row.
//   - A row changed through another view of this process: this view reads the row as it now
//     is, while it still passes this view's filter (else reads fail, as for a deleted row);
//     moves go on from the place where this view last saw it. A change made by another process
//     reaches a view at its next move that reads the file (First() and Last() always do).
//   - Changing the index or the filter of an open view keeps it on its row when the row passes
//     the new filter, else goes to the first row.
//
// Editing. Edit() begins editing the current row (never adds a row: without a current row it
// fails); SetText/SetInt/SetNull change fields of the edit; reads show the edit; Post() writes
// the changed fields in one statement (durable at once unless inside a transaction), Cancel()
// drops them. A move, an index or filter change or Close() while editing posts first.
//
// Errors never throw: a failing call returns false or nullopt and LastError() says why.
// Main thread only.
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "catalogue/catalogue_db.h"
#include "catalogue/game_row.h"

namespace cs {

namespace catalogue_private {
class Statement;
}

enum class CatalogueFilter {
  kInUse,      // "GROUP='GR1'"
  kAvailable,  // "GROUP<>'GR1'"
};

class CatalogueView {
 public:
  CatalogueView();
  explicit CatalogueView(std::filesystem::path file);
  ~CatalogueView();
  CatalogueView(const CatalogueView&) = delete;
  CatalogueView& operator=(const CatalogueView&) = delete;

  // The catalogue file (PARAMS2.DAT resolved through the drive map). Changing it closes the
  // view and its connection.
  void SetFile(std::filesystem::path file);
  const std::filesystem::path& File() const { return file_; }

  // The filter text: "GROUP='GR1'" or "GROUP<>'GR1'" (blanks around the parts and the case of
  // GROUP do not matter). False, nothing changed, for any other text.
  bool SetFilter(std::string_view text);
  void SetFilter(CatalogueFilter filter);
  CatalogueFilter Filter() const { return filter_; }
  // Switches the filter on (only matching rows are seen) or off (every row). Off at creation.
  void SetFiltered(bool on);
  bool Filtered() const { return filtered_; }

  // Sets the active index: "iCredits", "iNameGame", "iCoins" (without case, so "ICOINS" too)
  // or the primary index ("" or "TbIndex1"). False, nothing changed, for any other name.
  // The order does not depend on the index being present in the file; the index makes it fast.
  bool SetIndexName(std::string_view name);
  // The canonical name of the active index ("" for the primary).
  std::string_view IndexName() const;

  // Opens the view on its first row. False when the file is missing, unreadable or not a
  // catalogue (LastError() says which). Opening an open view does nothing.
  bool Open();
  // Ends the view: reads and moves fail until the next Open(). The connection stays, so a
  // transaction begun before survives a close and reopen.
  void Close();
  bool Active() const { return active_; }

  bool First();
  bool Last();
  // True when it moved to another row; see Position above.
  bool Next();
  bool Prior();
  bool Eof() const { return eof_; }
  bool Bof() const { return bof_; }
  // True while the view stands on a row (not in a gap, not empty, open).
  bool HasRow() const { return active_ && on_row_; }

  // The field of the current row as text (an empty field reads as ""); nullopt without a
  // readable current row.
  std::optional<std::string> ReadText(CatalogueField field) const;
  // The field as an integer; nullopt without a readable current row, for an empty (NULL) field
  // and for a value that is not an integer.
  std::optional<std::int32_t> ReadInt(CatalogueField field) const;
  // True when the current row is readable and the field is empty.
  bool IsNull(CatalogueField field) const;
  // The whole current row (the game list grid); nullopt without a readable current row.
  std::optional<GameRow> CurrentRow() const;
  // Up to `max` rows of the view in its order from the first, without moving the view.
  std::vector<GameRow> Rows(std::size_t max = SIZE_MAX) const;

  bool Edit();
  bool Editing() const { return editing_; }
  // Set a field of the edit. False (edit unchanged) when not editing, for a text value on an
  // integer field or the reverse, or for a value the field cannot hold (game_row.h). Empty text
  // makes NAMEGAME or GROUP empty (NULL); NAMEFILE cannot be empty.
  bool SetText(CatalogueField field, std::string_view text);
  bool SetInt(CatalogueField field, std::int64_t value);
  bool SetNull(CatalogueField field);
  // Writes the edit. False (still editing) on a write error or a NAMEFILE that another row has.
  bool Post();
  void Cancel();

  // Index maintenance on the file (also while closed; opens the connection if needed).
  bool DeleteIndex(std::string_view name);
  bool AddIndex(std::string_view name, std::string_view fields, IndexOptions options);

  // Groups the following posts into one atomic, durable commit (the rotation). Rollback()
  // undoes them; the view then goes to its first row.
  bool StartTransaction();
  bool Commit();
  void Rollback();
  bool InTransaction() const { return in_transaction_; }

  const std::string& LastError() const { return error_; }

  // A field value as the file holds it: empty, integer, real, text, blob.
  using Value =
      std::variant<std::monostate, std::int64_t, double, std::string, std::vector<unsigned char>>;

 private:
  enum class Order { kPrimary, kNameGame, kCredits, kCoins };
  // A row as read: its rowid and its six fields.
  struct Row {
    std::int64_t rowid = 0;
    Value v[6];
  };

  bool Connect();
  catalogue_private::Statement* Prepared(int code, const std::string& sql) const;
  // Runs a positioning query, appending up to `limit` rows in order to `out`.
  bool Fetch(int code, const std::string& sql, bool bind_key, std::size_t limit,
             std::vector<Row>* out) const;
  // Stands on `row`; the rows after it (when known) become the look-ahead.
  void Land(Row row);
  void LandWithLookAhead(std::vector<Row> rows, bool reaches_end);
  void Unposition();
  bool SeekFirst(bool reverse);
  bool StepFrom(bool forward);
  bool Relocate();
  bool PostPending();
  // The current row (with the edit applied) when it still passes the filter.
  bool ReadCurrent(Value out[6]) const;
  bool RefreshCurrent() const;
  int FilterCode() const;
  std::string FilterSql() const;
  bool Fail(std::string text) const;

  std::filesystem::path file_;
  std::unique_ptr<CatalogueDb> db_;
  CatalogueFilter filter_ = CatalogueFilter::kInUse;
  bool filtered_ = false;
  Order order_ = Order::kPrimary;
  bool active_ = false;

  // Position: the current row as read when the view arrived on it (re-read after a change made
  // in this process), or the place of the row that left the view.
  bool positioned_ = false;  // on a row or in a gap
  bool on_row_ = false;
  mutable Row current_;
  mutable std::uint64_t current_generation_ = 0;
  Value key_;             // the order's field at the position
  std::string namefile_;  // NAMEFILE at the position
  bool eof_ = true;
  bool bof_ = true;

  // The rows after the current one, read with it, while nothing changed in this process; a
  // walk with Next() reads the file once per kLookAhead rows.
  std::vector<Row> ahead_;  // in reverse order: back() comes next
  bool ahead_reaches_end_ = false;
  std::uint64_t ahead_generation_ = 0;
  bool ahead_valid_ = false;

  bool editing_ = false;
  std::optional<Value> pending_[6];

  bool in_transaction_ = false;
  mutable std::string error_;
  mutable std::map<int, std::unique_ptr<catalogue_private::Statement>> statements_;
};

}  // namespace cs
