#include "core/roles.h"
#include "db/connectionstring.h"
#include "db/datamodule.h"
#include "ownserver.h"
#include "support/testdb.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// A plant database moved as an administrator moves one: pg_dump of the test server's
// database, restored under another name into a server of the test's own that checks
// passwords, then tabel-setup-server --upgrade. Every access code then signs in there
// through the program's own sign-in, with the logins the moved database hands out.
class MovedDatabaseTest : public QObject {
    Q_OBJECT
    std::unique_ptr<TestDatabase> source;
    std::unique_ptr<OwnServer> server;
    QTemporaryDir files;
    const QString moved = QStringLiteral("moved_plant");
    QString upgradeSaid;

    // Runs a program to its end; its output, or a failure with the output.
    static QString run(const QString& program, const QStringList& args, const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
    {
        QProcess p;
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(program, args);
        const bool ok = p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        const QString out = QString::fromLocal8Bit(p.readAll());
        if (!ok)
            throw std::runtime_error((program + QStringLiteral(" failed: ") + out).toStdString());
        return out;
    }
    // The own server's administrator through its socket.
    QProcessEnvironment ownAdmin() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PGHOST"), server->folder());
        env.insert(QStringLiteral("PGUSER"), QStringLiteral("postgres"));
        env.insert(QStringLiteral("PGPORT"), QString::number(server->port()));
        return env;
    }
    // Signs in with the code at the moved database and connects with the login handed out.
    QString signInThere(const QString& code, Role* role = nullptr) const
    {
        DataModule dm;
        const QString signIn = ConnectionString::compose(moved, QStringLiteral("127.0.0.1"), server->port());
        if (!dm.connectTo(signIn))
            return QStringLiteral("sign-in account: ") + dm.lastError();
        const Roles::SignInAnswer answer = Roles::signIn(dm, code);
        if (role)
            *role = answer.role;
        if (!dm.connectTo(ConnectionString::withAccount(signIn, answer.account)))
            return QStringLiteral("login %1: %2").arg(answer.account.user, dm.lastError());
        return dm.select(QStringLiteral("select count(*) from accounts_dep.smena")).rows.first().value(0).toString();
    }

private slots:
    void initTestCase()
    {
        source = std::make_unique<TestDatabase>(QStringLiteral("moving"));
        // As tabel-setup-server makes a plant's database: every schema change recorded.
        source->exec(QStringLiteral("create table accounts_dep.schema_migration(name varchar(100) primary key, "
                                    "applied timestamp with time zone not null default now())"));
        const QDir changes(qEnvironmentVariable("TABEL_SOURCE_DIR") + QStringLiteral("/sql/migrations"));
        for (const QString& file : changes.entryList({QStringLiteral("*.sql")}, QDir::Files))
            source->exec(QStringLiteral("insert into accounts_dep.schema_migration(name) values ('%1')").arg(file.chopped(4)));
        const QString dump = files.filePath(QStringLiteral("plant.dump"));
        QProcessEnvironment asSys = QProcessEnvironment::systemEnvironment();
        asSys.insert(QStringLiteral("PGPASSWORD"), QStringLiteral("plomvux"));
        run(QStringLiteral("pg_dump"), {QStringLiteral("-Fc"), QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                                        QString::number(TestDatabase::port()), QStringLiteral("-U"), QStringLiteral("sys"),
                                        QStringLiteral("-d"), source->name(), QStringLiteral("-f"), dump},
            asSys);

        // Another server, which has the program's roles (its own template was made from the
        // schema) and lets a login in only with its password.
        server = std::make_unique<OwnServer>();
        QFile hba(server->folder() + QStringLiteral("/pgdata/pg_hba.conf"));
        QVERIFY(hba.open(QIODevice::WriteOnly | QIODevice::Truncate));
        hba.write("local all all trust\nhost all all 127.0.0.1/32 scram-sha-256\n");
        hba.close();
        server->admin(QStringLiteral("postgres"), QStringLiteral("select pg_reload_conf()"));
        server->admin(QStringLiteral("postgres"), QStringLiteral("create database %1 template template0 encoding 'UTF8' "
                                                                 "locale_provider icu icu_locale 'ru-RU'").arg(moved));
        run(QStringLiteral("pg_restore"), {QStringLiteral("-d"), moved, QStringLiteral("--exit-on-error"), dump}, ownAdmin());

        // Restored, it hands out the logins of the database it came from: refused here.
        QVERIFY(signInThere(QStringLiteral("0583")).startsWith(QStringLiteral("login ")));

        upgradeSaid = run(qEnvironmentVariable("TABEL_SOURCE_DIR") + QStringLiteral("/scripts/tabel-setup-server"),
                          {QStringLiteral("--upgrade"), QStringLiteral("--database"), moved, QStringLiteral("--port"),
                           QString::number(server->port())},
                          ownAdmin());
    }

    void cleanupTestCase()
    {
        server.reset();
        source.reset();
    }

    void theUpgradeSaysWhatItGave()
    {
        QVERIFY2(upgradeSaid.contains(QStringLiteral("получила свои учетные записи ролей (4)")), qPrintable(upgradeSaid));
        QVERIFY2(!upgradeSaid.contains(QStringLiteral("новых изменений нет")), qPrintable(upgradeSaid));
    }

    void everyCodeSignsIn_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("role");
        QTest::newRow("planner") << QStringLiteral("brivel") << int(Role::Planner);
        QTest::newRow("foreman") << QStringLiteral("quolbin") << int(Role::Foreman);
        QTest::newRow("storekeeper") << QStringLiteral("fumpo") << int(Role::Storekeeper);
        QTest::newRow("full") << QStringLiteral("61370327") << int(Role::FullAccess);
        QTest::newRow("full, second code") << QStringLiteral("0583") << int(Role::FullAccess);
    }
    void everyCodeSignsIn()
    {
        QFETCH(QString, code);
        QFETCH(int, role);
        Role given = Role::None;
        QCOMPARE(signInThere(code, &given), QStringLiteral("0"));
        QCOMPARE(int(given), role);
    }

    // The logins handed out are the moved database's own; a second upgrade leaves them.
    void theLoginsAreTheDatabasesOwn()
    {
        const QString logins = run(QStringLiteral("psql"), {QStringLiteral("-X"), QStringLiteral("-tA"), QStringLiteral("-d"), moved,
                                                            QStringLiteral("-c"),
                                                            QStringLiteral("select string_agg(login, ' ' order by login) from accounts_dep.role_login")},
                                   ownAdmin());
        QCOMPARE(logins.trimmed(), QStringLiteral("tabel_foreman_moved_plant tabel_full_moved_plant tabel_planner_moved_plant "
                                                  "tabel_storekeeper_moved_plant"));
        const QString again = run(qEnvironmentVariable("TABEL_SOURCE_DIR") + QStringLiteral("/scripts/tabel-setup-server"),
                                  {QStringLiteral("--upgrade"), QStringLiteral("--database"), moved, QStringLiteral("--port"),
                                   QString::number(server->port())},
                                  ownAdmin());
        QVERIFY2(again.contains(QStringLiteral("новых изменений нет")), qPrintable(again));
        QCOMPARE(signInThere(QStringLiteral("quolbin")), QStringLiteral("0"));
    }
};

QTEST_MAIN(MovedDatabaseTest)
#include "tst_moveddatabase.moc"
