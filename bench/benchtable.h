#pragma once
// What every benchmark shares: the plant database of bench/run, the program's time of a
// piece of work beside the server's own time for the statements that work sent, and the
// rows of the one table that bench/run prints.
//
// The server's time comes from its log: bench/run's server writes every statement of the
// plant database with its duration and the connection's application_name. Each
// repetition of a piece of work runs under a name of its own ("bench <work> #<n>"), so
// the durations of one repetition add up to the server's time for it: parse, bind and
// execute of prepared statements, simple queries, transaction statements alike.
#include "core/roles.h"
#include "db/connectionstring.h"
#include "db/datamodule.h"
#include "db/sqlrun.h"
#include "libpqfloor.h"
#include "odbcfloor.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QString>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace Bench {

inline double median(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// A workstation setting file in the folder that points the client at the plant database
// (for the programs that start the client itself); answers its path.
inline QString writePlantSetting(const QString& folder)
{
    const QString path = folder + QStringLiteral("/tabel.conf");
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(QStringLiteral("server = 127.0.0.1\ndatabase = %1\nport = %2\n")
                .arg(qEnvironmentVariable("BENCH_DATABASE"), qEnvironmentVariable("TABEL_TEST_PORT"))
                .toUtf8());
    return path;
}

// The benchmarks' own server is administered by "sys" (scripts/benchserver.sh): the plant
// data is generated with its rights, and nothing is measured with them.
inline ConnectionString::Account benchAccount()
{
    return {QStringLiteral("sys"), QStringLiteral("plomvux")};
}

// The plant database that bench/run generated (BENCH_DATABASE) on its server, as the
// program's first connection reaches it: with the sign-in account.
inline QString plantSignInString()
{
    const QString database = qEnvironmentVariable("BENCH_DATABASE");
    if (database.isEmpty()) {
        std::fprintf(stderr, "BENCH_DATABASE is not set: run the benchmarks through bench/run\n");
        std::exit(2);
    }
    return ConnectionString::compose(database, QStringLiteral("127.0.0.1"), qEnvironmentVariableIntValue("TABEL_TEST_PORT"));
}

// The string of the login the last signIn() was handed.
inline QString& signedInString()
{
    static QString string;
    return string;
}

// Connects the data module as a workstation does: the sign-in account first, the code
// through the program's own sign-in, then the login the server hands back for it. Every
// figure is measured with that login's rights, the floors' connections too. False, with
// the reason on stderr, when the server refuses.
inline bool signIn(DataModule& dm, const QString& code = QStringLiteral("0583"))
{
    const QString first = plantSignInString();
    if (!dm.connectTo(first)) {
        std::fprintf(stderr, "cannot connect with the sign-in account: %s\n", qPrintable(dm.lastError()));
        return false;
    }
    const Roles::SignInAnswer answer = Roles::signIn(dm, code);
    const QString login = ConnectionString::withAccount(first, answer.account);
    if (answer.role == Role::None || !dm.connectTo(login)) {
        std::fprintf(stderr, "the sign-in was refused: %s %s\n", qPrintable(answer.refusal), qPrintable(dm.lastError()));
        return false;
    }
    signedInString() = login;
    return true;
}

// The signed-in login's string, for the floors' connections of their own.
inline QString plantConnectionString()
{
    if (signedInString().isEmpty()) {
        std::fprintf(stderr, "no benchmark connection is signed in yet\n");
        std::exit(2);
    }
    return signedInString();
}

// The server log of bench/run's server, read from where it stood when this was made.
class ServerLog {
public:
    struct Sum {
        double ms = 0;
        int statements = 0;
    };

    ServerLog() : path_(qEnvironmentVariable("BENCH_SERVER_LOG")) { offset_ = size(); }

    bool available() const { return !path_.isEmpty() && QFile::exists(path_); }

    // The durations logged since construction, summed by application name. The naming
    // statements themselves ("set application_name") are no part of any work.
    QHash<QString, Sum> sums() const
    {
        QHash<QString, Sum> result;
        QFile file(path_);
        if (!file.open(QIODevice::ReadOnly) || !file.seek(offset_))
            return result;
        static const QRegularExpression line(QStringLiteral("^@@(.*)@@LOG:  duration: ([0-9.]+) ms  (.*)$"));
        while (!file.atEnd()) {
            const QString text = QString::fromUtf8(file.readLine()).trimmed();
            const QRegularExpressionMatch m = line.match(text);
            if (!m.hasMatch() || m.captured(3).contains(QLatin1String("application_name"), Qt::CaseInsensitive))
                continue;
            Sum& sum = result[m.captured(1)];
            sum.ms += m.captured(2).toDouble();
            ++sum.statements;
        }
        return result;
    }

private:
    qint64 size() const { return path_.isEmpty() ? 0 : QFile(path_).size(); }

    QString path_;
    qint64 offset_ = 0;
};

struct Measure {
    double program = -1;    // median ms through the program's code
    double server = -1;     // median ms the server logged for the same repetitions
    int statements = 0;     // statements the server logged in one repetition (median one)
    double floorRatio = -1; // the same statements through the driver alone: its time / the server's
    double libpq = -1;      // median ms of the same statements through libpq (libpqfloor.h)
};

// Runs the work `warmup` times, then `runs` times timed, each under an application name
// of its own; before() runs untimed ahead of each repetition, its statements under a name
// of no work. Answers the program's median and the server's median.
// nameConnection gives the measured connection its application_name.
inline Measure measure(const std::function<void(const QString&)>& nameConnection, const QString& work, int runs,
                       const std::function<void()>& action, int warmup = 3, const std::function<void()>& before = {})
{
    nameConnection(QStringLiteral("bench warm-up"));
    for (int i = 0; i < warmup; ++i) {
        if (before)
            before();
        action();
    }
    ServerLog log;
    std::vector<double> program;
    for (int i = 0; i < runs; ++i) {
        if (before) {
            nameConnection(QStringLiteral("bench between"));
            before();
        }
        nameConnection(QStringLiteral("bench %1 #%2").arg(work).arg(i));
        QElapsedTimer timer;
        timer.start();
        action();
        program.push_back(timer.nsecsElapsed() / 1e6);
    }
    nameConnection(QStringLiteral("bench"));
    Measure m;
    m.program = median(program);
    if (!log.available())
        return m;
    const QHash<QString, ServerLog::Sum> sums = log.sums();
    std::vector<double> server;
    std::vector<double> counts;
    for (int i = 0; i < runs; ++i) {
        const ServerLog::Sum s = sums.value(QStringLiteral("bench %1 #%2").arg(work).arg(i));
        server.push_back(s.ms);
        counts.push_back(s.statements);
    }
    m.server = median(server);
    m.statements = int(median(counts));
    return m;
}

inline Measure measure(DataModule* dm, const QString& work, int runs, const std::function<void()>& action,
                       int warmup = 3, const std::function<void()>& before = {})
{
    return measure([dm](const QString& name) { dm->setApplicationName(name); }, work, runs, action, warmup, before);
}

// The statements one run of the work sends, as the program sends them.
inline QVector<OdbcFloor::Sent> statementsOf(const std::function<void()>& action)
{
    QVector<OdbcFloor::Sent> sent;
    SqlRun::setObserver([&sent](const QString& sql, const SqlRun::Params& params) { sent.push_back({sql, params}); });
    action();
    SqlRun::setObserver({});
    return sent;
}

// The wire's limit for statements the program sent: the median time of sending them
// through libpq on a connection of its own to the database the connection string names;
// -1 when the benchmarks were built without libpq or it could not send them.
inline double libpqTime(const QString& work, int runs, const QVector<OdbcFloor::Sent>& sent, const QString& connectionString)
{
#ifdef BENCH_LIBPQ
    static const QRegularExpression database(QStringLiteral("(?:^|;)\\s*DATABASE=([^;]+)"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression port(QStringLiteral("(?:^|;)\\s*PORT=(\\d+)"), QRegularExpression::CaseInsensitiveOption);
    LibpqFloor pq(database.match(connectionString).captured(1).trimmed(), port.match(connectionString).captured(1).toInt(),
                  ConnectionString::accountOf(connectionString));
    if (!pq.isConnected() || pq.replay(sent) < 0) {
        std::fprintf(stderr, "libpq could not send the statements of %s\n", qPrintable(work));
        return -1;
    }
    const Measure m = measure([&](const QString& name) { pq.exec(QStringLiteral("set application_name = '%1'").arg(name)); },
                              work + QStringLiteral(" libpq"), runs, [&] { pq.replay(sent); });
    return m.program;
#else
    Q_UNUSED(work) Q_UNUSED(runs) Q_UNUSED(sent) Q_UNUSED(connectionString)
    return -1;
#endif
}

// The floor under the work: the statements one run of it sends, sent the same way
// through the driver alone on a connection of its own (odbcfloor.h), timed as the work
// was; answers the work's measure with the floor's ratio (its time / the server's time
// for it) added.
// The floor's connection goes to the plant database unless another is named.
inline Measure withFloor(Measure m, const QString& work, int runs, const std::function<void()>& action,
                         const std::function<void()>& before = {}, const QString& connectionString = {})
{
    if (before)
        before();
    const QVector<OdbcFloor::Sent> sent = statementsOf(action);
    OdbcFloor floor(connectionString.isEmpty() ? plantConnectionString() : connectionString);
    if (!floor.isConnected() || floor.replay(sent) < 0) {
        std::fprintf(stderr, "the driver alone could not send the statements of %s\n", qPrintable(work));
        return m;
    }
    const Measure f = measure([&](const QString& name) { floor.execDirect(QStringLiteral("set application_name = '%1'").arg(name)); },
                              work + QStringLiteral(" floor"), runs, [&] { floor.replay(sent); });
    if (f.program > 0 && f.server > 0)
        m.floorRatio = f.program / f.server;
    m.libpq = libpqTime(work, runs, sent, connectionString.isEmpty() ? plantConnectionString() : connectionString);
    std::fprintf(stderr, "%s: program %.3f ms, server %.3f ms; driver alone %.3f ms, server %.3f ms (%d statements); libpq %.3f ms\n",
                 qPrintable(work), m.program, m.server, f.program, f.server, f.statements, m.libpq);
    return m;
}

// One row of bench/run's table, on its own line for bench/run to collect:
//   @row|work|program|server|unit|goal|how the server's figure was had|driver alone's ratio|libpq
// goal: "x1.5" (program within 1.5 times libpq where the row has a libpq figure, else
// the server), "<150" (program below 150), or "" for a row without a goal; a figure
// below 0 is "not measured".
inline void row(const QString& work, double program, double server, const QString& unit, const QString& goal,
                const QString& how, double floorRatio = -1, double libpq = -1)
{
    // Figures with a point whatever the locale of the process.
    std::printf("@row|%s|%s|%s|%s|%s|%s|%s|%s\n", qPrintable(work), qPrintable(QString::number(program, 'f', 3)),
                qPrintable(QString::number(server, 'f', 3)), qPrintable(unit), qPrintable(goal), qPrintable(how),
                qPrintable(QString::number(floorRatio, 'f', 3)), qPrintable(QString::number(libpq, 'f', 3)));
    std::fflush(stdout);
}

inline void row(const QString& work, const Measure& m, const QString& goal)
{
    row(work, m.program, m.server, QStringLiteral("ms"), goal,
        m.statements == 1 ? QStringLiteral("server log, 1 statement") : QStringLiteral("server log, %1 statements").arg(m.statements),
        m.floorRatio, m.libpq);
}

}
