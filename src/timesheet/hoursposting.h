#pragma once
#include <QDate>

class DataModule;

// Writes one worker's hours of one shift and date into the monthly timesheet: the day
// column of the worker's row for that shift, month and year gets the sum of "time" of
// the journal entries of that worker, shift and date (0 when none are left).
// With mayCreate a missing row is created; without it a missing row stays missing.
void PostDayHours(DataModule& dm, int w_id, int shift, const QDate& date, bool mayCreate);

namespace HoursPosting {
// The same posting inside the caller's transaction: a save posts the days it touches
// together with the entry (the server's posting takes the worker's lock itself).
void postDay(DataModule& dm, int w_id, int shift, const QDate& date, bool mayCreate);

// The server's posting of one day: it counts the row, sums the day and writes it.
QString postStatement(int w_id, int shift, const QDate& date, bool mayCreate);
// The worker's timesheet lock, which the server's posting takes too: a save takes it
// before its duplicate check, so two saves of one worker take turns.
QString lockStatement(int w_id);
// The posting rule as one statement over the whole journal: the number of worker-days
// (worker, shift, date) whose timesheet hours differ from the sum of their entries.
QString driftStatement();
}
