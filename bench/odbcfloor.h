#pragma once
// The floor under any client of the ODBC driver: the statements a piece of work sent,
// sent again through the driver with nothing of the program in between. A text is
// prepared once and executed with its values bound, except that inside a transaction a
// text without parameters is sent whole (the driver's savepoint then travels with it);
// BEGIN, COMMIT and ROLLBACK become the driver's own transaction calls; every
// column is bound to a buffer of its own C type and the rows are fetched in blocks of
// 100, and nothing is made of the values. What the program adds on top of this is its own
// cost; the rest is the driver's and the network's.
#include "db/odbcstatement.h"
#include "db/sqlrun.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>
#include <cstdio>
#include <memory>
#include <unordered_map>
#include <sql.h>
#include <sqlext.h>
#include <vector>

class OdbcFloor {
public:
    // One statement as the program sent it.
    struct Sent {
        QString sql;
        SqlRun::Params params;
    };

    explicit OdbcFloor(const QString& connectionString)
    {
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
        SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
        const std::u16string text = connectionString.toStdU16String();
        ok_ = SQL_SUCCEEDED(SQLDriverConnectW(dbc_, nullptr, (SQLWCHAR*)text.c_str(), SQL_NTS, nullptr, 0, nullptr,
                                              SQL_DRIVER_NOPROMPT));
        // Planned for each execution's values, as the program's sessions are.
        execDirect(QStringLiteral("set datestyle = 'ISO, DMY'"));
        execDirect(QStringLiteral("set plan_cache_mode = force_custom_plan"));
    }
    ~OdbcFloor()
    {
        statements_.clear();
        SQLDisconnect(dbc_);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
        SQLFreeHandle(SQL_HANDLE_ENV, env_);
    }
    bool isConnected() const { return ok_; }

    void execDirect(const QString& sql)
    {
        SQLHSTMT s = nullptr;
        SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &s);
        const std::u16string text = sql.toStdU16String();
        SQLExecDirectW(s, (SQLWCHAR*)text.c_str(), SQL_NTS);
        SQLFreeHandle(SQL_HANDLE_STMT, s);
    }

    // Sends the statements once, in order; answers the rows read, or -1 when the driver
    // refused one (its words on stderr).
    int replay(const QVector<Sent>& work)
    {
        int rows = 0;
        for (const Sent& sent : work) {
            if (sent.sql == QLatin1String("BEGIN")) {
                SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0);
                inTransaction_ = true;
                continue;
            }
            if (sent.sql == QLatin1String("COMMIT") || sent.sql == QLatin1String("ROLLBACK")) {
                SQLEndTran(SQL_HANDLE_DBC, dbc_, sent.sql == QLatin1String("COMMIT") ? SQL_COMMIT : SQL_ROLLBACK);
                SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
                inTransaction_ = false;
                continue;
            }
            const int read = statementFor(sent.sql).run(sent.params, inTransaction_);
            if (read < 0)
                return -1;
            rows += read;
        }
        return rows;
    }

