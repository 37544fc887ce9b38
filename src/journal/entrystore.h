#pragma once
#include "db/command.h"

#include <QDate>
#include <QString>
#include <optional>

class DataModule;

// The texts of the entry editor's input boxes as the foreman left them.
struct EntryInput {
    QString worker;      // Edit1
    QString operation;   // Edit2
    QString quantity;    // Edit3
    QString defects;     // Edit4
    QString colour;      // Edit5
    QString hours;       // Edit6
};

// One journal entry (a row of accounts_dep.smena) as the editor writes it.
struct EntryRow {
    int w_id = 0;
    int i_id = 0;
    int o_id = 0;
    double cena = 0;
    int quantity = 0;
    int defects = 0;
    int colour = 0;
    int hours = 0;
    QDate date;
    int shift = 0;
};

// The journal entry editor's rules and statements: input checks, the duplicate count,
// the insert and update of a journal row, and the product marka lookup.
class EntryStore {
public:
    enum class Field { Worker, Operation, Quantity, Defects, Colour, Hours };
    struct Problem {
        QString message;
        Field field;
    };

    static const QString kFillAll;    // "Все поля должны быть заполнены!"
    static const QString kDuplicate;  // "Позиция с такими параметрами уже заведена!"

    // The first problem of the input, in the order the foreman is told about them:
    // empty boxes first, then numbers the journal cannot hold, then more defects
    // than pieces. Nothing when the entry may be saved.
    static std::optional<Problem> check(const EntryInput& input);
    // The whole number in a box (blanks trimmed); 0 for an empty box. Only for input
    // that check() accepted.
    static int number(const QString& boxText);

    // Operations whose text contains "КРАСКА" in any letter case are paint operations
    // and need a colour.
    static bool isPaint(const QString& operationText);
    // "Готовая продукция" for product kind 0, else "Заготовки".
    static QString kindWord(int naimen);
    // marka; kind; product kind word, as the editor shows an operation.
    static QString operationText(const QString& marka, const QString& vid, int naimen);

    // The count of equal entries: same worker, operation, product, date, shift and
    // colour; a changed entry does not count itself (ownId).
    static QString duplicateCountSql(const EntryRow& row);
    static QString duplicateCountSql(const EntryRow& row, int ownId);
    static QString insertSql(const EntryRow& row, const QDate& today);
    static QString updateSql(const EntryRow& row, int id, const QDate& today);

    explicit EntryStore(DataModule& dm);

    // The product's marka, trimmed; empty when there is no such product.
    QString marka(int i_id) const;
    // The operation's base price, its lowest norm price, as the operations list shows
    // it; nothing when the operation has no norms.
    std::optional<double> basePrice(int o_id) const;
    // The number of equal entries (see duplicateCountSql).
    int duplicateCount(const EntryRow& row) const;
    int duplicateCount(const EntryRow& row, int ownId) const;
    // The hours of the entry's worker in its shift and date, the entry itself left out
    // (ownId 0 for a new one).
    qint64 dayHours(const EntryRow& row, int ownId) const;

    // A worker's day in one shift: more than a day's hours is surely a slip of the keys
    // (the foreman decides); a sum the timesheet's integer day cannot hold is refused.
    static constexpr int kHoursInDay = 24;
    enum class DayHours { Fits, MoreThanADay, TooMany };
    static DayHours judgeDayHours(qint64 total);
    void insert(const EntryRow& row, const QDate& today);
    // Returns the number of rows changed: 0 when the entry is gone.
    int update(const EntryRow& row, int id, const QDate& today);

private:
    // The count with the condition that leaves the changed entry out (empty for a new one).
    static QString duplicateCountSql(const EntryRow& row, const QString& notItself);

    DataModule& dm_;
    Command SmenaIU;
};
