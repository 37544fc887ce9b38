// Times the four printed summaries on the plant database, each over one month and over
// one whole year, the way the report buttons run them: the query opened with its period
// and filter, the report prepared, the first page laid out, then the rest. Beside them
// the server's own time for the statements of the same runs (its log), the peak memory
// of the biggest report and its PDF. Prints rows of bench/run's table.
//
//   bench_reports [runs] [words]   (on the plant database of bench/run: BENCH_DATABASE)
// With words ("June", "detailed worker"), only the reports whose row names contain them.
#include "benchtable.h"
#include "db/dataset.h"
#include "plantdata.h"
#include "reportengine/report.h"
#include "reports/productdetaillayout.h"
#include "reports/productsummarylayout.h"
#include "reports/summarystore.h"
#include "reports/workerdetaillayout.h"
#include "reports/workersummarylayout.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <cstdio>
#include <functional>
#include <malloc.h>
#include <memory>

namespace {

// Peak resident memory since the last reset, in MB (Linux).
double peakMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    return -1;
}

void resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

double ms(const QElapsedTimer& t)
{
    return t.nsecsElapsed() / 1e6;
}

struct Run {
    int rows = 0;
    int pages = 0;
    double open = 0;        // button to the rows held by the query
    double firstPage = 0;   // button to the first page laid out
    double layout = 0;      // the rows to the whole report laid out: the engine alone
    double peak = 0;
    double pdf = -1;
};

