// A small SQLite database file made at test time through the SQLite
// library itself, and read back through a second connection.
#pragma once

#include <sqlite3.h>

#include <string>

#include "tests/platform/rtl/temp_folder.h"

class SQLiteFile {
public:
  // Runs `sql` on a new database file in a fresh folder.
  explicit SQLiteFile(const std::string& sql) : fileName_(folder_ / "test.db") { Exec(sql); }
  const std::string& FileName() const { return fileName_; }
  const TempFolder& Folder() const { return folder_; }

  void Exec(const std::string& sql) const {
    sqlite3* db = nullptr;
    sqlite3_open(fileName_.c_str(), &db);
    sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
  }
  // The first column of the first row of a query, "<null>" for NULL.
  std::string Query(const std::string& sql) const {
    sqlite3* db = nullptr;
    sqlite3_open(fileName_.c_str(), &db);
    sqlite3_stmt* stmt = nullptr;
    std::string result = "<none>";
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW) {
      const auto* text = sqlite3_column_text(stmt, 0);
      result = text ? reinterpret_cast<const char*>(text) : "<null>";
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return result;
  }

private:
  TempFolder folder_;
  std::string fileName_;
};

// The profile texts of the tests: four records of colour names.
inline const char* kColourTable =
    "CREATE TABLE colours (name VARCHAR(20) NOT NULL CHECK (name <> 'forbidden'), amount INTEGER, note TEXT);"
    "INSERT INTO colours VALUES ('Red', 1, 'warm');"
    "INSERT INTO colours VALUES ('red', 2, NULL);"
    "INSERT INTO colours VALUES ('', 3, 'empty');"
    "INSERT INTO colours VALUES ('Blue', 4, 'cold');";
