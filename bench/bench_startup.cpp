// Start to the login window: the client (the real program) against a bare Qt window with
// one ODBC connect, each launched in turn many times on the display of bench/run (Xvfb),
// from the launch to the first window exposed and painted (bench/startprobe.cpp, preloaded
// into both). Prints a row of bench/run's table.
//
//   bench_startup client bare probe.so [launches]
#include "benchtable.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <spawn.h>
#include <unistd.h>
#include <sys/wait.h>
#include <ctime>
#include <vector>

extern char** environ;

namespace {

qint64 nowNs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// Launches the program and answers its time to the first window, -1 when it failed;
// shown gets the objectNames of the windows it showed.
double launch(const QString& program, const QStringList& args, const QStringList& env, const QString& out,
              QString* shown)
{
    QFile::remove(out);
    std::vector<QByteArray> argStore{program.toLocal8Bit()};
    for (const QString& a : args)
        argStore.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& a : argStore)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<QByteArray> envStore;
    for (char** e = environ; *e; ++e)
        envStore.emplace_back(*e);
    for (const QString& e : env)
        envStore.push_back(e.toLocal8Bit());
    const qint64 t0 = nowNs();
    envStore.push_back("BENCH_T0=" + QByteArray::number(t0));
    std::vector<char*> envp;
    for (QByteArray& e : envStore)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0)
        return -1;
    // A program that never shows a window is stopped after half a minute.
    int status = 0;
    for (int waited = 0; waitpid(pid, &status, WNOHANG) == 0; ++waited) {
        if (waited == 3000) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        usleep(10000);
    }
    QFile result(out);
    if (!result.open(QIODevice::ReadOnly))
        return -1;
    const QString text = QString::fromUtf8(result.readAll()).trimmed();
    *shown = text.section(QLatin1Char(' '), 1);
    return text.section(QLatin1Char(' '), 0, 0).toDouble();
}

}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: bench_startup client bare probe.so [launches]\n");
        return 2;
    }
    const QString client = QString::fromLocal8Bit(argv[1]);
    const QString bare = QString::fromLocal8Bit(argv[2]);
    const QString probe = QString::fromLocal8Bit(argv[3]);
    const int launches = argc > 4 ? atoi(argv[4]) : 15;

    QTemporaryDir dir;
    const QString setting = Bench::writePlantSetting(dir.path());
    const QString out = dir.filePath(QStringLiteral("shown"));
    const QStringList common{QStringLiteral("LD_PRELOAD=") + probe, QStringLiteral("BENCH_STARTUP_OUT=") + out,
                             QStringLiteral("LANG=ru_RU.UTF-8")};
    const QStringList clientEnv = common + QStringList{QStringLiteral("TABEL_CONFIG=") + setting};
    const QStringList bareEnv = common + QStringList{QStringLiteral("BENCH_CONNECTION=") + Bench::plantSignInString()};

    std::vector<double> clientTimes, bareTimes;
    for (int i = -2; i < launches; ++i) {   // two launches each to warm the file cache
        QString shownClient, shownBare;
        const double c = launch(client, {}, clientEnv, out, &shownClient);
        const double b = launch(bare, {}, bareEnv, out, &shownBare);
        if (c < 0 || !shownClient.split(QLatin1Char(' ')).contains(QStringLiteral("TForm23"))) {
            std::fprintf(stderr, "the client did not show its login window (shown: %s)\n", qPrintable(shownClient));
            return 1;
        }
        if (b < 0) {
            std::fprintf(stderr, "the bare window did not show\n");
            return 1;
        }
        if (i >= 0) {
            clientTimes.push_back(c);
            bareTimes.push_back(b);
        }
    }
    Bench::row(QStringLiteral("start to the login window (Xvfb, %1 launches)").arg(launches), Bench::median(clientTimes),
               Bench::median(bareTimes), QStringLiteral("ms"), QStringLiteral("x1.3"),
               QStringLiteral("bare Qt window + one ODBC connect"));
    return 0;
}
