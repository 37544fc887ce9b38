// Times the timesheet window on a plant-sized journal: the month rebuild through the
// window against the same rebuild as one statement, and opening the window on a month
// against the server's time for its three listings. Generates the data itself on a
// throwaway database (bench/run), the same plant as the journal benchmark.
//
//   bench_timesheet [journal rows] [workers] [other persons]
#include "app/windows.h"
#include "db/datamodule.h"
#include "reports/timesheetlayout.h"
#include "support/testdb.h"
#include "timesheet/timesheetwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

double medianMs(int runs, const std::function<void()>& action)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        action();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void generate(TestDatabase& db, int rows, int workers, int others)
{
    QElapsedTimer timer;
    timer.start();
    db.exec(QStringLiteral("insert into accounts_dep.person(fio, s_staffpos_hl) select 'Рабочий ' || g, '' from generate_series(1, %1) g").arg(workers));
    db.exec(QStringLiteral("insert into cmn_contractor.person(id, s_caption, s_code) "
                           "select n, 'Сотрудник ' || n, n::text from (select nextval('cmn_contractor.person_id_seq') n from generate_series(1, %1)) s").arg(others));
    db.exec(QStringLiteral("insert into accounts_dep.vid_oper(vid) select 'Операция ' || g from generate_series(1, 8) g"));
    db.exec(QStringLiteral("insert into cmn_gds_and_srv.gds_and_srv(s_caption, s_description, id_msm_bs, massa) "
                           "select 'КР-' || g, 'Кронштейн ' || g, 6, 0.5 from generate_series(1, 60) g"));
    db.exec(QStringLiteral("insert into accounts_dep.oper(vid, naimen, i_id, cena_new) "
                           "select k.id, k.id % 2, p.id, 0 from accounts_dep.vid_oper k cross join accounts_dep.izdel p"));
    db.exec(QStringLiteral(
        "insert into accounts_dep.smena(w_id, i_id, o_id, kol_vo, brak, data, smena, cena, color, time, ok, vvod, prize, "
        "id_doc, id_doc_item, id_gds_use, id_cons_use, f_gds_qty_use) "
        "select w.id, o.i_id, o.id, 100, 0, date '2022-01-01' + (g % 1000), 1 + (g / 1000) % 4, 1.5, 0, 4 + g % 6, 'no', now(), 0, 0, 0, 0, 0, 0 "
        "from generate_series(1, %1) g "
        "join (select id, row_number() over (order by id) - 1 as n from accounts_dep.person) w on w.n = (g / 4000) % %2 "
        "join (select id, i_id, row_number() over (order by id) - 1 as n from accounts_dep.oper) o on o.n = g % 480")
                .arg(rows)
                .arg(workers));
    db.exec(QStringLiteral("analyze"));
    std::printf("generated %d journal rows, %d workers, %d other persons in %.1f s\n", rows, workers, others,
                timer.elapsed() / 1000.0);
}

QString dayList(const QString& pattern)
{
    QStringList items;
    for (int n = 1; n <= 31; ++n)
        items << pattern.arg(n);
    return items.join(QStringLiteral(", "));
}

// The month rebuilt by one statement on the server, in one transaction with its delete.
void rebuildAsOneStatement(DataModule* dm, const QDate& month)
{
    QSqlDatabase db = QSqlDatabase::database(dm->connectionName());
    db.transaction();
    dm->execute(QStringLiteral("delete from accounts_dep.h_tabel where month=%1 and year=%2").arg(month.month()).arg(month.year()));
    dm->execute(QStringLiteral("insert into accounts_dep.h_tabel(smena, w_id, month, year, %1) "
                               "select smena, w_id, %3, %4, %2 from accounts_dep.smena "
                               "where data >= make_date(%4, %3, 1) and data < make_date(%4, %3, 1) + interval '1 month' "
                               "group by smena, w_id")
                    .arg(dayList(QStringLiteral("d%1")),
                         dayList(QStringLiteral("coalesce(sum(time) filter (where extract(day from data)=%1), 0)")))
                    .arg(month.month())
                    .arg(month.year()));
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

    TestDatabase db(QStringLiteral("bench"));
    generate(db, rows, workers, others);
    DataModule* dm = db.dm();
    const QDate month(2023, 6, 1);
    appWindows().timesheetLayout = new TimesheetLayout;
    TimesheetWindow window;
    window.selectPeriod(month);

    rebuildAsOneStatement(dm, month);
    const int timesheetRows = db.scalar(QStringLiteral("select count(*) from accounts_dep.h_tabel where month=6 and year=2023")).toInt();
    const int listed = dm->H_Tabel_1->recordCount() + dm->H_Tabel_2->recordCount() + dm->H_Tabel_3->recordCount();

    std::printf("%-58s %10s\n", "what", "median ms");
    auto report = [](const QString& what, double ms) { std::printf("%-58s %10.2f\n", qPrintable(what), ms); };

    const double oneStatement = medianMs(11, [&] { rebuildAsOneStatement(dm, month); });
    const double byWindow = medianMs(11, [&] { window.onRebuild(); });
    report(QStringLiteral("rebuild of a month as one statement (%1 rows)").arg(timesheetRows), oneStatement);
    report(QStringLiteral("rebuild through the window, listings re-read"), byWindow);
    std::printf("%-58s %10.2f\n", "ratio window / one statement (goal 2)", byWindow / oneStatement);

    const double server = medianMs(21, [&] { readListings(dm, month); });
    const double opening = medianMs(21, [&] { window.selectPeriod(month); });
    report(QStringLiteral("three listings through the driver (%1 rows)").arg(listed), server);
    report(QStringLiteral("opening the window on the month (three pages)"), opening);
    std::printf("%-58s %10.2f\n", "ratio window / listings (goal 1.5)", opening / server);
    delete appWindows().timesheetLayout;
    appWindows() = AppWindows();
    return 0;
}
