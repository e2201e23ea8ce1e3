#include "catalogue/catalogue_view.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>

#include "catalogue/sqlite_statement_private.h"
#include "platform/drive_map.h"

namespace cs {

using catalogue_private::ChangeGeneration;
using catalogue_private::NoteChange;
using catalogue_private::Statement;

namespace {

// How each order sorts: `column` is the field, `key` the expression compared (with its
// collation), `desc` the direction. NAMEFILE (NOCASE by its declaration) breaks ties.
struct OrderSpec {
  const char* name;
  const char* column;
  const char* key;
  bool desc;
  int field;  // the column's place among the six fields
};
constexpr OrderSpec kOrders[] = {
    {"", "NAMEFILE", "NAMEFILE", false, 0},
    {"iNameGame", "NAMEGAME", "NAMEGAME COLLATE NOCASE", false, 1},
    {"iCredits", "CREDITS", "CREDITS", true, 3},
    {"iCoins", "COINS", "COINS", false, 4},
};

constexpr const char* kAllFields = R"(NAMEFILE, NAMEGAME, "GROUP", CREDITS, COINS, Nrplayer)";
constexpr const char* kSelectRow =
    R"(SELECT rowid, NAMEFILE, NAMEGAME, "GROUP", CREDITS, COINS, Nrplayer FROM PARAMS2 WHERE )";

// Rows read ahead by a forward move: a page fill (First and 40 rows) reads the file once.
constexpr std::size_t kLookAhead = 40;

// Statement cache codes.
constexpr int kCodeFirst = 200;
constexpr int kCodeLocate = 320;
constexpr int kCodeRows = 340;
constexpr int kCodePost = 400;

// One piece of a step from a position: the rows of the view after (or before) the position
// fall into at most three runs in the order (the rest of the position's own key, the keys
// beyond it, the empty keys at the far end); each run is one indexed query.
bool StepPiece(int order, bool forward, bool key_null, int piece, std::string* cond,
               std::string* ord) {
  const OrderSpec& o = kOrders[order];
  const std::string col = o.column, key = o.key;
  const char* cmp = forward ? " > ?2" : " < ?2";
  const char* tie = forward ? "NAMEFILE" : "NAMEFILE DESC";
  if (order == 0) {
    if (piece != 0) return false;
    *cond = std::string("NAMEFILE") + cmp;
    *ord = tie;
    return true;
  }
  switch (piece) {
    case 0:
      *cond = (key_null ? col + " IS NULL" : key + " = ?1") + " AND NAMEFILE" + cmp;
      *ord = tie;
      return true;
    case 1: {
      // Toward larger keys when ascending forward or descending backward.
      const bool up = forward != o.desc;
      if (key_null) {
        // Empty keys sort first: from them, forward ascending (or backward descending) goes on
        // to every non-empty key; the other way there is nothing beyond.
        if (!up) return false;
        *cond = col + " IS NOT NULL";
      } else {
        *cond = key + (up ? " > ?1" : " < ?1");
      }
      *ord = key + (up ? ", " : " DESC, ") + tie;
      return true;
    }
    case 2: {
      // The empty keys at the far end: after the last key descending, before the first
      // ascending.
      const bool reaches_nulls = forward == o.desc;
      if (key_null || !reaches_nulls) return false;
      *cond = col + " IS NULL";
      *ord = tie;
      return true;
    }
  }
  return false;
}

CatalogueView::Value ColumnValue(sqlite3_stmt* st, int i) {
  switch (sqlite3_column_type(st, i)) {
    case SQLITE_INTEGER:
      return std::int64_t{sqlite3_column_int64(st, i)};
    case SQLITE_FLOAT:
      return sqlite3_column_double(st, i);
    case SQLITE_TEXT: {
      const unsigned char* p = sqlite3_column_text(st, i);
      return std::string(reinterpret_cast<const char*>(p),
                         static_cast<std::size_t>(sqlite3_column_bytes(st, i)));
    }
    case SQLITE_BLOB: {
      const auto* p = static_cast<const unsigned char*>(sqlite3_column_blob(st, i));
      return std::vector<unsigned char>(p, p + sqlite3_column_bytes(st, i));
    }
    default:
      return std::monostate{};
  }
}

void BindValue(sqlite3_stmt* st, int i, const CatalogueView::Value& v) {
  if (const auto* n = std::get_if<std::int64_t>(&v)) {
    sqlite3_bind_int64(st, i, *n);
  } else if (const auto* d = std::get_if<double>(&v)) {
    sqlite3_bind_double(st, i, *d);
  } else if (const auto* s = std::get_if<std::string>(&v)) {
    sqlite3_bind_text(st, i, s->data(), static_cast<int>(s->size()), SQLITE_TRANSIENT);
  } else if (const auto* b = std::get_if<std::vector<unsigned char>>(&v)) {
    sqlite3_bind_blob(st, i, b->data(), static_cast<int>(b->size()), SQLITE_TRANSIENT);
  } else {
    sqlite3_bind_null(st, i);
  }
}

std::string ValueText(const CatalogueView::Value& v) {
  if (const auto* n = std::get_if<std::int64_t>(&v)) return std::to_string(*n);
  if (const auto* d = std::get_if<double>(&v)) return std::to_string(*d);
  if (const auto* s = std::get_if<std::string>(&v)) return *s;
  if (const auto* b = std::get_if<std::vector<unsigned char>>(&v)) {
    return std::string(b->begin(), b->end());
  }
  return std::string();
}

std::optional<std::int32_t> ValueInt(const CatalogueView::Value& v) {
  if (const auto* n = std::get_if<std::int64_t>(&v)) {
    if (*n >= INT32_MIN && *n <= INT32_MAX) return static_cast<std::int32_t>(*n);
  }
  return std::nullopt;
}

struct ResetOnExit {
  Statement* st;
  ~ResetOnExit() { st->Reset(); }
};

// "GROUP='GR1'" with blanks anywhere between the parts, GROUP in any case.
std::optional<CatalogueFilter> ParseFilter(std::string_view text) {
  std::string t;
  for (char c : text) {
    if (c != ' ' && c != '\t') t += c;
  }
  if (t.size() < 5 || !EqualsNoCase(std::string_view(t).substr(0, 5), "GROUP")) {
    return std::nullopt;
  }
  const std::string_view rest = std::string_view(t).substr(5);
  if (rest == "='GR1'") return CatalogueFilter::kInUse;
  if (rest == "<>'GR1'") return CatalogueFilter::kAvailable;
  return std::nullopt;
}

}  // namespace

CatalogueView::CatalogueView() = default;
CatalogueView::CatalogueView(std::filesystem::path file) : file_(std::move(file)) {}
CatalogueView::~CatalogueView() {
  if (in_transaction_) Rollback();
  statements_.clear();
}

bool CatalogueView::Fail(std::string text) const {
  error_ = std::move(text);
  return false;
}

void CatalogueView::SetFile(std::filesystem::path file) {
  Close();
  if (in_transaction_) Rollback();
  statements_.clear();
  db_.reset();
  file_ = std::move(file);
}

bool CatalogueView::Connect() {
  if (db_) return true;
  std::string why;
  db_ = CatalogueDb::Open(file_, &why);
  if (!db_) return Fail(why);
  return true;
}

Statement* CatalogueView::Prepared(int code, const std::string& sql) const {
  auto it = statements_.find(code);
  if (it != statements_.end()) return it->second.get();
  auto st = std::make_unique<Statement>(db_->Handle(), sql);
  if (!st->Ok()) {
    error_ = db_->LastError();
    return nullptr;
  }
  return statements_.emplace(code, std::move(st)).first->second.get();
}

int CatalogueView::FilterCode() const {
  if (!filtered_) return 0;
  return filter_ == CatalogueFilter::kInUse ? 1 : 2;
}

std::string CatalogueView::FilterSql() const {
  switch (FilterCode()) {
    case 1:
      return R"("GROUP" = 'GR1')";
    case 2:
      return R"("GROUP" IS NOT 'GR1')";
    default:
      return "1";
  }
}

bool CatalogueView::SetFilter(std::string_view text) {
  const auto f = ParseFilter(text);
  if (!f) return Fail("unknown filter: " + std::string(text));
  SetFilter(*f);
  return true;
}

void CatalogueView::SetFilter(CatalogueFilter filter) {
  if (filter == filter_) return;
  PostPending();
  filter_ = filter;
  if (active_ && filtered_ && !Relocate()) First();
}

void CatalogueView::SetFiltered(bool on) {
  if (on == filtered_) return;
  PostPending();
  filtered_ = on;
  if (active_ && !Relocate()) First();
}

bool CatalogueView::SetIndexName(std::string_view name) {
  std::optional<Order> order;
  if (name.empty() || EqualsNoCase(name, "TbIndex1")) order = Order::kPrimary;
  for (int i = 1; i < 4; ++i) {
    if (EqualsNoCase(name, kOrders[i].name)) order = static_cast<Order>(i);
  }
  if (!order) return Fail("unknown index: " + std::string(name));
  if (*order == order_) return true;
  PostPending();
  order_ = *order;
  if (active_ && !Relocate()) First();
  return true;
}

std::string_view CatalogueView::IndexName() const { return kOrders[static_cast<int>(order_)].name; }

bool CatalogueView::Open() {
  if (active_) return true;
  if (!Connect()) return false;
  active_ = true;
  First();
  return true;
}

void CatalogueView::Close() {
  PostPending();
  Cancel();
  active_ = false;
  Unposition();
  eof_ = bof_ = true;
}

bool CatalogueView::Fetch(int code, const std::string& sql, bool bind_key, std::size_t limit,
                          std::vector<Row>* out) const {
  Statement* st = Prepared(code, sql);
  if (!st) return false;
  ResetOnExit reset{st};
  if (bind_key) {
    BindValue(st->Get(), 1, key_);
    st->BindText(2, namefile_);
  }
  st->BindInt(3, static_cast<std::int64_t>(limit));
  int rc;
  while ((rc = st->Step()) == SQLITE_ROW) {
    Row row;
    row.rowid = st->ColumnInt(0);
    for (int i = 0; i < 6; ++i) row.v[i] = ColumnValue(st->Get(), i + 1);
    out->push_back(std::move(row));
  }
  if (rc != SQLITE_DONE) return Fail(db_->LastError());
  return true;
}

void CatalogueView::Land(Row row) {
  current_ = std::move(row);
  current_generation_ = ChangeGeneration();
  key_ = current_.v[kOrders[static_cast<int>(order_)].field];
  namefile_ = ValueText(current_.v[0]);
  positioned_ = on_row_ = true;
  ahead_.clear();
  ahead_valid_ = false;
}

void CatalogueView::LandWithLookAhead(std::vector<Row> rows, bool reaches_end) {
  Row first = std::move(rows.front());
  rows.erase(rows.begin());
  Land(std::move(first));
  std::reverse(rows.begin(), rows.end());
  ahead_ = std::move(rows);
  ahead_reaches_end_ = reaches_end;
  ahead_generation_ = ChangeGeneration();
  ahead_valid_ = true;
}

void CatalogueView::Unposition() {
  positioned_ = on_row_ = false;
  ahead_.clear();
  ahead_valid_ = false;
}

bool CatalogueView::SeekFirst(bool reverse) {
  const int order = static_cast<int>(order_);
  const int code = kCodeFirst + (order * 2 + (reverse ? 1 : 0)) * 3 + FilterCode();
  const OrderSpec& o = kOrders[order];
  std::string sql;
  if (statements_.find(code) == statements_.end()) {
    sql = kSelectRow + FilterSql() + " ORDER BY ";
    if (order == 0) {
      sql += reverse ? "NAMEFILE DESC" : "NAMEFILE";
    } else {
      sql += std::string(o.key) + (o.desc != reverse ? " DESC, " : ", ") +
             (reverse ? "NAMEFILE DESC" : "NAMEFILE");
    }
    sql += " LIMIT ?3";
  }
  const std::size_t want = reverse ? 1 : kLookAhead + 1;
  std::vector<Row> rows;
  if (!Fetch(code, sql, false, want, &rows) || rows.empty()) return false;
  if (reverse) {
    Land(std::move(rows.front()));
  } else {
    const bool reaches_end = rows.size() < want;
    LandWithLookAhead(std::move(rows), reaches_end);
  }
  return true;
}

bool CatalogueView::StepFrom(bool forward) {
  if (forward && on_row_ && ahead_valid_ && ahead_generation_ == ChangeGeneration()) {
    if (ahead_.empty() && ahead_reaches_end_) return false;
    if (!ahead_.empty()) {
      std::vector<Row> rest = std::move(ahead_);
      Row next = std::move(rest.back());
      rest.pop_back();
      const bool reaches_end = ahead_reaches_end_;
      Land(std::move(next));
      ahead_ = std::move(rest);
      ahead_reaches_end_ = reaches_end;
      ahead_generation_ = ChangeGeneration();
      ahead_valid_ = true;
      return true;
    }
  }
  const int order = static_cast<int>(order_);
  const bool key_null = std::holds_alternative<std::monostate>(key_);
  const std::size_t want = forward ? kLookAhead + 1 : 1;
  std::vector<Row> rows;
  for (int piece = 0; piece < 3 && rows.size() < want; ++piece) {
    const int code =
        ((((order * 2) + (forward ? 1 : 0)) * 2 + (key_null ? 1 : 0)) * 3 + piece) * 3 +
        FilterCode();
    std::string sql;
    if (statements_.find(code) == statements_.end()) {
      std::string cond, ord;
      if (!StepPiece(order, forward, key_null, piece, &cond, &ord)) continue;
      sql = kSelectRow + FilterSql() + " AND " + cond + " ORDER BY " + ord + " LIMIT ?3";
    }
    if (!Fetch(code, sql, true, want - rows.size(), &rows)) return false;
  }
  if (rows.empty()) return false;
  if (forward) {
    const bool reaches_end = rows.size() < want;
    LandWithLookAhead(std::move(rows), reaches_end);
  } else {
    Land(std::move(rows.front()));
  }
  return true;
}

bool CatalogueView::First() {
  if (!active_) return Fail("the view is not open");
  if (!PostPending()) return false;
  eof_ = bof_ = false;
  if (SeekFirst(false)) return true;
  Unposition();
  eof_ = bof_ = true;
  return false;
}

bool CatalogueView::Last() {
  if (!active_) return Fail("the view is not open");
  if (!PostPending()) return false;
  eof_ = bof_ = false;
  if (SeekFirst(true)) return true;
  Unposition();
  eof_ = bof_ = true;
  return false;
}

bool CatalogueView::Next() {
  if (!active_) return Fail("the view is not open");
  if (!PostPending()) return false;
  if (!positioned_) {
    // An empty view: rows may have been added through another view since.
    if (SeekFirst(false)) {
      eof_ = bof_ = false;
      return true;
    }
    eof_ = bof_ = true;
    return false;
  }
  const bool was_on_row = on_row_;
  if (StepFrom(true)) {
    eof_ = bof_ = false;
    return true;
  }
  eof_ = true;
  // Past the end the view stands on its last row; from a gap at the end that is the row before.
  if (!(was_on_row && RefreshCurrent()) && !SeekFirst(true)) {
    Unposition();
    bof_ = true;
  }
  return false;
}

bool CatalogueView::Prior() {
  if (!active_) return Fail("the view is not open");
  if (!PostPending()) return false;
  if (!positioned_) {
    if (SeekFirst(true)) {
      eof_ = bof_ = false;
      return true;
    }
    eof_ = bof_ = true;
    return false;
  }
  const bool was_on_row = on_row_;
  if (StepFrom(false)) {
    eof_ = bof_ = false;
    return true;
  }
  bof_ = true;
  if (!(was_on_row && RefreshCurrent()) && !SeekFirst(false)) {
    Unposition();
    eof_ = true;
  }
  return false;
}

bool CatalogueView::Relocate() {
  if (!active_ || !on_row_) return false;
  current_generation_ = 0;
  if (!RefreshCurrent()) return false;
  Land(current_);
  return true;
}

bool CatalogueView::RefreshCurrent() const {
  if (current_generation_ == ChangeGeneration()) return true;
  Statement* st = Prepared(kCodeLocate + FilterCode(),
                           kSelectRow + std::string("rowid = ?1 AND ") + FilterSql());
  if (!st) return false;
  ResetOnExit reset{st};
  st->BindInt(1, current_.rowid);
  const int rc = st->Step();
  if (rc != SQLITE_ROW) {
    return Fail(rc == SQLITE_DONE ? "the current row has left the view" : db_->LastError());
  }
  for (int i = 0; i < 6; ++i) current_.v[i] = ColumnValue(st->Get(), i + 1);
  current_generation_ = ChangeGeneration();
  return true;
}

bool CatalogueView::ReadCurrent(Value out[6]) const {
  if (!active_) return Fail("the view is not open");
  if (!on_row_) return Fail("no current row");
  if (!RefreshCurrent()) return false;
  for (int i = 0; i < 6; ++i) out[i] = pending_[i] ? *pending_[i] : current_.v[i];
  return true;
}

std::optional<std::string> CatalogueView::ReadText(CatalogueField field) const {
  Value row[6];
  if (!ReadCurrent(row)) return std::nullopt;
  return ValueText(row[static_cast<int>(field)]);
}

std::optional<std::int32_t> CatalogueView::ReadInt(CatalogueField field) const {
  Value row[6];
  if (!ReadCurrent(row)) return std::nullopt;
  const auto v = ValueInt(row[static_cast<int>(field)]);
  if (!v) error_ = std::string(FieldName(field)) + " is not an integer";
  return v;
}

bool CatalogueView::IsNull(CatalogueField field) const {
  Value row[6];
  return ReadCurrent(row) && std::holds_alternative<std::monostate>(row[static_cast<int>(field)]);
}

namespace {
GameRow RowFrom(const CatalogueView::Value v[6]) {
  GameRow r;
  r.NAMEFILE = ValueText(v[0]);
  auto text = [](const CatalogueView::Value& x) -> std::optional<std::string> {
    if (std::holds_alternative<std::monostate>(x)) return std::nullopt;
    return ValueText(x);
  };
  r.NAMEGAME = text(v[1]);
  r.GROUP = text(v[2]);
  r.CREDITS = ValueInt(v[3]);
  r.COINS = ValueInt(v[4]);
  r.Nrplayer = ValueInt(v[5]);
  return r;
}
}  // namespace

std::optional<GameRow> CatalogueView::CurrentRow() const {
  Value row[6];
  if (!ReadCurrent(row)) return std::nullopt;
  return RowFrom(row);
}

std::vector<GameRow> CatalogueView::Rows(std::size_t max) const {
  std::vector<GameRow> rows;
  if (!active_) {
    Fail("the view is not open");
    return rows;
  }
  const int order = static_cast<int>(order_);
  const OrderSpec& o = kOrders[order];
  std::string ord = order == 0 ? std::string("NAMEFILE")
                               : std::string(o.key) + (o.desc ? " DESC" : "") + ", NAMEFILE";
  Statement* st = Prepared(kCodeRows + order * 3 + FilterCode(),
                           std::string("SELECT ") + kAllFields + " FROM PARAMS2 WHERE " +
                               FilterSql() + " ORDER BY " + ord + " LIMIT ?1");
  if (!st) return rows;
  ResetOnExit reset{st};
  st->BindInt(1, max > static_cast<std::size_t>(INT64_MAX) ? -1 : static_cast<std::int64_t>(max));
  int rc;
  while ((rc = st->Step()) == SQLITE_ROW) {
    Value v[6];
    for (int i = 0; i < 6; ++i) v[i] = ColumnValue(st->Get(), i);
    rows.push_back(RowFrom(v));
  }
  if (rc != SQLITE_DONE) error_ = db_->LastError();
  return rows;
}

bool CatalogueView::Edit() {
  if (editing_) return true;
  if (!active_) return Fail("the view is not open");
  if (!on_row_) return Fail("no current row");
  current_generation_ = 0;  // edit the row as it is in the file now
  if (!RefreshCurrent()) return false;
  editing_ = true;
  for (auto& p : pending_) p.reset();
  return true;
}

bool CatalogueView::SetText(CatalogueField field, std::string_view text) {
  if (!editing_) return Fail("not editing");
  if (!IsTextField(field)) return Fail(std::string(FieldName(field)) + " holds an integer");
  if (text.empty() && field != CatalogueField::NAMEFILE) return SetNull(field);
  if (auto p = TextFieldProblem(field, text)) return Fail(*p);
  pending_[static_cast<int>(field)] = Value(std::string(text));
  return true;
}

bool CatalogueView::SetInt(CatalogueField field, std::int64_t value) {
  if (!editing_) return Fail("not editing");
  if (auto p = IntegerFieldProblem(field, value)) return Fail(*p);
  pending_[static_cast<int>(field)] = Value(value);
  return true;
}

bool CatalogueView::SetNull(CatalogueField field) {
  if (!editing_) return Fail("not editing");
  if (field == CatalogueField::NAMEFILE) return Fail("NAMEFILE cannot be empty");
  pending_[static_cast<int>(field)] = Value(std::monostate{});
  return true;
}

void CatalogueView::Cancel() {
  editing_ = false;
  for (auto& p : pending_) p.reset();
}

bool CatalogueView::PostPending() { return !editing_ || Post(); }

bool CatalogueView::Post() {
  if (!editing_) return Fail("not editing");
  int mask = 0;
  for (int i = 0; i < 6; ++i) {
    if (pending_[i]) mask |= 1 << i;
  }
  if (mask == 0) {
    Cancel();
    return true;
  }
  std::string sql = "UPDATE PARAMS2 SET ";
  for (int i = 0, n = 0; i < 6; ++i) {
    if (!(mask & (1 << i))) continue;
    if (n++) sql += ", ";
    sql += "\"" + std::string(FieldName(static_cast<CatalogueField>(i))) + "\" = ?" +
           std::to_string(i + 1);
  }
  sql += " WHERE rowid = ?7";
  Statement* st = Prepared(kCodePost + mask, sql);
  if (!st) return false;
  {
    ResetOnExit reset{st};
    for (int i = 0; i < 6; ++i) {
      if (pending_[i]) BindValue(st->Get(), i + 1, *pending_[i]);
    }
    st->BindInt(7, current_.rowid);
    const int rc = st->Step();
    NoteChange();
    if (rc != SQLITE_DONE) return Fail(db_->LastError());
    if (sqlite3_changes(db_->Handle()) == 0) return Fail("the current row no longer exists");
  }
  Cancel();
  // Still in the view: follow the row to its new place. Left the view: stay in the gap at its
  // old place (key_ and namefile_ unchanged).
  if (!Relocate()) {
    on_row_ = false;
    ahead_.clear();
    ahead_valid_ = false;
  }
  eof_ = bof_ = false;
  return true;
}

bool CatalogueView::DeleteIndex(std::string_view name) {
  if (!Connect()) return false;
  std::string why;
  if (!db_->DeleteIndex(name, &why)) return Fail(why);
  return true;
}

bool CatalogueView::AddIndex(std::string_view name, std::string_view fields, IndexOptions options) {
  if (!Connect()) return false;
  std::string why;
  if (!db_->AddIndex(name, fields, options, &why)) return Fail(why);
  return true;
}

bool CatalogueView::StartTransaction() {
  if (in_transaction_) return Fail("a transaction is open");
  if (!Connect()) return false;
  std::string why;
  if (!db_->Exec("BEGIN IMMEDIATE", &why)) return Fail(why);
  in_transaction_ = true;
  return true;
}

bool CatalogueView::Commit() {
  if (!in_transaction_) return Fail("no transaction");
  if (!PostPending()) return false;
  std::string why;
  if (!db_->Exec("COMMIT", &why)) return Fail(why);
  in_transaction_ = false;
  return true;
}

void CatalogueView::Rollback() {
  if (!in_transaction_) return;
  Cancel();
  if (!sqlite3_get_autocommit(db_->Handle())) db_->Exec("ROLLBACK");
  NoteChange();
  in_transaction_ = false;
  if (active_) First();
}

}  // namespace cs
