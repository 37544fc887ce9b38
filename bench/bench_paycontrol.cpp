// What the closed-month rules and the history of changes cost: saving a journal entry
// with its hours posting, and a month's set-based timesheet rebuild, each with the
// server's pay-data triggers and with them switched off; and the first page of the
// history list on a million history rows, whole and by each filter.
//
//   bench_paycontrol [workers] [history rows]
#include "benchtable.h"
#include "db/datamodule.h"
#include "db/sqltext.h"
#include "history/historystore.h"
#include "plantdata.h"
#include "support/testdb.h"
#include "timesheet/hoursposting.h"
#include "timesheet/timesheetstore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// A plant of the given size with three months of journal (2023-04..06): every worker
// has four entries a working day in one of the four shifts.
void generate(TestDatabase& db, int workers)
{
    db.exec(QStringLiteral("insert into accounts_dep.person(fio, s_staffpos_hl) select 'Рабочий ' || g, '' from generate_series(1, %1) g").arg(workers));
    db.exec(QStringLiteral("insert into accounts_dep.vid_oper(vid) select 'Операция ' || g from generate_series(1, 8) g"));
    db.exec(QStringLiteral("insert into cmn_gds_and_srv.gds_and_srv(s_caption, s_description, id_msm_bs, massa) "
                           "select 'КР-' || g, 'Кронштейн ' || g, 6, 0.5 from generate_series(1, 60) g"));
    db.exec(QStringLiteral("insert into accounts_dep.oper(vid, naimen, i_id, cena_new) "
                           "select k.id, k.id % 2, p.id, 0 from accounts_dep.vid_oper k cross join accounts_dep.izdel p"));
    db.exec(QStringLiteral("insert into accounts_dep.norm(o_id, norma, prize, price) select id, 100, 0, 0.5 + id % 7 from accounts_dep.oper"));
    db.exec(QStringLiteral(
        "insert into accounts_dep.smena(w_id, i_id, o_id, kol_vo, brak, data, smena, cena, color, time, ok, vvod, prize, "
        "id_doc, id_doc_item, id_gds_use, id_cons_use, f_gds_qty_use) "
        "select w.id, o.i_id, o.id, 100, 0, d, 1 + w.n % 4, 1.5, 0, 2, 'no', d, 0, 0, 0, 0, 0, 0 "
        "from (select id, row_number() over (order by id) - 1 as n from accounts_dep.person) w "
        "cross join generate_series(date '2023-04-01', date '2023-06-30', interval '1 day') d "
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

// The month rebuild as the timesheet window runs it: in one transaction, the month's
// rows deleted and written again from the day sums of the journal.
void rebuildMonth(TestDatabase& db, int month, int year)
{
    QStringList columns, sums;
    for (int day = 1; day <= 31; ++day) {
        columns << QStringLiteral("d%1").arg(day);
        sums << QStringLiteral("coalesce(sum(tim) filter (where day=%1), 0)").arg(day);
    }
    const QDate first(year, month, 1);
    QSqlDatabase conn = QSqlDatabase::database(db.dm()->connectionName(), false);
    conn.transaction();
    db.exec(QStringLiteral("delete from accounts_dep.h_tabel where month=%1 and year=%2").arg(month).arg(year));
    db.exec(QStringLiteral("insert into accounts_dep.h_tabel(smena, w_id, month, year, %3) "
                           "select smena, w_id, %1, %2, %4 from (select smena, w_id, extract(day from data)::int as day, sum(time) as tim "
                           "from accounts_dep.smena where data >= to_date('%5', 'DD.MM.YYYY') and data < to_date('%6', 'DD.MM.YYYY') "
                           "group by smena, w_id, data) d group by smena, w_id")
                .arg(month).arg(year).arg(columns.join(QStringLiteral(", ")), sums.join(QStringLiteral(", ")))
                .arg(SqlText::date(first), SqlText::date(first.addMonths(1))));
    conn.commit();
}

}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int workers = argc > 1 ? atoi(argv[1]) : 250;
    const qint64 historyRows = argc > 2 ? atoll(argv[2]) : 1000000;

    TestDatabase db(QStringLiteral("benchpay"));
    QElapsedTimer timer;
    timer.start();
    generate(db, workers);
    const int journal = db.scalar(QStringLiteral("select count(*) from accounts_dep.smena")).toInt();
    std::printf("generated %d journal rows, %d workers in %.1f s\n", journal, workers, timer.elapsed() / 1000.0);
    DataModule* dm = db.dm();
    // Every statement of this database to the server log, for the server's figures.
    db.exec(QStringLiteral("alter database %1 set log_min_duration_statement = 0").arg(db.name()));
    dm->connectTo(db.connectionString());
    db.exec(QStringLiteral("set application_name = 'Tabel bench full'"));
    // Another month is closed, so the checks do their real work.
    db.exec(QStringLiteral("insert into accounts_dep.closed_month(year, month) values (2023, 3)"));
    rebuildMonth(db, 5, 2023);
    const int monthRows = db.scalar(QStringLiteral("select count(*) from accounts_dep.h_tabel where month=5 and year=2023")).toInt();

    std::printf("%-52s %10s %10s %7s\n", "work", "off ms", "on ms", "ratio");
    auto compare = [&](const char* what, int runs, const std::function<void(int)>& action) {
        int round = 0;
        double off = 0, on = 0;
        // Alternating rounds, so that neither side gets only the warm cache.
        std::vector<double> offs, ons;
        for (int pass = 0; pass < 3; ++pass) {
            setTriggers(db, false);
            offs.push_back(medianMs(runs, [&] { action(round++); }));
            setTriggers(db, true);
            ons.push_back(medianMs(runs, [&] { action(round++); }));
        }
        std::sort(offs.begin(), offs.end());
        std::sort(ons.begin(), ons.end());
        off = offs[1];
        on = ons[1];
        std::printf("%-52s %10.2f %10.2f %7.2f\n", what, off, on, on / off);
        Bench::row(QStringLiteral("%1, pay-data triggers on").arg(QString::fromUtf8(what)), on, off, QStringLiteral("ms"), QString(),
                   QStringLiteral("the same work with the triggers off"));
    };

    // A foreman's save: the entry, then the worker's day posted into the timesheet.
    const QString insertEntry = QStringLiteral(
        "insert into accounts_dep.SMENA(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, vvod,ok, prize, "
        "id_doc, id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use) select w_id, i_id, o_id, "
        "round(accounts_dep.rule_price(o_id, smena, false), 4)::float8,10, 0, "
        "to_date('%1', 'DD.MM.YYYY HH24:MI:SS'), smena, 0, 1, '%1', 'no', 0, 0, 0, 0, 0, 0 from accounts_dep.smena where id=%2");
    const int firstEntry = db.scalar(QStringLiteral("select min(id) from accounts_dep.smena where data='15.05.2023'")).toInt();
    compare("save an entry and post the day (4 statements)", 40, [&](int round) {
        const int source = firstEntry + (round * 4) % (workers * 4);
        const SqlRun::Result r = dm->select(QStringLiteral("select w_id, smena from accounts_dep.smena where id=%1").arg(source));
        dm->execute(insertEntry.arg(QStringLiteral("15.05.2023")).arg(source));
        PostDayHours(*dm, r.rows[0].value(0).toInt(), r.rows[0].value(1).toInt(), QDate(2023, 5, 15), true);
    });
    compare("post a day only (3 statements)", 40, [&](int round) {
        const int source = firstEntry + (round * 4) % (workers * 4);
        const SqlRun::Result r = dm->select(QStringLiteral("select w_id, smena from accounts_dep.smena where id=%1").arg(source));
        PostDayHours(*dm, r.rows[0].value(0).toInt(), r.rows[0].value(1).toInt(), QDate(2023, 5, 15), true);
    });
    char what[80];
    std::snprintf(what, sizeof what, "rebuild a month (%d rows, set-based)", monthRows);
    compare(what, 5, [&](int) { rebuildMonth(db, 5, 2023); });
    TimesheetStore timesheet(dm);
    compare("rebuild a month as the timesheet window does", 5, [&](int) { timesheet.rebuildMonth(5, 2023, {}); });

    // The history list on a million rows.
    timer.restart();
    db.exec(QStringLiteral("alter table accounts_dep.change_log disable trigger change_log_guard"));
    db.exec(QStringLiteral(
        "insert into accounts_dep.change_log(changed_at, table_name, operation, row_key, worker_id, old_values, new_values, app_name, db_user) "
        "select timestamptz '2023-01-01' + g * interval '20 seconds', case when g % 5 = 0 then 'h_tabel' else 'smena' end, "
        "'U', 1 + g % 200000, (select min(id) from accounts_dep.person) + g % %2, "
        "jsonb_build_object('kol_vo', g % 50, 'time', 8), jsonb_build_object('kol_vo', g % 50 + 1, 'time', 8), 'Tabel bench full', 'sys' "
        "from generate_series(1, %1) g").arg(historyRows).arg(workers));
    db.exec(QStringLiteral("alter table accounts_dep.change_log enable trigger change_log_guard"));
    db.exec(QStringLiteral("analyze accounts_dep.change_log"));
    const qint64 total = db.scalar(QStringLiteral("select count(*) from accounts_dep.change_log")).toLongLong();
    std::printf("\nhistory: %lld rows (made in %.1f s)\n", total, timer.elapsed() / 1000.0);
    std::printf("%-52s %10s %6s\n", "first history page (200 rows)", "median ms", "rows");
    History::Store store(*dm);
    const int worker = db.scalar(QStringLiteral("select min(id) + 7 from accounts_dep.person")).toInt();
    struct Case {
        const char* what;
        History::Filter filter;
    };
    History::Filter whole;
    History::Filter period;
    period.from = QDate(2023, 3, 1);
    period.to = QDate(2023, 3, 31);
    History::Filter byWorker;
    byWorker.workerId = worker;
    History::Filter both = period;
    both.workerId = worker;
    History::Filter oneRow;
    oneRow.table = QStringLiteral("smena");
    oneRow.rowKey = 12345;
    for (const Case& c : {Case{"newest, no filter", whole}, Case{"one month long ago", period}, Case{"one worker", byWorker},
                          Case{"one worker in one month", both}, Case{"one journal entry", oneRow}}) {
        int rows = 0;
        const QString work = QStringLiteral("history %1").arg(QString::fromUtf8(c.what));
        auto read = [&] { rows = store.page(c.filter).size(); };
        const Bench::Measure m = Bench::withFloor(Bench::measure(dm, work, 15, read), work, 15, read, {}, db.connectionString());
        std::printf("%-52s %10.2f %6d\n", c.what, m.program, rows);
        Bench::row(QStringLiteral("history list on %1 rows, first page: %2 (%3 rows)").arg(total).arg(QString::fromUtf8(c.what)).arg(rows),
                   m, QStringLiteral("x1.5"));
    }
    const QVector<History::Row> first = store.page(whole);
    const History::Cursor next{first.last().at, first.last().id};
    int rows = 0;
    auto readNext = [&] { rows = store.page(whole, next).size(); };
    const Bench::Measure m = Bench::withFloor(Bench::measure(dm, QStringLiteral("history second page"), 15, readNext),
                                              QStringLiteral("history second page"), 15, readNext, {}, db.connectionString());
    std::printf("%-52s %10.2f %6d\n", "second page, no filter", m.program, rows);
    Bench::row(QStringLiteral("history list, second page (%1 rows)").arg(rows), m, QStringLiteral("x1.5"));
    return 0;
}
