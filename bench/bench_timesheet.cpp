// Times the timesheet window on a plant-sized journal: the month rebuild through the
// window against the same rebuild as one statement, and opening the window on a month
// against the server's time for its three listings. Generates the data itself on a
// throwaway database (bench/run), the same plant as the journal benchmark.
//
//   bench_timesheet [journal rows] [workers] [other persons]
#include "app/windows.h"
#include "db/datamodule.h"
#include "reports/timesheetlayout.h"
#include "plantdata.h"
#include "support/testdb.h"
#include "timesheet/timesheetstore.h"
#include "timesheet/timesheetwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

double median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

QString dayList(const QString& pattern)
{
    QStringList items;
    for (int n = 1; n <= 31; ++n)
        items << pattern.arg(n);
    return items.join(QStringLiteral(", "));
}

// The month rebuilt by one statement on the server, in one transaction with its delete:
// one pass over the month's journal rows, the day sums as columns.
void rebuildAsOneStatement(DataModule* dm, const QDate& month)
{
    QStringList sums;
    for (int day = 1; day <= 31; ++day)
        sums << QStringLiteral("coalesce(sum(time) filter (where data=date '%1'), 0)")
                    .arg(month.addDays(day - 1).toString(Qt::ISODate));
    QSqlDatabase db = QSqlDatabase::database(dm->connectionName());
    db.transaction();
    dm->execute(QStringLiteral("delete from accounts_dep.h_tabel where month=%1 and year=%2").arg(month.month()).arg(month.year()));
    dm->execute(QStringLiteral("insert into accounts_dep.h_tabel(smena, w_id, month, year, %1) "
                               "select smena, w_id, %3, %4, %2 from accounts_dep.smena "
                               "where data >= date '%5' and data < date '%6' group by smena, w_id")
                    .arg(dayList(QStringLiteral("d%1")), sums.join(QStringLiteral(", ")))
                    .arg(month.month())
                    .arg(month.year())
                    .arg(month.toString(Qt::ISODate), month.addMonths(1).toString(Qt::ISODate)));
    db.commit();
}

// The three listings as the server gives them through the same driver, every value read.
void readListings(DataModule* dm, const QDate& month)
{
    for (int shift = 1; shift <= 3; ++shift) {
        QSqlQuery query(QSqlDatabase::database(dm->connectionName()));
        query.setForwardOnly(true);
        query.prepare(dm->hTabelForShift(shift)->sql());
        query.bindValue(QStringLiteral(":mnth"), month.month());
        query.bindValue(QStringLiteral(":yea"), month.year());
        query.exec();
        const int columns = query.record().count();
        while (query.next())
            for (int c = 0; c < columns; ++c)
                query.value(c);
    }
}

}

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = argc > 1 ? atoi(argv[1]) : 1000000;
    const int workers = argc > 2 ? atoi(argv[2]) : 250;
    const int others = argc > 3 ? atoi(argv[3]) : 10000;

    // BENCH_DATABASE names a database already filled (to try changes quickly).
    std::unique_ptr<TestDatabase> fresh;
    DataModule existing;
    DataModule* dm = &existing;
    if (qEnvironmentVariableIsSet("BENCH_DATABASE")) {
        existing.connectTo(TestDatabase::connectionStringFor(qEnvironmentVariable("BENCH_DATABASE")));
    } else {
        fresh = std::make_unique<TestDatabase>(QStringLiteral("bench"));
        generatePlant(*fresh, rows, workers, others, QStringLiteral("4 + g % 6"));
        dm = fresh->dm();
    }
    const QDate month(2023, 6, 1);
    appWindows().timesheetLayout = new TimesheetLayout;
    TimesheetWindow window;
    TimesheetStore store(dm);

    rebuildAsOneStatement(dm, month);
    window.selectPeriod(month);
    const int timesheetRows = dm->select(QStringLiteral("select count(*) from accounts_dep.h_tabel where month=6 and year=2023")).rows.first().value(0).toInt();
    const int listed = dm->H_Tabel_1->recordCount() + dm->H_Tabel_2->recordCount() + dm->H_Tabel_3->recordCount();

    std::printf("%-58s %10s\n", "what", "median ms");
    auto report = [](const QString& what, double ms) { std::printf("%-58s %10.2f\n", qPrintable(what), ms); };

    // Each run on a vacuumed table, as a month is rebuilt now and then, not many times a
    // minute: the dead rows of earlier runs would slow every later one.
    auto vacuum = [dm] { dm->execute(QStringLiteral("vacuum accounts_dep.h_tabel")); };
    std::vector<double> oneTimes, storeTimes, windowTimes;
    for (int run = 0; run < 11; ++run) {
        vacuum();
        oneTimes.push_back(medianMs(1, [&] { rebuildAsOneStatement(dm, month); }));
        vacuum();
        storeTimes.push_back(medianMs(1, [&] { store.rebuildMonth(month.month(), month.year(), {}); }));
        vacuum();
        windowTimes.push_back(medianMs(1, [&] { window.onRebuild(); }));
    }
    const double oneStatement = median(oneTimes);
    const double byStore = median(storeTimes);
    const double byWindow = median(windowTimes);
    const double server = medianMs(21, [&] { readListings(dm, month); });
    const double opening = medianMs(21, [&] { window.selectPeriod(month); });

    report(QStringLiteral("rebuild of a month as one statement (%1 rows)").arg(timesheetRows), oneStatement);
    report(QStringLiteral("rebuild by the window's statements (a statement a day)"), byStore);
    report(QStringLiteral("  ratio (goal 2)"), byStore / oneStatement);
    report(QStringLiteral("\"Перестроить\": rebuild and the three listings re-read"), byWindow);
    report(QStringLiteral("  ratio to one statement and the listings (goal 2)"), byWindow / (oneStatement + server));
    report(QStringLiteral("three listings through the driver (%1 rows)").arg(listed), server);
    report(QStringLiteral("opening the window on the month (three pages)"), opening);
    report(QStringLiteral("  ratio (goal 1.5)"), opening / server);
    delete appWindows().timesheetLayout;
    appWindows() = AppWindows();
    return 0;
}
