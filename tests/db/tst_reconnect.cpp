#include "app/loginwindow.h"
#include "app/windows.h"
#include "core/clock.h"
#include "db/datamodule.h"
#include "journal/entryeditor.h"
#include "journal/journalsaves.h"
#include "journal/journalwindow.h"
#include "ownserver.h"
#include "support/modal.h"
#include "support/plantfixture.h"
#include "timesheet/hoursposting.h"
#include "ui/guard.h"
#include "ui/messages.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

namespace {

const QString kNoConnection = QStringLiteral("Нет связи с сервером базы данных");

}

// The client on a server that goes away and comes back: the test has a server of its
// own, which it stops and starts in the middle of reading, saving, the gate's tick and
// the journal's refresh.
class ReconnectTest : public QObject {
    Q_OBJECT
    std::unique_ptr<OwnServer> server;
    std::unique_ptr<TestDatabase> db;
    bool serverUp = false;
    LoginWindow* login = nullptr;
    JournalWindow* journal = nullptr;
    EntryEditor* editor = nullptr;
    int worker = 0;
    qint64 product = 0;
    int operation = 0;
    const QDate day{2024, 3, 5};

    DataModule* dm() const { return db->dm(); }
    void stopServer()
    {
        server->stop();
        serverUp = false;
    }
    void startServer()
    {
        server->start();
        serverUp = true;
    }
    int count(const QString& sql) const { return db->scalar(sql).toInt(); }
    int entriesOfTheDay() const
    {
        return count(QStringLiteral("select count(*) from accounts_dep.smena where w_id=%1 and data='%2'")
                         .arg(worker)
                         .arg(day.toString(Qt::ISODate)));
    }
    int postedHours() const
    {
        const QVariant v = db->scalar(QStringLiteral("select d%1 from accounts_dep.h_tabel where w_id=%2 and smena=1 "
                                                     "and month=%3 and year=%4")
                                          .arg(day.day()).arg(worker).arg(day.month()).arg(day.year()));
        return v.isNull() ? -1 : v.toInt();
    }
    // A trigger that ends its own session the first time it fires: the connection breaks
    // in the middle of the statement, as when the server is restarted at that moment.
    void cutOnce(const QString& table)
    {
        db->exec(QStringLiteral("create trigger cut_once after insert or update on %1 for each row "
                                "execute function public.cut_connection_once()").arg(table));
    }
    // What the journal's 30-second timer does on a tick.
    void tick() { QMetaObject::invokeMethod(journal->gateTimer(), "timeout", Qt::DirectConnection); }
    QLineEdit* box(const char* name) const { return editor->findChild<QLineEdit*>(QString::fromLatin1(name)); }
    static void verifyLossMessage(const QString& text)
    {
        QVERIFY2(text.startsWith(kNoConnection), qPrintable(text));
        // The driver's own words follow the Russian sentence.
        const int gap = text.indexOf(QStringLiteral("\n\n"));
        QVERIFY2(gap > 0 && text.size() > gap + 2, qPrintable(text));
    }

private slots:
    void initTestCase()
    {
        server = std::make_unique<OwnServer>();
        serverUp = true;
        qputenv("TABEL_TEST_PORT", QByteArray::number(server->port()));
        db = std::make_unique<TestDatabase>(QStringLiteral("reconnect"));
        db->exec(QStringLiteral(
            "create function public.cut_connection_once() returns trigger language plpgsql as "
            "$$ begin if nextval('public.cuts') = 1 then perform pg_terminate_backend(pg_backend_pid()); end if; "
            "return new; end $$"));
        worker = Plant::worker(*db, QStringLiteral("Иванов И.И."));
        product = Plant::product(*db, QStringLiteral("КР-100"));
        operation = Plant::operation(*db, product, Plant::kind(*db, QStringLiteral("Гибка")), 0, 10);
        Clock::setToday(day);

        login = new LoginWindow;
        journal = new JournalWindow;
        editor = new EntryEditor;
        appWindows().login = login;
        appWindows().journal = journal;
        appWindows().entryEditor = editor;
        for (int shift = 1; shift <= 4; ++shift)
            dm()->smenaForShift(shift)->setParam(QStringLiteral("ok"), QStringLiteral("ta"));
        journal->CurrentShift = 1;
        journal->RoleCode = QStringLiteral("0583");
        journal->gateTimer()->stop();   // ticks come from the test
    }
    void cleanupTestCase()
    {
        delete editor;
        delete journal;
        delete login;
        appWindows() = AppWindows();
        Clock::setToday({});
        db.reset();
        server.reset();
    }
    void init()
    {
        if (!serverUp)
            startServer();
        dm()->setProbeAfterIdle(0);
        db->exec(QStringLiteral("drop trigger if exists cut_once on accounts_dep.smena"));
        db->exec(QStringLiteral("drop trigger if exists cut_once on accounts_dep.h_tabel"));
        db->exec(QStringLiteral("drop table if exists public.marks"));
        db->exec(QStringLiteral("drop sequence if exists public.cuts"));
        db->exec(QStringLiteral("create sequence public.cuts"));
        db->exec(QStringLiteral("delete from accounts_dep.smena"));
        db->exec(QStringLiteral("delete from accounts_dep.h_tabel"));
        db->exec(QStringLiteral("delete from accounts_dep.ver"));
        QCoreApplication::sendPostedEvents();
        for (int shift = 1; shift <= 4; ++shift)
            dm()->smenaForShift(shift)->close();   // no list of an earlier test stays shown
    }
    void cleanup()
    {
        editor->hide();
        journal->hide();
        QVERIFY(noTopLevelWindowOpen());
    }

