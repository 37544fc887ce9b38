#include "journal/journalsaves.h"

#include "db/datamodule.h"
#include "db/dberror.h"
#include "db/transaction.h"
#include "journal/journalstore.h"
#include "timesheet/hoursposting.h"

#include <algorithm>
#include <vector>

const QString JournalSaves::kNotAdded = QStringLiteral("Позиция не записана: ни журнал, ни табель не изменены.");
const QString JournalSaves::kNotChanged =
    QStringLiteral("Изменения позиции не записаны: ни журнал, ни табель не изменены.");
const QString JournalSaves::kNotDeleted = QStringLiteral("Позиция не удалена: ни журнал, ни табель не изменены.");
const QString JournalSaves::kMarkNotChanged = QStringLiteral("Отметка о приемке не изменена.");

namespace {

const char* const kDayOf = "select w_id, smena, data from accounts_dep.smena where id=%1";
const char* const kDayOfForUpdate = "select w_id, smena, data from accounts_dep.smena where id=%1 for update";

// Runs one user action; a refusal leaves the transaction rolled back and says below its
// reason that nothing was written. When the connection broke on COMMIT the outcome is
// unknown, and the error says that instead.
template <typename Work>
JournalSaves::Outcome inOneTransaction(DataModule& dm, const QString& notWritten, Work work)
{
    try {
        Transaction transaction(dm.connectionName());
        const JournalSaves::Outcome outcome = work();
        if (outcome == JournalSaves::Outcome::Saved)
            transaction.commit();
        return outcome;
    } catch (DbError& e) {
        if (!e.outcomeUnknown())
            e.addNote(notWritten);
        throw;
    }
}

}

JournalSaves::JournalSaves(DataModule& dm) : dm_(dm), entries_(dm), journal_(&dm)
{
}

void JournalSaves::lockWorkers(std::vector<int> sorted)
{
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    for (const int worker : sorted)
        dm_.execute(HoursPosting::lockStatement(worker));
}

std::optional<JournalSaves::Day> JournalSaves::dayOf(int id, bool forUpdate)
{
    const SqlRun::Result r = dm_.select(QString::fromLatin1(forUpdate ? kDayOfForUpdate : kDayOf).arg(id));
    if (r.rows.isEmpty())
        return std::nullopt;
    const QSqlRecord& row = r.rows.first();
    return Day{row.value(0).toInt(), row.value(1).toInt(), row.value(2).toDate()};
}

JournalSaves::Outcome JournalSaves::add(const EntryRow& row, const QDate& today)
{
    const QString insertText = EntryStore::insertSql(row, today);
    // The same entry was committed before with an unknown outcome: if it is there, its
    // day was posted with it, and the save is done.
    if (pendingInsert_ == insertText && entries_.duplicateCount(row) > 0) {
        pendingInsert_.clear();
        return Outcome::Saved;
    }
    pendingInsert_.clear();
    Outcome outcome;
    try {
        outcome = inOneTransaction(dm_, kNotAdded, [&] {
            lockWorkers({row.w_id});
            if (!insertUnlessDuplicate(row, today))
                return Outcome::Duplicate;
            HoursPosting::postDay(dm_, row.w_id, row.shift, row.date, true);
            pendingInsert_ = insertText;   // until the commit is known to have answered
            return Outcome::Saved;
        });
    } catch (const DbError& e) {
        if (!e.outcomeUnknown())
            pendingInsert_.clear();
        throw;
    }
    pendingInsert_.clear();
    return outcome;
}

bool JournalSaves::insertUnlessDuplicate(const EntryRow& row, const QDate& today)
{
    if (entries_.duplicateCount(row) > 0)
        return false;
    entries_.insert(row, today);
    return true;
}

JournalSaves::Outcome JournalSaves::addAll(const QVector<EntryRow>& rows, const QDate& today, int* atRow)
{
    *atRow = -1;
    return inOneTransaction(dm_, kNotAdded, [&] {
        std::vector<int> workers;
        for (const EntryRow& row : rows)
            workers.push_back(row.w_id);
        lockWorkers(workers);
        // Each row is checked after the ones before it are written: the same worker twice
        // with equal entries in one brigade is a duplicate too.
        for (int i = 0; i < rows.size(); ++i) {
            *atRow = i;
            if (!insertUnlessDuplicate(rows[i], today))
                return Outcome::Duplicate;
        }
        QVector<Day> posted;
        for (int i = 0; i < rows.size(); ++i) {
            const Day day{rows[i].w_id, rows[i].shift, rows[i].date};
            if (posted.contains(day))
                continue;
            *atRow = i;
            HoursPosting::postDay(dm_, day.worker, day.shift, day.date, true);
            posted.append(day);
        }
        *atRow = -1;
        return Outcome::Saved;
    });
}

JournalSaves::Outcome JournalSaves::change(const EntryRow& row, int id, const QDate& today)
{
    return inOneTransaction(dm_, kNotChanged, [&] {
        // The day the entry leaves is read from the journal itself, as stored now.
        const std::optional<Day> before = dayOf(id, false);
        if (!before)
            return Outcome::Gone;
        lockWorkers({row.w_id, before->worker});
        const std::optional<Day> left = dayOf(id, true);
        if (!left)
            return Outcome::Gone;
        if (left->worker != before->worker)
            lockWorkers({left->worker});   // moved meanwhile at another workstation
        if (entries_.duplicateCount(row, id) > 0)
            return Outcome::Duplicate;
        if (entries_.update(row, id, today) == 0)
            return Outcome::Gone;
        HoursPosting::postDay(dm_, row.w_id, row.shift, row.date, true);
        if (*left != Day{row.w_id, row.shift, row.date})
            HoursPosting::postDay(dm_, left->worker, left->shift, left->date, false);
        return Outcome::Saved;
    });
}

JournalSaves::Outcome JournalSaves::remove(int id)
{
    return inOneTransaction(dm_, kNotDeleted, [&] {
        const std::optional<Day> before = dayOf(id, false);
        if (!before)
            return Outcome::Gone;
        lockWorkers({before->worker});
        const std::optional<Day> day = dayOf(id, true);
        if (!day)
            return Outcome::Gone;
        if (day->worker != before->worker)
            lockWorkers({day->worker});
        if (journal_.deleteEntry(id) == 0)
            return Outcome::Gone;
        HoursPosting::postDay(dm_, day->worker, day->shift, day->date, false);
        return Outcome::Saved;
    });
}

JournalSaves::Outcome JournalSaves::setMark(int id, const QString& mark)
{
    // One statement: a transaction of its own.
    try {
        return journal_.setMark(id, mark) == 0 ? Outcome::Gone : Outcome::Saved;
    } catch (DbError& e) {
        if (!e.outcomeUnknown())
            e.addNote(kMarkNotChanged);
        throw;
    }
}
