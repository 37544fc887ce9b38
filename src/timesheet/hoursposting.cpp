#include "timesheet/hoursposting.h"

#include "db/datamodule.h"
#include "db/sqltext.h"
#include "db/transaction.h"

// The day's sum is computed inside the statement that writes it, and a row that another
// workstation created between our count and our insert is updated instead of doubled
// (the timesheet key is unique on the server). So two clients posting the same worker,
// shift and day at once end with one row holding the hours of both entries.
//
// The count and the write run in one short transaction that first takes the worker's
// timesheet lock, pg_advisory_xact_lock(hashtext('h_tabel'), w_id): a posting of the
// same worker elsewhere finishes first, and the sum is taken after it, so it sees every
// entry committed before. Anything else that rewrites timesheet rows (the month's
// rebuild) takes the same lock for each worker it writes, or locks the table.
namespace HoursPosting {
namespace {

QString daySum(int w_id, int shift, const QDate& date)
{
    return QStringLiteral("(select coalesce(sum(time), 0) from accounts_dep.smena where w_id=%1 and smena=%2 "
                          "and data=to_date('%3', 'DD.MM.YYYY'))")
        .arg(w_id)
        .arg(shift)
        .arg(SqlText::date(date));
}

QString rowKey(int w_id, int shift, const QDate& date)
{
    return QStringLiteral(" where w_id=%1 and smena=%2 and month=%3 and year=%4")
        .arg(w_id)
        .arg(shift)
        .arg(date.month())
        .arg(date.year());
}

}

QString insertStatement(int w_id, int shift, const QDate& date)
{
    return QStringLiteral("insert into accounts_dep.h_tabel(smena, w_id, month, year, d%1) select %2, %3, %4, %5, %6"
                          " on conflict (year, month, w_id, smena) do update set d%1=excluded.d%1")
        .arg(date.day())
        .arg(shift)
        .arg(w_id)
        .arg(date.month())
        .arg(date.year())
        .arg(daySum(w_id, shift, date));
}

QString updateStatement(int w_id, int shift, const QDate& date)
{
    return QStringLiteral("update accounts_dep.h_tabel set d%1=%2%3")
        .arg(date.day())
        .arg(daySum(w_id, shift, date), rowKey(w_id, shift, date));
}

QString countStatement(int w_id, int shift, const QDate& date)
{
    return QStringLiteral("select count(w_id) as cnt from accounts_dep.h_tabel") + rowKey(w_id, shift, date);
}

QString lockStatement(int w_id)
{
    return QStringLiteral("select pg_advisory_xact_lock(hashtext('h_tabel'), %1)").arg(w_id);
}

QString driftStatement()
{
    // Every day of every timesheet row beside the day sums of the journal; a day without
    // entries must hold 0, and a day with entries needs its row.
    return QStringLiteral(
        "select count(*) as drift from "
        "(select w_id, smena, data, sum(time) as hours from accounts_dep.smena group by w_id, smena, data) j "
        "full join (select h.w_id, h.smena, make_date(h.year, h.month, n) as data, "
        "(array[d1, d2, d3, d4, d5, d6, d7, d8, d9, d10, d11, d12, d13, d14, d15, d16, d17, d18, d19, d20, "
        "d21, d22, d23, d24, d25, d26, d27, d28, d29, d30, d31])[n] as hours "
        "from accounts_dep.h_tabel h, generate_series(1, 31) n "
        "where n <= extract(day from make_date(h.year, h.month, 1) + interval '1 month - 1 day')) t "
        "using (w_id, smena, data) "
        "where coalesce(j.hours, 0) <> coalesce(t.hours, 0)");
}

}

void HoursPosting::postDay(DataModule& dm, int w_id, int shift, const QDate& date, bool mayCreate)
{
    int count = 0;
    if (mayCreate) {
        dm.Control->setSql(HoursPosting::countStatement(w_id, shift, date));
        dm.Control->open();
        count = dm.Control->value(QStringLiteral("cnt")).toInt();
        dm.Control->close();
    }
    dm.H_Tabel_ins->setText(mayCreate && count == 0 ? HoursPosting::insertStatement(w_id, shift, date)
                                                    : HoursPosting::updateStatement(w_id, shift, date));
    dm.H_Tabel_ins->execute();
}

void PostDayHours(DataModule& dm, int w_id, int shift, const QDate& date, bool mayCreate)
{
    Transaction transaction(dm.connectionName());
    dm.execute(HoursPosting::lockStatement(w_id));
    HoursPosting::postDay(dm, w_id, shift, date, mayCreate);
    transaction.commit();
}
