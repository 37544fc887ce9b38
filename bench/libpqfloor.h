#pragma once
// The wire's limit: the statements a piece of work sent, sent again through libpq, the
// server's own client library, with no ODBC in between. Each text is prepared once and
// executed with its values as text; every row of a result is received (libpq holds the
// whole result before it answers) and each value looked at once, and nothing is made of
// it. BEGIN, COMMIT and ROLLBACK are sent as they are. No client of the server fetches
// the same rows faster, so the program's time over this one is what all of its layers
// (the driver, Qt's ODBC plugin, its own code) cost together.
#include "db/connectionstring.h"
#include "odbcfloor.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <unordered_map>
#include <vector>

#ifdef BENCH_LIBPQ
#include <libpq-fe.h>

class LibpqFloor {
public:
    // Logs in with the account the program's connection used, so both have the same rights.
    LibpqFloor(const QString& database, int port, const ConnectionString::Account& account)
    {
        const QByteArray info = QStringLiteral("host=127.0.0.1 port=%1 dbname=%2 user=%3 password=%4 application_name=bench")
                                    .arg(port)
                                    .arg(database, account.user, account.password)
                                    .toUtf8();
        conn_ = PQconnectdb(info.constData());
        ok_ = PQstatus(conn_) == CONNECTION_OK;
        if (!ok_)
            std::fprintf(stderr, "libpq: %s", PQerrorMessage(conn_));
        // Planned for each execution's values, as the program's sessions are.
        exec("set datestyle = 'ISO, DMY'");
        exec("set plan_cache_mode = force_custom_plan");
    }
    ~LibpqFloor() { PQfinish(conn_); }
    bool isConnected() const { return ok_; }

    void exec(const QString& sql)
    {
        PQclear(PQexec(conn_, sql.toUtf8().constData()));
    }

    // Sends the statements once, in order; answers the rows read, or -1 when the server
    // refused one (its words on stderr).
    int replay(const QVector<OdbcFloor::Sent>& work)
    {
        int rows = 0;
        for (const OdbcFloor::Sent& sent : work) {
            if (sent.sql == QLatin1String("BEGIN") || sent.sql == QLatin1String("COMMIT") || sent.sql == QLatin1String("ROLLBACK")) {
                exec(sent.sql);
                continue;
            }
            const int read = run(sent);
            if (read < 0)
                return -1;
            rows += read;
        }
        return rows;
    }

private:
    struct Prepared {
        QByteArray name;
        QStringList names;   // the parameters in the order of $1, $2, ...
    };

    // The program's ":name" placeholders as libpq's $1, $2, ...
    static QByteArray numbered(const QString& sql, QStringList* names)
    {
        const QString positional = OdbcStatement::positional(sql, names);
        QString out;
        int n = 0;
        bool quoted = false;
        for (QChar c : positional) {
            if (c == u'\'')
                quoted = !quoted;
            if (c == u'?' && !quoted)
                out += QStringLiteral("$%1").arg(++n);
            else
                out += c;
        }
        return out.toUtf8();
    }

    static QByteArray text(const QVariant& value)
    {
        switch (value.typeId()) {
        case QMetaType::QDate: return value.toDate().toString(Qt::ISODate).toUtf8();
        case QMetaType::QDateTime: return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toUtf8();
        case QMetaType::Double: return QByteArray::number(value.toDouble(), 'g', 17);
        case QMetaType::Bool: return value.toBool() ? "true" : "false";
        default: return value.toString().toUtf8();
        }
    }

    int run(const OdbcFloor::Sent& sent)
    {
        Prepared& p = prepared_[sent.sql];
        if (p.name.isEmpty()) {
            p.name = "s" + QByteArray::number(int(prepared_.size()));
            const QByteArray sql = numbered(sent.sql, &p.names);
            PGresult* r = PQprepare(conn_, p.name.constData(), sql.constData(), int(p.names.size()), nullptr);
            const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
            if (!ok)
                std::fprintf(stderr, "libpq: %s", PQresultErrorMessage(r));
            PQclear(r);
            if (!ok) {
                p.name.clear();
                return -1;
            }
        }
        std::vector<QByteArray> values;
        std::vector<const char*> pointers;
        values.reserve(size_t(p.names.size()));
        for (const QString& name : p.names) {
            const QVariant v = sent.params.value(name);
            values.push_back(v.isNull() ? QByteArray() : text(v));
            pointers.push_back(v.isNull() ? nullptr : values.back().constData());
        }
        PGresult* r = PQexecPrepared(conn_, p.name.constData(), int(pointers.size()), pointers.data(), nullptr, nullptr, 0);
        const ExecStatusType status = PQresultStatus(r);
        if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
            std::fprintf(stderr, "libpq: %s", PQresultErrorMessage(r));
            PQclear(r);
            return -1;
        }
        const int rows = PQntuples(r), columns = PQnfields(r);
        size_t seen = 0;
        for (int row = 0; row < rows; ++row)
            for (int c = 0; c < columns; ++c)
                seen += size_t(PQgetlength(r, row, c)) + (PQgetvalue(r, row, c)[0] != 0);
        sink_ += seen;
        PQclear(r);
        return rows;
    }

    PGconn* conn_ = nullptr;
    bool ok_ = false;
    std::unordered_map<QString, Prepared> prepared_;
    size_t sink_ = 0;
};
#endif
