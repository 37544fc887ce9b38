#include "app/loginwindow.h"
#include "app/termination.h"
#include "app/windows.h"
#include "core/buildstamp.h"
#include "core/roles.h"
#include "journal/journalwindow.h"
#include "reports/summaryreportswindow.h"
#include "support/modal.h"
#include "support/plantfixture.h"
#include "support/testdb.h"
#include "ui/messages.h"

#include "core/clock.h"

#include <QAction>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QScopeGuard>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>
#include <QWheelEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

// The login: codes, roles and what each role may use; the version gate's effects.
class LoginTest : public QObject {
    Q_OBJECT
    std::unique_ptr<TestDatabase> db;
    int terminations = 0;

    // Fresh windows for each case: the login's switching-off is never undone.
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
    bool enabled(QWidget* window, const QString& name) const
    {
        if (auto* menu = window->findChild<QMenu*>(name))
            return menu->menuAction()->isEnabled();
        if (auto* action = window->findChild<QAction*>(name))
            return action->isEnabled();
        auto* widget = window->findChild<QWidget*>(name);
        return widget && widget->isEnabled();
    }
    // Types the code, presses "Вход" and, if the journal opens, closes it again.
    bool logIn(const QString& code)
    {
        LoginWindow* login = appWindows().login;
        login->findChild<QLineEdit*>(QStringLiteral("Edit1"))->setText(code);
        bool journalShown = false;
        onNextModal([&](QWidget* w) {
            journalShown = w == appWindows().journal;
            w->close();
        }, 500);
        login->findChild<QPushButton*>(QStringLiteral("Button1"))->click();
        QTest::qWait(20);
        return journalShown;
    }

private slots:
    void initTestCase()
    {
        db = std::make_unique<TestDatabase>(QStringLiteral("login"));
        Termination::setHandler([this] { ++terminations; });
    }
    void cleanupTestCase()
    {
        destroyWindows();
        Termination::setHandler({});
        db.reset();
    }
    void init()
    {
        terminations = 0;
        // Each case starts with no wrong code counted against this computer.
        db->exec(QStringLiteral("delete from accounts_dep.signin_failure"));
        db->exec(QStringLiteral("delete from accounts_dep.signin_lock"));
        createWindows();
    }
    void cleanup() { QVERIFY(noTopLevelWindowOpen()); }

