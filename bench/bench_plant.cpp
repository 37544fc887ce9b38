// Fills a database made from the schema with the plant-sized data of the benchmarks;
// bench/run calls it once for each size and keeps the database between runs.
//
//   bench_plant database [journal rows] [workers] [other persons] [older journal rows]
#include "benchtable.h"
#include "plantdata.h"

#include <QCoreApplication>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_plant database [journal rows] [workers] [other persons] [older journal rows]\n");
        return 2;
    }
    const int rows = argc > 2 ? atoi(argv[2]) : 1000000;
    const int workers = argc > 3 ? atoi(argv[3]) : 250;
    const int others = argc > 4 ? atoi(argv[4]) : 10000;
    const int older = argc > 5 ? atoi(argv[5]) : 0;
    DataModule dm;
    const QString connection = ConnectionString::compose(QString::fromLocal8Bit(argv[1]), QStringLiteral("127.0.0.1"),
                                                         qEnvironmentVariableIntValue("TABEL_TEST_PORT"), Bench::benchAccount());
    if (!dm.connectTo(connection)) {
        std::fprintf(stderr, "cannot connect: %s\n", qPrintable(dm.lastError()));
        return 1;
    }
    generatePlant(dm, rows, workers, others, QStringLiteral("4 + g % 6"), older);
    return 0;
}
