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

const char* const kDeleteMonth = "delete from accounts_dep.h_tabel where month=%1 and year=%2";

const char* const kGatherDay =
    "insert into timesheet_days(smena, w_id, day, tim) "
    "select smena, w_id, %1, sum(time) from accounts_dep.smena "
    "where data=to_date('%2', 'DD.MM.YYYY') group by smena, w_id";

const char* const kWriteMonth =
    "insert into accounts_dep.h_tabel(smena, w_id, month, year, %3) "
    "select smena, w_id, %1, %2, %4 from timesheet_days group by smena, w_id";

// "d1, d2, …, d31" and the matching day sums.
QString dayColumns()
{
    QStringList columns;
    for (int day = 1; day <= 31; ++day)
        columns << QStringLiteral("d%1").arg(day);
    return columns.join(QStringLiteral(", "));
}

QString daySums()
{
    QStringList sums;
    for (int day = 1; day <= 31; ++day)
        sums << QStringLiteral("coalesce(sum(tim) filter (where day=%1), 0)").arg(day);
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
    dm_->DelSmena->setText(QString::fromLatin1(kDeleteMonth).arg(month).arg(year));
    dm_->DelSmena->execute();

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
    dm_->H_Tabel_ins->setText(QString::fromLatin1(kWriteMonth).arg(month).arg(year).arg(dayColumns(), daySums()));
    dm_->H_Tabel_ins->execute();
}
