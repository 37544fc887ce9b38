#include "db/odbcstatement.h"

#include <QDateTime>
#include <QSqlField>
#include <cstring>
#include <vector>

#include <sql.h>
#include <sys/mman.h>
#include <unistd.h>
#include <sqlext.h>

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "unixODBC's wide characters are UTF-16");

namespace {

// The buffers of one block come to about this many bytes, a wide row taking fewer rows.
constexpr SQLLEN kBlockBytes = 128 * 1024;
constexpr SQLULEN kMaxRowsPerBlock = 500;
// Texts are bound this wide at most; a longer value is read whole on its own.
constexpr SQLLEN kMaxBoundChars = 1024;

SQLHSTMT handleOf(void* statement)
{
    return static_cast<SQLHSTMT>(statement);
}

// The type QODBC gives a column of the SQL type (PostgreSQL knows no unsigned numbers).
QMetaType metaTypeOf(SQLSMALLINT sqlType)
{
    switch (sqlType) {
    // QODBC reads a real as text in the desktop's number format ("2,5"); it is read
    // here as the number it is.
    case SQL_DECIMAL: case SQL_NUMERIC: case SQL_REAL: case SQL_FLOAT: case SQL_DOUBLE:
        return QMetaType::fromType<double>();
    case SQL_SMALLINT:
        return QMetaType::fromType<short>();
    case SQL_INTEGER: case SQL_BIT: case SQL_TINYINT:
        return QMetaType::fromType<int>();
    case SQL_BIGINT:
        return QMetaType::fromType<qlonglong>();
    case SQL_BINARY: case SQL_VARBINARY: case SQL_LONGVARBINARY:
        return QMetaType::fromType<QByteArray>();
    case SQL_DATE: case SQL_TYPE_DATE:
        return QMetaType::fromType<QDate>();
    case SQL_TIME: case SQL_TYPE_TIME:
        return QMetaType::fromType<QTime>();
    case SQL_TIMESTAMP: case SQL_TYPE_TIMESTAMP:
        return QMetaType::fromType<QDateTime>();
    default:
        return QMetaType::fromType<QString>();
    }
}

// One result column bound to an array of values of its C type.
struct Column {
    QMetaType type;
    SQLSMALLINT cType = SQL_C_WCHAR;
    SQLLEN elementBytes = 0;   // one row's value, with a text's terminating zero
    std::vector<char> data;
    std::vector<SQLLEN> lengths;
    // The text of the row before: a report's rows come sorted, so a worker's name or a
    // product's number repeats row after row and is shared instead of made again.
    QString previousText;

