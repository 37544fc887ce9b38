#pragma once
#include "db/datamodule.h"
#include "db/dberror.h"

#include <QString>
#include <memory>

// A fresh database for one test class, copied from the template that scripts/test loads
// with sql/schema.sql, and a data module connected to it through the real ODBC driver as
// the client is after a full-access sign-in: first as the sign-in account, then as the
// login the server hands back for the code. Fixture statements (exec, scalar) run in
// that session with the schema owner's rights (SET ROLE), everything else with the
// login's own. Without a test server (TABEL_TEST_PORT unset or unreachable) it fails.
class TestDatabase {
public:
    // Creates database "<prefix>_<pid>_<n>" and connects a new data module to it.
    explicit TestDatabase(const QString& prefix);
    ~TestDatabase();

    DataModule* dm() const { return dm_.get(); }
    QString name() const { return name_; }
    // The full-access login's connection string of this database.
    QString connectionString() const;
    // The client's first connection string (the sign-in account) for a database.
    static QString connectionStringFor(const QString& database);
    // The test server's administrator (a superuser that makes and drops databases).
    static QString adminConnectionStringFor(const QString& database);
    static int port();

    // Runs statements of a fixture on the test database, as the schema's owner, in the
    // data module's session; throws DbError.
    void exec(const QString& sql) const;
    QVariant scalar(const QString& sql) const;
    // A fixture's statement with values for its named parameters, as exec() runs it.
    SqlRun::Result select(const QString& sql, const SqlRun::Params& params = {}) const;

private:
    // Back to the login's own rights when it goes.
    class RoleBack {
    public:
        explicit RoleBack(const TestDatabase* db) : db_(db) {}
        RoleBack(RoleBack&& other) noexcept : db_(other.db_) { other.db_ = nullptr; }
        RoleBack(const RoleBack&) = delete;
        RoleBack& operator=(const RoleBack&) = delete;
        ~RoleBack();

    private:
        const TestDatabase* db_;
    };
    RoleBack asOwner() const;

    QString name_;
    QString fullAccess_;
    std::unique_ptr<DataModule> dm_;
};
