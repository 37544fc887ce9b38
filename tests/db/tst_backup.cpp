#include "journal/journalsaves.h"
#include "ownserver.h"
#include "support/plantfixture.h"

#include <QDateTime>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

// The server's backups as a plant's administrator runs them (tabel-setup-server --backup,
// --backup-status, --restore), on a cluster of the test's own with its repository in a
// temporary folder: journal entries saved through the program's own code come back after
// the data folder is destroyed, a restore to a minute brings back exactly what was saved
// before it, and a restore that cannot be done is refused with the server left as it was.
class BackupTest : public QObject {
    Q_OBJECT
    std::unique_ptr<OwnServer> server;
    std::unique_ptr<TestDatabase> db;
    std::unique_ptr<JournalSaves> saves;
    QTemporaryDir work{QDir::tempPath() + QStringLiteral("/tabel-backup-test.XXXXXX")};
    int firstWorker = 0;
    int secondWorker = 0;
    qint64 product = 0;
    int operation = 0;
    // The minute between the two saves, as an administrator writes it.
    QString minuteBetween;

    struct Run {
        int code = -1;
        QString out;
    };
    QString repository() const { return work.path() + QStringLiteral("/repo"); }
    // Runs the set-up script on the test's own server (superuser through its socket).
    Run setup(QStringList args) const
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PGHOST"), server->folder());
        env.insert(QStringLiteral("PGPORT"), QString::number(server->port()));
        env.insert(QStringLiteral("PGUSER"), QStringLiteral("postgres"));
        env.remove(QStringLiteral("PGDATA"));
        env.insert(QStringLiteral("TABEL_BACKUP_CONF"), work.path() + QStringLiteral("/etc/backup.conf"));
        env.insert(QStringLiteral("TABEL_SYSTEMD_RUN"), work.path() + QStringLiteral("/no-systemd"));
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::MergedChannels);
        args << QStringLiteral("--database") << db->name();
        process.start(qEnvironmentVariable("TABEL_SOURCE_DIR") + QStringLiteral("/scripts/tabel-setup-server"), args);
        Run run;
        if (process.waitForFinished(240000) && process.exitStatus() == QProcess::NormalExit)
            run.code = process.exitCode();
        run.out = QString::fromUtf8(process.readAll());
        qInfo().noquote() << args.join(QLatin1Char(' ')) << "->" << run.code << "\n" << run.out;
        return run;
    }
    // Runs a server program as the cluster's owner.
    static void asServer(const QStringList& command)
    {
        QProcess process;
        if (geteuid() == 0)
            process.start(QStringLiteral("runuser"), QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--")} + command);
        else
            process.start(command.first(), command.mid(1));
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 0);
    }
    QString pgBin() const
    {
        const QString bin = qEnvironmentVariable("TABEL_PG_BIN");
        return bin.isEmpty() ? QStringLiteral("/usr/lib/postgresql/15/bin") : bin;
    }
    EntryRow entry(int worker, int quantity) const
    {
        EntryRow r;
        r.w_id = worker;
        r.i_id = int(product);
        r.o_id = operation;
        r.cena = 10;
        r.quantity = quantity;
        r.hours = 4;
        r.date = QDate::currentDate();
        r.shift = 1;
        return r;
    }
    int entries(int worker) const
    {
        return db->scalar(QStringLiteral("select count(*) from accounts_dep.smena where w_id=%1").arg(worker)).toInt();
    }
    int allEntries() const { return db->scalar(QStringLiteral("select count(*) from accounts_dep.smena")).toInt(); }
    // Folders the restore kept aside beside the data folder.
    int keptFolders() const
    {
        return QDir(server->folder()).entryList({QStringLiteral("pgdata.*")}, QDir::Dirs).size();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(work.isValid());
        server = std::make_unique<OwnServer>();
        qputenv("TABEL_TEST_PORT", QByteArray::number(server->port()));
        db = std::make_unique<TestDatabase>(QStringLiteral("backup"));
        // Reads after a restore find the server again at once.
        db->dm()->setProbeAfterIdle(0);
        firstWorker = Plant::worker(*db, QStringLiteral("Иванов И.И."));
        secondWorker = Plant::worker(*db, QStringLiteral("Петров П.П."));
        product = Plant::product(*db, QStringLiteral("КР-100"));
        operation = Plant::operation(*db, product, Plant::kind(*db, QStringLiteral("Гибка")), 0, 10);
        saves = std::make_unique<JournalSaves>(*db->dm());
        // The setting file, as an administrator edits it before the first run: a name of
        // the backup set of this run's own, so that runs side by side share no lock.
        QVERIFY(QDir().mkpath(work.path() + QStringLiteral("/etc")));
        QFile conf(work.path() + QStringLiteral("/etc/backup.conf"));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write(QStringLiteral("stanza = test_%1\n").arg(QCoreApplication::applicationPid()).toUtf8());
        conf.close();
        for (const QString& folder : {QStringLiteral("/repo"), QStringLiteral("/empty"), QStringLiteral("/closed")}) {
            QVERIFY(QDir().mkpath(work.path() + folder));
            server->giveToServer(work.path() + folder);
        }
        QFile::setPermissions(work.path() + QStringLiteral("/closed"), {});
        server->giveToServer(work.path());
        // Kept in the backup, so the restored server starts as quickly as this one.
        server->admin(QStringLiteral("postgres"), QStringLiteral("alter system set fsync = off"));
    }
    void cleanupTestCase()
    {
        saves.reset();
        db.reset();
        server.reset();
    }

    // One command: archiving on, the first full backup, the setting file kept. Then the
    // first entry is saved; the minute turns while the cases below run.
    void backupIsSetUp()
    {
        Run run = setup({QStringLiteral("--backup"), repository()});
        QCOMPARE(run.code, 0);
        QVERIFY(run.out.contains(QStringLiteral("Архивирование WAL включено")));
        QVERIFY(run.out.contains(QStringLiteral("Полная копия сделана")));
        QVERIFY(run.out.contains(QStringLiteral("Таймеры systemd не установлены")));
        QCOMPARE(db->scalar(QStringLiteral("select current_setting('archive_mode')")).toString(), QStringLiteral("on"));
        QFile conf(work.path() + QStringLiteral("/etc/backup.conf"));
        QVERIFY(conf.open(QIODevice::ReadOnly));
        const QString settings = QString::fromUtf8(conf.readAll());
        QVERIFY(settings.contains(QStringLiteral("stanza = test_%1").arg(QCoreApplication::applicationPid())));
        QVERIFY(settings.contains(QStringLiteral("repository = ") + repository()));
        QCOMPARE(saves->add(entry(firstWorker, 11), QDate::currentDate()), JournalSaves::Outcome::Saved);
    }

    // A second run changes nothing and takes no second backup; the status says all is well.
    void secondRunAndStatus()
    {
        Run run = setup({QStringLiteral("--backup"), repository()});
        QCOMPARE(run.code, 0);
        QVERIFY(run.out.contains(QStringLiteral("новая полная копия сейчас не делается")));
        run = setup({QStringLiteral("--backup-status")});
        QCOMPARE(run.code, 0);
        QVERIFY(run.out.contains(QStringLiteral("Последняя полная копия:")));
        QVERIFY(run.out.contains(QStringLiteral("Архивирование WAL работает")));
        QCOMPARE(allEntries(), 1);
    }

    // A restore that cannot be done says why and touches nothing: the server keeps
    // running with its entries, no data folder is moved aside.
    void refusedRestoresTouchNothing_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        const QString dir = work.path();
        const QString restore = QStringLiteral("--restore");
        const QString to = QStringLiteral("--to");
        QTest::newRow("missing repository") << QStringList{restore, dir + QStringLiteral("/nowhere")}
                                            << QStringLiteral("не найдено (смонтирован ли диск?); ничего не изменено");
        QTest::newRow("unreadable repository") << QStringList{restore, dir + QStringLiteral("/closed")}
                                               << QStringLiteral("недоступно для чтения пользователю postgres; ничего не изменено");
        QTest::newRow("no backup of this server") << QStringList{restore, dir + QStringLiteral("/empty")}
                                                  << QStringLiteral("нет резервных копий этого сервера");
        QTest::newRow("no such day") << QStringList{restore, repository(), to, QStringLiteral("30.02.2024 10:00")}
                                     << QStringLiteral("не вида ДД.ММ.ГГГГ ЧЧ:ММ");
        QTest::newRow("not a time") << QStringList{restore, repository(), to, QStringLiteral("вчера")}
                                    << QStringLiteral("не вида ДД.ММ.ГГГГ ЧЧ:ММ");
        QTest::newRow("before the first backup") << QStringList{restore, repository(), to, QStringLiteral("01.01.2020 10:00")}
                                                 << QStringLiteral("нет копии, сделанной раньше 01.01.2020 10:00");
        QTest::newRow("a minute yet to come")
            << QStringList{restore, repository(), to, QDateTime::currentDateTime().addDays(1).toString(QStringLiteral("dd.MM.yyyy hh:mm"))}
            << QStringLiteral("еще не наступило");
    }
    void refusedRestoresTouchNothing()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        const Run run = setup(args);
        QVERIFY(run.code != 0);
        QVERIFY2(run.out.contains(message), qPrintable(run.out));
        QCOMPARE(allEntries(), 1);
        QCOMPARE(keptFolders(), 0);
        QVERIFY(QDir(work.path() + QStringLiteral("/empty")).isEmpty());
    }

    // Every entry whose save committed before the last WAL switch comes back after the
    // server is killed and its data folder removed.
    void restoreBringsBackEverySave()
    {
        // The second save in the next minute: the minute between them is its start.
        const QDateTime now = QDateTime::currentDateTime();
        const QDateTime next = now.addSecs(60 - now.time().second()).addMSecs(-now.time().msec());
        minuteBetween = next.toString(QStringLiteral("dd.MM.yyyy hh:mm"));
        QThread::msleep(quint64(now.msecsTo(next)) + 1000);
        QCOMPARE(saves->add(entry(secondWorker, 12), QDate::currentDate()), JournalSaves::Outcome::Saved);

        const QString segment = db->scalar(QStringLiteral("select pg_walfile_name(pg_current_wal_lsn())")).toString();
        server->admin(QStringLiteral("postgres"), QStringLiteral("select pg_switch_wal()"));
        QTRY_VERIFY_WITH_TIMEOUT(db->scalar(QStringLiteral("select coalesce(last_archived_wal, '') from pg_stat_archiver")).toString() >= segment,
                                 60000);
        asServer({pgBin() + QStringLiteral("/pg_ctl"), QStringLiteral("-D"), server->folder() + QStringLiteral("/pgdata"),
                  QStringLiteral("-m"), QStringLiteral("immediate"), QStringLiteral("stop")});
        QVERIFY(QDir(server->folder() + QStringLiteral("/pgdata")).removeRecursively());

        const Run run = setup({QStringLiteral("--restore"), repository()});
        QCOMPARE(run.code, 0);
        QVERIFY(run.out.contains(QStringLiteral("Сервер PostgreSQL запущен")));
        QVERIFY2(run.out.contains(QStringLiteral("записей журнала за текущий месяц — 2")), qPrintable(run.out));
        QCOMPARE(entries(firstWorker), 1);
        QCOMPARE(entries(secondWorker), 1);
    }

    // A restore to the minute between the two saves brings back exactly the first; the
    // data folder it replaced is kept aside.
    void restoreToAMinuteBringsBackWhatWasBefore()
    {
        const Run run = setup({QStringLiteral("--restore"), repository(), QStringLiteral("--to"), minuteBetween});
        QCOMPARE(run.code, 0);
        QVERIFY(run.out.contains(QStringLiteral("Прежняя папка данных сохранена")));
        QCOMPARE(entries(firstWorker), 1);
        QCOMPARE(entries(secondWorker), 0);
        QCOMPARE(keptFolders(), 1);
    }

    // When the repository stops taking WAL, the status says so and fails, for monitoring.
    void statusFailsWhenArchivingFails()
    {
        QVERIFY(QFile::setPermissions(repository(), {}));
        const auto reopen = qScopeGuard([this] { QFile::setPermissions(repository(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner); });
        QCOMPARE(saves->add(entry(secondWorker, 13), QDate::currentDate()), JournalSaves::Outcome::Saved);
        server->admin(QStringLiteral("postgres"), QStringLiteral("select pg_switch_wal()"));
        QTRY_VERIFY_WITH_TIMEOUT(db->scalar(QStringLiteral("select failed_count from pg_stat_archiver")).toInt() > 0, 60000);
        const Run run = setup({QStringLiteral("--backup-status")});
        QCOMPARE(run.code, 1);
        QVERIFY2(run.out.contains(QStringLiteral("архивирование WAL не удается")), qPrintable(run.out));
    }
};

QTEST_MAIN(BackupTest)
#include "tst_backup.moc"
