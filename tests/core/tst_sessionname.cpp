#include "core/sessionname.h"
#include "support/testdb.h"

#include <QSqlDatabase>
#include <QSqlQuery>

#include <QtTest>

// The name the client gives its connection, and what the server keeps of it.
class SessionNameTest : public QObject {
    Q_OBJECT
private slots:
    void composed_data()
    {
        QTest::addColumn<int>("role");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("title");
        QTest::newRow("before login") << int(Role::None) << "Tabel 20221121.74593" << "Табель, сборка 20221121.74593";
        QTest::newRow("planner") << int(Role::Planner) << "Tabel 20221121.74593 planner" << "Табель, сборка 20221121.74593, планировщик";
        QTest::newRow("foreman") << int(Role::Foreman) << "Tabel 20221121.74593 foreman" << "Табель, сборка 20221121.74593, мастер";
        QTest::newRow("storekeeper") << int(Role::Storekeeper) << "Tabel 20221121.74593 storekeeper"
                                     << "Табель, сборка 20221121.74593, кладовщик";
        QTest::newRow("full access") << int(Role::FullAccess) << "Tabel 20221121.74593 full"
                                     << "Табель, сборка 20221121.74593, полный доступ";
    }
    void composed()
    {
        QFETCH(int, role);
        QFETCH(QString, name);
        QFETCH(QString, title);
        const QString composed = SessionName::compose(20221121, 74593, Role(role));
        QCOMPARE(composed, name);
        QCOMPARE(SessionName::title(composed), title);
    }

    void otherNamesAsTheyAre_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("title");
        QTest::newRow("psql") << "psql" << "psql";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("look-alike") << "Tabel import" << "Tabel import";
        QTest::newRow("role of a later build") << "Tabel 20221121.74593 admin" << "Табель, сборка 20221121.74593";
    }
    void otherNamesAsTheyAre()
    {
        QFETCH(QString, name);
        QFETCH(QString, title);
        QCOMPARE(SessionName::title(name), title);
    }

    // The longest name fits the server's 63 bytes and comes back whole.
    void theServerKeepsTheNameWhole()
    {
        TestDatabase db(QStringLiteral("sessionname"));
        const QString longest = SessionName::compose(99991231, 86399, Role::Storekeeper);
        QVERIFY(longest.toUtf8().size() <= 63);
        db.exec(SessionName::statement(longest));
        QCOMPARE(db.scalar(QStringLiteral("select current_setting('application_name')")).toString(), longest);
        db.exec(SessionName::statement(QStringLiteral("it's")));
        QCOMPARE(db.scalar(QStringLiteral("select current_setting('application_name')")).toString(), QStringLiteral("it's"));
    }

    // The name survives a lost connection: the statement that finds the server back is
    // recorded under it too.
    void theNameIsGivenAgainAfterAReconnect()
    {
        TestDatabase db(QStringLiteral("sessionname_reconnect"));
        DataModule* dm = db.dm();
        const QString name = SessionName::compose(20240410, 3600, Role::FullAccess);
        dm->setApplicationName(name);
        dm->execute(QStringLiteral("insert into accounts_dep.vid_oper(vid) values ('Резка')"));
        const int pid = db.scalar(QStringLiteral("select pg_backend_pid()")).toInt();
        {
            QSqlDatabase admin = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), QStringLiteral("terminator"));
            admin.setDatabaseName(db.connectionString());
            QVERIFY(admin.open());
            QVERIFY(QSqlQuery(admin).exec(QStringLiteral("select pg_terminate_backend(%1)").arg(pid)));
            admin.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("terminator"));
        dm->setProbeAfterIdle(0);
        dm->execute(QStringLiteral("update accounts_dep.vid_oper set vid='Рубка'"));
        QVERIFY(db.scalar(QStringLiteral("select pg_backend_pid()")).toInt() != pid);
        const SqlRun::Result r = dm->select(QStringLiteral("select operation, app_name from accounts_dep.change_log "
                                                           "where table_name='vid_oper' order by id"));
        QCOMPARE(r.rows.size(), 2);
        QCOMPARE(r.rows[0].value(1).toString(), name);
        QCOMPARE(r.rows[1].value(0).toString(), QStringLiteral("U"));
        QCOMPARE(r.rows[1].value(1).toString(), name);
    }
};

QTEST_GUILESS_MAIN(SessionNameTest)
#include "tst_sessionname.moc"