    // After a restart the next statement finds the server again: with a probe before it,
    // at once; without one (the connection answered a moment ago), the statement that
    // meets the broken connection fails and the one after it reconnects.
    void readingFindsTheServerBack_data()
    {
        QTest::addColumn<int>("probeAfterIdleMs");
        QTest::addColumn<bool>("firstReadFails");
        QTest::newRow("probed before the statement") << 0 << false;
        QTest::newRow("answered a moment ago") << 3600 * 1000 << true;
    }
    void readingFindsTheServerBack()
    {
        QFETCH(int, probeAfterIdleMs);
        QFETCH(bool, firstReadFails);
        dm()->setProbeAfterIdle(probeAfterIdleMs);
        QCOMPARE(count(QStringLiteral("select 1")), 1);
        stopServer();
        startServer();
        QSignalSpy reconnected(dm(), &DataModule::reconnected);
        if (firstReadFails) {
            try {
                count(QStringLiteral("select 2"));
                QFAIL("a read on the broken connection succeeded");
            } catch (const DbError& e) {
                QVERIFY(e.isConnectionLoss());
                QVERIFY(!e.outcomeUnknown());
                verifyLossMessage(e.message());
            }
            QVERIFY(dm()->isConnectionBroken());
        }
        QCOMPARE(count(QStringLiteral("select 2")), 2);
        QVERIFY(!dm()->isConnectionBroken());
        // The windows hear of it from the event loop, once.
        QCOMPARE(reconnected.count(), 0);
        QCoreApplication::sendPostedEvents();
        QCOMPARE(reconnected.count(), 1);
    }

    // While the server is down, every try says so in Russian with the driver's words,
    // and sends nothing: a write tried then is known not to be written.
    void whileTheServerIsDownNothingIsSent()
    {
        db->exec(QStringLiteral("create table public.marks(n int)"));
        stopServer();
        for (int attempt = 0; attempt < 2; ++attempt) {
            try {
                dm()->execute(QStringLiteral("insert into public.marks values (1)"));
                QFAIL("a write succeeded without a server");
            } catch (const DbError& e) {
                QVERIFY(e.isConnectionLoss());
                QVERIFY2(!e.outcomeUnknown(), qPrintable(e.message()));
                verifyLossMessage(e.message());
            }
        }
        startServer();
        QCOMPARE(count(QStringLiteral("select count(*) from public.marks")), 0);
        dm()->execute(QStringLiteral("insert into public.marks values (1)"));
        QCOMPARE(count(QStringLiteral("select count(*) from public.marks")), 1);
    }

