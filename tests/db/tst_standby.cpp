#include "../reports/reportrun.h"
#include "core/roles.h"
#include "app/windows.h"
#include "db/connectionstring.h"
#include "db/datamodule.h"
#include "db/reportsource.h"
#include "history/historywindow.h"
#include "journal/journalsaves.h"
#include "ownserver.h"
#include "reports/summaryreportswindow.h"
#include "reports/workersummarylayout.h"
#include "support/plantfixture.h"
#include "timesheet/hoursposting.h"

#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

namespace {

// The addresses of the two servers: both on the same port, as db1 and db2 of a plant. The
// workstations list the standby first: whichever comes first, they write on the primary.
const QString kPrimaryAddress = QStringLiteral("127.0.0.1");
const QString kStandbyAddress = QStringLiteral("127.0.0.2");
const QString kBothServers = QStringLiteral("127.0.0.2,127.0.0.1");

struct ScriptRun {
    int exitCode = -1;
    QString output;
};

// Runs tabel-setup-server as an administrator does.
ScriptRun setupServer(const QStringList& args)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TABEL_PRIMARY_USER"), QStringLiteral("postgres"));
    env.remove(QStringLiteral("PGHOST"));
    env.remove(QStringLiteral("PGUSER"));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral("bash"),
                  QStringList{qEnvironmentVariable("TABEL_SOURCE_DIR") + QStringLiteral("/scripts/tabel-setup-server")} + args);
    ScriptRun run;
    if (process.waitForFinished(180000) && process.exitStatus() == QProcess::NormalExit)
        run.exitCode = process.exitCode();
    run.output = QString::fromUtf8(process.readAll());
    return run;
}

// The test's second server, made from its primary by tabel-setup-server --standby-of: a
// cluster of its own in a folder of its own, on 127.0.0.2 at the primary's port.
class Standby {
public:
    Standby(const OwnServer& primary, bool synchronous) : bin_(primary.bin()), port_(primary.port())
    {
        if (!folder_.isValid())
            throw std::runtime_error("no temporary folder for the standby");
        if (geteuid() == 0)
            QProcess::execute(QStringLiteral("/bin/chown"), {QStringLiteral("postgres"), folder_.path()});
        QStringList args{QStringLiteral("--standby-of"), QStringLiteral("%1:%2").arg(kPrimaryAddress).arg(port_)};
        if (synchronous)
            args << QStringLiteral("--sync");
        made_ = setupServer(args + ownCluster() + QStringList{QStringLiteral("--listen"), kStandbyAddress});
    }
    ~Standby() { pgCtl({QStringLiteral("-m"), QStringLiteral("immediate"), QStringLiteral("stop")}); }

    const ScriptRun& made() const { return made_; }
    // The options that point the script at this cluster instead of the system's.
    QStringList ownCluster() const
    {
        return {QStringLiteral("--port"), QString::number(port_), QStringLiteral("--data-dir"), dataDir(),
                QStringLiteral("--socket-dir"), folder_.path(), QStringLiteral("--bin-dir"), bin_};
    }
    ScriptRun setupServer(const QStringList& args) const { return ::setupServer(args); }
    void stop() { pgCtl({QStringLiteral("-m"), QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("stop")}); }
    // A statement as the superuser through the standby's socket.
    bool admin(const QString& sql) const
    {
        return run(bin_ + QStringLiteral("/psql"), {QStringLiteral("-h"), folder_.path(), QStringLiteral("-p"), QString::number(port_),
                                                    QStringLiteral("-U"), QStringLiteral("postgres"), QStringLiteral("-d"),
                                                    QStringLiteral("postgres"), QStringLiteral("-c"), sql});
    }

private:
    QString dataDir() const { return folder_.path() + QStringLiteral("/pgdata"); }
    bool pgCtl(const QStringList& args) const
    {
        return run(bin_ + QStringLiteral("/pg_ctl"), QStringList{QStringLiteral("-D"), dataDir()} + args);
    }
    static bool run(const QString& program, const QStringList& args)
    {
        QProcess process;
        if (geteuid() == 0)
            process.start(QStringLiteral("runuser"), QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"), program} + args);
        else
            process.start(program, args);
        return process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }

    QTemporaryDir folder_{QDir::tempPath() + QStringLiteral("/tabel-standby.XXXXXX")};
    QString bin_;
    int port_;
    ScriptRun made_;
};

// Signs in as a workstation whose setting file lists both servers.
std::unique_ptr<DataModule> workstation(const QString& database, int port)
{
    auto dm = std::make_unique<DataModule>();
    const QString signIn = ConnectionString::compose(database, kBothServers, port);
    if (!dm->connectTo(signIn))
        throw std::runtime_error(("no connection: " + dm->lastError()).toStdString());
    const Roles::SignInAnswer answer = Roles::signIn(*dm, QStringLiteral("0583"));
    if (answer.role != Role::FullAccess || !dm->connectTo(ConnectionString::withAccount(signIn, answer.account)))
        throw std::runtime_error(("no sign-in: " + answer.refusal + dm->lastError()).toStdString());
    return dm;
}

QVariant scalar(const QString& connectionName, const QString& sql)
{
    return SqlRun::select(connectionName, sql).rows.value(0).value(0);
}

// Which of the two servers a connection is on.
QString serverOf(const QString& connectionName)
{
    return scalar(connectionName, QStringLiteral("select host(inet_server_addr())")).toString();
}

}