    bool isText() const { return cType == SQL_C_WCHAR; }
    const char* at(SQLULEN row) const { return data.data() + row * elementBytes; }
};

Column bufferFor(const QSqlField& field)
{
    Column c;
    c.type = field.metaType();
    const SQLLEN declared = field.length() > 0 ? field.length() : kMaxBoundChars;
    switch (c.type.id()) {
    case QMetaType::Short:   // read, and null, as a whole number as QODBC has it
        c.type = QMetaType::fromType<int>(); c.cType = SQL_C_SSHORT; c.elementBytes = sizeof(SQLSMALLINT); break;
    case QMetaType::Int: c.cType = SQL_C_SLONG; c.elementBytes = sizeof(SQLINTEGER); break;
    case QMetaType::LongLong: c.cType = SQL_C_SBIGINT; c.elementBytes = sizeof(SQLBIGINT); break;
    case QMetaType::Double: c.cType = SQL_C_DOUBLE; c.elementBytes = sizeof(SQLDOUBLE); break;
    case QMetaType::QDate: c.cType = SQL_C_TYPE_DATE; c.elementBytes = sizeof(SQL_DATE_STRUCT); break;
    case QMetaType::QTime: c.cType = SQL_C_TYPE_TIME; c.elementBytes = sizeof(SQL_TIME_STRUCT); break;
    case QMetaType::QDateTime: c.cType = SQL_C_TYPE_TIMESTAMP; c.elementBytes = sizeof(SQL_TIMESTAMP_STRUCT); break;
    case QMetaType::QByteArray: c.cType = SQL_C_BINARY; c.elementBytes = qMin(declared, kMaxBoundChars); break;
    default:
        c.type = QMetaType();   // a null text is an empty QVariant, as QODBC has it
        c.cType = SQL_C_WCHAR;
        c.elementBytes = (qMin(declared, kMaxBoundChars) + 1) * SQLLEN(sizeof(SQLWCHAR));
        break;
    }
    // Bound by column, a fixed-size value's array has the type's own stride (values are
    // copied out with memcpy, so no alignment is needed); a text's stride is its buffer.
    return c;
}

// A parameter's value in the form QODBC would bind it.
struct Parameter {
    SQLSMALLINT cType = SQL_C_WCHAR;
    SQLSMALLINT sqlType = SQL_WVARCHAR;
    SQLULEN columnSize = 0;
    SQLSMALLINT digits = 0;
    QByteArray bytes;
    SQLLEN indicator = 0;
};

template<typename T>
QByteArray bytesOf(const T& value)
{
    return QByteArray(reinterpret_cast<const char*>(&value), sizeof value);
}

// As QODBC has it: a null text, date or time is bound as NULL as well.
bool isNullValue(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return true;
    switch (value.typeId()) {
    case QMetaType::QString: return static_cast<const QString*>(value.constData())->isNull();
    case QMetaType::QByteArray: return static_cast<const QByteArray*>(value.constData())->isNull();
    case QMetaType::QDate: return static_cast<const QDate*>(value.constData())->isNull();
    case QMetaType::QTime: return static_cast<const QTime*>(value.constData())->isNull();
    case QMetaType::QDateTime: return !static_cast<const QDateTime*>(value.constData())->isValid();
    default: return false;
    }
}

Parameter parameterFor(const QVariant& value)
{
    Parameter p;
    const bool null = isNullValue(value);
    switch (value.typeId()) {
    case QMetaType::QDate: {
        const QDate d = value.toDate();
        SQL_DATE_STRUCT s{SQLSMALLINT(d.year()), SQLUSMALLINT(d.month()), SQLUSMALLINT(d.day())};
        p.cType = SQL_C_DATE; p.sqlType = SQL_DATE; p.bytes = bytesOf(s);
        break;
    }
    case QMetaType::QTime: {
        const QTime t = value.toTime();
        SQL_TIME_STRUCT s{SQLUSMALLINT(t.hour()), SQLUSMALLINT(t.minute()), SQLUSMALLINT(t.second())};
        p.cType = SQL_C_TIME; p.sqlType = SQL_TIME; p.bytes = bytesOf(s);
        break;
    }
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        const QDate d = dt.date();
        const QTime t = dt.time();
        SQL_TIMESTAMP_STRUCT s{SQLSMALLINT(d.year()), SQLUSMALLINT(d.month()), SQLUSMALLINT(d.day()),
                               SQLUSMALLINT(t.hour()), SQLUSMALLINT(t.minute()), SQLUSMALLINT(t.second()),
                               SQLUINTEGER(t.msec()) * 1000000u};
        p.cType = SQL_C_TIMESTAMP; p.sqlType = SQL_TIMESTAMP; p.columnSize = 23; p.digits = 3; p.bytes = bytesOf(s);
        break;
    }
    case QMetaType::Int: case QMetaType::Short: case QMetaType::UShort:
        p.cType = SQL_C_SLONG; p.sqlType = SQL_INTEGER; p.bytes = bytesOf(SQLINTEGER(value.toInt()));
        break;
    case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::ULongLong: case QMetaType::Long:
        p.cType = SQL_C_SBIGINT; p.sqlType = SQL_BIGINT; p.bytes = bytesOf(SQLBIGINT(value.toLongLong()));
        break;
    case QMetaType::Double: case QMetaType::Float:
        p.cType = SQL_C_DOUBLE; p.sqlType = SQL_DOUBLE; p.bytes = bytesOf(SQLDOUBLE(value.toDouble()));
        break;
    case QMetaType::Bool:
        p.cType = SQL_C_BIT; p.sqlType = SQL_BIT; p.bytes = bytesOf(SQLCHAR(value.toBool() ? 1 : 0));
        break;
    case QMetaType::QByteArray:
        p.cType = SQL_C_BINARY; p.sqlType = SQL_LONGVARBINARY; p.bytes = value.toByteArray();
        p.columnSize = SQLULEN(qMax<qsizetype>(p.bytes.size(), 1));
        break;
    default: {
        // Texts, and anything else as its text.
        const QString text = value.toString();
        p.bytes = QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * qsizetype(sizeof(SQLWCHAR)));
        p.cType = SQL_C_WCHAR;
        p.sqlType = text.size() > 254 ? SQL_WLONGVARCHAR : SQL_WVARCHAR;
        p.columnSize = SQLULEN(qMax<qsizetype>(text.size(), 1));
        break;
    }
    }
    p.indicator = null ? SQL_NULL_DATA : SQLLEN(p.bytes.size());
    return p;
}

