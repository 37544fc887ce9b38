// Times the report engine on the size of the whole-year detailed worker report: about
// 176,000 rows in groups of one worker each, thousands of pages. No database: the rows
// are made up in memory. Prints the time to the first page, to the whole layout, to the
// PDF, and the peak memory.
//
//   bench_engine [rows] [workers] [PDF file to keep]
#include "reportengine/engine.h"
#include "reportengine/renderer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>

using namespace ReportEngine;

namespace {

long peakMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// Processor time of this process: the machine may be busy with other work.
double cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

long currentMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong() / 1024;
    return 0;
}

Field bold(Field f)
{
    f.bold = true;
    return f;
}

// The shape of the detailed worker report.
Layout detailedWorkerLayout()
{
    const QString kind = QStringLiteral("IF(naimen=0,'Готовая продукция','Заготовки')");
    Layout l;
    Band title(BandKind::Title, QStringLiteral("title"), 7);
    title.background = QColor(244, 244, 244);
    title.fields << bold(Field::label(QStringLiteral("   Детальный отчет по рабочим за период с 01.01.2024 по 01.01.2025"), 0))
                 << bold(Field::label(QStringLiteral("Брак"), 124.1)) << bold(Field::label(QStringLiteral("Количество"), 133.3))
                 << bold(Field::label(QStringLiteral("Сумма"), 157.4));
    Band child(BandKind::Child, QStringLiteral("child"), 0.5);
    child.header = QStringLiteral("title");
    Band fio(BandKind::GroupHeader, QStringLiteral("fioHeader"), 5);
    fio.groupExpression = QStringLiteral("fio");
    fio.keepWith = QStringLiteral("fioFooter");
    fio.background = QColor(224, 224, 224);
    fio.fields << bold(Field::data(QStringLiteral("fio"), 0.3));
    Band detail(BandKind::Detail, QStringLiteral("detail"), 4.5);
    detail.fields << Field::span(Field::Data, QStringLiteral("marka"), 0.3, 41.3)
                  << Field::span(Field::Data, QStringLiteral("vid"), 42.9, 72.0, Qt::AlignHCenter)
                  << Field::span(Field::Data, QStringLiteral("color"), 73.6, 89.7, Qt::AlignHCenter)
                  << Field::span(Field::Expression, kind, 91.3, 121.2)
                  << Field::span(Field::Data, QStringLiteral("brk"), 128.1, 137.1, Qt::AlignHCenter)
                  << Field::span(Field::Data, QStringLiteral("kolvo"), 146.3, 163.8, Qt::AlignHCenter)
                  << Field::span(Field::Data, QStringLiteral("summa"), 169.9, 189.5, Qt::AlignHCenter, QStringLiteral("#0.00"));
    Band footer(BandKind::GroupFooter, QStringLiteral("fioFooter"), 5);
    footer.header = QStringLiteral("fioHeader");
    footer.fields << bold(Field::span(Field::Expression, QStringLiteral("sum(brk)"), 128.3, 137.3, Qt::AlignHCenter))
                  << bold(Field::span(Field::Expression, QStringLiteral("sum(kolvo)"), 145.5, 164.8, Qt::AlignHCenter))
                  << bold(Field::span(Field::Expression, QStringLiteral("sum(summa)"), 169.9, 189.5, Qt::AlignHCenter, QStringLiteral("#0.00")));
    Band total(BandKind::Summary, QStringLiteral("total"), 6);
    total.background = QColor(220, 220, 220);
    total.frame = Frame::box(Rule::solid());
    total.fields << bold(Field::label(QStringLiteral("Итого:"), 106.1))
                 << bold(Field::span(Field::Expression, QStringLiteral("sum(brk)"), 132.0, 143.4, Qt::AlignHCenter))
                 << bold(Field::span(Field::Expression, QStringLiteral("sum(kolvo)"), 145.0, 164.3, Qt::AlignHCenter))
                 << bold(Field::span(Field::Expression, QStringLiteral("sum(summa)"), 165.9, 189.4, Qt::AlignHCenter, QStringLiteral("#0.00")));
    Band page(BandKind::PageFooter, QStringLiteral("pageFooter"), 5);
    page.fields << Field::span(Field::Expression, QStringLiteral("PAGENUMBER"), 176.2, 190, Qt::AlignRight);
    l.bands << title << child << fio << detail << footer << total << page;
    return l;
}

}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int rowCount = argc > 1 ? atoi(argv[1]) : 176000;
    const int workers = argc > 2 ? atoi(argv[2]) : 250;

    const long baseMb = currentMb();
    auto rows = std::make_shared<RowTable>(QStringList{QStringLiteral("fio"), QStringLiteral("marka"), QStringLiteral("vid"),
                                                       QStringLiteral("naimen"), QStringLiteral("kolvo"), QStringLiteral("brk"),
                                                       QStringLiteral("summa"), QStringLiteral("color"), QStringLiteral("s_prize")});
    rows->reserve(rowCount);
    const int perWorker = std::max(1, rowCount / workers);
    for (int i = 0; i < rowCount; ++i) {
        const int w = i / perWorker;
        rows->append({QStringLiteral("Рабочий %1 Иван Петрович").arg(w, 4, 10, QLatin1Char('0')),
                      QStringLiteral("КР-%1.%2").arg(i % 900).arg(i % 7), QStringLiteral("Операция %1").arg(i % 8),
                      i % 3 == 0 ? 1 : 0, double(i % 500 + 1), double(i % 5), (i % 500 + 1) * 1.37,
                      i % 11 == 0 ? 1013 : 0, 0.0});
    }
    const long rowsMb = currentMb();

    QElapsedTimer timer;
    timer.start();
    double cpu = cpuMs();
    Job job(detailedWorkerLayout(), rows);
    job.layOutPages(1);
    const double firstMs = timer.nsecsElapsed() / 1e6;
    job.finish();
    const double wholeMs = timer.nsecsElapsed() / 1e6;
    const double wholeCpu = cpuMs() - cpu;
    const long laidOutMb = currentMb();

    QTemporaryDir dir;
    const QString path = argc > 3 ? QString::fromLocal8Bit(argv[3]) : dir.filePath(QStringLiteral("report.pdf"));
    timer.restart();
    cpu = cpuMs();
    const bool written = writePdf(job.document(), path);
    const double pdfMs = timer.nsecsElapsed() / 1e6;
    const double pdfCpu = cpuMs() - cpu;

    std::printf("report engine: %d rows, %d workers, %d pages\n", rowCount, workers, job.document().pageCount());
    std::printf("  first page ready       %8.1f ms\n", firstMs);
    std::printf("  whole layout           %8.1f ms   (goal 2000 ms; processor time %.1f ms)\n", wholeMs, wholeCpu);
    std::printf("  PDF written            %8.1f ms   (goal 10000 ms; processor time %.1f ms)  %s, %.1f MB\n", pdfMs, pdfCpu,
                written ? "ok" : "FAILED", QFileInfo(path).size() / 1e6);
    std::printf("  memory: rows %ld MB, laid-out document %ld MB, peak of the process %ld MB (goal 500 MB)\n",
                rowsMb - baseMb, laidOutMb - rowsMb, peakMb());
    return written ? 0 : 1;
}
