// What the history costs the timesheet month rebuild ("Перестроить"): the rebuild as the
// timesheet window runs it, with the server's pay-data triggers (closed-month check and
// history) and with them switched off, for a month rebuilt again unchanged, after a few
// corrections (ten workers' entries of one day), and after every worker's hours changed;
// and how many history rows each rebuild leaves. The last case writes a history row for
// every row of the month, whose cost is the history's own (two jsonb images a row).
//
//   bench_rebuild [workers]
#include "benchtable.h"
#include "db/datamodule.h"
#include "plantdata.h"
#include "support/testdb.h"
#include "timesheet/timesheetstore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// A plant of the given size with one month of journal (2023-05): every worker has four
// entries a working day in one of the four shifts.
void generate(TestDatabase& db, int workers)
{
    db.exec(QStringLiteral("insert into accounts_dep.person(fio, s_staffpos_hl) select 'Рабочий ' || g, '' from generate_series(1, %1) g").arg(workers));
    db.exec(QStringLiteral("insert into accounts_dep.vid_oper(vid) select 'Операция ' || g from generate_series(1, 8) g"));
    db.exec(QStringLiteral("insert into cmn_gds_and_srv.gds_and_srv(s_caption, s_description, id_msm_bs, massa) "
                           "select 'КР-' || g, 'Кронштейн ' || g, 6, 0.5 from generate_series(1, 60) g"));
    db.exec(QStringLiteral("insert into accounts_dep.oper(vid, naimen, i_id, cena_new) "
                           "select k.id, k.id % 2, p.id, 0 from accounts_dep.vid_oper k cross join accounts_dep.izdel p"));
    db.exec(QStringLiteral(
        "insert into accounts_dep.smena(w_id, i_id, o_id, kol_vo, brak, data, smena, cena, color, time, ok, vvod, prize, "
        "id_doc, id_doc_item, id_gds_use, id_cons_use, f_gds_qty_use) "
        "select w.id, o.i_id, o.id, 100, 0, d, 1 + w.n % 4, 1.5, 0, 2, 'no', d, 0, 0, 0, 0, 0, 0 "
        "from (select id, row_number() over (order by id) - 1 as n from accounts_dep.person) w "
        "cross join generate_series(date '2023-05-01', date '2023-05-31', interval '1 day') d "
        "cross join generate_series(1, 4) e "
        "join (select id, i_id, row_number() over (order by id) - 1 as n from accounts_dep.oper) o on o.n = (w.n * 4 + e) % 480 "
        "where extract(isodow from d) < 6"));
    db.exec(QStringLiteral("analyze"));
}

void setTriggers(TestDatabase& db, bool on)
{
    for (const char* table : {"smena", "h_tabel"})
        db.exec(QStringLiteral("alter table accounts_dep.%1 %2 trigger user").arg(QString::fromLatin1(table), on ? "enable" : "disable"));
}

qint64 historyRows(TestDatabase& db)
{
    return db.scalar(QStringLiteral("select count(*) from accounts_dep.change_log where table_name='h_tabel'")).toLongLong();
}

}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int workers = argc > 1 ? atoi(argv[1]) : 250;

    TestDatabase db(QStringLiteral("benchrebuild"));
    generate(db, workers);
    DataModule* dm = db.dm();
    TimesheetStore store(dm);
    // Another month is closed, so the checks do their real work.
    db.exec(QStringLiteral("insert into accounts_dep.closed_month(year, month) values (2023, 3)"));
    store.rebuildMonth(5, 2023, {});
    const int monthRows = db.scalar(QStringLiteral("select count(*) from accounts_dep.h_tabel where month=5 and year=2023")).toInt();
    const int journal = db.scalar(QStringLiteral("select count(*) from accounts_dep.smena")).toInt();
    std::printf("%d journal rows, %d timesheet rows in the month\n", journal, monthRows);

    // Each round first changes the journal as the case says (untimed, triggers on, as a
    // foreman's saves would), then times the rebuild alone.
    struct Case {
        const char* what;
        QString goal;
        std::function<void(int round)> change;
    };
    const std::vector<Case> cases = {
        {"rebuilt again, nothing changed", QStringLiteral("x1.3"), [](int) {}},
        {"rebuilt after ten workers' entries of a day changed", QStringLiteral("x1.3"),
         [&](int round) {
             db.exec(QStringLiteral("update accounts_dep.smena set time = %1 where data = date '2023-05-15' "
                                    "and w_id in (select id from accounts_dep.person order by id limit 10)")
                         .arg(2 + round % 2));
         }},
        {"rebuilt after every worker's hours changed", QString(),
         [&](int round) {
             db.exec(QStringLiteral("update accounts_dep.smena set time = %1 where data = date '2023-05-15'").arg(2 + round % 2));
         }},
    };

    std::printf("%-52s %10s %10s %7s %9s\n", "month rebuild", "off ms", "on ms", "ratio", "history");
    for (const Case& c : cases) {
        int round = 0;
        std::vector<double> offs, ons;
        qint64 traced = 0;
        int tracedRounds = 0;
        // Alternating passes, so that neither side gets only the warm cache.
        for (int pass = 0; pass < 3; ++pass) {
            for (const bool on : {false, true}) {
                std::vector<double> times;
                for (int run = 0; run < 5; ++run) {
                    setTriggers(db, true);
                    c.change(round++);
                    setTriggers(db, on);
                    const qint64 before = historyRows(db);
                    QElapsedTimer timer;
                    timer.start();
                    store.rebuildMonth(5, 2023, {});
                    times.push_back(timer.nsecsElapsed() / 1e6);
                    if (on) {
                        traced += historyRows(db) - before;
                        ++tracedRounds;
                    }
                }
                (on ? ons : offs).push_back(Bench::median(times));
            }
        }
        setTriggers(db, true);
        const double off = Bench::median(offs);
        const double on = Bench::median(ons);
        const double perRebuild = tracedRounds ? double(traced) / tracedRounds : 0;
        std::printf("%-52s %10.2f %10.2f %7.2f %9.0f\n", c.what, off, on, on / off, perRebuild);
        Bench::row(QStringLiteral("timesheet month rebuild (%1 rows) %2, pay-data triggers on (%3 history rows a rebuild)")
                       .arg(monthRows).arg(QString::fromUtf8(c.what)).arg(perRebuild, 0, 'f', 0),
                   on, off, QStringLiteral("ms"), c.goal, QStringLiteral("the same rebuild with the triggers off"));
    }
    return 0;
}
