#include "timesheet/hoursposting.h"

#include "db/datamodule.h"
#include "db/sqltext.h"

// The day's sum is computed inside the statement that writes it, and a row that another
// workstation created between our count and our insert is updated instead of doubled
// (the timesheet key is unique on the server). So two clients posting the same worker,
// shift and day at once end with one row holding the hours of both entries.
void PostDayHours(DataModule& dm, int w_id, int shift, const QDate& date, bool mayCreate)
{
    const QString w = QString::number(w_id);
    const QString s = QString::number(shift);
    const QString month = QString::number(date.month());
    const QString year = QString::number(date.year());
    const QString day = QString::number(date.day());
    const QString daySum = QStringLiteral("(select coalesce(sum(time), 0) from accounts_dep.smena where w_id=")
        + w + QStringLiteral(" and smena=") + s + QStringLiteral(" and data=to_date('")
        + SqlText::date(date) + QStringLiteral("', 'DD.MM.YYYY'))");

    int count = 0;
    if (mayCreate) {
        dm.Control->setSql(QStringLiteral("select count(w_id) as cnt from accounts_dep.h_tabel where w_id=") + w
                           + QStringLiteral(" and smena=") + s + QStringLiteral(" and month=") + month
                           + QStringLiteral(" and year=") + year);
        dm.Control->open();
        count = dm.Control->value(QStringLiteral("cnt")).toInt();
        dm.Control->close();
    }

    if (mayCreate && count == 0) {
        dm.H_Tabel_ins->setText(QStringLiteral("insert into accounts_dep.h_tabel(smena, w_id, month, year, d") + day
                                + QStringLiteral(") select ") + s + QStringLiteral(", ") + w + QStringLiteral(", ")
                                + month + QStringLiteral(", ") + year + QStringLiteral(", ") + daySum
                                + QStringLiteral(" on conflict (year, month, w_id, smena) do update set d") + day
                                + QStringLiteral("=excluded.d") + day);
    } else {
        dm.H_Tabel_ins->setText(QStringLiteral("update accounts_dep.h_tabel set d") + day + u'=' + daySum
                                + QStringLiteral(" where w_id=") + w + QStringLiteral(" and smena=") + s
                                + QStringLiteral(" and month=") + month + QStringLiteral(" and year=") + year);
    }
    dm.H_Tabel_ins->execute();
}
