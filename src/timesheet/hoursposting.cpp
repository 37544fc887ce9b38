#include "timesheet/hoursposting.h"

#include "db/datamodule.h"
#include "db/sqltext.h"

// The posting is the server's own function (accounts_dep.post_day_hours): it counts the
// worker's row, sums the day's entries and writes the day column, creating the row when
// allowed. No workstation writes timesheet hours itself, so a posted day is always the
// sum of its entries, whatever client wrote them.
//
// The function takes the worker's timesheet lock, pg_advisory_xact_lock(hashtext('h_tabel'),
// w_id), first: a posting of the same worker elsewhere finishes first, and the sum is taken
// after it, so it sees every entry committed before. A save takes the same lock before it
// writes its entry (lockStatement), so its duplicate check sees the other's entry too.
namespace HoursPosting {

QString postStatement(int w_id, int shift, const QDate& date, bool mayCreate)
{
    return QStringLiteral("select accounts_dep.post_day_hours(%1, %2, to_date('%3', 'DD.MM.YYYY'), %4) as tim")
        .arg(w_id)
        .arg(shift)
        .arg(SqlText::date(date), mayCreate ? QStringLiteral("true") : QStringLiteral("false"));
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
    dm.Control->setSql(HoursPosting::postStatement(w_id, shift, date, mayCreate));
    dm.Control->open();
    dm.Control->close();
}

void PostDayHours(DataModule& dm, int w_id, int shift, const QDate& date, bool mayCreate)
{
    // One statement, a transaction of its own; the server's posting takes the lock.
    HoursPosting::postDay(dm, w_id, shift, date, mayCreate);
}
