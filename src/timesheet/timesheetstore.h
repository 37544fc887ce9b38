#pragma once
#include <QString>
#include <functional>

class DataModule;

// The statements of the timesheet window: the month rebuild from the journal.
class TimesheetStore {
public:
    explicit TimesheetStore(DataModule* dm) : dm_(dm) {}

    // Makes the month's timesheet rows of every shift (4 included) the rows the journal
    // gives: a worker and shift get a row when they have journal entries that month, each
    // day holds the sum of "time" of that day's entries, days without entries 0. Only
    // the differences are written: rows that stay as they are are not touched, so the
    // history shows what the rebuild really changed (the server computes and writes it).
    // dayDone is called for each day of the month once the month is rebuilt.
    //
    // Runs as one transaction on the shared connection: the month is replaced whole or,
    // when a statement fails, stays as it was (the DbError is passed on). The timesheet
    // table is locked first, so a posting from another workstation waits for the rebuild
    // and then writes its day into the rebuilt month.
    void rebuildMonth(int month, int year, const std::function<void(int day)>& dayDone);

private:
    void runRebuild(int month, int year, const std::function<void(int day)>& dayDone);

    DataModule* dm_;
};
