#include "db/connectionstring.h"
#include "db/datamodule.h"
#include "db/dataset.h"
#include "db/dberror.h"
#include "db/sqlrun.h"
#include "support/testdb.h"
#include "ui/messages.h"

#include <QtTest>

// The data module against the real server through the real ODBC driver.
class DataModuleTest : public QObject {
    Q_OBJECT
    std::unique_ptr<TestDatabase> db;

private slots:
    void initTestCase() { db = std::make_unique<TestDatabase>(QStringLiteral("dm")); }
    void cleanupTestCase() { db.reset(); }

    void connectionStringIsTheDocumentedOne()
    {
        const QString s = ConnectionString::compose(QStringLiteral("base"), QStringLiteral("srv"));
        QVERIFY(s.startsWith(QStringLiteral("DRIVER={PostgreSQL UNICODE};DATABASE=base;SERVER=srv;PORT=5432;UID=tabel_signin;PWD=tabel-vhod;SSLmode=allow;ReadOnly=0;")));
        QVERIFY(s.endsWith(QStringLiteral("LowerCaseIdentifier=0;D6=-101;OptionalErrors=0;XaOpt=1")));
        QVERIFY(s.contains(QStringLiteral(";LFConversion=1;UpdatableCursors=1;TrueIsMinus1=0;")));
    }

