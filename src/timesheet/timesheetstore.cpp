#include "timesheet/timesheetstore.h"

#include "db/datamodule.h"
#include "db/transaction.h"

#include <QDate>

namespace {

// The rebuild is the server's own function: it locks the timesheet (everything else that
// touches it waits until the rebuild ends, a fraction of a second), sums the month's
// journal by worker, shift and day, and writes only the rows that differ. A rebuild that
// cannot get the table within 15 s (a writer that hangs) gives up with the server's
// message instead of freezing the window.
const char* const kRebuild = "select accounts_dep.rebuild_month(%1, %2) as rows_of_month";

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
    dm_->select(QString::fromLatin1(kRebuild).arg(month).arg(year));
    if (dayDone)
        for (int day = 1; day <= QDate(year, month, 1).daysInMonth(); ++day)
            dayDone(day);
}
