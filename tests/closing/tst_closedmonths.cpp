#include "closing/closedmonths.h"
#include "support/plantfixture.h"

#include <QtTest>

// Closing and reopening a month from the client, and what the windows read of it.
class ClosedMonthsTest : public QObject {
    Q_OBJECT
    std::unique_ptr<TestDatabase> db;

private slots:
    void initTestCase()
    {
        db = std::make_unique<TestDatabase>(QStringLiteral("closedmonths"));
        db->exec(QStringLiteral("set application_name = 'Tabel 20240410.3600 full'"));
    }
    void cleanupTestCase() { db.reset(); }

    void closeAndReopen_data()
    {
        QTest::addColumn<QDate>("asked");
        QTest::addColumn<bool>("closed");
        QTest::newRow("first day") << QDate(2024, 3, 1) << true;
        QTest::newRow("last day") << QDate(2024, 3, 31) << true;
        QTest::newRow("month before") << QDate(2024, 2, 29) << false;
        QTest::newRow("month after") << QDate(2024, 4, 1) << false;
        QTest::newRow("same month a year later") << QDate(2025, 3, 15) << false;
        QTest::newRow("no date") << QDate() << false;
    }
    void closeAndReopen()
    {
        QFETCH(QDate, asked);
        QFETCH(bool, closed);
        ClosedMonths months(*db->dm());
        months.close(2024, 3);
        QCOMPARE(months.isClosed(asked), closed);
        if (closed) {
            const auto c = months.closing(asked);
            QVERIFY(c.has_value());
            QCOMPARE(c->who, QStringLiteral("Табель, сборка 20240410.3600, полный доступ"));
            QCOMPARE(c->workstation, QStringLiteral("127.0.0.1"));
            QCOMPARE(c->when.left(10), db->scalar(QStringLiteral("select to_char(now(), 'DD.MM.YYYY')")).toString());
            QVERIFY(ClosedMonths::details(*c).contains(QStringLiteral("полный доступ, рабочее место 127.0.0.1")));
        }
        months.reopen(2024, 3);
        QVERIFY(!months.isClosed(asked));
    }

    void closingTwiceIsRefused()
    {
        ClosedMonths months(*db->dm());
        months.close(2023, 12);
        QVERIFY_THROWS_EXCEPTION(DbError, months.close(2023, 12));
        months.reopen(2023, 12);
        months.reopen(2023, 12);   // already open: nothing to do, no error
        QVERIFY(!months.isClosed(QDate(2023, 12, 1)));
    }

    // A database whose schema was not upgraded yet: every month is open, nothing fails.
    void aDatabaseWithoutClosedMonthsHasEveryMonthOpen()
    {
        TestDatabase older(QStringLiteral("closedmonths_older"));
        older.exec(QStringLiteral("drop table accounts_dep.closed_month cascade"));
        ClosedMonths months(*older.dm());
        QVERIFY(!months.available());
        QVERIFY(!months.isClosed(QDate(2024, 3, 1)));
        QVERIFY(ClosedMonths(*db->dm()).available());
    }

    void labels()
    {
        QCOMPARE(ClosedMonths::label(2024, 3), QStringLiteral("03.2024"));
        QCOMPARE(ClosedMonths::label(2024, 11), QStringLiteral("11.2024"));
        QCOMPARE(ClosedMonths::mark(2024, 3), QStringLiteral("Месяц 03.2024 закрыт"));
    }
};

QTEST_GUILESS_MAIN(ClosedMonthsTest)
#include "tst_closedmonths.moc"
