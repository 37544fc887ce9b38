#pragma once
#include <QDate>
#include <QString>

class Command;
class DataModule;

// The journal window's statements and rules, apart from its widgets.
class JournalStore {
public:
    explicit JournalStore(DataModule* dm);

    // Deletes one journal entry (through the shared DelSmena command); the number of
    // rows deleted, 0 when it was gone.
    int deleteEntry(int id);
    // Writes an acceptance mark (through the window's own updtOK command); the number of
    // rows changed.
    int setMark(int id, const QString& mark);

    // Exactly "ok" and "да" are accepted; every other mark is not.
    static bool isAccepted(const QString& mark);
    // The mark a double-click gives: "no" for an accepted entry, "ok" for any other.
    static QString toggledMark(const QString& mark);
    static bool isWeekend(const QDate& date);

    Command* updtOK() const { return updtOK_; }

private:
    DataModule* dm_;
    Command* updtOK_;
};
