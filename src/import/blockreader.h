#pragma once
#include <QString>
#include <QVector>
#include <memory>

// Reads the rows of one select on an open QODBC connection a block of rows per driver
// call, every column as text. Reading cell by cell through QSqlQuery costs one driver
// call and one conversion per value, too slow for a journal of a million rows.
class BlockReader {
public:
    struct Cell {
        QString text;
        bool null = false;
    };
    using Row = QVector<Cell>;

    // Runs the statement on the named connection; throws DbError with the driver's text.
    BlockReader(const QString& connectionName, const QString& sql, int rowsPerBlock = 1000);
    ~BlockReader();
    BlockReader(const BlockReader&) = delete;
    BlockReader& operator=(const BlockReader&) = delete;

    // The next rows, at most `count`; fewer only at the end. A value longer than the
    // driver said its column holds is an error, never cut.
    QVector<Row> next(int count);

private:
    struct Handle;
    std::unique_ptr<Handle> h_;
};
