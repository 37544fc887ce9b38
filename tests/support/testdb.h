#pragma once
#include "db/datamodule.h"
#include "db/dberror.h"

#include <QString>
#include <memory>

// A fresh database for one test class, copied from the template that scripts/test loads
// with sql/schema.sql, and a data module connected to it through the real ODBC driver.
// Without a test server (TABEL_TEST_PORT unset or unreachable) it fails the test.
class TestDatabase {
public:
    // Creates database "<prefix>_<pid>_<n>" and connects a new data module to it.
    explicit TestDatabase(const QString& prefix);
    ~TestDatabase();

    DataModule* dm() const { return dm_.get(); }
    QString name() const { return name_; }
    QString connectionString() const;
    static QString connectionStringFor(const QString& database);
    static int port();

    // Runs statements of a fixture on the test database; throws DbError.
    void exec(const QString& sql) const { dm_->execute(sql); }
    QVariant scalar(const QString& sql) const;

private:
    QString name_;
    std::unique_ptr<DataModule> dm_;
};