// Maps the pages of a large block that is about to be filled in one call: filled row by
// row, each page would stop the program once to be mapped, and where the system runs in
// a virtual machine such a stop costs some 10 microseconds.
void populate(void* start, size_t bytes)
{
    static const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
    const uintptr_t from = (reinterpret_cast<uintptr_t>(start) + page - 1) & ~(page - 1);
    const uintptr_t to = (reinterpret_cast<uintptr_t>(start) + bytes) & ~(page - 1);
    if (to > from + 16 * page)
        madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE);
}

}

struct OdbcStatement::Buffers {
    std::vector<Column> columns;
    std::vector<SQLUSMALLINT> status;
    SQLULEN rowsPerBlock = 0;
    SQLULEN fetched = 0;   // rows of the last block
    bool bound = false;    // the statement's columns are bound to these buffers
};

OdbcStatement::OdbcStatement(void* connectionHandle, const QString& sql, Mode mode)
{
    SQLHSTMT statement = SQL_NULL_HSTMT;
    if (!connectionHandle || !SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, static_cast<SQLHDBC>(connectionHandle), &statement))) {
        errorText_ = QStringLiteral("Соединение не открыто.");
        sqlState_ = QStringLiteral("08003");
        return;
    }
    statement_ = statement;
    SQLSetStmtAttr(statement, SQL_ATTR_CURSOR_TYPE, reinterpret_cast<SQLPOINTER>(SQL_CURSOR_FORWARD_ONLY), 0);
    std::u16string text = positional(sql, &names_).toStdU16String();
    if (mode == Mode::Direct) {
        direct_ = true;
        text_ = std::move(text);
        return;
    }
    prepared_ = check(SQLPrepareW(statement, reinterpret_cast<SQLWCHAR*>(text.data()), SQLINTEGER(text.size())));
}

OdbcStatement::~OdbcStatement()
{
    if (statement_)
        SQLFreeHandle(SQL_HANDLE_STMT, handleOf(statement_));
}

bool OdbcStatement::check(short rc)
{
    if (SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA)
        return true;
    QStringList lines;
    SQLWCHAR state[6] = {0};
    SQLWCHAR text[2048];
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    sqlState_.clear();
    for (SQLSMALLINT i = 1;; ++i) {
        const SQLRETURN r = SQLGetDiagRecW(SQL_HANDLE_STMT, handleOf(statement_), i, state, &native, text, 2048, &length);
        if (!SQL_SUCCEEDED(r))
            break;
        if (i == 1)
            sqlState_ = QString::fromUtf16(reinterpret_cast<const char16_t*>(state), 5);
        lines << QString::fromUtf16(reinterpret_cast<const char16_t*>(text), qMin<int>(length, 2047)).trimmed();
    }
    errorText_ = lines.isEmpty() ? QStringLiteral("Ошибка драйвера ODBC.") : lines.join(u'\n');
    return false;
}

