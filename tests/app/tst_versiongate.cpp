#include "app/versiongate.h"
#include "support/testdb.h"

#include <QtTest>

// The stored build stamp against the running build's, on the real server.
class VersionGateTest : public QObject {
    Q_OBJECT
    std::unique_ptr<TestDatabase> db;

    BuildStamp::Stamp stored() const
    {
        const SqlRun::Result r = db->dm()->select(QStringLiteral("select d, t from accounts_dep.ver"));
        if (r.rows.size() != 1)
            return {-1, -1};
        return {r.rows[0].value(0).toInt(), r.rows[0].value(1).toInt()};
    }

private slots:
    void initTestCase() { db = std::make_unique<TestDatabase>(QStringLiteral("gate")); }
    void cleanupTestCase() { db.reset(); }
    void init() { db->exec(QStringLiteral("delete from accounts_dep.ver")); }

    void comparesDateFirstThenTime_data()
    {
        QTest::addColumn<int>("storedDate");
        QTest::addColumn<int>("storedTime");
        QTest::addColumn<bool>("outdated");
        QTest::addColumn<int>("dateAfter");
        QTest::addColumn<int>("timeAfter");
        // The build is 20221121.74593.
        QTest::newRow("equal") << 20221121 << 74593 << false << 20221121 << 74593;
        QTest::newRow("same day, later stored time") << 20221121 << 74594 << true << 20221121 << 74594;
        QTest::newRow("same day, earlier stored time") << 20221121 << 100 << false << 20221121 << 74593;
        QTest::newRow("older date, larger time") << 20221120 << 86399 << false << 20221121 << 74593;
        QTest::newRow("newer date, smaller time") << 20221122 << 0 << true << 20221122 << 0;
        QTest::newRow("nulls read as 0") << 0 << -1 << false << 20221121 << 74593;
    }
    void comparesDateFirstThenTime()
    {
        QFETCH(int, storedDate);
        QFETCH(int, storedTime);
        QFETCH(bool, outdated);
        QFETCH(int, dateAfter);
        QFETCH(int, timeAfter);
        if (storedTime < 0)
            db->exec(QStringLiteral("insert into accounts_dep.ver(d, t, delim) values (null, null, 'x')"));
        else
            db->exec(QStringLiteral("insert into accounts_dep.ver(d, t, delim) values (%1, %2, ';')").arg(storedDate).arg(storedTime));
        const GateResult result = VersionGate(*db->dm(), {20221121, 74593});
        QCOMPARE(result.outdated, outdated);
        QCOMPARE(stored().date, dateAfter);
        QCOMPARE(stored().time, timeAfter);
        QCOMPARE(result.delim, storedTime < 0 ? QStringLiteral("x") : QStringLiteral(";"));
    }

    void emptyTableGetsOneRow()
    {
        const GateResult result = VersionGate(*db->dm(), {20240101, 5});
        QVERIFY(!result.outdated);
        QCOMPARE(stored().date, 20240101);
        QCOMPARE(stored().time, 5);
        // An older build started afterwards is turned away and lowers nothing.
        QVERIFY(VersionGate(*db->dm(), {20231231, 86399}).outdated);
        QCOMPARE(stored().date, 20240101);
    }

    void missingTableIsADatabaseError()
    {
        db->exec(QStringLiteral("alter table accounts_dep.ver rename to ver_gone"));
        QVERIFY_THROWS_EXCEPTION(DbError, VersionGate(*db->dm(), {20240101, 5}));
        db->exec(QStringLiteral("alter table accounts_dep.ver_gone rename to ver"));
    }
};

QTEST_GUILESS_MAIN(VersionGateTest)
#include "tst_versiongate.moc"