// A plant with two servers: the primary and a hot standby made from it by
// tabel-setup-server, each a throwaway cluster of the test's own. The workstations list
// both; the test kills the primary and promotes the standby.
class StandbyTest : public QObject {
    Q_OBJECT
    std::unique_ptr<OwnServer> primary;
    std::unique_ptr<Standby> standby;
    std::unique_ptr<TestDatabase> db;
    int worker = 0;
    int product = 0;
    int operation = 0;
    const QDate day{2024, 3, 5};

    void makePair(bool synchronous)
    {
        standby.reset();
        db.reset();
        primary = std::make_unique<OwnServer>();
        qputenv("TABEL_TEST_PORT", QByteArray::number(primary->port()));
        db = std::make_unique<TestDatabase>(QStringLiteral("standby"));
        worker = Plant::worker(*db, QStringLiteral("Иванов И.И."));
        product = int(Plant::product(*db, QStringLiteral("КР-100")));
        operation = Plant::operation(*db, product, Plant::kind(*db, QStringLiteral("Гибка")), 0, 10);
        standby = std::make_unique<Standby>(*primary, synchronous);
    }
    EntryRow entry(int quantity) const
    {
        EntryRow row;
        row.w_id = worker;
        row.i_id = product;
        row.o_id = operation;
        row.cena = 10;
        row.quantity = quantity;
        row.colour = quantity;   // entries of one worker, operation and day differ by colour
        row.hours = 1;
        row.date = day;
        row.shift = 1;
        return row;
    }
    static int stored(const DataModule& dm, int quantity)
    {
        return scalar(dm.connectionName(), QStringLiteral("select count(*) from accounts_dep.smena where kol_vo=%1").arg(quantity)).toInt();
    }

private slots:
    void cleanup()
    {
        standby.reset();
        db.reset();
        primary.reset();
    }

    // The primary dies; one command promotes the standby; the workstation's next save
    // lands there without the program being started again, with the role's login. With
    // synchronous replication every save reported done before the death is there once.
    void theWorkstationFollowsThePromotedStandby_data()
    {
        QTest::addColumn<bool>("synchronous");
        QTest::newRow("asynchronous") << false;
        QTest::newRow("synchronous") << true;
    }
    void theWorkstationFollowsThePromotedStandby()
    {
        QFETCH(bool, synchronous);
        makePair(synchronous);
        QVERIFY2(standby->made().exitCode == 0, qPrintable(standby->made().output));
        QVERIFY2(standby->made().output.contains(QStringLiteral("Этот сервер — резервный сервер 127.0.0.1:%1").arg(primary->port())),
                 qPrintable(standby->made().output));
        QCOMPARE(standby->made().output.contains(QStringLiteral("Репликация синхронная")), synchronous);
        const ScriptRun status = standby->setupServer(QStringList{QStringLiteral("--status")} + standby->ownCluster());
        QVERIFY2(status.output.contains(QStringLiteral("Этот сервер: резервный")), qPrintable(status.output));

        std::unique_ptr<DataModule> ws = workstation(db->name(), primary->port());
        QCOMPARE(serverOf(ws->connectionName()), kPrimaryAddress);
        JournalSaves saves(*ws);
        const QList<int> before{101, 102, 103, 104, 105};
        for (const int quantity : before)
            QVERIFY(saves.add(entry(quantity), day) == JournalSaves::Outcome::Saved);

        primary->kill();
        // Until the standby is promoted there is no server that takes writes: the save
        // is refused as a lost connection and nothing is written.
        try {
            saves.add(entry(106), day);
            QFAIL("a save succeeded with no primary");
        } catch (const DbError& e) {
            QVERIFY2(e.isConnectionLoss(), qPrintable(e.message()));
        }
        const ScriptRun promoted = standby->setupServer(QStringList{QStringLiteral("--promote")} + standby->ownCluster());
        QVERIFY2(promoted.exitCode == 0 && promoted.output.contains(QStringLiteral("Этот сервер теперь основной")),
                 qPrintable(promoted.output));

        QVERIFY(saves.add(entry(106), day) == JournalSaves::Outcome::Saved);
        QCOMPARE(serverOf(ws->connectionName()), kStandbyAddress);
        QCOMPARE(scalar(ws->connectionName(), QStringLiteral("select pg_is_in_recovery()")).toBool(), false);
        for (const int quantity : before) {
            if (synchronous)
                QCOMPARE(stored(*ws, quantity), 1);
            else
                QVERIFY(stored(*ws, quantity) <= 1);
        }
        QCOMPARE(stored(*ws, 106), 1);
        // The timesheet is the journal's sum there too.
        QCOMPARE(scalar(ws->connectionName(), HoursPosting::driftStatement()).toInt(), 0);

        // A workstation started now signs in on the new primary.
        std::unique_ptr<DataModule> later = workstation(db->name(), primary->port());
        QCOMPARE(serverOf(later->connectionName()), kStandbyAddress);
        QCOMPARE(stored(*later, 106), 1);
    }

