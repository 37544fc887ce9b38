#include "db/connectionstring.h"
#include "db/datamodule.h"
#include "db/dberror.h"
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
        QVERIFY(s.startsWith(QStringLiteral("DRIVER={PostgreSQL UNICODE};DATABASE=base;SERVER=srv;PORT=5432;UID=sys;PWD=plomvux;SSLmode=allow;ReadOnly=0;")));
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
};

QTEST_MAIN(DataModuleTest)
#include "tst_datamodule.moc"