std::shared_ptr<void> OdbcStatement::bindParameters(void* statementHandle, const QStringList& names, const Params& params)
{
    auto bound = std::make_shared<std::vector<Parameter>>();
    bound->reserve(size_t(names.size()));
    for (int i = 0; i < names.size(); ++i) {
        bound->push_back(parameterFor(params.value(names[i])));
        Parameter& p = bound->back();
        if (!SQL_SUCCEEDED(SQLBindParameter(handleOf(statementHandle), SQLUSMALLINT(i + 1), SQL_PARAM_INPUT, p.cType,
                                            p.sqlType, p.columnSize, p.digits, p.bytes.data(), SQLLEN(p.bytes.size()),
                                            &p.indicator)))
            return {};
    }
    return bound;
}

bool OdbcStatement::execute(const Params& params)
{
    if (!prepared_ && !isDirect())
        return false;
    SQLHSTMT statement = handleOf(statement_);
    SQLFreeStmt(statement, SQL_CLOSE);
    const std::shared_ptr<void> bound = bindParameters(statement, names_, params);
    if (!bound)
        return check(SQL_ERROR);
    const bool ok = isDirect()
        ? check(SQLExecDirectW(statement, reinterpret_cast<SQLWCHAR*>(text_.data()), SQLINTEGER(text_.size())))
        : check(SQLExecute(statement));
    // The buffers go with this call; the next run binds its own.
    SQLFreeStmt(statement, SQL_RESET_PARAMS);
    return ok;
}

QSqlRecord OdbcStatement::fields()
{
    // A prepared statement's columns stay as they were: should a table change under it,
    // the server refuses to run it.
    if (prepared_ && fieldsKnown_)
        return fields_;
    QSqlRecord record;
    SQLHSTMT statement = handleOf(statement_);
    SQLSMALLINT count = 0;
    if (!statement || !SQL_SUCCEEDED(SQLNumResultCols(statement, &count)))
        return record;
    for (SQLSMALLINT i = 1; i <= count; ++i) {
        SQLWCHAR name[256];
        SQLSMALLINT nameLength = 0, type = 0, scale = 0, nullable = SQL_NULLABLE_UNKNOWN;
        SQLULEN size = 0;
        if (!SQL_SUCCEEDED(SQLDescribeColW(statement, SQLUSMALLINT(i), name, 256, &nameLength, &type, &size, &scale, &nullable)))
            nameLength = 0;
        QSqlField field(QString::fromUtf16(reinterpret_cast<const char16_t*>(name), qBound<int>(0, nameLength, 255)),
                        metaTypeOf(type));
        field.setSqlType(type);
        field.setLength(size == 0 ? -1 : int(qMin<SQLULEN>(size, INT_MAX)));
        field.setPrecision(scale == 0 ? -1 : scale);
        if (nullable == SQL_NO_NULLS)
            field.setRequired(true);
        else if (nullable == SQL_NULLABLE)
            field.setRequired(false);
        field.setValue(QVariant(field.metaType()));
        record.append(field);
    }
    fields_ = record;
    fieldsKnown_ = true;
    return record;
}

