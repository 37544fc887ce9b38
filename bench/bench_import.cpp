// The legacy import of a plant-sized journal against COPY of the same rows into the same
// table on the same server. The old journal (1,000,000 rows by default) lies in a second
// database, read through the program's main connection as the import reads it; the
// target is declared as the data source "Tabel_PgSQL" in a private odbc.ini.
//
//   bench_import [journal rows]
#include "benchtable.h"
#include "import/importsteps.h"
#include "import/legacyimport.h"
#include "import/privateodbc.h"
#include "support/testdb.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <cstdio>

namespace {

const char* const kColumns = "id, w_id, i_id, o_id, kol_vo, brak, smena, color, cena, ok, data, time, vvod";

void psql(const QString& database, const QString& command)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGPASSWORD"), QStringLiteral("plomvux"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("psql"), {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                                     QString::number(TestDatabase::port()), QStringLiteral("-U"), QStringLiteral("sys"),
                                     QStringLiteral("-d"), database, QStringLiteral("-q"), QStringLiteral("-v"),
                                     QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-c"), command});
    p.waitForFinished(-1);
    if (p.exitCode() != 0) {
        std::fprintf(stderr, "psql failed: %s\n", p.readAllStandardError().constData());
        std::exit(1);
    }
}

}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? atoi(argv[1]) : 1000000;

    const QString targetName = QStringLiteral("bench_target_%1_1").arg(QCoreApplication::applicationPid());
    PrivateOdbc odbc(targetName);
    TestDatabase target(QStringLiteral("bench_target"));
    TestDatabase source(QStringLiteral("bench_source"));
    if (target.name() != targetName) {
        std::fprintf(stderr, "unexpected database name %s\n", qPrintable(target.name()));
        return 1;
    }

    QElapsedTimer timer;
    timer.start();
    // The operations the journal names, and the old journal with its columns in capitals.
    target.exec(QStringLiteral("insert into accounts_dep.vid_oper(id, vid) select g, 'Вид ' || g from generate_series(1, 8) g"));
    target.exec(QStringLiteral("insert into accounts_dep.oper(id, vid, naimen, i_id) select g, 1 + g % 8, g % 2, g from generate_series(1, 480) g"));
    source.exec(QStringLiteral(
        "create table public.smena (\"ID\" serial primary key, \"W_ID\" integer, \"I_ID\" integer, \"O_ID\" integer, \"KOL_VO\" integer, "
        "\"BRAK\" smallint, \"DATA\" timestamp, \"SMENA\" smallint, \"CENA\" double precision, color integer, time integer, "
        "ok varchar(255), vvod timestamp)"));
    source.exec(QStringLiteral(
        "insert into public.smena(\"W_ID\", \"I_ID\", \"O_ID\", \"KOL_VO\", \"BRAK\", \"DATA\", \"SMENA\", \"CENA\", color, time, ok, vvod) "
        "select 1 + g % 250, 1 + g % 480, 1 + g % 480, 100 + g % 50, g % 3, date '2020-01-01' + g % 1500, 1 + g % 4, "
        "round((1.5 + (g % 100) / 7.0)::numeric, 4), g % 5, 8, case when g % 3 = 0 then 'ok' else 'no' end, "
        "timestamp '2020-01-01 08:00' + (g % 1500) * interval '1 day' "
        "from generate_series(1, %1) g").arg(rows));
    source.exec(QStringLiteral("analyze public.smena"));
    const QString csv = odbc.path(QStringLiteral("journal.csv"));
    psql(source.name(), QStringLiteral("\\copy (select \"ID\", \"W_ID\", \"I_ID\", \"O_ID\", \"KOL_VO\", \"BRAK\", \"SMENA\", color, "
                                       "\"CENA\", ok, \"DATA\"::date, time, vvod from public.smena order by \"ID\") to '%1' csv").arg(csv));
    std::printf("generated %d journal rows in %.1f s\n", rows, timer.elapsed() / 1000.0);

    const ImportSteps::Step& journal = ImportSteps::all().last();
    LegacyImport import(source.dm());
    double importSeconds = 0, copySeconds = 0;
    const int runs = 3;
    for (int run = 0; run < runs; ++run) {
        target.exec(QStringLiteral("truncate accounts_dep.smena"));
        target.exec(QStringLiteral("checkpoint"));
        timer.restart();
        psql(target.name(), QStringLiteral("\\copy accounts_dep.smena(%1) from '%2' csv").arg(QLatin1String(kColumns), csv));
        copySeconds += timer.elapsed() / 1000.0;

        target.exec(QStringLiteral("truncate accounts_dep.smena"));
        target.exec(QStringLiteral("checkpoint"));
        timer.restart();
        import.store().open();
        import.runStep(journal);
        importSeconds += timer.elapsed() / 1000.0;
    }
    const int copied = target.scalar(QStringLiteral("select count(*) from accounts_dep.smena")).toInt();
    if (copied != rows) {
        std::fprintf(stderr, "the import copied %d rows of %d\n", copied, rows);
        return 1;
    }
    Bench::row(QStringLiteral("legacy import of the journal (%1 rows, mean of %2)").arg(rows).arg(runs), importSeconds / runs,
               copySeconds / runs, QStringLiteral("s"), QStringLiteral("x1.5"), QStringLiteral("\\copy of the same rows by psql"));
    return 0;
}
