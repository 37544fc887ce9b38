// A plant's shift under load, through the program's own code. Run by bench/load, which
// starts the workstations, brings the faults (a server restart, two killed workstations,
// a month closed for a while, two month rebuilds) and checks the result:
//   bench_load setup DATABASE WORKERS          a plant-sized day: workers, operations, entries
//   bench_load station DATABASE ID SECONDS LOG  one workstation's shift, its saves logged
//   bench_load rebuild DATABASE                 the current month's rebuild
//   bench_load check DATABASE FROM CLOSED_FROM CLOSED_TO SECONDS LOG...
//   bench_load reports DATABASE SECONDS primary|standby LOG   year reports one after another
// With BENCH_SERVERS ("127.0.0.2,127.0.0.1") the workstations list those servers, as a
// plant with a hot standby lists both, and reconnect to whichever takes writes.
// A station logs "B <kind> <key>" before each save and "E <kind> <key> <ok|refused|unknown>
// <ms> <end, ms since the epoch>" after it, flushed at once, so a station killed mid-save leaves its save begun and
// not ended. Entries are told apart by their quantity, unique per station and save.
#include "core/roles.h"
#include "db/connectionstring.h"
#include "db/dberror.h"
#include "journal/entryprice.h"
#include "journal/journalsaves.h"
#include "journal/journalstore.h"
#include "db/reportsource.h"
#include "reports/summarystore.h"
#include "support/testdb.h"
#include "timesheet/hoursposting.h"
#include "timesheet/timesheetstore.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QRandomGenerator>
#include <QSet>
#include <QTextStream>
#include <QThread>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <memory>