namespace {

// A value longer than its buffer, read whole once its row is made current.
QVariant readWhole(SQLHSTMT statement, SQLUSMALLINT column, SQLULEN row, const Column& c, bool* ok)
{
    *ok = SQL_SUCCEEDED(SQLSetPos(statement, SQLSETPOSIROW(row + 1), SQL_POSITION, SQL_LOCK_NO_CHANGE));
    if (!*ok)
        return {};
    QByteArray bytes;
    char chunk[16384];
    for (;;) {
        SQLLEN length = 0;
        const SQLRETURN r = SQLGetData(statement, column, c.cType, chunk, sizeof(chunk), &length);
        if (r == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(r)) {
            *ok = false;
            return {};
        }
        if (length == SQL_NULL_DATA)
            return QVariant(c.type);
        const SQLLEN room = c.isText() ? SQLLEN(sizeof(chunk) - sizeof(SQLWCHAR)) : SQLLEN(sizeof(chunk));
        bytes.append(chunk, (length == SQL_NO_TOTAL || length > room) ? room : length);
        if (r == SQL_SUCCESS)
            break;
    }
    if (!c.isText())
        return bytes;
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
}

QVariant valueAt(SQLHSTMT statement, SQLUSMALLINT columnNumber, SQLULEN row, Column& c, bool* ok)
{
    const SQLLEN length = c.lengths[row];
    if (length == SQL_NULL_DATA)
        return QVariant(c.type);
    const char* p = c.at(row);
    switch (c.cType) {
    case SQL_C_SSHORT: { SQLSMALLINT v; std::memcpy(&v, p, sizeof v); return int(v); }   // as QODBC gives it
    case SQL_C_SLONG: { SQLINTEGER v; std::memcpy(&v, p, sizeof v); return int(v); }
    case SQL_C_SBIGINT: { SQLBIGINT v; std::memcpy(&v, p, sizeof v); return qlonglong(v); }
    case SQL_C_DOUBLE: { SQLDOUBLE v; std::memcpy(&v, p, sizeof v); return double(v); }
    case SQL_C_TYPE_DATE: {
        SQL_DATE_STRUCT d;
        std::memcpy(&d, p, sizeof d);
        return QDate(d.year, d.month, d.day);
    }
    case SQL_C_TYPE_TIME: {
        SQL_TIME_STRUCT t;
        std::memcpy(&t, p, sizeof t);
        return QTime(t.hour, t.minute, t.second);
    }
    case SQL_C_TYPE_TIMESTAMP: {
        SQL_TIMESTAMP_STRUCT t;
        std::memcpy(&t, p, sizeof t);
        return QDateTime(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second, int(t.fraction / 1000000)));
    }
    case SQL_C_BINARY:
        if (length == SQL_NO_TOTAL || length > c.elementBytes)
            return readWhole(statement, columnNumber, row, c, ok);
        return QByteArray(p, length);
    default: {
        const SQLLEN room = c.elementBytes / SQLLEN(sizeof(SQLWCHAR)) - 1;
        if (length == SQL_NO_TOTAL || length / SQLLEN(sizeof(SQLWCHAR)) > room)
            return readWhole(statement, columnNumber, row, c, ok);
        const qsizetype chars = length / SQLLEN(sizeof(SQLWCHAR));
        if (chars == 0 || c.previousText.size() != chars || std::memcmp(c.previousText.constData(), p, size_t(length)) != 0)
            c.previousText = QString::fromUtf16(reinterpret_cast<const char16_t*>(p), chars);
        return c.previousText;
    }
    }
}

}

