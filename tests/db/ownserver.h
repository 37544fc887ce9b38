#pragma once
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <stdexcept>
#include <unistd.h>

// A PostgreSQL cluster of one test's own, which the test may stop and start: the shared
// test server serves other tests at the same time. Made like the shared one (initdb into
// a temporary folder, as the postgres user when run as root, role sys, the template
// database with sql/schema.sql), on a free port of its own.
class OwnServer {
public:
    OwnServer()
    {
        if (!folder_.isValid())
            throw std::runtime_error("no temporary folder for the test's own server");
        bin_ = qEnvironmentVariable("TABEL_PG_BIN");
        if (bin_.isEmpty()) {
            QStringList versions = QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
            std::sort(versions.begin(), versions.end(), [](const QString& a, const QString& b) { return a.toInt() < b.toInt(); });
            if (versions.isEmpty())
                throw std::runtime_error("no PostgreSQL server installed");
            bin_ = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(versions.last());
        }
        if (geteuid() == 0)
            run(QStringLiteral("/bin/chown"), {QStringLiteral("postgres"), folder_.path()}, false);
        QFile::setPermissions(folder_.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                                  | QFileDevice::ReadGroup | QFileDevice::ExeGroup
                                                  | QFileDevice::ReadOther | QFileDevice::ExeOther);
        run(bin_ + QStringLiteral("/initdb"),
            {QStringLiteral("-D"), dataDir(), QStringLiteral("-U"), QStringLiteral("postgres"), QStringLiteral("--encoding=UTF8"),
             QStringLiteral("--locale=C.UTF-8"), QStringLiteral("--auth=trust")});
        // Another test may take a port at the same moment: a failed start tries the next.
        const int first = 56000 + int(getpid() % 700) * 2;
        for (int candidate = first; candidate < first + 40 && port_ == 0; ++candidate) {
            port_ = candidate;
            if (!tryStart())
                port_ = 0;
        }
        if (port_ == 0)
            throw std::runtime_error("the test's own server did not start");
        psql(QStringLiteral("postgres"), QStringLiteral("create role sys login superuser password 'plomvux'"));
        psql(QStringLiteral("postgres"), QStringLiteral("create database tabel_template template template0 encoding 'UTF8' "
                                                        "locale_provider icu icu_locale 'ru-RU' owner sys"));
        const QString schema = qEnvironmentVariable("TABEL_SOURCE_DIR") + QStringLiteral("/sql/schema.sql");
        run(bin_ + QStringLiteral("/psql"), {QStringLiteral("-h"), folder_.path(), QStringLiteral("-p"), QString::number(port_),
                                             QStringLiteral("-U"), QStringLiteral("sys"), QStringLiteral("-d"),
                                             QStringLiteral("tabel_template"), QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"),
                                             QStringLiteral("-q"), QStringLiteral("-f"), schema});
        // The tests' own arrangement, as on the shared test server.
        const QString harness = qEnvironmentVariable("TABEL_SOURCE_DIR") + QStringLiteral("/tests/support/testharness.sql");
        run(bin_ + QStringLiteral("/psql"), {QStringLiteral("-h"), folder_.path(), QStringLiteral("-p"), QString::number(port_),
                                             QStringLiteral("-U"), QStringLiteral("postgres"), QStringLiteral("-d"),
                                             QStringLiteral("tabel_template"), QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"),
                                             QStringLiteral("-q"), QStringLiteral("-f"), harness});
    }
    ~OwnServer()
    {
        try {
            run(bin_ + QStringLiteral("/pg_ctl"), {QStringLiteral("-D"), dataDir(), QStringLiteral("-m"), QStringLiteral("immediate"),
                                                   QStringLiteral("stop")}, false);
        } catch (...) {
        }
    }
    OwnServer(const OwnServer&) = delete;
    OwnServer& operator=(const OwnServer&) = delete;

    int port() const { return port_; }
    // The folder of the PostgreSQL programs the server runs from.
    QString bin() const { return bin_; }
    // The server's folder (its data directory is pgdata below it).
    QString folder() const { return folder_.path(); }

    // Runs a statement as the superuser through the local socket.
    void admin(const QString& database, const QString& sql) { psql(database, sql); }
    // Hands a file of the test to the server's account (as root the server runs as postgres).
    void giveToServer(const QString& path)
    {
        if (geteuid() == 0)
            run(QStringLiteral("/bin/chown"), {QStringLiteral("postgres"), path});
    }

    // Stops the server as an administrator's restart does: every session is ended.
    void stop()
    {
        run(bin_ + QStringLiteral("/pg_ctl"), {QStringLiteral("-D"), dataDir(), QStringLiteral("-m"), QStringLiteral("fast"),
                                               QStringLiteral("-w"), QStringLiteral("stop")});
    }
    // Stops the server as a machine that dies does: no session is told, nothing is flushed.
    void kill()
    {
        run(bin_ + QStringLiteral("/pg_ctl"), {QStringLiteral("-D"), dataDir(), QStringLiteral("-m"), QStringLiteral("immediate"),
                                               QStringLiteral("-w"), QStringLiteral("stop")});
    }
    void start()
    {
        if (!tryStart())
            throw std::runtime_error("the test's own server did not start again");
    }

private:
    QString dataDir() const { return folder_.path() + QStringLiteral("/pgdata"); }

    bool tryStart()
    {
        return run(bin_ + QStringLiteral("/pg_ctl"),
                   {QStringLiteral("-D"), dataDir(), QStringLiteral("-l"), folder_.path() + QStringLiteral("/server.log"),
                    QStringLiteral("-w"), QStringLiteral("-o"),
                    QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off").arg(port_).arg(folder_.path()),
                    QStringLiteral("start")},
                   false);
    }

    void psql(const QString& database, const QString& sql)
    {
        run(bin_ + QStringLiteral("/psql"), {QStringLiteral("-h"), folder_.path(), QStringLiteral("-p"), QString::number(port_),
                                             QStringLiteral("-U"), QStringLiteral("postgres"), QStringLiteral("-d"), database,
                                             QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-q"),
                                             QStringLiteral("-c"), sql});
    }

    // Runs a server program, as the postgres user when the test runs as root.
    bool run(const QString& program, const QStringList& args, bool mustSucceed = true)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        if (geteuid() == 0 && !program.startsWith(QStringLiteral("/bin/")))
            process.start(QStringLiteral("runuser"), QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"), program} + args);
        else
            process.start(program, args);
        const bool ok = process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit
            && process.exitCode() == 0;
        if (!ok && mustSucceed)
            throw std::runtime_error((program + QStringLiteral(" failed: ") + QString::fromLocal8Bit(process.readAll())).toStdString());
        return ok;
    }

    QTemporaryDir folder_{QDir::tempPath() + QStringLiteral("/tabel-own-server.XXXXXX")};
    QString bin_;
    int port_ = 0;
};