namespace {

QDate today()
{
    return QDate::currentDate();
}

// The last day of the previous month: late corrections go there, and that month is the
// one closed for a while.
QDate lastMonthsEnd()
{
    return QDate(today().year(), today().month(), 1).addDays(-1);
}

// Signs in as a workstation does: the sign-in account first, then the login the server
// hands back for the code.
std::unique_ptr<DataModule> connect(const QString& database, const QString& code = QStringLiteral("0583"))
{
    auto dm = std::make_unique<DataModule>();
    const QString servers = qEnvironmentVariable("BENCH_SERVERS");
    const QString signIn = servers.isEmpty() ? TestDatabase::connectionStringFor(database)
                                             : ConnectionString::compose(database, servers, TestDatabase::port());
    if (!dm->connectTo(signIn)) {
        std::fprintf(stderr, "no connection: %s\n", qPrintable(dm->lastError()));
        std::exit(2);
    }
    const Roles::SignInAnswer answer = Roles::signIn(*dm, code);
    if (answer.role == Role::None || !dm->connectTo(ConnectionString::withAccount(signIn, answer.account))) {
        std::fprintf(stderr, "no sign-in: %s %s\n", qPrintable(answer.refusal), qPrintable(dm->lastError()));
        std::exit(2);
    }
    dm->setApplicationName(QStringLiteral("bench_load"));
    return dm;
}

QList<int> ids(DataModule& dm, const QString& sql)
{
    QList<int> list;
    for (const QSqlRecord& r : dm.select(sql).rows)
        list << r.value(0).toInt();
    return list;
}

int setup(const QString& database, int workers)
{
    auto dm = connect(database);
    dm->execute(QStringLiteral("insert into accounts_dep.person(fio, s_staffpos_hl) "
                               "select 'Рабочий ' || n || ' Н.Н.', 'Цех ' || (n % 4 + 1) from generate_series(1, %1) n")
                    .arg(workers));
    dm->execute(QStringLiteral("insert into accounts_dep.vid_oper(vid) values ('Резка'), ('Гибка'), ('Сварка'), "
                               "('Порошковая покраска')"));
    dm->execute(QStringLiteral("insert into cmn_gds_and_srv.gds_and_srv(s_caption) "
                               "select 'КР-' || (100 + n) from generate_series(1, 40) n"));
    dm->execute(QStringLiteral("insert into accounts_dep.oper(vid, naimen, i_id) "
                               "select v.id, 0, i.id from accounts_dep.vid_oper v, accounts_dep.izdel i"));
    dm->execute(QStringLiteral("insert into accounts_dep.norm(o_id, norma, prize, price) "
                               "select id, 100, 0, 10 + id % 7 from accounts_dep.oper"));
    // The day so far: a few entries of each worker in each shift, and their timesheet.
    dm->execute(QStringLiteral(
        "insert into accounts_dep.smena(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, vvod, ok, prize, "
        "id_doc, id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use) "
        "select p.id, o.i_id, o.id, (10 + o.id % 7) * case s when 3 then 1.2 else 1 end, 1 + e, 0, d, s, e, 2, d, 'no', 0, 0, 0, 0, 0, 0 "
        "from accounts_dep.person p, generate_series(1, 3) s, generate_series(1, 3) e, "
        "(values (to_date('%1', 'DD.MM.YYYY')), (to_date('%2', 'DD.MM.YYYY'))) days(d), "
        "lateral (select id, i_id from accounts_dep.oper order by id offset (p.id * 7 + e) % 160 limit 1) o")
                    .arg(today().toString(QStringLiteral("dd.MM.yyyy")),
                         lastMonthsEnd().toString(QStringLiteral("dd.MM.yyyy"))));
    TimesheetStore store(dm.get());
    for (const QDate& d : {today(), lastMonthsEnd()})
        store.rebuildMonth(d.month(), d.year(), [](int) {});
    std::printf("plant: %d workers, %d entries\n", workers,
                dm->select(QStringLiteral("select count(*) from accounts_dep.smena")).rows.value(0).value(0).toInt());
    return 0;
}

// One workstation: a foreman adds entries, re-reads his journal, now and then changes or
// deletes one of his own; every fifth station is a storekeeper accepting entries.
int station(const QString& database, int id, int seconds, const QString& logPath)
{
    const bool storekeeper = id % 5 == 4;
    // Foremen who correct their own entries work with full access; storekeepers with theirs.
    auto dm = connect(database, storekeeper ? QStringLiteral("fumpo") : QStringLiteral("0583"));
    JournalSaves saves(*dm);
    QFile file(logPath);
    if (!file.open(QIODevice::Append | QIODevice::Text))
        return 2;
    const auto log = [&file](const QString& line) {
        file.write((line + u'\n').toUtf8());
        file.flush();
    };
    QRandomGenerator random(quint32(id * 7919 + QDateTime::currentMSecsSinceEpoch()));
    const QList<int> workers = ids(*dm, QStringLiteral("select id from accounts_dep.person order by id"));
    QList<QPair<int, int>> operations;   // operation, product
    for (const QSqlRecord& r : dm->select(QStringLiteral("select id, i_id from accounts_dep.oper")).rows)
        operations << qMakePair(r.value(0).toInt(), r.value(1).toInt());
    QList<int> mine;   // quantities of this station's stored entries
    int sequence = 0;
    QElapsedTimer shift;
    shift.start();

    // Runs one save and logs it; false when it was not done.
    const auto save = [&](const char* kind, qint64 key, const std::function<JournalSaves::Outcome()>& work) {
        log(QStringLiteral("B %1 %2").arg(QLatin1String(kind)).arg(key));
        QElapsedTimer t;
        t.start();
        QString result = QStringLiteral("ok");
        try {
            if (work() != JournalSaves::Outcome::Saved)
                result = QStringLiteral("refused");
        } catch (const DbError& e) {
            result = e.outcomeUnknown() ? QStringLiteral("unknown") : QStringLiteral("refused");
        }
        log(QStringLiteral("E %1 %2 %3 %4 %5").arg(QLatin1String(kind)).arg(key).arg(result)
                .arg(t.nsecsElapsed() / 1e6, 0, 'f', 3).arg(QDateTime::currentMSecsSinceEpoch()));
        return result == QLatin1String("ok");
    };
    const auto reread = [&](int shiftNo, const QDate& date) {
        try {
            Dataset* journal = dm->smenaForShift(shiftNo);
            journal->close();
            journal->setParam(QStringLiteral("data"), date);
            journal->setParam(QStringLiteral("ok"), QStringLiteral("ta"));
            journal->open();
        } catch (const DbError&) {
        }
    };
    // Any worker, operation, shift and hours; a fifth of the entries go to last month.
    const auto anyEntry = [&](int quantity) {
        const auto [operation, product] = operations.at(random.bounded(operations.size()));
        EntryRow row;
        row.w_id = workers.at(random.bounded(workers.size()));
        row.o_id = operation;
        row.i_id = product;
        row.quantity = quantity;
        row.hours = 1 + random.bounded(3);
        row.date = random.bounded(5) == 0 ? lastMonthsEnd() : today();
        row.shift = 1 + random.bounded(3);
        // The rule's price of the operation's one norm (10 + id % 7), as the editor gives it.
        row.cena = EntryPrice::finalPrice(10 + operation % 7, false, row.shift);
        return row;
    };
    const auto idOf = [&](int quantity) {
        return ids(*dm, QStringLiteral("select id from accounts_dep.smena where kol_vo=%1").arg(quantity)).value(0);
    };

    while (shift.elapsed() < qint64(seconds) * 1000) {
        QThread::msleep(300 + random.bounded(900));   // the foreman's own work between saves
        try {
            if (storekeeper) {
                const QList<int> listed = ids(*dm, QStringLiteral("select id from accounts_dep.smena where data='%1' "
                                                                  "order by id desc limit 50")
                                                       .arg(today().toString(Qt::ISODate)));
                if (listed.isEmpty())
                    continue;
                const int entry = listed.at(random.bounded(listed.size()));
                const QString mark = JournalStore::toggledMark(
                    dm->select(QStringLiteral("select ok from accounts_dep.smena where id=%1").arg(entry))
                        .rows.value(0).value(0).toString());
                save("mark", entry, [&] { return saves.setMark(entry, mark); });
                reread(1, today());
                continue;
            }
            const int dice = random.bounded(10);
            if (dice < 6 || mine.size() < 3) {
                const EntryRow row = anyEntry(id * 1000000 + ++sequence);
                if (save("add", row.quantity, [&] { return saves.add(row, today()); }))
                    mine << row.quantity;
                reread(row.shift, row.date);
            } else if (dice < 9) {
                const int quantity = mine.at(random.bounded(mine.size()));
                const int entry = idOf(quantity);
                const EntryRow row = anyEntry(quantity);
                save("change", quantity, [&] { return saves.change(row, entry, today()); });
                reread(row.shift, row.date);
            } else {
                const int index = random.bounded(mine.size());
                const int quantity = mine.at(index);
                if (save("delete", quantity, [&] { return saves.remove(idOf(quantity)); }))
                    mine.removeAt(index);
                reread(1, today());
            }
        } catch (const DbError&) {
            // A read while the server is away; the next save finds it back.
        }
    }
    return 0;
}

int rebuild(const QString& database)
{
    auto dm = connect(database);
    TimesheetStore store(dm.get());
    try {
        store.rebuildMonth(today().month(), today().year(), [](int) {});
        std::printf("rebuild: done\n");
    } catch (const DbError& e) {
        std::printf("rebuild: refused: %s\n", qPrintable(e.message().left(200)));
    }
    return 0;
}

// Year reports one after another, as an office's planners run them: the worker summary of
// the last 365 days, read where the reports read (the standby: ReportSource; the primary:
// the workstation's own connection). Logs "R <ms> <standby|primary>" per report.
int reports(const QString& database, int seconds, bool onStandby, const QString& logPath)
{
    auto dm = connect(database);
    if (onStandby)
        ReportSource::of(*dm)->setServer(ConnectionString::composeForReports(
            database, qEnvironmentVariable("BENCH_SERVERS"), TestDatabase::port(), ConnectionString::signInAccount()));
    Dataset* query = SummaryStore::makeQuery(QStringLiteral("t_Report"), SummaryStore::workerSummarySql(), dm.get(), dm.get());
    SummaryStore::setPeriod(*query, today().addDays(-365), today().addDays(1));
    QFile file(logPath);
    if (!file.open(QIODevice::Append | QIODevice::Text))
        return 2;
    QElapsedTimer shift;
    shift.start();
    while (shift.elapsed() < qint64(seconds) * 1000) {
        QElapsedTimer t;
        t.start();
        try {
            const ReportSource::Choice source = ReportSource::of(*dm)->read([query](const QString& connection) {
                query->close();
                query->setConnectionName(connection);
                query->open();
            });
            file.write(QStringLiteral("R %1 %2\n").arg(t.nsecsElapsed() / 1e6, 0, 'f', 1)
                           .arg(source.standby ? QStringLiteral("standby") : QStringLiteral("primary")).toUtf8());
            file.flush();
        } catch (const DbError&) {
            QThread::msleep(500);
        }
        query->close();
    }
    return 0;
}

double percentile(QList<double> values, double p)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    return values.at(qMin(values.size() - 1, int(p * values.size())));
}

