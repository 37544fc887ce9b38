#include "support/testdb.h"

#include "core/roles.h"
#include "db/connectionstring.h"
#include "db/dberror.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>
#include <stdexcept>

namespace {

void runAdmin(const QString& sql)
{
    const QString name = QStringLiteral("tabel_admin");
    {
        QSqlDatabase admin = QSqlDatabase::contains(name) ? QSqlDatabase::database(name, false)
                                                          : QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name);
        // A test that makes servers of its own one after another points it at each; one
        // that killed its server finds this connection dead.
        const QString wanted = TestDatabase::adminConnectionStringFor(QStringLiteral("postgres"));
        if (admin.databaseName() != wanted || (admin.isOpen() && !QSqlQuery(admin).exec(QStringLiteral("select 1"))))
            admin.close();
        if (!admin.isOpen()) {
            admin.setDatabaseName(wanted);
            if (!admin.open())
                throw std::runtime_error(("test server unreachable: " + admin.lastError().text()).toStdString());
        }
        QSqlQuery q(admin);
        if (!q.exec(sql))
            throw std::runtime_error((sql + ": " + q.lastError().text()).toStdString());
    }
}

}

int TestDatabase::port()
{
    bool ok = false;
    const int p = qEnvironmentVariableIntValue("TABEL_TEST_PORT", &ok);
    if (!ok)
        throw std::runtime_error("TABEL_TEST_PORT is not set: run the tests through scripts/test");
    return p;
}

QString TestDatabase::connectionStringFor(const QString& database)
{
    return ConnectionString::compose(database, QStringLiteral("127.0.0.1"), port());
}

QString TestDatabase::adminConnectionStringFor(const QString& database)
{
    return ConnectionString::compose(database, QStringLiteral("127.0.0.1"), port(),
                                     {QStringLiteral("sys"), QStringLiteral("plomvux")});
}

TestDatabase::TestDatabase(const QString& prefix)
{
    static int counter = 0;
    name_ = QStringLiteral("%1_%2_%3").arg(prefix.toLower()).arg(QCoreApplication::applicationPid()).arg(++counter);
    const QString templ = qEnvironmentVariable("TABEL_TEST_TEMPLATE", QStringLiteral("tabel_template"));
    runAdmin(QStringLiteral("drop database if exists %1").arg(name_));
    // Owned, as the template is, by the schema's owner role.
    runAdmin(QStringLiteral("create database %1 template %2 owner tabel_owner").arg(name_, templ));
    // Settings of a database are not copied with it.
    runAdmin(QStringLiteral("alter database %1 set datestyle = 'ISO, DMY'").arg(name_));
    dm_ = std::make_unique<DataModule>();
    if (!dm_->connectTo(connectionStringFor(name_)))
        throw std::runtime_error(("cannot connect to the test database: " + dm_->lastError()).toStdString());
    const Roles::SignInAnswer answer = Roles::signIn(*dm_, QStringLiteral("0583"));
    if (answer.role != Role::FullAccess)
        throw std::runtime_error(("the full-access code is refused: " + answer.refusal).toStdString());
    fullAccess_ = ConnectionString::withAccount(connectionStringFor(name_), answer.account);
    if (!dm_->connectTo(fullAccess_))
        throw std::runtime_error(("cannot connect as the full-access login: " + dm_->lastError()).toStdString());
}

TestDatabase::~TestDatabase()
{
    dm_.reset();
    try {
        runAdmin(QStringLiteral("drop database if exists %1").arg(name_));
    } catch (...) {
    }
}

QString TestDatabase::connectionString() const
{
    return fullAccess_;
}

// Switches the session to the owner's rights until the returned guard goes. Read as a
// query, so that on a broken connection it fails as a read does and sends nothing twice.
TestDatabase::RoleBack TestDatabase::asOwner() const
{
    dm_->select(QStringLiteral("select set_config('role', 'tabel_owner', false)"));
    return RoleBack(this);
}

TestDatabase::RoleBack::~RoleBack()
{
    try {
        if (db_ && db_->dm_ && db_->dm_->isConnected() && !db_->dm_->isConnectionBroken())
            db_->dm_->select(QStringLiteral("select set_config('role', 'none', false)"));
    } catch (const DbError&) {
    }
}

void TestDatabase::exec(const QString& sql) const
{
    // The cluster's roles are the server administrator's, not the schema owner's.
    static const QRegularExpression roleStatement(QStringLiteral("^\\s*(alter|create|drop)\\s+role\\b"),
                                                  QRegularExpression::CaseInsensitiveOption);
    if (roleStatement.match(sql).hasMatch()) {
        runAdmin(sql);
        return;
    }
    const auto back = asOwner();
    dm_->execute(sql);
}

SqlRun::Result TestDatabase::select(const QString& sql, const SqlRun::Params& params) const
{
    const auto back = asOwner();
    return dm_->select(sql, params);
}

QVariant TestDatabase::scalar(const QString& sql) const
{
    const SqlRun::Result r = select(sql);
    return r.rows.isEmpty() ? QVariant() : r.rows.first().value(0);
}
