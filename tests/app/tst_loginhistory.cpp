#include "app/loginwindow.h"
#include "app/termination.h"
#include "app/windows.h"
#include "core/buildstamp.h"
#include "core/sessionname.h"
#include "journal/journalwindow.h"
#include "reports/summaryreportswindow.h"
#include "support/modal.h"
#include "support/plantfixture.h"
#include "ui/messages.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

// After login the connection carries the program's name, build and role, which the
// server writes into the history; the history is full access's only.
class LoginHistoryTest : public QObject {
    Q_OBJECT
    std::unique_ptr<TestDatabase> db;

    void createWindows()
    {
        destroyWindows();
        appWindows().journal = new JournalWindow;
        appWindows().summaryReports = new SummaryReportsWindow;
        appWindows().login = new LoginWindow;
    }
    void destroyWindows()
    {
        delete appWindows().login;
        delete appWindows().summaryReports;
        delete appWindows().journal;
        appWindows() = AppWindows();
    }

private slots:
    void initTestCase()
    {
        db = std::make_unique<TestDatabase>(QStringLiteral("loginhistory"));
        Termination::setHandler([] {});
    }
    void cleanupTestCase()
    {
        destroyWindows();
        Termination::setHandler({});
        db.reset();
    }
    void cleanup() { QVERIFY(noTopLevelWindowOpen()); }

    void roles_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("roleWord");
        QTest::addColumn<bool>("history");
        QTest::newRow("planner") << "brivel" << "planner" << false;
        QTest::newRow("foreman") << "quolbin" << "foreman" << false;
        QTest::newRow("storekeeper") << "fumpo" << "storekeeper" << false;
        QTest::newRow("full access") << "0583" << "full" << true;
    }
    void roles()
    {
        QFETCH(QString, code);
        QFETCH(QString, roleWord);
        QFETCH(bool, history);
        createWindows();
        LoginWindow* login = appWindows().login;
        login->findChild<QLineEdit*>(QStringLiteral("Edit1"))->setText(code);
        QString nameInside;
        bool historyItem = false, entryHistoryItem = false;
        onNextModal([&](QWidget* w) {
            JournalWindow* journal = appWindows().journal;
            historyItem = journal->findChild<QAction*>(QStringLiteral("N13"))->isEnabled();
            entryHistoryItem = journal->findChild<QAction*>(QStringLiteral("N14"))->isEnabled();
            nameInside = db->scalar(QStringLiteral("select current_setting('application_name')")).toString();
            // A change made now is recorded under that name.
            db->exec(QStringLiteral("insert into accounts_dep.vid_oper(vid) values ('Вид %1')").arg(roleWord));
            w->close();
        }, 3000);
        Messages::Recorder recorder;
        login->findChild<QPushButton*>(QStringLiteral("Button1"))->click();
        QTest::qWait(20);
        const BuildStamp::Stamp build = BuildStamp::current();
        const QString expected = QStringLiteral("Tabel %1.%2 %3").arg(build.date).arg(build.time).arg(roleWord);
        QCOMPARE(nameInside, expected);
        QCOMPARE(historyItem, history);
        QCOMPARE(entryHistoryItem, history);
        QCOMPARE(db->scalar(QStringLiteral("select app_name from accounts_dep.change_log where table_name='vid_oper' "
                                           "and new_values->>'vid' = 'Вид %1'").arg(roleWord))
                     .toString(),
                 expected);
    }
};

QTEST_MAIN(LoginHistoryTest)
#include "tst_loginhistory.moc"
