#include "db/transaction.h"
#include "support/plantfixture.h"
#include "timesheet/hoursposting.h"

#include <QThread>
#include <QtTest>
#include <thread>

// Posting a worker's day into the monthly timesheet, on the real server.
class HoursPostingTest : public QObject {
    Q_OBJECT
    std::unique_ptr<TestDatabase> db;
    int worker17 = 0;
    qint64 product = 0;
    int operation = 0;

    int day(int w, int shift, int month, int year, int n) const
    {
        return db->scalar(QStringLiteral("select d%1 from accounts_dep.h_tabel where w_id=%2 and smena=%3 and month=%4 and year=%5")
                              .arg(n).arg(w).arg(shift).arg(month).arg(year))
            .toInt();
    }
    int rows(int w) const
    {
        return db->scalar(QStringLiteral("select count(*) from accounts_dep.h_tabel where w_id=%1").arg(w)).toInt();
    }
    int total(int w, int shift, int month, int year) const
    {
        QString sum;
        for (int n = 1; n <= 31; ++n)
            sum += (n > 1 ? "+" : "") + QStringLiteral("d%1").arg(n);
        return db->scalar(QStringLiteral("select %1 from accounts_dep.h_tabel where w_id=%2 and smena=%3 and month=%4 and year=%5")
                              .arg(sum).arg(w).arg(shift).arg(month).arg(year))
            .toInt();
    }
    int addEntry(int w, const QDate& d, int shift, int hours, int colour = 0)
    {
        Plant::Entry e;
        e.w_id = w; e.i_id = product; e.o_id = operation; e.data = d; e.smena = shift; e.time = hours; e.color = colour;
        return Plant::entry(*db, e);
    }

private slots:
    void initTestCase()
    {
        db = std::make_unique<TestDatabase>(QStringLiteral("posting"));
        worker17 = Plant::worker(*db, QStringLiteral("Семнадцатый С.С."));
        product = Plant::product(*db, QStringLiteral("КР-100"));
        operation = Plant::operation(*db, product, Plant::kind(*db, QStringLiteral("Гибка")), 0, 10);
    }
    void cleanupTestCase() { db.reset(); }
    void init()
    {
        db->exec(QStringLiteral("delete from accounts_dep.smena"));
        db->exec(QStringLiteral("delete from accounts_dep.h_tabel"));
    }

    void theWorkedExample()
    {
        const QDate d(2024, 3, 5);
        const int first = addEntry(worker17, d, 2, 4);
        PostDayHours(*db->dm(), worker17, 2, d, true);
        QCOMPARE(rows(worker17), 1);
        QCOMPARE(day(worker17, 2, 3, 2024, 5), 4);
        QCOMPARE(total(worker17, 2, 3, 2024), 4);   // every other day is 0

        const int second = addEntry(worker17, d, 2, 3, 5);
        PostDayHours(*db->dm(), worker17, 2, d, true);
        QCOMPARE(rows(worker17), 1);
        QCOMPARE(day(worker17, 2, 3, 2024, 5), 7);
        PostDayHours(*db->dm(), worker17, 2, d, true);   // unchanged entries: unchanged row
        QCOMPARE(day(worker17, 2, 3, 2024, 5), 7);

        db->exec(QStringLiteral("delete from accounts_dep.smena where id=%1").arg(second));
        PostDayHours(*db->dm(), worker17, 2, d, false);
        QCOMPARE(day(worker17, 2, 3, 2024, 5), 4);
        db->exec(QStringLiteral("delete from accounts_dep.smena where id=%1").arg(first));
        PostDayHours(*db->dm(), worker17, 2, d, false);
        QCOMPARE(day(worker17, 2, 3, 2024, 5), 0);
        QCOMPARE(rows(worker17), 1);
    }

    void withoutCreationAMissingRowStaysMissing()
    {
        addEntry(worker17, QDate(2024, 4, 1), 1, 8);
        PostDayHours(*db->dm(), worker17, 1, QDate(2024, 4, 1), false);
        QCOMPARE(rows(worker17), 0);
    }

    void zeroHoursStillCreateTheRow()
    {
        addEntry(worker17, QDate(2024, 4, 2), 1, 0);
        PostDayHours(*db->dm(), worker17, 1, QDate(2024, 4, 2), true);
        QCOMPARE(rows(worker17), 1);
        QCOMPARE(total(worker17, 1, 4, 2024), 0);
    }

    void eachShiftHasItsOwnRow()
    {
        const QDate d(2024, 5, 31);
        addEntry(worker17, d, 1, 8);
        addEntry(worker17, d, 4, 3);
        PostDayHours(*db->dm(), worker17, 1, d, true);
        PostDayHours(*db->dm(), worker17, 4, d, true);
        QCOMPARE(rows(worker17), 2);
        QCOMPARE(day(worker17, 1, 5, 2024, 31), 8);
        QCOMPARE(day(worker17, 4, 5, 2024, 31), 3);
    }