    // A write whose connection breaks after it was sent may or may not have taken effect:
    // it is reported as such and never sent again by itself.
    void aWriteCutOffIsReportedAndNotSentAgain()
    {
        db->exec(QStringLiteral("create table public.marks(n int)"));
        cutOnce(QStringLiteral("public.marks"));
        try {
            dm()->execute(QStringLiteral("insert into public.marks values (1)"));
            QFAIL("the cut write succeeded");
        } catch (const DbError& e) {
            QVERIFY(e.isConnectionLoss());
            QVERIFY(e.outcomeUnknown());
            verifyLossMessage(e.message());
            QVERIFY2(e.message().contains(QStringLiteral("неизвестно, успела ли")), qPrintable(e.message()));
        }
        QCOMPARE(count(QStringLiteral("select count(*) from public.marks")), 0);
        QCOMPARE(count(QStringLiteral("select last_value from public.cuts")), 1);   // sent once
        dm()->execute(QStringLiteral("insert into public.marks values (2)"));
        QCOMPARE(count(QStringLiteral("select count(*) from public.marks")), 1);
    }

    // "Запись" while the server is away keeps the editor open with everything typed and
    // writes nothing, also when the connection broke after the entry was written but
    // before its day was posted: the entry and its day go together. "Запись" again once
    // the server answers saves the entry exactly once and posts its hours.
    void savingWhileTheServerIsAway_data()
    {
        QTest::addColumn<QString>("away");
        QTest::newRow("server stopped") << QStringLiteral("stopped");
        QTest::newRow("cut during the insert") << QStringLiteral("accounts_dep.smena");
        QTest::newRow("cut during the posting") << QStringLiteral("accounts_dep.h_tabel");
    }
    void savingWhileTheServerIsAway()
    {
        QFETCH(QString, away);
        journal->CurrentShift = 1;
        editor->prepareNew(day);
        editor->workerChosen({worker, QStringLiteral("Иванов И.И.")});
        editor->operationChosen({operation, int(product), QStringLiteral("Гибка"), 0, 10});
        box("Edit3")->setText(QStringLiteral("12"));
        box("Edit6")->setText(QStringLiteral("8"));
        editor->show();
        if (away == QStringLiteral("stopped"))
            stopServer();
        else
            cutOnce(away);

        Messages::Recorder recorder;
        QPushButton* save = editor->findChild<QPushButton*>(QStringLiteral("Button1"));
        QTest::mouseClick(save, Qt::LeftButton);
        QCOMPARE(recorder.shown.size(), 1);
        verifyLossMessage(recorder.shown[0].text);
        QCOMPARE(recorder.shown[0].caption, QStringLiteral("Ошибка"));
        QVERIFY(!recorder.shown[0].text.contains(QStringLiteral("неизвестно, успела ли")));
        QVERIFY(recorder.shown[0].text.endsWith(JournalSaves::kNotAdded));
        QVERIFY(editor->isVisible());
        QCOMPARE(box("Edit1")->text(), QStringLiteral("Иванов И.И."));
        QCOMPARE(box("Edit3")->text(), QStringLiteral("12"));
        QCOMPARE(box("Edit6")->text(), QStringLiteral("8"));

        if (!serverUp)
            startServer();
        QCOMPARE(entriesOfTheDay(), 0);
        QCOMPARE(postedHours(), -1);   // no timesheet row either
        QTest::mouseClick(save, Qt::LeftButton);
        QCOMPARE(recorder.texts(), QStringList{recorder.shown[0].text});   // nothing more to say
        QVERIFY(!editor->isVisible());
        QCOMPARE(entriesOfTheDay(), 1);
        QCOMPARE(postedHours(), 8);
    }

