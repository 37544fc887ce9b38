#include "timesheet/hoursposting.h"

#include "db/datamodule.h"
#include "db/sqltext.h"

// The day's sum is computed inside the statement that writes it, and a row that another
// workstation created between our count and our insert is updated instead of doubled
// (the timesheet key is unique on the server). So two clients posting the same worker,
// shift and day at once end with one row holding the hours of both entries.
namespace HoursPosting {
namespace {

QString daySum(int w_id, int shift, const QDate& date)
{
    return QStringLiteral("(select coalesce(sum(time), 0) from accounts_dep.smena where w_id=") + QString::number(w_id)
        + QStringLiteral(" and smena=") + QString::number(shift) + QStringLiteral(" and data=to_date('")
        + SqlText::date(date) + QStringLiteral("', 'DD.MM.YYYY'))");
}

QString rowKey(int w_id, int shift, const QDate& date)
{
    return QStringLiteral(" where w_id=") + QString::number(w_id) + QStringLiteral(" and smena=") + QString::number(shift)
        + QStringLiteral(" and month=") + QString::number(date.month()) + QStringLiteral(" and year=")
        + QString::number(date.year());
}

}

QString insertStatement(int w_id, int shift, const QDate& date)
{
    const QString day = QString::number(date.day());
    return QStringLiteral("insert into accounts_dep.h_tabel(smena, w_id, month, year, d") + day
        + QStringLiteral(") select ") + QString::number(shift) + QStringLiteral(", ") + QString::number(w_id)
        + QStringLiteral(", ") + QString::number(date.month()) + QStringLiteral(", ") + QString::number(date.year())
        + QStringLiteral(", ") + daySum(w_id, shift, date)
        + QStringLiteral(" on conflict (year, month, w_id, smena) do update set d") + day + QStringLiteral("=excluded.d") + day;
}

QString updateStatement(int w_id, int shift, const QDate& date)
{
    return QStringLiteral("update accounts_dep.h_tabel set d") + QString::number(date.day()) + u'='
        + daySum(w_id, shift, date) + rowKey(w_id, shift, date);
}

}

void PostDayHours(DataModule& dm, int w_id, int shift, const QDate& date, bool mayCreate)
{
    int count = 0;
    if (mayCreate) {
        dm.Control->setSql(QStringLiteral("select count(w_id) as cnt from accounts_dep.h_tabel where w_id=")
                           + QString::number(w_id) + QStringLiteral(" and smena=") + QString::number(shift)
                           + QStringLiteral(" and month=") + QString::number(date.month())
                           + QStringLiteral(" and year=") + QString::number(date.year()));
        dm.Control->open();
        count = dm.Control->value(QStringLiteral("cnt")).toInt();
        dm.Control->close();
    }
    dm.H_Tabel_ins->setText(mayCreate && count == 0 ? HoursPosting::insertStatement(w_id, shift, date)
                                                    : HoursPosting::updateStatement(w_id, shift, date));
    dm.H_Tabel_ins->execute();
}