    void rolesSwitchOffWhatTheyMayNotUse_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QStringList>("journalOff");
        QTest::addColumn<QStringList>("reportsOff");
        // The planner's grid stays enabled, view-only: see plannersGridScrollsAndSelectsButChangesNothing.
        const QStringList planner{"Button1", "Button2", "Button3", "Button8", "RadioButton1", "RadioButton2", "RadioButton3",
                                  "RadioButton4", "CBox1", "DateT", "N2", "N11"};
        QTest::newRow("planner") << "brivel" << planner << QStringList{};
        QTest::newRow("foreman, blanks around") << "  quolbin " << QStringList{"Button2", "Button3", "N2", "N11"}
                                                << QStringList{"Button1", "Button2", "Button4", "Button6"};
        QTest::newRow("storekeeper") << "fumpo" << QStringList{"Button1", "Button2", "Button3", "N2", "N11"}
                                     << QStringList{"Button1", "Button2", "Button4", "Button6", "RadioGroup1"};
        QTest::newRow("full access") << "61370327" << QStringList{} << QStringList{};
        QTest::newRow("full access, short code") << "0583" << QStringList{} << QStringList{};
    }
    void rolesSwitchOffWhatTheyMayNotUse()
    {
        QFETCH(QString, code);
        QFETCH(QStringList, journalOff);
        QFETCH(QStringList, reportsOff);
        Messages::Recorder recorder;
        QVERIFY(logIn(code));
        QVERIFY(recorder.shown.isEmpty());
        JournalWindow* journal = appWindows().journal;
        QCOMPARE(journal->RoleCode, code.trimmed());
        QCOMPARE(journal->CurrentShift, 1);
        const QStringList journalControls{"Button1", "Button2", "Button3", "Button8", "Button4", "RadioButton1", "RadioButton2",
                                          "RadioButton3", "RadioButton4", "CBox1", "DateT", "DBGrid2", "N2", "N11", "N7", "N5"};
        for (const QString& name : journalControls)
            QVERIFY2(enabled(journal, name) == !journalOff.contains(name), qPrintable(name));
        const QStringList reportControls{"Button1", "Button2", "Button3", "Button4", "Button5", "Button6", "RadioGroup1"};
        for (const QString& name : reportControls)
            QVERIFY2(enabled(appWindows().summaryReports, name) == !reportsOff.contains(name), qPrintable(name));
        for (int shift = 1; shift <= 4; ++shift)
            QCOMPARE(db->dm()->smenaForShift(shift)->param(QStringLiteral("ok")).toString(), QStringLiteral("ta"));
        // Closing the journal ends the program, whatever the role.
        QCOMPARE(terminations, 1);
        QVERIFY(!appWindows().login->isVisible());
    }

    void storekeeperSeesFinishedProductsOnly()
    {
        QVERIFY(logIn(QStringLiteral("fumpo")));
        QCOMPARE(appWindows().summaryReports->productKind(), 1);
    }

    // After a refusal the right code typed at once gets in: it replaces the wrong one.
    void theRightCodeTypedAfterARefusalGetsIn()
    {
        Messages::Recorder recorder;
        LoginWindow* login = appWindows().login;
        login->show();
        QVERIFY(QTest::qWaitForWindowActive(login));
        auto* box = login->findChild<QLineEdit*>(QStringLiteral("Edit1"));
        box->setFocus();
        QTest::keyClicks(box, QStringLiteral("12345"));
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(recorder.texts(), QStringList{QStringLiteral("Введены неверные данные.")});
        bool journalShown = false;
        onNextModal([&](QWidget* w) {
            journalShown = w == appWindows().journal;
            w->close();
        }, 2000);
        QTest::keyClicks(box, QStringLiteral("0583"));
        QCOMPARE(box->text(), QStringLiteral("0583"));
        QTest::keyClick(box, Qt::Key_Return);
        QTRY_VERIFY(journalShown);
        QCOMPARE(recorder.shown.size(), 1);
        QCOMPARE(appWindows().journal->RoleCode, QStringLiteral("0583"));
    }

    // The caption "Авторизация (build: D.T)" fits the window for any stamp.
    void theBuildCaptionFitsTheWindow_data()
    {
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("time");
        QTest::newRow("short time") << "Jan  1 2023" << "00:00:05";
        QTest::newRow("widest") << "Dec 28 2088" << "23:59:59";
    }
    void theBuildCaptionFitsTheWindow()
    {
        QFETCH(QString, date);
        QFETCH(QString, time);
        db->exec(QStringLiteral("delete from accounts_dep.ver"));
        BuildStamp::setCompileTexts(date, time);
        createWindows();   // sized at creation for the caption to come
        LoginWindow* login = appWindows().login;
        const int widthAtStart = login->width();
        Messages::Recorder recorder;
        login->onActivated();
        const QString caption = login->windowTitle();
        QVERIFY(caption.startsWith(QStringLiteral("Авторизация (build: ")));
        const QFontMetrics title(QFontDatabase::systemFont(QFontDatabase::TitleFont));
        // The caption, the window's icon and its three title-bar buttons.
        const int needed = title.horizontalAdvance(caption) + 4 * title.height();
        QVERIFY2(login->width() >= needed, qPrintable(QStringLiteral("%1 < %2").arg(login->width()).arg(needed)));
        QVERIFY(login->width() >= 330);
        QCOMPARE(login->width(), widthAtStart);   // no growing after it is shown
        QCOMPARE(login->height(), 44);
        BuildStamp::setCompileTexts(QStringLiteral("??? ?? ????"), QStringLiteral("00:00:00"));
        db->exec(QStringLiteral("delete from accounts_dep.ver"));
    }

    // The planner looks at the journal: the grid scrolls and selects rows, but a double
    // click or Enter changes no mark.
    void plannersGridScrollsAndSelectsButChangesNothing_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("rowsReact");
        QTest::newRow("planner") << "brivel" << false;
        QTest::newRow("full access") << "0583" << true;
    }
    void plannersGridScrollsAndSelectsButChangesNothing()
    {
        QFETCH(QString, code);
        QFETCH(bool, rowsReact);
        const QDate day(2024, 3, 4);
        Clock::setToday(day);
        const auto restore = qScopeGuard([] { Clock::setToday({}); });
        db->exec(QStringLiteral("delete from accounts_dep.smena"));
        const int worker = Plant::worker(*db, QStringLiteral("Иванов И.И."));
        const qint64 product = Plant::product(*db, QStringLiteral("КР-%1").arg(code));
        const int operation = Plant::operation(*db, product, Plant::kind(*db, QStringLiteral("Гибка %1").arg(code)), 0, 10);
        for (int i = 0; i < 60; ++i) {
            Plant::Entry e;
            e.w_id = worker; e.i_id = product; e.o_id = operation; e.smena = 1; e.ok = QStringLiteral("no");
            e.color = i + 1; e.data = day;
            Plant::entry(*db, e);
        }
        Messages::Recorder recorder;
        int firstShown = -1, lastShown = -1, selected = -1;
        bool enabled = false, editable = true;
        QList<int> marksChanged;
        int rowActions = 0;   // double clicks and Enter that reached the grid's rows
        LoginWindow* login = appWindows().login;
        login->findChild<QLineEdit*>(QStringLiteral("Edit1"))->setText(code);
        onNextModal([&](QWidget* journal) {
            const auto closeAnyway = qScopeGuard([journal] { journal->close(); });
            auto* grid = journal->findChild<QTableView*>(QStringLiteral("DBGrid2"));
            QTRY_COMPARE(grid->model()->rowCount(), 60);
            enabled = grid->isEnabled();
            editable = grid->editTriggers() != QAbstractItemView::NoEditTriggers;
            grid->setFocus();
            QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
            QTest::keyClick(grid, Qt::Key_Up);
            selected = grid->currentIndex().row();
            QTRY_VERIFY(grid->rowAt(0) > 0);
            const int bottomFirst = grid->rowAt(0);
            QWheelEvent wheel(QPointF(10, 10), grid->viewport()->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, 120),
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(grid->viewport(), &wheel);
            QTRY_VERIFY(grid->rowAt(0) < bottomFirst);   // the wheel scrolls it up
            firstShown = grid->rowAt(0);
            QTest::keyClick(grid, Qt::Key_Home, Qt::ControlModifier);
            QTRY_COMPARE(grid->rowAt(0), 0);
            lastShown = grid->rowAt(grid->viewport()->height() - 1);
            const QRect cell = grid->visualRect(grid->model()->index(1, 0));
            QObject::connect(grid, &QAbstractItemView::doubleClicked, grid, [&] { ++rowActions; });
            QObject::connect(grid, &QAbstractItemView::activated, grid, [&] { ++rowActions; });
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
            QTest::mouseDClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
            QTest::keyClick(grid, Qt::Key_Return);
            marksChanged << db->scalar(QStringLiteral("select count(*) from accounts_dep.smena where ok<>'no'")).toInt();
        }, 3000);
        login->findChild<QPushButton*>(QStringLiteral("Button1"))->click();
        QVERIFY(enabled);
        QVERIFY(!editable);
        QCOMPARE(selected, 58);                      // Ctrl+End went to the last row, Up one back
        QVERIFY2(firstShown > 0, qPrintable(QString::number(firstShown)));   // scrolled down to see it
        QVERIFY(lastShown < 59);                     // Ctrl+Home scrolled back up
        QVERIFY2(recorder.shown.isEmpty(), qPrintable(recorder.texts().join(u'|')));
        QCOMPARE(rowActions > 0, rowsReact);
        if (!rowsReact)
            QCOMPARE(marksChanged, QList<int>{0});
    }

    void wrongCodesAreRefused_data()
    {
        QTest::addColumn<QString>("code");
        QTest::newRow("capitals") << "BRIVEL";
        QTest::newRow("empty") << "";
        QTest::newRow("blanks") << "   ";
        QTest::newRow("unknown") << "12345";
        QTest::newRow("inner blank") << "quol bin";
    }
    void wrongCodesAreRefused()
    {
        QFETCH(QString, code);
        Messages::Recorder recorder;
        appWindows().login->show();
        QVERIFY(!logIn(code));
        QVERIFY2(recorder.texts() == QStringList{QStringLiteral("Введены неверные данные.")}, qPrintable(recorder.texts().join(u'|')));
        QCOMPARE(recorder.shown[0].caption, QStringLiteral("Ошибка"));
        QLineEdit* box = appWindows().login->findChild<QLineEdit*>(QStringLiteral("Edit1"));
        QCOMPARE(box->text(), code);
        // Kept whole and selected, so the right code typed next replaces it.
        QCOMPARE(box->selectedText(), code);
        QCOMPARE(appWindows().login->focusWidget(), box);
        QVERIFY(appWindows().login->isVisible());
        QCOMPARE(appWindows().journal->RoleCode, code.trimmed());
        QCOMPARE(terminations, 0);
        appWindows().login->hide();
    }

    // As at a workstation: the program holds only the sign-in account; the code's role
    // is what the server gives the session once the journal opens.
    void theCodeGivesTheSessionItsRole_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("role");
        QTest::newRow("planner") << "brivel" << "planner";
        QTest::newRow("foreman") << " quolbin " << "foreman";
        QTest::newRow("storekeeper") << "fumpo" << "storekeeper";
        QTest::newRow("full access") << "61370327" << "full";
    }
    void theCodeGivesTheSessionItsRole()
    {
        QFETCH(QString, code);
        QFETCH(QString, role);
        QVERIFY(db->dm()->connectTo(TestDatabase::connectionStringFor(db->name())));
        const auto back = qScopeGuard([this] { db->dm()->connectTo(db->connectionString()); });
        QVERIFY_THROWS_EXCEPTION(DbError, db->dm()->select(QStringLiteral("select count(*) from accounts_dep.smena")));
        QString inside;
        LoginWindow* login = appWindows().login;
        login->findChild<QLineEdit*>(QStringLiteral("Edit1"))->setText(code);
        onNextModal([&](QWidget* w) {
            inside = db->dm()->select(QStringLiteral("select accounts_dep.session_role() || ' ' || count(*) from accounts_dep.smena"))
                         .rows.first().value(0).toString();
            w->close();
        }, 3000);
        Messages::Recorder recorder;
        login->findChild<QPushButton*>(QStringLiteral("Button1"))->click();
        QTest::qWait(20);
        QVERIFY2(recorder.shown.isEmpty(), qPrintable(recorder.texts().join(u'|')));
        QVERIFY2(inside.startsWith(role + u' '), qPrintable(inside));
    }

    // Five wrong codes in a minute close the sign-in for a minute, with a message of its
    // own; the window stays as it was for the next try.
    void tooManyWrongCodesAreRefusedForAMinute()
    {
        appWindows().login->show();
        for (int i = 0; i < 5; ++i) {
            Messages::Recorder recorder;
            QVERIFY(!logIn(QStringLiteral("%1").arg(1000 + i)));
            QCOMPARE(recorder.texts(), QStringList{QStringLiteral("Введены неверные данные.")});
        }
        Messages::Recorder recorder;
        QVERIFY(!logIn(QStringLiteral("0583")));
        QCOMPARE(recorder.texts(), QStringList{QStringLiteral("Слишком много неверных кодов доступа с этого компьютера. "
                                                              "Вход закрыт на минуту, попробуйте позже.")});
        QCOMPARE(recorder.shown[0].caption, QStringLiteral("Ошибка"));
        QVERIFY(appWindows().login->isVisible());
        QCOMPARE(terminations, 0);
        appWindows().login->hide();
    }

    // A blank code, Enter pressed on an empty box or on blanks, is answered as a wrong one
    // but tells the server nothing: six of them leave the sign-in open to the right code.
    void blankCodesDoNotCloseTheSignIn_data()
    {
        QTest::addColumn<QString>("blank");
        QTest::newRow("empty") << QString();
        QTest::newRow("blanks") << QStringLiteral("   ");
    }
    void blankCodesDoNotCloseTheSignIn()
    {
        QFETCH(QString, blank);
        appWindows().login->show();
        for (int i = 0; i < 6; ++i) {
            Messages::Recorder recorder;
            QVERIFY(!logIn(blank));
            QCOMPARE(recorder.texts(), QStringList{QStringLiteral("Введены неверные данные.")});
        }
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from accounts_dep.signin_failure")).toInt(), 0);
        Messages::Recorder recorder;
        QVERIFY(logIn(QStringLiteral("0583")));
        QCOMPARE(recorder.texts(), QStringList());
        appWindows().login->hide();
    }

    // A login the server does not let in (its password changed behind the sign-in's back)
    // is reported; the workstation stays where it was and may try again.
    void aRoleLoginTheServerRefusesIsReported()
    {
        const QString secret = db->scalar(QStringLiteral("select secret from accounts_dep.role_login where role_word = 'planner'")).toString();
        db->exec(QStringLiteral("update accounts_dep.role_login set secret = 'stale' where role_word = 'planner'"));
        const auto restore = qScopeGuard([&] {
            db->exec(QStringLiteral("update accounts_dep.role_login set secret = '%1' where role_word = 'planner'").arg(secret));
        });
        Messages::Recorder recorder;
        appWindows().login->show();
        QVERIFY(!logIn(QStringLiteral("brivel")));
        QCOMPARE(recorder.shown.size(), 1);
        QVERIFY2(recorder.texts().first().startsWith(QStringLiteral("Сервер не принял вход с правами роли.")),
                 qPrintable(recorder.texts().first()));
        QCOMPARE(recorder.shown[0].caption, QStringLiteral("Ошибка"));
        QVERIFY(appWindows().login->isVisible());
        QCOMPARE(db->dm()->select(QStringLiteral("select 1")).rows.size(), 1);
        appWindows().login->hide();
    }

    void cancelEndsTheProgram()
    {
        appWindows().login->show();
        appWindows().login->findChild<QPushButton*>(QStringLiteral("Button2"))->click();
        QCOMPARE(terminations, 1);
        QVERIFY(!appWindows().login->isVisible());
    }

    void activationRunsTheGateAndShowsTheBuild()
    {
        db->exec(QStringLiteral("delete from accounts_dep.ver"));
        BuildStamp::setCompileTexts(QStringLiteral("Nov 21 2022"), QStringLiteral("20:43:13"));
        Messages::Recorder recorder;
        appWindows().login->onActivated();
        QCOMPARE(appWindows().login->windowTitle(), QStringLiteral("Авторизация (build: 20221121.74593)"));
        QCOMPARE(appWindows().journal->BuildDate, 20221121);
        QCOMPARE(appWindows().journal->BuildTime, 74593);
        QVERIFY(recorder.shown.isEmpty());
        QVERIFY(!appWindows().login->terminationTimer()->isActive());
        QCOMPARE(db->scalar(QStringLiteral("select d from accounts_dep.ver")).toInt(), 20221121);
    }

    void anOutdatedBuildEndsItself()
    {
        db->exec(QStringLiteral("delete from accounts_dep.ver"));
        db->exec(QStringLiteral("insert into accounts_dep.ver(d, t) values (20221121, 74594)"));
        BuildStamp::setCompileTexts(QStringLiteral("Nov 21 2022"), QStringLiteral("20:43:13"));
        Messages::Recorder recorder;
        // The journal's timer runs the same gate.
        appWindows().journal->onGateTick();
        QCOMPARE(recorder.texts(), QStringList{QStringLiteral("Версия программы не соответсвует БД! Запустите программу через 5 мин.")});
        QCOMPARE(recorder.shown[0].caption, QStringLiteral("Ошибка"));
        QVERIFY(appWindows().login->terminationTimer()->isActive());
        QCOMPARE(appWindows().login->terminationTimer()->interval(), 5000);
        QCOMPARE(terminations, 1);
        QCOMPARE(appWindows().journal->gateTimer()->interval(), 30000);
        QVERIFY(appWindows().journal->gateTimer()->isActive());
    }

    void aDatabaseErrorInTheGateIsShownAndTheProgramGoesOn()
    {
        db->exec(QStringLiteral("alter table accounts_dep.ver rename column delim to delim_gone"));
        Messages::Recorder recorder;
        QTimer* timer = appWindows().journal->gateTimer();
        timer->setInterval(1);
        QTRY_VERIFY(!recorder.shown.isEmpty());
        timer->setInterval(30000);
        db->exec(QStringLiteral("alter table accounts_dep.ver rename column delim_gone to delim"));
        QVERIFY(recorder.shown[0].text.contains(QStringLiteral("delim")));
        QVERIFY(recorder.shown[0].icon == Messages::Icon::Error);
        QCOMPARE(terminations, 0);
    }

    // A server that stays away must not stack one more error box every 30 s, each in a
    // nested event loop of its own: the tick that comes while the gate's box is still
    // on the screen runs nothing, and the next one after it runs the gate again.
    void aGateMessageStillOnScreenIsNotStackedByTheNextTick()
    {
        db->exec(QStringLiteral("alter table accounts_dep.ver rename column delim to delim_gone"));
        QTimer* timer = appWindows().journal->gateTimer();
        auto firstBox = std::make_shared<bool>(false);
        auto secondBox = std::make_shared<bool>(false);
        onNextModal([=](QWidget* box) {
            *firstBox = true;
            onNextModal([=](QWidget* stacked) {
                *secondBox = true;
                stacked->close();
            }, 300);
            QMetaObject::invokeMethod(timer, "timeout");
            box->close();
        }, 2000);
        QMetaObject::invokeMethod(timer, "timeout");
        QVERIFY(*firstBox);
        QVERIFY(!*secondBox);

        Messages::Recorder recorder;
        QMetaObject::invokeMethod(timer, "timeout");
        db->exec(QStringLiteral("alter table accounts_dep.ver rename column delim_gone to delim"));
        QCOMPARE(recorder.shown.size(), 1);
        QVERIFY(recorder.shown[0].text.contains(QStringLiteral("delim")));
    }
};

QTEST_MAIN(LoginTest)
#include "tst_login.moc"
