// The SQLite dataset: the table's columns become fields by their declared
// types, its rows the records (keyed by rowid), and a posted record one
// UPDATE of its row.
#include "platform/forms/dbsqlite.h"

#include <sqlite3.h>

#include "platform/forms/properties.h"
#include "platform/rtl/sysutils.h"

struct TSQLiteDataSet::Connection {
  sqlite3* Db = nullptr;
  ~Connection() { sqlite3_close(Db); }
};

namespace {

// A prepared statement, finalised on every path.
class Statement {
public:
  Statement(sqlite3* db, const std::string& sql) : db_(db) {
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr) != SQLITE_OK) Fail();
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  // True while rows come; raises on an error.
  bool Step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc != SQLITE_DONE) Fail();
    return false;
  }
  TFieldValue Text(int column) const {
    if (sqlite3_column_type(stmt_, column) == SQLITE_NULL) return std::nullopt;
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return std::string(text ? text : "", static_cast<size_t>(sqlite3_column_bytes(stmt_, column)));
  }
  int64_t Int(int column) const { return sqlite3_column_int64(stmt_, column); }
  int Columns() const { return sqlite3_column_count(stmt_); }
  void Bind(int index, const TFieldValue& value) {
    const int rc = value ? sqlite3_bind_text(stmt_, index, value->c_str(), static_cast<int>(value->size()),
                                             SQLITE_TRANSIENT)
                         : sqlite3_bind_null(stmt_, index);
    if (rc != SQLITE_OK) Fail();
  }
  void Bind(int index, int64_t value) {
    if (sqlite3_bind_int64(stmt_, index, value) != SQLITE_OK) Fail();
  }

private:
  [[noreturn]] void Fail() const { throw EDatabaseError(sqlite3_errmsg(db_)); }
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

std::string Quoted(const std::string& name) {
  std::string out = "\"";
  for (char c : name) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

// The field type and size of a declared column type ("VARCHAR(20)").
void FieldTypeOf(const std::string& declared, TFieldType& type, int32_t& size) {
  const std::string upper = UpperCase(declared);
  size = 0;
  const size_t open = upper.find('(');
  if (open != std::string::npos) size = std::max(0, StrToIntDef(upper.substr(open + 1, upper.find_first_of(",)", open) - open - 1), 0));
  if (upper.find("INT") != std::string::npos) type = ftInteger, size = 0;
  else if (upper.find("REAL") != std::string::npos || upper.find("FLOA") != std::string::npos ||
           upper.find("DOUB") != std::string::npos)
    type = ftFloat, size = 0;
  else if (upper.find("BOOL") != std::string::npos) type = ftBoolean, size = 0;
  else if (upper.find("NCHAR") != std::string::npos || upper.find("NVARCHAR") != std::string::npos)
    type = ftWideString;
  else if (upper.find("CHAR") != std::string::npos) type = ftString;
  else type = size > 0 ? ftString : ftMemo;
}

}  // namespace

const TClassInfo& TSQLiteDataSet::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TSQLiteDataSet>(
      "TSQLiteDataSet", &TDataSet::StaticClassInfo(), [](TPublished<TSQLiteDataSet>& p) {
        p.String("DatabaseName", &TSQLiteDataSet::DatabaseName, &TSQLiteDataSet::SetDatabaseName)
            .String("TableName", &TSQLiteDataSet::TableName, &TSQLiteDataSet::SetTableName);
      });
  return info;
}

TSQLiteDataSet::TSQLiteDataSet(TComponent* owner) : TDataSet(owner) {}

TSQLiteDataSet::~TSQLiteDataSet() = default;

void TSQLiteDataSet::SetDatabaseName(const std::string& name) {
  if (Active()) throw EDatabaseError("Cannot change the database of an open dataset");
  databaseName_ = name;
}

void TSQLiteDataSet::SetTableName(const std::string& name) {
  if (Active()) throw EDatabaseError("Cannot change the table of an open dataset");
  tableName_ = name;
}

TDataSet::TTableData TSQLiteDataSet::InternalOpen() {
  auto connection = std::make_unique<Connection>();
  if (sqlite3_open_v2(databaseName_.c_str(), &connection->Db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
    throw EDatabaseError("Cannot open database \"" + databaseName_ + "\": " +
                         (connection->Db ? sqlite3_errmsg(connection->Db) : "out of memory"));
  TTableData data;
  std::string columns;
  {
    Statement info(connection->Db, "PRAGMA table_info(" + Quoted(tableName_) + ")");
    while (info.Step()) {
      const std::string name = info.Text(1).value_or("");
      TFieldType type;
      int32_t size;
      FieldTypeOf(info.Text(2).value_or(""), type, size);
      data.Fields.push_back(MakeField(name, type, size, static_cast<int32_t>(data.Fields.size())));
      columns += ", " + Quoted(name);
    }
  }
  if (data.Fields.empty()) throw EDatabaseError("Table \"" + tableName_ + "\" not found");
  Statement rows(connection->Db, "SELECT rowid" + columns + " FROM " + Quoted(tableName_) + " ORDER BY rowid");
  while (rows.Step()) {
    data.Keys.push_back(rows.Int(0));
    std::vector<TFieldValue> record;
    for (int i = 1; i < rows.Columns(); ++i) record.push_back(rows.Text(i));
    data.Records.push_back(std::move(record));
  }
  connection_ = std::move(connection);
  return data;
}

void TSQLiteDataSet::InternalClose() { connection_.reset(); }

void TSQLiteDataSet::InternalPost(int64_t key, const std::vector<TFieldValue>& values) {
  std::string assignments;
  for (int32_t i = 0; i < FieldCount(); ++i)
    assignments += (i ? ", " : "") + Quoted(Fields(i)->FieldName()) + " = ?";
  Statement update(connection_->Db, "UPDATE " + Quoted(tableName_) + " SET " + assignments + " WHERE rowid = ?");
  for (int32_t i = 0; i < FieldCount(); ++i) update.Bind(i + 1, values[i]);
  update.Bind(FieldCount() + 1, key);
  update.Step();
}
