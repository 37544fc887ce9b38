#pragma once
// The floor under any client of the ODBC driver: a statement prepared once, executed with
// its parameters bound, every column bound as UTF-16 text and the rows fetched in blocks
// of 100; no Qt in between. What the program adds on top of this is its own cost.
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <sql.h>
#include <sqlext.h>
#include <vector>

class OdbcFloor {
public:
    explicit OdbcFloor(const QString& connectionString)
    {
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
        SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
        const std::u16string text = connectionString.toStdU16String();
        ok_ = SQL_SUCCEEDED(SQLDriverConnectW(dbc_, nullptr, (SQLWCHAR*)text.c_str(), SQL_NTS, nullptr, 0, nullptr,
                                              SQL_DRIVER_NOPROMPT));
    }
    ~OdbcFloor()
    {
        if (stmt_)
            SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
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

    // Prepares a statement with named parameters (":name"); values are given as text in
    // the order the names first appear.
    bool prepare(const QString& sql, const QStringList& values)
    {
        static const QRegularExpression named(QStringLiteral("(?<![:\\w]):([A-Za-z_]\\w*)"));
        QString text = sql;
        text.replace(named, QStringLiteral("?"));
        SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt_);
        const std::u16string wide = text.toStdU16String();
        if (!SQL_SUCCEEDED(SQLPrepareW(stmt_, (SQLWCHAR*)wide.c_str(), SQL_NTS)))
            return false;
        params_.clear();
        for (const QString& v : values)
            params_.push_back(v.toUtf8());
        paramLengths_.assign(params_.size(), SQL_NTS);
        for (size_t i = 0; i < params_.size(); ++i)
            SQLBindParameter(stmt_, SQLUSMALLINT(i + 1), SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 255, 0,
                             params_[i].data(), 0, &paramLengths_[i]);
        SQLSetStmtAttr(stmt_, SQL_ATTR_ROW_BIND_TYPE, SQL_BIND_BY_COLUMN, 0);
        SQLSetStmtAttr(stmt_, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(kBlock), 0);
        SQLSetStmtAttr(stmt_, SQL_ATTR_ROWS_FETCHED_PTR, &fetched_, 0);
        return true;
    }

    // Executes the prepared statement and reads every row; answers the number of rows.
    int read()
    {
        if (!SQL_SUCCEEDED(SQLExecute(stmt_)))
            return -1;
        if (columns_.empty()) {
            SQLSMALLINT count = 0;
            SQLNumResultCols(stmt_, &count);
            columns_.resize(count);
            for (SQLSMALLINT c = 0; c < count; ++c) {
                columns_[c].data.resize(kBlock * kWidth);
                columns_[c].lengths.resize(kBlock);
                SQLBindCol(stmt_, SQLUSMALLINT(c + 1), SQL_C_WCHAR, columns_[c].data.data(), kWidth * sizeof(SQLWCHAR),
                           columns_[c].lengths.data());
            }
        }
        int rows = 0;
        while (SQL_SUCCEEDED(SQLFetch(stmt_)))
            rows += int(fetched_);
        SQLCloseCursor(stmt_);
        return rows;
    }

private:
    static constexpr SQLULEN kBlock = 100;
    static constexpr size_t kWidth = 256;
    struct Column {
        std::vector<SQLWCHAR> data;
        std::vector<SQLLEN> lengths;
    };
    SQLHENV env_ = nullptr;
    SQLHDBC dbc_ = nullptr;
    SQLHSTMT stmt_ = nullptr;
    bool ok_ = false;
    std::vector<QByteArray> params_;
    std::vector<SQLLEN> paramLengths_;
    std::vector<Column> columns_;
    SQLULEN fetched_ = 0;
};