private:
    static constexpr SQLULEN kBlock = 100;
    static constexpr SQLLEN kTextChars = 1024;   // as wide as the program binds a text

    struct Column {
        SQLSMALLINT cType = SQL_C_WCHAR;
        SQLLEN width = 0;
        std::vector<char> data;
        std::vector<SQLLEN> lengths;
    };

    class Statement {
    public:
        Statement(SQLHDBC dbc, const QString& sql)
        {
            SQLAllocHandle(SQL_HANDLE_STMT, dbc, &handle_);
            text_ = OdbcStatement::positional(sql, &names_).toStdU16String();
        }
        ~Statement() { SQLFreeHandle(SQL_HANDLE_STMT, handle_); }

        int run(const SqlRun::Params& params, bool inTransaction)
        {
            const bool whole = inTransaction && names_.isEmpty();
            if (!whole && !prepared_)
                prepared_ = SQL_SUCCEEDED(SQLPrepareW(handle_, (SQLWCHAR*)text_.c_str(), SQL_NTS));
            // Values bound with the types the program binds them with, so that the server
            // plans the same statement.
            const std::shared_ptr<void> bound = OdbcStatement::bindParameters(handle_, names_, params);
            const SQLRETURN r = whole ? SQLExecDirectW(handle_, (SQLWCHAR*)text_.c_str(), SQL_NTS) : SQLExecute(handle_);
            SQLFreeStmt(handle_, SQL_RESET_PARAMS);
            if (!SQL_SUCCEEDED(r) && r != SQL_NO_DATA) {
                report();
                return -1;
            }
            SQLSMALLINT count = 0;
            SQLNumResultCols(handle_, &count);
            if (count == 0)
                return 0;
            if (columns_.empty())
                bind(count);
            int rows = 0;
            while (SQL_SUCCEEDED(SQLFetch(handle_)))
                rows += int(fetched_);
            SQLFreeStmt(handle_, SQL_CLOSE);
            return rows;
        }

    private:
        // Each column in the C type of its own SQL type, as the program reads it.
        void bind(SQLSMALLINT count)
        {
            columns_.resize(size_t(count));
            for (SQLSMALLINT c = 0; c < count; ++c) {
                SQLWCHAR name[256];
                SQLSMALLINT nameLength = 0, type = 0, scale = 0, nullable = 0;
                SQLULEN size = 0;
                SQLDescribeColW(handle_, SQLUSMALLINT(c + 1), name, 256, &nameLength, &type, &size, &scale, &nullable);
                Column& col = columns_[size_t(c)];
                switch (type) {
                case SQL_SMALLINT: case SQL_INTEGER: case SQL_BIT: case SQL_TINYINT:
                    col.cType = SQL_C_SLONG; col.width = sizeof(SQLINTEGER); break;
                case SQL_BIGINT: col.cType = SQL_C_SBIGINT; col.width = sizeof(SQLBIGINT); break;
                case SQL_DECIMAL: case SQL_NUMERIC: case SQL_REAL: case SQL_FLOAT: case SQL_DOUBLE:
                    col.cType = SQL_C_DOUBLE; col.width = sizeof(SQLDOUBLE); break;
                case SQL_TYPE_DATE: col.cType = SQL_C_TYPE_DATE; col.width = sizeof(SQL_DATE_STRUCT); break;
                case SQL_TYPE_TIMESTAMP: col.cType = SQL_C_TYPE_TIMESTAMP; col.width = sizeof(SQL_TIMESTAMP_STRUCT); break;
                default: col.cType = SQL_C_WCHAR; col.width = (kTextChars + 1) * SQLLEN(sizeof(SQLWCHAR)); break;
                }
                col.data.resize(size_t(col.width) * kBlock);
                col.lengths.resize(kBlock);
                SQLBindCol(handle_, SQLUSMALLINT(c + 1), col.cType, col.data.data(), col.width, col.lengths.data());
            }
            SQLSetStmtAttr(handle_, SQL_ATTR_ROW_BIND_TYPE, SQL_BIND_BY_COLUMN, 0);
            SQLSetStmtAttr(handle_, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(kBlock), 0);
            SQLSetStmtAttr(handle_, SQL_ATTR_ROWS_FETCHED_PTR, &fetched_, 0);
        }

        void report() const
        {
            SQLWCHAR state[6] = {0};
            SQLWCHAR text[1024];
            SQLINTEGER native = 0;
            SQLSMALLINT length = 0;
            if (SQL_SUCCEEDED(SQLGetDiagRecW(SQL_HANDLE_STMT, handle_, 1, state, &native, text, 1024, &length)))
                std::fprintf(stderr, "the driver alone: %s\n",
                             qPrintable(QString::fromUtf16(reinterpret_cast<const char16_t*>(text), qMin<int>(length, 1023))));
        }

        SQLHSTMT handle_ = nullptr;
        bool prepared_ = false;
        std::u16string text_;
        QStringList names_;
        std::vector<Column> columns_;
        SQLULEN fetched_ = 0;
    };

    Statement& statementFor(const QString& sql)
    {
        std::unique_ptr<Statement>& s = statements_[sql];
        if (!s)
            s = std::make_unique<Statement>(dbc_, sql);
        return *s;
    }

    SQLHENV env_ = nullptr;
    SQLHDBC dbc_ = nullptr;
    bool ok_ = false;
    bool inTransaction_ = false;
    std::unordered_map<QString, std::unique_ptr<Statement>> statements_;
};