// Checks the invariants after a phase and prints its row.
int check(const QStringList& args)
{
    const QString database = args.at(0);
    const QString from = args.at(1), closedFrom = args.at(2), closedTo = args.at(3);
    const int seconds = args.at(4).toInt();
    auto dm = connect(database);
    const auto count = [&](const QString& sql) { return dm->select(sql).rows.value(0).value(0).toLongLong(); };

    struct Fate {
        QString lastDone;   // the last save of the entry that was done
        bool uncertain = false;   // a save of it begun and never ended, or of unknown outcome
    };
    QHash<qint64, Fate> entries;
    QList<double> latencies;
    QHash<QString, int> done;
    // BENCH_AFTER_MS: a moment (ms since the epoch); the end of the first save done that
    // began after it is reported, as ms since the epoch (-1: none).
    const qint64 after = qEnvironmentVariable("BENCH_AFTER_MS").toLongLong();
    qint64 firstAfter = -1;
    int refused = 0, unknown = 0;
    for (const QString& path : args.mid(5)) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            continue;
        QHash<qint64, QString> open;   // begun, not ended
        for (const QByteArray& raw : file.readAll().split('\n')) {
            const QStringList f = QString::fromUtf8(raw).split(u' ');
            if (f.size() < 3)
                continue;
            const qint64 key = f[2].toLongLong();
            const bool entrySave = f[1] != QLatin1String("mark");
            if (f[0] == QLatin1String("B")) {
                open.insert(entrySave ? key : -key, f[1]);
                continue;
            }
            open.remove(entrySave ? key : -key);
            const QString result = f.value(3);
            // The first save done that began after the moment asked for (the primary's death).
            const qint64 ended = f.value(5).toLongLong();
            const qint64 began = ended - qint64(f.value(4).toDouble());
            if (result == QLatin1String("ok") && after > 0 && began >= after && (firstAfter < 0 || ended < firstAfter))
                firstAfter = ended;
            if (result == QLatin1String("ok")) {
                ++done[f[1]];
                latencies << f.value(4).toDouble();
                if (entrySave)
                    entries[key].lastDone = f[1];
            } else if (result == QLatin1String("unknown")) {
                ++unknown;
                if (entrySave)
                    entries[key].uncertain = true;
            } else {
                ++refused;
            }
        }
        for (auto it = open.cbegin(); it != open.cend(); ++it) {
            ++unknown;
            if (it.key() > 0)
                entries[it.key()].uncertain = true;
        }
    }

    QStringList broken;
    // Every save reported done is stored exactly once (and a delete reported done left
    // nothing behind). An entry reported saved and not there is a lost save.
    int wrong = 0, lost = 0;
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        const qint64 stored = count(QStringLiteral("select count(*) from accounts_dep.smena where kol_vo=%1").arg(it.key()));
        const qint64 expected = it->lastDone == QLatin1String("delete") ? 0 : it->lastDone.isEmpty() ? -1 : 1;
        if (stored > 1 || (!it->uncertain && expected >= 0 && stored != expected))
            ++wrong;
        if (!it->uncertain && expected == 1 && stored == 0)
            ++lost;
    }
    if (wrong)
        broken << QStringLiteral("%1 entries not stored as reported").arg(wrong);
    // The timesheet is the journal's sum, worker-day by worker-day.
    const qint64 drift = count(HoursPosting::driftStatement());
    if (drift)
        broken << QStringLiteral("%1 worker-days of the timesheet differ from the journal").arg(drift);
    // Nothing was written into the closed month while it was closed.
    const QDate closed = lastMonthsEnd();
    const qint64 intoClosed = count(QStringLiteral(
        "select count(*) from accounts_dep.change_log where table_name in ('smena', 'h_tabel') "
        "and changed_at > '%1' and changed_at < '%2' "
        "and %3 in (accounts_dep.pay_period(case table_name when 'smena' then 'journal' else 'timesheet' end, old_values), "
        "accounts_dep.pay_period(case table_name when 'smena' then 'journal' else 'timesheet' end, new_values))")
                                        .arg(closedFrom, closedTo)
                                        .arg(closed.year() * 100 + closed.month()));
    if (intoClosed)
        broken << QStringLiteral("%1 changes written into the closed month").arg(intoClosed);
    // The history has one row per committed change of the journal: each insert and
    // delete, and each change or acceptance that changed something (two storekeepers
    // setting the same mark at once change it once).
    const auto logged = [&](const char* op) {
        return count(QStringLiteral("select count(*) from accounts_dep.change_log where table_name='smena' "
                                    "and operation='%1' and changed_at >= '%2'")
                         .arg(QLatin1String(op), from));
    };
    const qint64 inserts = logged("I"), updates = logged("U"), deletes = logged("D");
    const auto near = [unknown](qint64 history, int saves) { return history >= saves && history <= saves + unknown; };
    const int changes = done.value(QStringLiteral("change")) + done.value(QStringLiteral("mark"));
    if (!near(inserts, done.value(QStringLiteral("add"))) || !near(deletes, done.value(QStringLiteral("delete")))
        || updates > changes + unknown || updates < changes * 95 / 100)
        broken << QStringLiteral("history %1/%2/%3 rows against %4/%5/%6 saves")
                      .arg(inserts).arg(updates).arg(deletes)
                      .arg(done.value(QStringLiteral("add")))
                      .arg(done.value(QStringLiteral("change")) + done.value(QStringLiteral("mark")))
                      .arg(done.value(QStringLiteral("delete")));

    std::printf("@load saves=%lld per_s=%.1f median_ms=%.1f p95_ms=%.1f p99_ms=%.1f refused=%d unknown=%d lost=%d "
                "first_after_ms=%lld invariants=%s\n",
                qint64(latencies.size()), latencies.size() / double(seconds), percentile(latencies, 0.5),
                percentile(latencies, 0.95), percentile(latencies, 0.99), refused, unknown, lost, firstAfter,
                broken.isEmpty() ? "held" : qPrintable(broken.join(QStringLiteral("; "))));
    return broken.isEmpty() ? 0 : 1;
}

}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");   // figures with a point, for the table
    const QStringList args = app.arguments().mid(1);
    const QString mode = args.value(0);
    if (mode == QLatin1String("setup") && args.size() == 3)
        return setup(args[1], args[2].toInt());
    if (mode == QLatin1String("station") && args.size() == 5)
        return station(args[1], args[2].toInt(), args[3].toInt(), args[4]);
    if (mode == QLatin1String("rebuild") && args.size() == 2)
        return rebuild(args[1]);
    if (mode == QLatin1String("reports") && args.size() == 5)
        return reports(args[1], args[2].toInt(), args[3] == QLatin1String("standby"), args[4]);
    if (mode == QLatin1String("check") && args.size() >= 7)
        return check(args.mid(1));
    std::fprintf(stderr, "usage: see the head of bench/bench_load.cpp\n");
    return 2;
}
