#include "import/blockreader.h"

#include "db/dberror.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>
#include <sql.h>
#include <sqlext.h>
#include <vector>

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "unixODBC's wide characters are UTF-16");

namespace {

QString diagnostics(SQLSMALLINT type, SQLHANDLE handle)
{
    QStringList lines;
    SQLWCHAR state[6];
    SQLWCHAR text[1024];
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    for (SQLSMALLINT i = 1; SQLGetDiagRecW(type, handle, i, state, &native, text, 1024, &length) == SQL_SUCCESS; ++i)
        lines << QString::fromUtf16(reinterpret_cast<const char16_t*>(text), qMin<int>(length, 1023)).trimmed();
    return lines.isEmpty() ? QStringLiteral("Ошибка драйвера ODBC") : lines.join(u'\n');
}

}

struct BlockReader::Handle {
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    int rowsPerBlock = 0;
    struct Column {
        SQLLEN width = 0;   // characters, the terminating zero included
        std::vector<SQLWCHAR> data;
        std::vector<SQLLEN> lengths;
        QString name;
    };
    std::vector<Column> columns;
    SQLULEN fetched = 0;
    SQLULEN position = 0;   // next unread row of the block
    bool finished = false;
    std::vector<SQLUSMALLINT> status;

    void check(SQLRETURN rc)
    {
        if (!SQL_SUCCEEDED(rc))
            throw DbError(diagnostics(SQL_HANDLE_STMT, stmt));
    }
    bool fetchBlock()
    {
        const SQLRETURN rc = SQLFetch(stmt);
        if (rc == SQL_NO_DATA)
            return false;
        check(rc);
        position = 0;
        return fetched > 0;
    }
};

BlockReader::BlockReader(const QString& connectionName, const QString& sql, int rowsPerBlock) : h_(new Handle)
{
    QSqlDatabase db = QSqlDatabase::database(connectionName, false);
    if (!db.isOpen())
        throw DbError(QStringLiteral("Нет подключения к базе данных"));
    const QVariant handle = db.driver()->handle();
    // QODBC hands out its connection handle (SQLHDBC, a void*).
    if (db.driverName() != QLatin1String("QODBC") || !handle.isValid() || !handle.constData())
        throw DbError(QStringLiteral("Подключение %1 не является подключением ODBC").arg(connectionName));
    SQLHDBC dbc = *static_cast<const SQLHDBC*>(handle.constData());
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &h_->stmt)))
        throw DbError(diagnostics(SQL_HANDLE_DBC, dbc));
    h_->rowsPerBlock = rowsPerBlock;
    h_->status.resize(rowsPerBlock);
    SQLSetStmtAttr(h_->stmt, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0);
    h_->check(SQLSetStmtAttr(h_->stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(rowsPerBlock)), 0));
    h_->check(SQLSetStmtAttr(h_->stmt, SQL_ATTR_ROWS_FETCHED_PTR, &h_->fetched, 0));
    h_->check(SQLSetStmtAttr(h_->stmt, SQL_ATTR_ROW_STATUS_PTR, h_->status.data(), 0));

    std::u16string text = sql.toStdU16String();
    h_->check(SQLExecDirectW(h_->stmt, reinterpret_cast<SQLWCHAR*>(text.data()), static_cast<SQLINTEGER>(text.size())));
    SQLSMALLINT count = 0;
    h_->check(SQLNumResultCols(h_->stmt, &count));
    h_->columns.resize(count);
    for (SQLSMALLINT i = 0; i < count; ++i) {
        Handle::Column& column = h_->columns[i];
        SQLWCHAR name[256];
        SQLSMALLINT nameLength = 0, type = 0, scale = 0, nullable = 0;
        SQLULEN size = 0;
        h_->check(SQLDescribeColW(h_->stmt, i + 1, name, 256, &nameLength, &type, &size, &scale, &nullable));
        column.name = QString::fromUtf16(reinterpret_cast<const char16_t*>(name), qMin<int>(nameLength, 255));
        // Room for the longest value the driver announces, and at least for any number
        // or date written as text.
        column.width = static_cast<SQLLEN>(qBound<SQLULEN>(64, size + 1, 8192));
        column.data.resize(static_cast<size_t>(column.width) * rowsPerBlock);
        column.lengths.resize(rowsPerBlock);
        h_->check(SQLBindCol(h_->stmt, i + 1, SQL_C_WCHAR, column.data.data(), column.width * sizeof(SQLWCHAR),
                             column.lengths.data()));
    }
}

BlockReader::~BlockReader()
{
    if (h_->stmt != SQL_NULL_HSTMT) {
        SQLCloseCursor(h_->stmt);
        SQLFreeHandle(SQL_HANDLE_STMT, h_->stmt);
    }
}

QVector<BlockReader::Row> BlockReader::next(int count)
{
    QVector<Row> rows;
    rows.reserve(count);
    while (rows.size() < count && !h_->finished) {
        if (h_->position >= h_->fetched && !h_->fetchBlock()) {
            h_->finished = true;
            break;
        }
        const SQLULEN r = h_->position++;
        if (h_->status[r] == SQL_ROW_ERROR)
            throw DbError(diagnostics(SQL_HANDLE_STMT, h_->stmt));
        Row row(static_cast<qsizetype>(h_->columns.size()));
        for (size_t c = 0; c < h_->columns.size(); ++c) {
            const Handle::Column& column = h_->columns[c];
            const SQLLEN length = column.lengths[r];
            if (length == SQL_NULL_DATA) {
                row[c].null = true;
                continue;
            }
            const SQLLEN chars = length / static_cast<SQLLEN>(sizeof(SQLWCHAR));
            if (length == SQL_NO_TOTAL || chars >= column.width)
                throw DbError(QStringLiteral("Значение поля %1 длиннее %2 знаков").arg(column.name).arg(column.width - 1));
            row[c].text = QString::fromUtf16(reinterpret_cast<const char16_t*>(&column.data[r * column.width]), chars);
        }
        rows.push_back(std::move(row));
    }
    return rows;
}
