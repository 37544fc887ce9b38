// Times the timesheet window on the plant database: the month rebuild by the window's
// statements beside the server's time for them and beside the same rebuild as one
// set-based statement, "Перестроить" in the window, and opening the window on a month.
// Prints rows of bench/run's table.
//
//   bench_timesheet [runs]   (on the plant database of bench/run: BENCH_DATABASE)
#include "app/windows.h"
#include "benchtable.h"
#include "db/connectionstring.h"
#include "db/datamodule.h"
#include "reports/timesheetlayout.h"
#include "plantdata.h"
#include "support/testdb.h"
#include "timesheet/timesheetstore.h"
#include "timesheet/timesheetwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

QString dayList(const QString& pattern)
{
    QStringList items;
    for (int n = 1; n <= 31; ++n)
        items << pattern.arg(n);
    return items.join(QStringLiteral(", "));
}

// The month rebuilt by one statement on the server, in one transaction with its delete:
// one pass over the month's journal rows, the day sums as columns. Sent as the schema's
// owner: no login of the program may write the timesheet itself.
void rebuildAsOneStatement(QSqlDatabase& owner, const QDate& month)
{
    QStringList sums;
    for (int day = 1; day <= 31; ++day)
        sums << QStringLiteral("coalesce(sum(time) filter (where data=date '%1'), 0)")
                    .arg(month.addDays(day - 1).toString(Qt::ISODate));
    QSqlQuery query(owner);
    owner.transaction();
    query.exec(QStringLiteral("delete from accounts_dep.h_tabel where month=%1 and year=%2").arg(month.month()).arg(month.year()));
    const bool ok = query.exec(QStringLiteral("insert into accounts_dep.h_tabel(smena, w_id, month, year, %1) "
                                              "select smena, w_id, %3, %4, %2 from accounts_dep.smena "
                                              "where data >= date '%5' and data < date '%6' group by smena, w_id")
                                   .arg(dayList(QStringLiteral("d%1")), sums.join(QStringLiteral(", ")))
                                   .arg(month.month())
                                   .arg(month.year())
                                   .arg(month.toString(Qt::ISODate), month.addMonths(1).toString(Qt::ISODate)));
    if (!ok) {
        std::fprintf(stderr, "the one-statement rebuild failed: %s\n", qPrintable(query.lastError().text()));
        std::exit(1);
    }
    owner.commit();
}

}

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? atoi(argv[1]) : 11;
    DataModule plant;
    DataModule* dm = &plant;
    if (!Bench::signIn(plant))
        return 1;
    const QDate month = plantMonth();
    appWindows().timesheetLayout = new TimesheetLayout;
    TimesheetWindow window;
    TimesheetStore store(dm);

    window.selectPeriod(month);
    const int timesheetRows = dm->select(QStringLiteral("select count(*) from accounts_dep.h_tabel where month=%1 and year=%2")
                                             .arg(month.month()).arg(month.year())).rows.first().value(0).toInt();
    const int listed = dm->H_Tabel_1->recordCount() + dm->H_Tabel_2->recordCount() + dm->H_Tabel_3->recordCount();

    // Each run on a vacuumed table, as a month is rebuilt now and then, not many times a
    // minute: the dead rows of earlier runs would slow every later one.
    auto vacuum = [dm] { dm->execute(QStringLiteral("vacuum accounts_dep.h_tabel")); };
    QSqlDatabase owner = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), QStringLiteral("owner"));
    owner.setDatabaseName(ConnectionString::withAccount(Bench::plantSignInString(), {QStringLiteral("postgres"), QString()}));
    if (!owner.open()) {
        std::fprintf(stderr, "cannot connect as the schema's owner: %s\n", qPrintable(owner.lastError().text()));
        return 1;
    }
    const Bench::Measure oneStatement = Bench::measure(
        [&owner](const QString& name) { QSqlQuery(owner).exec(QStringLiteral("set application_name = '%1'").arg(name)); },
        QStringLiteral("rebuild one statement"), runs, [&] { rebuildAsOneStatement(owner, month); }, 1, vacuum);
    const Bench::Measure byStore = Bench::measure(dm, QStringLiteral("rebuild store"), runs,
                                                  [&] { store.rebuildMonth(month.month(), month.year(), {}); }, 1, vacuum);
    const Bench::Measure byWindow = Bench::measure(dm, QStringLiteral("rebuild window"), runs, [&] { window.onRebuild(); }, 1, vacuum);
    auto open = [&] { window.selectPeriod(month); };
    const Bench::Measure opening = Bench::withFloor(Bench::measure(dm, QStringLiteral("timesheet opening"), runs * 2, open),
                                                    QStringLiteral("timesheet opening"), runs * 2, open);

    Bench::row(QStringLiteral("timesheet month rebuild by the program: one call of the server's rebuild (%1 rows)").arg(timesheetRows), byStore,
               QStringLiteral("x1.5"));
    Bench::row(QStringLiteral("  the same against one set-based statement"), byStore.program, oneStatement.program,
               QStringLiteral("ms"), QStringLiteral("x2"), QStringLiteral("one statement, timed by the client"));
    Bench::row(QStringLiteral("\"Перестроить\" in the timesheet window: rebuild and three listings re-read"), byWindow,
               QStringLiteral("x2"));
    Bench::row(QStringLiteral("opening the timesheet window on a month (three listings, %1 rows)").arg(listed), opening,
               QStringLiteral("x1.5"));
    delete appWindows().timesheetLayout;
    appWindows() = AppWindows();
    return 0;
}