    void argumentsChooseTheString_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("expected");
        QTest::newRow("none") << QStringList{} << ConnectionString::builtInDefault();
        QTest::newRow("database only") << QStringList{QStringLiteral("other")} << ConnectionString::builtInDefault();
        QTest::newRow("both") << QStringList{QStringLiteral("plant"), QStringLiteral("db1")}
                              << ConnectionString::compose(QStringLiteral("plant"), QStringLiteral("db1"));
        QTest::newRow("empty database") << QStringList{QString(), QStringLiteral("db1")}
                                        << ConnectionString::compose(QString(), QStringLiteral("db1"));
    }
    void argumentsChooseTheString()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, expected);
        QCOMPARE(ConnectionString::fromArguments(args), expected);
        QVERIFY(ConnectionString::builtInDefault().contains(QStringLiteral("DATABASE=kesta_erp;SERVER=")));
    }

    void quotedDatesAreReadDayFirst()
    {
        QCOMPARE(db->scalar(QStringLiteral("select '05.03.2024'::date")).toDate(), QDate(2024, 3, 5));
        QCOMPARE(db->scalar(QStringLiteral("select to_date('05.03.2024', 'DD.MM.YYYY HH24:MI:SS')")).toDate(),
                 QDate(2024, 3, 5));
    }

    void russianNamesSortAndFoldAsPeopleExpect()
    {
        QCOMPARE(db->scalar(QStringLiteral("select upper('ёлка краска')")).toString(), QStringLiteral("ЁЛКА КРАСКА"));
        QCOMPARE(db->scalar(QStringLiteral("select string_agg(x, ',' order by x) from (values ('Ёлкин'),('Жуков'),('Егоров'),('абрамов')) v(x)")).toString(),
                 QStringLiteral("абрамов,Егоров,Ёлкин,Жуков"));
    }

    void checkExists_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("expected");
        QTest::newRow("zero") << QStringLiteral("select 0 as cnt") << QStringLiteral("Такая операция уже заведена!") << false;
        QTest::newRow("no rows") << QStringLiteral("select 1 as cnt where false") << QStringLiteral("x") << false;
        QTest::newRow("two, empty message") << QStringLiteral("select 2 as cnt") << QString() << true;
    }
    void checkExists()
    {
        QFETCH(QString, sql);
        QFETCH(QString, message);
        QFETCH(bool, expected);
        Messages::Recorder recorder;
        QCOMPARE(db->dm()->CheckExists(sql, message), expected);
        QCOMPARE(recorder.shown.size(), expected ? 1 : 0);
        if (expected) {
            QCOMPARE(recorder.shown[0].text, message);
            QCOMPARE(recorder.shown[0].caption, QStringLiteral("Ошибка"));
            QVERIFY(recorder.shown[0].icon == Messages::Icon::Error);
        }
        QVERIFY(!db->dm()->Control->isOpen());
    }

    void refusedStatementCarriesTheDriverMessage()
    {
        try {
            db->dm()->execute(QStringLiteral("select * from accounts_dep.no_such_table"));
            QFAIL("no error");
        } catch (const DbError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("no_such_table")), qPrintable(e.message()));
        }
    }

    // Every refusal is told in Russian first, by the kind of the server's code, with the
    // server's own words below it; a message of the plant's own server code that is
    // already Russian is shown as it is.
    void refusalsAreToldInRussianFirst_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("headline");
        QTest::addColumn<QString>("serverWords");
        const QString insert = QStringLiteral("insert into public.refusals(id, n, ref) values ");
        QTest::newRow("unique") << QString() << insert + QStringLiteral("(1, 1, null)") << int(DbError::Kind::Unique)
                                << QStringLiteral("Такая запись уже есть в базе данных.") << QStringLiteral("refusals_pkey");
        QTest::newRow("foreign key") << QString() << insert + QStringLiteral("(2, 1, 999)") << int(DbError::Kind::ForeignKey)
                                     << QStringLiteral("Запись связана с другими данными базы") << QStringLiteral("refusals_ref_fkey");
        QTest::newRow("check") << QString() << insert + QStringLiteral("(3, -1, null)") << int(DbError::Kind::Check)
                               << QStringLiteral("Значение не прошло проверку базы данных.") << QStringLiteral("refusals_n_check");
        QTest::newRow("not null") << QString() << insert + QStringLiteral("(4, null, null)") << int(DbError::Kind::NotNull)
                                  << QStringLiteral("Не заполнено обязательное значение.") << QStringLiteral("\"n\"");
        QTest::newRow("permission") << QString()
                                    << QStringLiteral("insert into accounts_dep.access_code(role_word, code_hash) values ('full', 'x')")
                                    << int(DbError::Kind::Permission)
                                    << QStringLiteral("Недостаточно прав для этой операции в базе данных.")
                                    << QStringLiteral("permission denied");
        QTest::newRow("bad value") << QString() << QStringLiteral("select 1/0") << int(DbError::Kind::BadValue)
                                   << QStringLiteral("Недопустимое значение для базы данных.") << QStringLiteral("division by zero");
        QTest::newRow("server's Russian words") << QString()
                                                << QStringLiteral("do $$ begin raise exception 'Табель за март закрыт'; end $$")
                                                << int(DbError::Kind::Raised) << QStringLiteral("Табель за март закрыт")
                                                << QStringLiteral("Табель за март закрыт");
        QTest::newRow("server's English words") << QString()
                                                << QStringLiteral("do $$ begin raise exception 'month closed'; end $$")
                                                << int(DbError::Kind::Raised) << QStringLiteral("Ошибка базы данных.")
                                                << QStringLiteral("month closed");
        QTest::newRow("anything else") << QString() << QStringLiteral("select * from accounts_dep.no_such_table")
                                       << int(DbError::Kind::Other) << QStringLiteral("Ошибка базы данных.")
                                       << QStringLiteral("no_such_table");
    }
    void refusalsAreToldInRussianFirst()
    {
        QFETCH(QString, setup);
        QFETCH(QString, sql);
        QFETCH(int, kind);
        QFETCH(QString, headline);
        QFETCH(QString, serverWords);
        db->exec(QStringLiteral("create table if not exists public.refusals(id int primary key, n int not null check (n > 0), "
                                "ref int references public.refusals(id))"));
        db->exec(QStringLiteral("insert into public.refusals values (1, 1, null) on conflict do nothing"));
        if (!setup.isEmpty())
            db->exec(setup);
        const auto resetRole = qScopeGuard([this] { db->exec(QStringLiteral("reset role")); });
        try {
            db->dm()->execute(sql);
            QFAIL("the statement was not refused");
        } catch (const DbError& e) {
            QCOMPARE(int(e.kind()), kind);
            QVERIFY2(e.message().startsWith(headline), qPrintable(e.message()));
            QVERIFY2(e.message().contains(serverWords), qPrintable(e.message()));
            QVERIFY(!e.isConnectionLoss());
        }
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from public.refusals")).toInt(), 1);
    }

    void kindsOfServerCodes_data()
    {
        QTest::addColumn<QString>("sqlState");
        QTest::addColumn<int>("kind");
        QTest::newRow("link failure") << QStringLiteral("08006") << int(DbError::Kind::Connection);
        QTest::newRow("no connection") << QStringLiteral("08001") << int(DbError::Kind::Connection);
        QTest::newRow("administrator's shutdown") << QStringLiteral("57P01") << int(DbError::Kind::Connection);
        QTest::newRow("server starting") << QStringLiteral("57P03") << int(DbError::Kind::Connection);
        QTest::newRow("lock not available") << QStringLiteral("55P03") << int(DbError::Kind::Busy);
        QTest::newRow("deadlock") << QStringLiteral("40P01") << int(DbError::Kind::Busy);
        QTest::newRow("serialization") << QStringLiteral("40001") << int(DbError::Kind::Busy);
        QTest::newRow("syntax") << QStringLiteral("42601") << int(DbError::Kind::Other);
        QTest::newRow("none given") << QString() << int(DbError::Kind::Other);
    }
    void kindsOfServerCodes()
    {
        QFETCH(QString, sqlState);
        QFETCH(int, kind);
        QCOMPARE(int(DbError::kindOf(sqlState)), kind);
        const DbError e(sqlState, QStringLiteral("server words"));
        QVERIFY2(e.message().endsWith(QStringLiteral("\n\nserver words")), qPrintable(e.message()));
        QVERIFY(e.message().at(0).script() == QChar::Script_Cyrillic);
    }

    void datasetIsASnapshotWithParametersAndFilter()
    {
        db->exec(QStringLiteral("create table public.snap(id int, name text)"));
        db->exec(QStringLiteral("insert into public.snap values (1,'Аня'),(2,'Борис'),(3,'Вера')"));
        Dataset ds(QStringLiteral("snap"), db->dm()->connectionName());
        ds.setSql(QStringLiteral("select id, name from public.snap where id>=:low order by id"));
        ds.setParam(QStringLiteral("low"), 2);
        ds.open();
        QCOMPARE(ds.recordCount(), 2);
        QCOMPARE(ds.recNo(), 1);
        QCOMPARE(ds.value(QStringLiteral("name")).toString(), QStringLiteral("Борис"));
        db->exec(QStringLiteral("insert into public.snap values (4,'Глеб')"));
        QCOMPARE(ds.recordCount(), 2);            // nothing refreshes by itself
        ds.reopen();                               // the parameter survives
        QCOMPARE(ds.recordCount(), 3);
        ds.setRecNo(99);
        QCOMPARE(ds.recNo(), 3);
        ds.setFilter([](const QSqlRecord& r) { return r.value(QStringLiteral("name")).toString().startsWith(u'В'); });
        QCOMPARE(ds.recordCount(), 1);
        QVERIFY(ds.locate(QStringLiteral("name"), QStringLiteral("вера"), Qt::CaseInsensitive));
        ds.clearFilter();
        QCOMPARE(ds.recordCount(), 3);
        ds.close();
        QCOMPARE(ds.recNo(), 0);
        QVERIFY(!ds.value(QStringLiteral("id")).isValid());
    }

    // Settings local to a dataset's select hold for it alone: the session keeps its own
    // before and after, also when the server refuses the select, and the connection is
    // left out of any transaction.
    void localSettingsHoldForTheSelectAlone()
    {
        const QString connection = db->dm()->connectionName();
        auto sessionWorkMem = [&] {
            return SqlRun::select(connection, QStringLiteral("select current_setting('work_mem') as v")).rows.first().value(0).toString();
        };
        const QString own = sessionWorkMem();
        QVERIFY(own != QStringLiteral("48MB"));

        Dataset ds(QStringLiteral("settings"), connection);
        ds.setSql(QStringLiteral("select current_setting('work_mem') as v, current_setting('statement_timeout') as t, "
                                 "now() = statement_timestamp() as own_transaction where 1 = :one"));
        ds.setParam(QStringLiteral("one"), 1);
        ds.setLocalSettings({{QStringLiteral("work_mem"), QStringLiteral("48MB")},
                             {QStringLiteral("statement_timeout"), QStringLiteral("7s")}});
        ds.open();
        QCOMPARE(ds.value(QStringLiteral("v")).toString(), QStringLiteral("48MB"));
        QCOMPARE(ds.value(QStringLiteral("t")).toString(), QStringLiteral("7s"));
        QCOMPARE(ds.value(QStringLiteral("own_transaction")).toBool(), false);   // begun before the select
        QCOMPARE(sessionWorkMem(), own);

        Dataset refused(QStringLiteral("refused"), connection);
        refused.setSql(QStringLiteral("select 1 / 0 as v"));
        refused.setLocalSettings({{QStringLiteral("work_mem"), QStringLiteral("48MB")}});
        QVERIFY_THROWS_EXCEPTION(DbError, refused.open());
        QVERIFY(!refused.isOpen());
        QCOMPARE(sessionWorkMem(), own);
        // Not left in a transaction: each statement is one of its own again.
        QCOMPARE(db->scalar(QStringLiteral("select now() = statement_timestamp()")).toBool(), true);
    }
};

QTEST_MAIN(DataModuleTest)
#include "tst_datamodule.moc"
