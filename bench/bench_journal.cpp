// Times the statements a foreman waits for, on a plant-sized journal: opening one shift
// journal of one date, the operations list, one month of the timesheet, and posting a
// worker's day. Generates the data itself on a throwaway database (bench/run).
//
//   bench_journal [journal rows] [workers] [other persons]
#include "db/datamodule.h"
#include "plantdata.h"
#include "support/testdb.h"
#include "timesheet/hoursposting.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {


}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? atoi(argv[1]) : 1000000;
    const int workers = argc > 2 ? atoi(argv[2]) : 250;
    const int others = argc > 3 ? atoi(argv[3]) : 10000;

    TestDatabase db(QStringLiteral("bench"));
    generatePlant(db, rows, workers, others);
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
