// A dataset over one table of an SQLite database file.
#pragma once

#include <string>

#include "platform/forms/db.h"

class TSQLiteDataSet : public TDataSet {
  FORMS_CLASS(TSQLiteDataSet)

public:
  explicit TSQLiteDataSet(TComponent* owner);
  ~TSQLiteDataSet() override;
  // The database file; it must exist (opening never creates one).
  const std::string& DatabaseName() const { return databaseName_; }
  void SetDatabaseName(const std::string& name);
  const std::string& TableName() const { return tableName_; }
  void SetTableName(const std::string& name);

protected:
  TTableData InternalOpen() override;
  void InternalClose() override;
  void InternalPost(int64_t key, const std::vector<TFieldValue>& values) override;

private:
  struct Connection;
  std::string databaseName_;
  std::string tableName_;
  std::unique_ptr<Connection> connection_;
};
