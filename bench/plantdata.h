#pragma once
// The plant-sized database of the benchmarks: workers, other persons of the shared
// directory, eight operation kinds on sixty products, and journal rows spread over
// 1,000 days from 1 January 2022, four shifts a day.
#include "support/testdb.h"

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

// hours: the hours of the g-th journal row, an expression of g.
inline void generatePlant(TestDatabase& db, int rows, int workers, int others,
                          const QString& hours = QStringLiteral("4"))
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
        "select w.id, o.i_id, o.id, 100, 0, date '2022-01-01' + (g % 1000), 1 + (g / 1000) % 4, 1.5, 0, %3, 'no', now(), 0, 0, 0, 0, 0, 0 "
        "from generate_series(1, %1) g "
        "join (select id, row_number() over (order by id) - 1 as n from accounts_dep.person) w on w.n = (g / 4000) % %2 "
        "join (select id, i_id, row_number() over (order by id) - 1 as n from accounts_dep.oper) o on o.n = g % 480")
                .arg(rows)
                .arg(workers)
                .arg(hours));
    db.exec(QStringLiteral("analyze"));
    std::printf("generated %d journal rows, %d workers, %d other persons in %.1f s\n", rows, workers, others,
                timer.elapsed() / 1000.0);
}

