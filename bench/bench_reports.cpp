// Times the four printed summaries on a plant-sized journal, each over one month and over
// one whole year, the way the report buttons run them: the query opened with its period
// and filter, the report prepared, the first page laid out, then the rest. Beside them
// the server's own time for the same statement through the same driver, fetched to the
// last row, and the peak memory of each run. Generates the data itself (bench/run).
//
//   bench_reports [journal rows] [workers] [other persons]
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

// The statement alone: prepared, bound, executed and every row fetched; with readValues
// every value of every row read too, as any client of the driver must.
double serverMs(const QString& connection, const QString& sql, const QDate& from, const QDate& to, int* rows,
                bool readValues = false)
{
    QElapsedTimer t;
    t.start();
    QSqlQuery query(QSqlDatabase::database(connection));
    query.setForwardOnly(true);
    query.prepare(sql);
    query.bindValue(QStringLiteral(":data1"), from);
    query.bindValue(QStringLiteral(":data2"), to);
    if (!query.exec()) {
        std::printf("statement refused\n");
        return -1;
    }
    int n = 0;
    const int columns = query.record().count();
    while (query.next()) {
        ++n;
        if (readValues)
            for (int c = 0; c < columns; ++c)
                query.value(c);
    }
    *rows = n;
    return ms(t);
}

struct Run {
    int rows = 0;
    int pages = 0;
    double server = 0;      // the statement alone
    double values = 0;      // the statement with every value read
    double open = 0;        // button to the rows held by the query
    double firstPage = 0;   // button to the first page laid out
    double layout = 0;      // the rows to the whole report laid out: the engine alone
    double peak = 0;
    double pdf = -1;
};

Run runReport(SummaryLayout& layout, const QString& connection, const QDate& from, const QDate& to, const QString& pdfPath)
{
    Run r;
    // The statement once before, so both sides meet a warm server cache.
    serverMs(connection, layout.query()->sql(), from, to, &r.rows);
    r.server = serverMs(connection, layout.query()->sql(), from, to, &r.rows);
    r.values = serverMs(connection, layout.query()->sql(), from, to, &r.rows, true);

    resetPeak();
    QElapsedTimer t;
    t.start();
    Dataset& query = *layout.query();
    query.close();
    SummaryStore::setPeriod(query, from, to);
    SummaryStore::setProductKind(query, SummaryStore::AllKinds);
    query.open();
    r.open = ms(t);
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
    const int rows = argc > 1 ? atoi(argv[1]) : 1000000;
    const int workers = argc > 2 ? atoi(argv[2]) : 250;
    const int others = argc > 3 ? atoi(argv[3]) : 10000;

    TestDatabase db(QStringLiteral("benchreports"));
    generatePlant(db, rows, workers, others);
    const QString connection = db.dm()->connectionName();

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
    std::printf("\n%-24s %-10s %7s %6s %10s %10s %9s %12s %6s %10s %8s\n", "report", "period", "rows", "pages",
                "server ms", "values ms", "open ms", "1st page ms", "ratio", "layout ms", "peak MB");
    double yearPdfMs = -1;
    qint64 yearPdfBytes = 0;
    for (const Period& period : periods) {
        for (const Entry& e : reports) {
            std::unique_ptr<SummaryLayout> layout(e.make());
            const bool writePdf = period.from.month() == 1 && dynamic_cast<WorkerDetailLayout*>(layout.get());
            const Run r = runReport(*layout, connection, period.from, period.to, writePdf ? pdfPath : QString());
            layout.reset();
            malloc_trim(0);
            std::printf("%-24s %-10s %7d %6d %10.1f %10.1f %9.1f %12.1f %6.2f %10.1f %8.1f\n", e.name, period.name,
                        r.rows, r.pages, r.server, r.values, r.open, r.firstPage, r.firstPage / r.server, r.layout, r.peak);
            if (writePdf) {
                yearPdfMs = r.pdf;
                yearPdfBytes = QFileInfo(pdfPath).size();
            }
        }
    }
    std::printf("\nPDF of the detailed worker report over 2023: %.1f ms, %.1f MB (%s)\n", yearPdfMs,
                yearPdfBytes / 1048576.0, qPrintable(pdfPath));
    std::printf("ratio: first page / server. Goals: ratio within 2; the year's detailed worker report laid out\n"
                "within 2000 ms and 500 MB; its PDF within 10000 ms\n");
    return 0;
}
