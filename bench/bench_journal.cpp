// Times the statements a foreman waits for, on a plant-sized journal: opening one shift
// journal of one date, the operations list, one month of the timesheet, and posting a
// worker's day. Generates the data itself on a throwaway database (bench/run).
//
//   bench_journal [journal rows] [workers] [other persons]
#include "db/datamodule.h"
#include "support/testdb.h"
#include "timesheet/hoursposting.h"

#include <QCoreApplication>
#include <QElapsedTimer>
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
    db.exec(QStringLiteral("insert into accounts_dep.norm(o_id, norma, prize, price) select id, 100, 0, 0.5 + id % 7 from accounts_dep.oper"));
    db.exec(QStringLiteral(
        "insert into accounts_dep.smena(w_id, i_id, o_id, kol_vo, brak, data, smena, cena, color, time, ok, vvod, prize, "
        "id_doc, id_doc_item, id_gds_use, id_cons_use, f_gds_qty_use) "
        "select w.id, o.i_id, o.id, 100, 0, date '2022-01-01' + (g % 1000), 1 + (g / 1000) % 4, 1.5, 0, 4, 'no', now(), 0, 0, 0, 0, 0, 0 "
        "from generate_series(1, %1) g "
        "join (select id, row_number() over (order by id) - 1 as n from accounts_dep.person) w on w.n = (g / 4000) % %2 "
        "join (select id, i_id, row_number() over (order by id) - 1 as n from accounts_dep.oper) o on o.n = g % 480")
                .arg(rows)
                .arg(workers));
    db.exec(QStringLiteral("analyze"));
    std::printf("generated %d journal rows, %d workers, %d other persons in %.1f s\n", rows, workers, others,
                timer.elapsed() / 1000.0);
}

}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? atoi(argv[1]) : 1000000;
    const int workers = argc > 2 ? atoi(argv[2]) : 250;
    const int others = argc > 3 ? atoi(argv[3]) : 10000;

    TestDatabase db(QStringLiteral("bench"));
    generate(db, rows, workers, others);
    DataModule* dm = db.dm();
    const QDate day(2023, 6, 15);
    const int perDay = db.scalar(QStringLiteral("select count(*) from accounts_dep.smena where data='15.06.2023' and smena=1")).toInt();
    const int worker = db.scalar(QStringLiteral("select w_id from accounts_dep.smena where data='15.06.2023' and smena=1 limit 1")).toInt();

    for (int shift = 1; shift <= 4; ++shift)
        dm->smenaForShift(shift)->setParam(QStringLiteral("ok"), QStringLiteral("ta"));
    std::printf("%-44s %10s\n", "statement", "median ms");
    auto report = [](const char* what, double ms) { std::printf("%-44s %10.2f\n", what, ms); };

    Dataset* journal = dm->Smena1;
    journal->setParam(QStringLiteral("data"), day);
    report(qPrintable(QStringLiteral("shift journal of one date (%1 rows)").arg(perDay)),
           medianMs(21, [&] { journal->reopen(); }));
    report("all four shift journals (journal re-read)", medianMs(11, [&] {
               for (int shift = 1; shift <= 4; ++shift) {
                   dm->smenaForShift(shift)->setParam(QStringLiteral("data"), day);
                   dm->smenaForShift(shift)->reopen();
               }
           }));
    report("operations list with prices", medianMs(11, [&] { dm->Oper->reopen(); }));
    PostDayHours(*dm, worker, 1, day, true);
    report("posting a worker's day (row exists)", medianMs(101, [&] { PostDayHours(*dm, worker, 1, day, true); }));
    report("posting after a delete (no creation)", medianMs(101, [&] { PostDayHours(*dm, worker, 1, day, false); }));
    dm->H_Tabel_1->setParam(QStringLiteral("mnth"), 6);
    dm->H_Tabel_1->setParam(QStringLiteral("yea"), 2023);
    report("timesheet of one month, shift 1", medianMs(11, [&] { dm->H_Tabel_1->reopen(); }));
    return 0;
}
