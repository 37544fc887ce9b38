#pragma once
#include "journal/entrystore.h"
#include "journal/journalstore.h"

#include <QDate>
#include <QString>
#include <QVector>
#include <vector>

class DataModule;

// The journal's writes, each user action one transaction: the entry is written and every
// timesheet day it touches is posted, or nothing at all. A refusal at any statement, a
// lost connection or a killed program leaves the journal and the timesheet as they were.
//
// Each transaction first takes the timesheet lock of every worker it touches, in
// ascending order, so that two workstations saving entries of one worker take turns: the
// duplicate count then sees the other's committed entry, and the day sums its hours.
class JournalSaves {
public:
    enum class Outcome {
        Saved,
        Duplicate,   // an equal entry exists: nothing was written
        Gone,        // the entry was deleted at another workstation: nothing was written
    };

    explicit JournalSaves(DataModule& dm);

    // A new entry and its day (the row is created when missing).
    Outcome add(const EntryRow& row, const QDate& today);
    // Many new entries (a brigade's shift) as one transaction: every row written and every
    // day they touch posted, or nothing at all. On a duplicate or a refusal *atRow is the
    // index of the row it concerns (-1 when it concerns none: the commit).
    Outcome addAll(const QVector<EntryRow>& rows, const QDate& today, int* atRow);
    // The entry with its new values, its new day, and the day it left when the change
    // moved it to another worker, shift or date.
    Outcome change(const EntryRow& row, int id, const QDate& today);
    // Deletes the entry and posts the day it leaves.
    Outcome remove(int id);
    // The storekeeper's acceptance mark.
    Outcome setMark(int id, const QString& mark);

    // What the user is told after a refusal, below the reason: nothing was written.
    static const QString kNotAdded;
    static const QString kNotChanged;
    static const QString kNotDeleted;
    static const QString kMarkNotChanged;

private:
    struct Day {
        int worker = 0;
        int shift = 0;
        QDate date;
        bool operator==(const Day&) const = default;
    };
    // The worker, shift and date of a stored entry; nothing when it is gone.
    std::optional<Day> dayOf(int id, bool forUpdate);
    void lockWorkers(std::vector<int> workers);
    // Inside the caller's transaction, with the worker locked: writes the entry unless an
    // equal one is there; false for a duplicate.
    bool insertUnlessDuplicate(const EntryRow& row, const QDate& today);

    DataModule& dm_;
    EntryStore entries_;
    JournalStore journal_;
    // The add last committed with an unknown outcome (the connection broke on COMMIT):
    // if it took effect, saving the same entry again finds it instead of writing it twice.
    QString pendingInsert_;
};
