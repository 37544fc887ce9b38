#include "timesheet/timesheetstore.h"

#include "db/datamodule.h"
#include "db/dberror.h"
#include "db/sqltext.h"
#include "db/transaction.h"

#include <QDate>
#include <QStringList>

namespace {

// Everything else that touches the timesheet waits until the rebuild ends (a fraction of a
// second): a posting from another workstation then reads and writes the rebuilt month.
// Reading waits too, because a posting decides between insert and update by counting
// the worker's row first; counted before the rebuild, a row the rebuild removes would be
// updated in vain. A rebuild that cannot get the table within the timeout (a writer that
// hangs) gives up with the server's message instead of freezing the window.
const char* const kLock = "lock table accounts_dep.h_tabel in access exclusive mode";
const char* const kLockTimeout = "set local lock_timeout = '15s'";

// The day sums gathered for the month, gone with the transaction. Each column is
// "not null" so that an entry without worker, shift or hours stops the rebuild.
const char* const kDaysTable =
    "create temporary table timesheet_days (smena integer not null, w_id integer not null, "
    "day integer not null, tim bigint not null) on commit drop";

const char* const kGatherDay =
    "insert into timesheet_days(smena, w_id, day, tim) "
    "select smena, w_id, %1, sum(time) from accounts_dep.smena "
    "where data=to_date('%2', 'DD.MM.YYYY') group by smena, w_id";

// The month's rows as the journal gives them: one per worker and shift, days without
// entries 0.
const char* const kMonthRows =
    "create temporary table timesheet_rows on commit drop as "
    "select smena, w_id, %1 from timesheet_days group by smena, w_id";

// The stored month is brought to those rows by its differences, so that only rows that
// really change are written (and traced in the history): a row without entries behind
// it goes, a row whose days differ gets the new days, a missing row is added.
const char* const kDeleteVanished =
    "delete from accounts_dep.h_tabel t where t.month=%1 and t.year=%2 "
    "and not exists (select 1 from timesheet_rows n where n.smena=t.smena and n.w_id=t.w_id)";

const char* const kUpdateChanged =
    "update accounts_dep.h_tabel t set (%3) = (%4) from timesheet_rows n "
    "where t.month=%1 and t.year=%2 and t.smena=n.smena and t.w_id=n.w_id "
    "and (%5) is distinct from (%4)";

const char* const kInsertNew =
    "insert into accounts_dep.h_tabel(smena, w_id, month, year, %3) "
    "select n.smena, n.w_id, %1, %2, %4 from timesheet_rows n "
    "where not exists (select 1 from accounts_dep.h_tabel t "
    "where t.month=%1 and t.year=%2 and t.smena=n.smena and t.w_id=n.w_id)";

// "d1, d2, …, d31" with a prefix ("n.d1, …"), and the day sums named after the columns.
QString dayColumns(const QString& prefix = QString())
{
    QStringList columns;
    for (int day = 1; day <= 31; ++day)
        columns << QStringLiteral("%1d%2").arg(prefix).arg(day);
    return columns.join(QStringLiteral(", "));
}

QString daySums()
{
    QStringList sums;
    for (int day = 1; day <= 31; ++day)
        sums << QStringLiteral("coalesce(sum(tim) filter (where day=%1), 0) as d%1").arg(day);
    return sums.join(QStringLiteral(", "));
}

}

void TimesheetStore::rebuildMonth(int month, int year, const std::function<void(int day)>& dayDone)
{
    // The month is replaced whole or stays as it was; a connection lost halfway is never
    // reopened inside the transaction.
    Transaction transaction(dm_->connectionName());
    runRebuild(month, year, dayDone);
    transaction.commit();
}

void TimesheetStore::runRebuild(int month, int year, const std::function<void(int day)>& dayDone)
{
    dm_->execute(QString::fromLatin1(kLockTimeout));
    dm_->execute(QString::fromLatin1(kLock));
    dm_->execute(QString::fromLatin1(kDaysTable));

    const QDate first(year, month, 1);
    for (int day = 1; day <= first.daysInMonth(); ++day) {
        const QDate date(year, month, day);
        dm_->H_Tabel_ins->setText(QString::fromLatin1(kGatherDay).arg(day).arg(SqlText::date(date)));
        try {
            dm_->H_Tabel_ins->execute();
        } catch (const DbError& e) {
            throw DbError(QStringLiteral("Табель не перестроен: записи журнала за %1 не удалось сложить.\n%2")
                              .arg(SqlText::date(date), e.message()));
        }
        if (dayDone)
            dayDone(day);
    }
    dm_->execute(QString::fromLatin1(kMonthRows).arg(daySums()));
    dm_->DelSmena->setText(QString::fromLatin1(kDeleteVanished).arg(month).arg(year));
    dm_->DelSmena->execute();
    dm_->H_Tabel_ins->setText(QString::fromLatin1(kUpdateChanged).arg(month).arg(year)
                                  .arg(dayColumns(), dayColumns(QStringLiteral("n.")), dayColumns(QStringLiteral("t."))));
    dm_->H_Tabel_ins->execute();
    dm_->H_Tabel_ins->setText(QString::fromLatin1(kInsertNew).arg(month).arg(year).arg(dayColumns(), dayColumns(QStringLiteral("n."))));
    dm_->H_Tabel_ins->execute();
}