    // The reports and the history read on the standby while it is current; when it falls
    // behind or stops, on the primary, and the window's status line says so. Nothing is
    // ever written there.
    void reportsReadOnTheStandby()
    {
        makePair(false);
        QVERIFY2(standby->made().exitCode == 0, qPrintable(standby->made().output));
        std::unique_ptr<DataModule> ws = workstation(db->name(), primary->port());
        ReportSource* source = ReportSource::of(*ws);
        source->setServer(ConnectionString::composeForReports(db->name(), kBothServers, primary->port(),
                                                              ConnectionString::signInAccount()));
        JournalSaves saves(*ws);
        QVERIFY(saves.add(entry(201), day) == JournalSaves::Outcome::Saved);

        // Read there once it has replayed the save (until then it is behind the primary).
        ReportSource::Choice choice;
        QTRY_VERIFY2((choice = source->choose()).standby, qPrintable(choice.note));
        QCOMPARE(choice.note, ReportSource::kOnStandby);
        QCOMPARE(serverOf(choice.connectionName), kStandbyAddress);
        QTRY_COMPARE(scalar(choice.connectionName, QStringLiteral("select count(*) from accounts_dep.smena where kol_vo=201")).toInt(), 1);
        QVERIFY_THROWS_EXCEPTION(DbError, SqlRun::execute(choice.connectionName,
                                                          QStringLiteral("update accounts_dep.smena set kol_vo=202 where kol_vo=:q"),
                                                          {{QStringLiteral("q"), 201}}));

        // The report through its window: its PDF has the entry read on the standby.
        appWindows().workerSummary = new WorkerSummaryLayout;
        auto* reports = new SummaryReportsWindow;
        HistoryWindow history;
        reports->setPeriod(QDate(2024, 3, 1), QDate(2024, 4, 1));
        QTemporaryDir pdfs;
        const reportrun::Run run = reportrun::clickAndSave(reports->findChild<QPushButton*>(QStringLiteral("Button4")),
                                                           appWindows().workerSummary, pdfs);
        QVERIFY(run.previewShown);
        QVERIFY(!run.pdf.find(0, QStringLiteral("Иванов И.И.")).isEmpty());
        QCOMPARE(reports->sourceNote(), ReportSource::kOnStandby);
        QCOMPARE(reports->findChild<QLabel*>(QStringLiteral("SourceLabel"))->text(), ReportSource::kOnStandby);
        history.prepareAll();
        QCOMPARE(history.findChild<QLabel*>(QStringLiteral("SourceLabel"))->text(), ReportSource::kOnStandby);

        // Behind by more than the limit: its replay held while the primary writes.
        QVERIFY(standby->admin(QStringLiteral("select pg_wal_replay_pause()")));
        QVERIFY(saves.add(entry(203), day) == JournalSaves::Outcome::Saved);
        source->setMaxLagSeconds(1);
        QTest::qWait(1500);
        choice = source->choose();
        QVERIFY(!choice.standby);
        QCOMPARE(choice.connectionName, ws->connectionName());
        QCOMPARE(choice.note, ReportSource::kStandbyBehind);
        source->setMaxLagSeconds(ReportSource::kMaxLagSeconds);
        QVERIFY(standby->admin(QStringLiteral("select pg_wal_replay_resume()")));

        // Stopped: the reports and the history read on the primary, and say so.
        standby->stop();
        const reportrun::Run onPrimary = reportrun::clickAndSave(reports->findChild<QPushButton*>(QStringLiteral("Button4")),
                                                                 appWindows().workerSummary, pdfs);
        QVERIFY(onPrimary.previewShown);
        QVERIFY(!onPrimary.pdf.find(0, QStringLiteral("Иванов И.И.")).isEmpty());
        QCOMPARE(reports->sourceNote(), ReportSource::kStandbyAway);
        history.prepareAll();
        QCOMPARE(history.findChild<QLabel*>(QStringLiteral("SourceLabel"))->text(), ReportSource::kStandbyAway);
        QVERIFY(history.findChild<QTableWidget*>(QStringLiteral("Grid"))->rowCount() > 0);

        delete reports;
        delete appWindows().workerSummary;
        appWindows() = AppWindows();
        ws.reset();
    }
};

QTEST_MAIN(StandbyTest)
#include "tst_standby.moc"
