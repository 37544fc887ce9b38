#pragma once
#include <QDate>
#include <QHash>
#include <QString>
#include <QVector>

#include "db/sqlrun.h"

class DataModule;

// The history of changes the server writes (accounts_dep.change_log), read a page at a
// time, newest first. The client only reads it.
namespace History {

struct Filter {
    QDate from;              // first day shown; invalid: from the beginning
    QDate to;                // last day shown (included); invalid: up to now
    int workerId = 0;        // 0: every worker
    QString table;           // with rowKey: the history of one row
    qint64 rowKey = 0;
};

// Where a page starts: after the row with this time and id (the last row of the page
// before). Empty: the newest page.
struct Cursor {
    QString at;
    qint64 id = 0;
    bool isStart() const { return id == 0; }
};

struct Row {
    qint64 id = 0;
    QString at;              // the stored time, for the next page's cursor
    QString shownAt;         // DD.MM.YYYY HH:MM:SS
    QString table;
    QString operation;       // I, U, D, T
    qint64 rowKey = 0;
    int workerId = 0;
    QString worker;
    QString oldValues;       // jsonb text, empty when none
    QString newValues;
    QString appName;
    QString dbUser;
    QString clientAddr;
    QString dbRole;          // the role the server knew the session had: full, foreman...
};

// One column that a change touched, in the user's words.
struct Change {
    QString column;
    QString before;
    QString after;
};

// The names of the workers, products, operations and operation kinds that rows refer to
// by code, so a change reads "Рабочий: Жуков М.А. (10)". A code without a known name is
// shown alone.
struct Names {
    QHash<qint64, QString> workers;
    QHash<qint64, QString> products;
    QHash<qint64, QString> operations;
    QHash<qint64, QString> kinds;
};

// The Russian name of a traced table and of an operation.
QString tableTitle(const QString& table);
QString operationTitle(const QString& operation);
// The Russian name of a column of a traced table.
QString columnTitle(const QString& table, const QString& column);
// The columns a row's change touched: for a change those whose value differs, for an
// addition or a deletion every column with a value (zero days of a timesheet row left out).
// A code that names a worker, product, operation or kind is shown with its name.
QVector<Change> changes(const Row& row, const Names& names = {});
// "Кол-во: 10 → 12; Часы: 8 → 9"; an addition shows "→ 12", a deletion "10 →".
QString describe(const Row& row, const Names& names = {});

class Store {
public:
    static constexpr int kPageSize = 200;

    explicit Store(DataModule& dm) : dm_(dm) {}

    // The connection page() and names() read on (the reports' standby when it serves
    // them); empty: the data module's own.
    void setConnection(const QString& connectionName) { connection_ = connectionName; }
    DataModule& dataModule() const { return dm_; }

    // Whether the server keeps a history at all (a database whose schema was not yet
    // upgraded has none).
    bool available() const;

    // Up to pageSize rows after the cursor, newest first.
    QVector<Row> page(const Filter& filter, const Cursor& after = {}, int pageSize = kPageSize) const;
    // The names of the codes the rows refer to (a statement per kind of code present).
    Names names(const QVector<Row>& rows) const;
    // The workers to filter by: id and name, by name.
    QVector<QPair<int, QString>> workers() const;

private:
    SqlRun::Table selectOn(const QString& sql, const SqlRun::Params& params = {}) const;

    DataModule& dm_;
    QString connection_;
};

}