Run runReport(SummaryLayout& layout, const QDate& from, const QDate& to, const QString& pdfPath)
{
    Run r;
    resetPeak();
    QElapsedTimer t;
    t.start();
    Dataset& query = *layout.query();
    query.close();
    SummaryStore::setPeriod(query, from, to);
    SummaryStore::setProductKind(query, SummaryStore::AllKinds);
    query.open();
    r.open = ms(t);
    r.rows = query.recordCount();
    layout.setTitle(QStringLiteral("   Отчет за период с %1 по %2").arg(from.toString(u"dd.MM.yyyy"), to.toString(u"dd.MM.yyyy")));
    layout.prepare();
    query.close();
    layout.report()->job()->layOutPages(1);
    r.firstPage = ms(t);
    layout.report()->job()->finish();
    r.layout = ms(t) - r.open;
    r.pages = layout.report()->pageCount();
    r.peak = peakMb();
    if (!pdfPath.isEmpty()) {
        QElapsedTimer p;
        p.start();
        layout.report()->writePdf(pdfPath);
        r.pdf = ms(p);
    }
    return r;
}

}

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? atoi(argv[1]) : 5;
    const QString only = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    DataModule dm;
    if (!Bench::signIn(dm))
        return 1;

    // Each run on a fresh layout window, so that the pages of the run before are gone
    // when its peak memory is measured.
    struct Entry {
        const char* name;
        std::function<SummaryLayout*()> make;
    };
    const Entry reports[] = {
        {"worker summary", [] { return new WorkerSummaryLayout; }},
        {"product summary", [] { return new ProductSummaryLayout; }},
        {"detailed worker report", [] { return new WorkerDetailLayout; }},
        {"detailed product report", [] { return new ProductDetailLayout; }},
    };
    struct Period {
        const char* name;
        QDate from, to;
    };
    const Period periods[] = {{"June 2023", QDate(2023, 6, 1), QDate(2023, 7, 1)},
                              {"year 2023", QDate(2023, 1, 1), QDate(2024, 1, 1)}};

    const QString pdfPath = QDir::temp().filePath(QStringLiteral("bench-detailed-worker-year.pdf"));
    for (const Period& period : periods) {
        for (const Entry& e : reports) {
            const bool biggest = period.from.month() == 1 && QLatin1String(e.name) == QLatin1String("detailed worker report");
            const QString work = QStringLiteral("report %1 %2").arg(QLatin1String(e.name), QLatin1String(period.name));
            if (!only.isEmpty() && !work.contains(only))
                continue;
            std::vector<double> firstPage, whole, opened, coldFirstPage;
            Run r;
            Bench::ServerLog log;
            // A month's report is also timed right after the process gave its free memory
            // back to the system, as the first report after a long pause may find it: every
            // page it fills is then mapped anew, which a virtual machine makes dear. The
            // other runs find the memory the run before left, as reports run one after
            // another in the program.
            const bool cold = period.from.month() != 1;
            for (int i = -1; i < runs; ++i) {   // the first run warms the caches
                if (cold) {
                    malloc_trim(0);
                    dm.setApplicationName(QStringLiteral("bench %1 cold #%2").arg(work).arg(i));
                    std::unique_ptr<SummaryLayout> layout(e.make());
                    const Run c = runReport(*layout, period.from, period.to, QString());
                    if (i >= 0)
                        coldFirstPage.push_back(c.firstPage);
                }
                dm.setApplicationName(QStringLiteral("bench %1 #%2").arg(work).arg(i));
                std::unique_ptr<SummaryLayout> layout(e.make());
                r = runReport(*layout, period.from, period.to, biggest && i == runs - 1 ? pdfPath : QString());
                layout.reset();
                if (i >= 0) {
                    firstPage.push_back(r.firstPage);
                    whole.push_back(r.open + r.layout);
                    opened.push_back(r.open);
                }
            }
            dm.setApplicationName(QStringLiteral("bench"));
            const QHash<QString, Bench::ServerLog::Sum> sums = log.sums();
            // The wire's limit: the statements of opening the query through libpq.
            std::unique_ptr<SummaryLayout> probe(e.make());
            SummaryStore::setPeriod(*probe->query(), period.from, period.to);
            const QVector<OdbcFloor::Sent> sent = Bench::statementsOf([&] { probe->query()->open(); });
            probe.reset();
            const double libpq = Bench::libpqTime(work, runs, sent, Bench::plantConnectionString());
            std::vector<double> server;
            int statements = 0;
            for (int i = 0; i < runs; ++i) {
                const Bench::ServerLog::Sum s = sums.value(QStringLiteral("bench %1 #%2").arg(work).arg(i));
                server.push_back(s.ms);
                statements = s.statements;
            }
            const QString what = QStringLiteral("%1, %2 (%3 rows, %4 pages)").arg(QLatin1String(e.name), QLatin1String(period.name)).arg(r.rows).arg(r.pages);
            const QString how = statements == 1 ? QStringLiteral("server log, 1 statement")
                                                : QStringLiteral("server log, %1 statements").arg(statements);
            // Where the first page's time goes: the rows fetched and converted, then laid out.
            const QString split = QStringLiteral("; rows held after %1 ms").arg(Bench::median(opened), 0, 'f', 1);
            Bench::row(what + QStringLiteral(": first page"), Bench::median(firstPage), Bench::median(server), QStringLiteral("ms"),
                       QStringLiteral("x1.5"), how + split, -1, libpq);
            if (cold)
                Bench::row(what + QStringLiteral(": first page, memory given back to the system before"), Bench::median(coldFirstPage),
                           Bench::median(server), QStringLiteral("ms"), QString(), how, -1, libpq);
            Bench::row(what + QStringLiteral(": whole"), Bench::median(whole), Bench::median(server), QStringLiteral("ms"),
                       QStringLiteral("x2"), how);
            if (biggest) {
                Bench::row(QStringLiteral("  its whole layout"), Bench::median(whole), -1, QStringLiteral("ms"),
                           QStringLiteral("<1500"), QString());
                Bench::row(QStringLiteral("  its peak memory"), r.peak, -1, QStringLiteral("MB"), QStringLiteral("<500"),
                           QStringLiteral("this benchmark's process"));
                Bench::row(QStringLiteral("  its PDF (%1 MB)").arg(QFileInfo(pdfPath).size() / 1048576.0, 0, 'f', 1), r.pdf, -1,
                           QStringLiteral("ms"), QStringLiteral("<4000"), QString());
            }
        }
    }
    return 0;
}