bool OdbcStatement::fetchAll(const QSqlRecord& fields, QVector<QVariant>* values)
{
    SQLHSTMT statement = handleOf(statement_);
    if (!statement || fields.isEmpty())
        return true;
    // The same columns as last time keep their buffers: a block's buffers are large
    // enough that the C library would hand them out and take them back from the system
    // on every run.
    std::vector<Column> wanted;
    wanted.reserve(size_t(fields.count()));
    SQLLEN rowBytes = 0;
    for (int i = 0; i < fields.count(); ++i) {
        wanted.push_back(bufferFor(fields.field(i)));
        rowBytes += wanted.back().elementBytes;
    }
    const SQLULEN rowsPerBlock = qBound<SQLULEN>(16, SQLULEN(kBlockBytes / qMax<SQLLEN>(rowBytes, 1)), kMaxRowsPerBlock);
    auto sameLayout = [&] {
        if (!buffers_ || buffers_->rowsPerBlock != rowsPerBlock || buffers_->columns.size() != wanted.size())
            return false;
        for (size_t i = 0; i < wanted.size(); ++i)
            if (buffers_->columns[i].cType != wanted[i].cType || buffers_->columns[i].elementBytes != wanted[i].elementBytes)
                return false;
        return true;
    };
    if (!sameLayout()) {
        buffers_ = std::make_unique<Buffers>();
        buffers_->columns = std::move(wanted);
        buffers_->rowsPerBlock = rowsPerBlock;
        buffers_->status.resize(rowsPerBlock);
        for (Column& c : buffers_->columns) {
            c.data.resize(size_t(c.elementBytes) * rowsPerBlock);
            c.lengths.resize(rowsPerBlock);
        }
    }
    std::vector<Column>& columns = buffers_->columns;
    std::vector<SQLUSMALLINT>& status = buffers_->status;

    // The driver holds the whole result already and knows its size.
    SQLLEN expected = 0;
    if (SQL_SUCCEEDED(SQLRowCount(statement, &expected)) && expected > 0)
    {
        values->reserve(values->size() + qsizetype(expected) * qsizetype(columns.size()));
        populate(values->data() + values->size(), size_t(values->capacity() - values->size()) * sizeof(QVariant));
    }

    // The columns stay bound to the kept buffers for the next run of the statement; a
    // read that fails unbinds them, and the next one binds afresh.
    struct Close {
        SQLHSTMT statement;
        std::unique_ptr<Buffers>* buffers;
        bool failed = true;
        ~Close()
        {
            if (failed) {
                SQLFreeStmt(statement, SQL_UNBIND);
                SQLSetStmtAttr(statement, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(SQLULEN(1)), 0);
                SQLSetStmtAttr(statement, SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
                SQLSetStmtAttr(statement, SQL_ATTR_ROW_STATUS_PTR, nullptr, 0);
                if (*buffers)
                    (*buffers)->bound = false;
            }
            SQLFreeStmt(statement, SQL_CLOSE);
        }
    } close{statement, &buffers_};

    SQLULEN& fetched = buffers_->fetched;
    if (!buffers_->bound) {
        SQLSetStmtAttr(statement, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0);
        if (!check(SQLSetStmtAttr(statement, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(rowsPerBlock), 0))
            || !check(SQLSetStmtAttr(statement, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0))
            || !check(SQLSetStmtAttr(statement, SQL_ATTR_ROW_STATUS_PTR, status.data(), 0)))
            return false;
        for (size_t i = 0; i < columns.size(); ++i) {
            Column& c = columns[i];
            if (!check(SQLBindCol(statement, SQLUSMALLINT(i + 1), c.cType, c.data.data(), c.elementBytes, c.lengths.data())))
                return false;
        }
        buffers_->bound = true;
    }

    for (;;) {
        const SQLRETURN r = SQLFetch(statement);
        if (r == SQL_NO_DATA)
            break;
        if (!check(r))
            return false;
        for (SQLULEN row = 0; row < fetched; ++row) {
            if (status[row] == SQL_ROW_ERROR) {
                check(SQL_ERROR);
                return false;
            }
            for (size_t i = 0; i < columns.size(); ++i) {
                bool ok = true;
                values->emplace_back(valueAt(statement, SQLUSMALLINT(i + 1), row, columns[i], &ok));
                if (!ok) {
                    check(SQL_ERROR);
                    return false;
                }
            }
        }
        if (fetched < rowsPerBlock)
            break;
    }
    for (Column& c : columns)
        c.previousText.clear();
    close.failed = false;
    return true;
}

int OdbcStatement::rowsAffected()
{
    SQLLEN count = -1;
    if (!statement_ || !SQL_SUCCEEDED(SQLRowCount(handleOf(statement_), &count)))
        return -1;
    return int(count);
}

void OdbcStatement::closeCursor()
{
    if (statement_)
        SQLFreeStmt(handleOf(statement_), SQL_CLOSE);
}

QString OdbcStatement::positional(const QString& sql, QStringList* names)
{
    auto isNameChar = [](QChar c) { return c.isLetterOrNumber() || c == u'_'; };
    QString result;
    result.reserve(sql.size());
    QChar quote;
    const qsizetype n = sql.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = sql.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            result += c;
        } else if (c == u'\'' || c == u'"') {
            quote = c;
            result += c;
        } else if (c == u':' && (i == 0 || sql.at(i - 1) != u':') && i + 1 < n && isNameChar(sql.at(i + 1))) {
            qsizetype end = i + 1;
            while (end < n && isNameChar(sql.at(end)))
                ++end;
            names->append(sql.mid(i + 1, end - i - 1));
            result += u'?';
            i = end - 1;
        } else {
            result += c;
        }
    }
    return result;
}
