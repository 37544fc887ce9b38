#pragma once
// The plant-sized database of the benchmarks: workers, other persons of the shared
// directory, eight operation kinds on sixty products, and journal rows spread over
// 1,000 days from 1 January 2022, four shifts a day: every date and shift has one entry
// of each worker (with 250 workers and 1,000,000 rows). Older rows, when asked for, lie
// before 2022 at the same 1,000 a day (4,000,000 of them: eleven years, a plant after a
// decade), added after the others, so the measured dates and their rows stay the same.
#include "db/datamodule.h"
#include "support/testdb.h"
#include "timesheet/timesheetstore.h"

#include <QDate>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

// The median time of a number of runs of an action, in milliseconds.
inline double medianMs(int runs, const std::function<void()>& action)
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

// The date and month the benchmarks measure: well inside the generated journal.
inline QDate plantDay() { return QDate(2023, 6, 15); }
inline QDate plantMonth() { return QDate(2023, 6, 1); }

// hours: the hours of the g-th journal row, an expression of g.
inline void generatePlant(DataModule& db, int rows, int workers, int others,
                          const QString& hours = QStringLiteral("4 + g % 6"), int older = 0)
{
    db.execute(QStringLiteral("set application_name = 'bench plant generator'"));
    QElapsedTimer timer;
    timer.start();
    db.execute(QStringLiteral("insert into accounts_dep.person(fio, s_staffpos_hl) select 'Рабочий ' || g, '' from generate_series(1, %1) g").arg(workers));
    db.execute(QStringLiteral("insert into cmn_contractor.person(id, s_caption, s_code) "
                           "select n, 'Сотрудник ' || n, n::text from (select nextval('cmn_contractor.person_id_seq') n from generate_series(1, %1)) s").arg(others));
    db.execute(QStringLiteral("insert into accounts_dep.vid_oper(vid) select 'Операция ' || g from generate_series(1, 8) g"));
    db.execute(QStringLiteral("insert into cmn_gds_and_srv.gds_and_srv(s_caption, s_description, id_msm_bs, massa) "
                           "select 'КР-' || g, 'Кронштейн ' || g, 6, 0.5 from generate_series(1, 60) g"));
    db.execute(QStringLiteral("insert into accounts_dep.oper(vid, naimen, i_id, cena_new) "
                           "select k.id, k.id % 2, p.id, 0 from accounts_dep.vid_oper k cross join accounts_dep.izdel p"));
    db.execute(QStringLiteral("insert into accounts_dep.norm(o_id, norma, prize, price) select id, 100, 0, 0.5 + id % 7 from accounts_dep.oper"));
    db.execute(QStringLiteral(
        "insert into accounts_dep.smena(w_id, i_id, o_id, kol_vo, brak, data, smena, cena, color, time, ok, vvod, prize, "
        "id_doc, id_doc_item, id_gds_use, id_cons_use, f_gds_qty_use) "
        "select w.id, o.i_id, o.id, 100, 0, date '2022-01-01' + (g % 1000), 1 + (g / 1000) % 4, 1.5, 0, %3, 'no', now(), 0, 0, 0, 0, 0, 0 "
        "from generate_series(1, %1) g "
        "join (select id, row_number() over (order by id) - 1 as n from accounts_dep.person) w on w.n = (g / 4000) % %2 "
        "join (select id, i_id, row_number() over (order by id) - 1 as n from accounts_dep.oper) o on o.n = g % 480")
                .arg(rows)
                .arg(workers)
                .arg(hours));
    if (older > 0)
        db.execute(QStringLiteral(
            "insert into accounts_dep.smena(w_id, i_id, o_id, kol_vo, brak, data, smena, cena, color, time, ok, vvod, prize, "
            "id_doc, id_doc_item, id_gds_use, id_cons_use, f_gds_qty_use) "
            "select w.id, o.i_id, o.id, 100, 0, date '2021-12-31' - (g % %3), 1 + (g / %3) % 4, 1.5, 0, 8, 'no', now(), 0, 0, 0, 0, 0, 0 "
            "from generate_series(1, %1) g "
            "join (select id, row_number() over (order by id) - 1 as n from accounts_dep.person) w on w.n = (g / (4 * %3)) % %2 "
            "join (select id, i_id, row_number() over (order by id) - 1 as n from accounts_dep.oper) o on o.n = g % 480")
                       .arg(older)
                       .arg(workers)
                       .arg(std::max(1, older / 1000)));
    // The measured month's timesheet, rebuilt from the journal as the timesheet window does.
    TimesheetStore(&db).rebuildMonth(plantMonth().month(), plantMonth().year(), {});
    db.execute(QStringLiteral("vacuum analyze"));
    std::printf("generated %d journal rows (%d of them before 2022), %d workers, %d other persons in %.1f s\n", rows + older,
                older, workers, others, timer.elapsed() / 1000.0);
}


inline void generatePlant(TestDatabase& db, int rows, int workers, int others,
                          const QString& hours = QStringLiteral("4 + g % 6"))
{
    generatePlant(*db.dm(), rows, workers, others, hours);
}