    // The gate's tick says once that the server is away, keeps trying quietly, and
    // finds the server back by itself; then the journal that was shown is read again and
    // the gate runs again.
    void gateTickSaysOnceAndFindsTheServerBack()
    {
        Plant::Entry e;
        e.w_id = worker; e.i_id = product; e.o_id = operation; e.data = day; e.smena = 1; e.time = 8;
        Plant::entry(*db, e);
        journal->show();
        QTRY_COMPARE(dm()->Smena1->recordCount(), 1);   // read on showing
        Messages::Recorder recorder;
        stopServer();
        tick();
        tick();
        QCOMPARE(recorder.shown.size(), 1);
        verifyLossMessage(recorder.shown[0].text);
        // The user's own refresh is told, and the list is empty while the server is away.
        journal->findChild<QPushButton*>(QStringLiteral("Button8"))->click();
        QCOMPARE(recorder.shown.size(), 2);
        verifyLossMessage(recorder.shown[1].text);
        QCOMPARE(dm()->Smena1->recordCount(), 0);
        tick();
        QCOMPARE(recorder.shown.size(), 2);

        startServer();
        QSignalSpy reconnected(dm(), &DataModule::reconnected);
        tick();
        QCOMPARE(recorder.shown.size(), 2);
        QCoreApplication::sendPostedEvents();
        QCOMPARE(reconnected.count(), 1);
        QCOMPARE(dm()->Smena1->recordCount(), 1);
        QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.ver")), 1);   // the gate ran
        // The next loss is told again.
        stopServer();
        tick();
        QCOMPARE(recorder.shown.size(), 3);
    }

    // A delete whose posting the connection broke off deletes nothing: the entry and its
    // hours stay, the user is told so, and deleting again once the server is back
    // deletes the entry and its hours together.
    void aDeleteCutOffBeforeItsPostingDeletesNothing()
    {
        Plant::Entry e;
        e.w_id = worker; e.i_id = product; e.o_id = operation; e.data = day; e.smena = 1; e.time = 8;
        Plant::entry(*db, e);
        PostDayHours(*dm(), worker, 1, day, true);
        QCOMPARE(postedHours(), 8);
        journal->show();
        QTRY_COMPARE(dm()->Smena1->recordCount(), 1);
        cutOnce(QStringLiteral("accounts_dep.h_tabel"));
        Messages::Recorder recorder;   // answers "Удалить позицию из списка?" with Yes
        journal->findChild<QPushButton*>(QStringLiteral("Button3"))->click();
        QCOMPARE(recorder.shown.size(), 2);
        verifyLossMessage(recorder.shown[1].text);
        QVERIFY(recorder.shown[1].text.endsWith(JournalSaves::kNotDeleted));
        QCOMPARE(entriesOfTheDay(), 1);     // this read reconnects
        QCOMPARE(postedHours(), 8);
        QCoreApplication::sendPostedEvents();

        journal->findChild<QPushButton*>(QStringLiteral("Button3"))->click();
        QCOMPARE(recorder.shown.size(), 3);   // the question alone
        QCOMPARE(entriesOfTheDay(), 0);
        QCOMPARE(postedHours(), 0);
    }

    // A shared list a window opened while the server was away is read once it is back.
    void aListThatCouldNotBeReadIsReadAfterTheReconnect()
    {
        stopServer();
        QVERIFY_THROWS_EXCEPTION(DbError, dm()->Workers->open());
        QVERIFY(!dm()->Workers->isOpen());
        startServer();
        QCOMPARE(count(QStringLiteral("select 1")), 1);
        QCoreApplication::sendPostedEvents();
        QVERIFY(dm()->Workers->isOpen());
        QCOMPARE(dm()->Workers->recordCount(), 1);
        dm()->Workers->close();
    }

    // A box about the lost connection is never stacked on another: while one is open,
    // neither the gate's tick nor a user's action opens a second one.
    void lossBoxesAreNotStacked()
    {
        stopServer();
        int boxesSeen = -1;
        auto stacked = std::make_shared<int>(0);
        onNextModal([&](QWidget* box) {
            // A second box, if one were opened on top, is counted and closed.
            onNextModal([stacked](QWidget* second) { ++*stacked; second->close(); }, 1000);
            tick();
            guarded([&] { dm()->Smena1->reopen(); });
            boxesSeen = 0;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (qobject_cast<QMessageBox*>(w) && w->isVisible())
                    ++boxesSeen;
            box->close();
        });
        QVERIFY(!guarded([&] { count(QStringLiteral("select 1")); }));
        QCOMPARE(boxesSeen, 1);
        QCOMPARE(*stacked, 0);
    }
};

QTEST_MAIN(ReconnectTest)
#include "tst_reconnect.moc"