    void februaryDaysPastTheMonthStayZero_data()
    {
        QTest::addColumn<QDate>("date");
        QTest::newRow("leap year") << QDate(2024, 2, 29);
        QTest::newRow("last day") << QDate(2023, 2, 28);
    }
    void februaryDaysPastTheMonthStayZero()
    {
        QFETCH(QDate, date);
        addEntry(worker17, date, 3, 6);
        PostDayHours(*db->dm(), worker17, 3, date, true);
        QCOMPARE(day(worker17, 3, 2, date.year(), date.day()), 6);
        for (int n = date.day() + 1; n <= 31; ++n)
            QCOMPARE(day(worker17, 3, 2, date.year(), n), 0);
    }

    // Two workstations posting the first hours of one worker, shift and month: one row
    // with the hours of both.
    void postingsFromTwoWorkstationsKeepOneRowWithAllHours()
    {
        const QDate d(2024, 6, 3);
        DataModule second;
        QVERIFY(second.connectTo(db->connectionString()));
        addEntry(worker17, d, 1, 4);
        PostDayHours(*db->dm(), worker17, 1, d, true);
        addEntry(worker17, d, 1, 3, 9);
        PostDayHours(second, worker17, 1, d, true);
        QCOMPARE(rows(worker17), 1);
        QCOMPARE(day(worker17, 1, 6, 2024, 3), 7);
        // A twin row cannot be written by any other means either, not even by the owner.
        QVERIFY_THROWS_EXCEPTION(DbError, db->exec(QStringLiteral(
            "insert into accounts_dep.h_tabel(smena, w_id, month, year, d3) values (1, %1, 6, 2024, 4)").arg(worker17)));
    }

    // A posting takes its worker's timesheet lock first: while another workstation holds
    // it, the same worker's posting waits (here: gives up after a short lock timeout and
    // writes nothing), another worker's goes on.
    void aPostingTakesItsWorkersLock_data()
    {
        QTest::addColumn<bool>("sameWorker");
        QTest::newRow("same worker waits") << true;
        QTest::newRow("another worker goes on") << false;
    }
    void aPostingTakesItsWorkersLock()
    {
        QFETCH(bool, sameWorker);
        const QDate d(2024, 6, 4);
        const int other = Plant::worker(*db, QStringLiteral("Другой Д.Д."));
        const int poster = sameWorker ? worker17 : other;
        addEntry(poster, d, 1, 5);
        DataModule second;
        QVERIFY(second.connectTo(db->connectionString()));
        Transaction holding(second.connectionName());
        second.execute(HoursPosting::lockStatement(worker17));
        db->exec(QStringLiteral("set lock_timeout = '200ms'"));
        const auto resetTimeout = qScopeGuard([this] { db->exec(QStringLiteral("set lock_timeout = 0")); });
        if (sameWorker) {
            try {
                PostDayHours(*db->dm(), poster, 1, d, true);
                QFAIL("the posting did not wait for the worker's lock");
            } catch (const DbError& e) {
                QCOMPARE(e.kind(), DbError::Kind::Busy);
                QVERIFY2(e.message().startsWith(QStringLiteral("Данные заняты другим рабочим местом")), qPrintable(e.message()));
            }
            QCOMPARE(rows(poster), 0);
        } else {
            PostDayHours(*db->dm(), poster, 1, d, true);
            QCOMPARE(day(poster, 1, 6, 2024, 4), 5);
        }
    }

    // Two workstations posting the same worker and day: the posting that had to wait for
    // the other's lock sums after it, so it counts the entry saved in the meantime too.
    void aWaitingPostingSeesEntriesCommittedBeforeItGotTheLock()
    {
        const QDate d(2024, 6, 5);
        addEntry(worker17, d, 1, 4);
        DataModule second;
        QVERIFY(second.connectTo(db->connectionString()));
        auto holding = std::make_unique<Transaction>(second.connectionName());
        second.execute(HoursPosting::lockStatement(worker17));

        QString failure;
        std::thread poster([&] {
            DataModule own;
            if (!own.connectTo(db->connectionString())) {
                failure = own.lastError();
                return;
            }
            try {
                PostDayHours(own, worker17, 1, d, true);
            } catch (const DbError& e) {
                failure = e.message();
            }
        });
        bool waiting = false;
        for (int look = 0; look < 500 && !waiting; ++look) {
            waiting = db->scalar(QStringLiteral("select count(*) from pg_stat_activity where datname=current_database() "
                                                "and wait_event_type='Lock' and wait_event='advisory'")).toInt() == 1;
            if (!waiting)
                QThread::msleep(20);
        }
        addEntry(worker17, d, 1, 3, 9);     // saved while the first posting waits
        holding->commit();
        poster.join();
        QVERIFY2(waiting, "the posting did not wait for the other workstation's lock");
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        QCOMPARE(rows(worker17), 1);
        QCOMPARE(day(worker17, 1, 6, 2024, 5), 7);
    }
};

QTEST_GUILESS_MAIN(HoursPostingTest)
#include "tst_hoursposting.moc"
