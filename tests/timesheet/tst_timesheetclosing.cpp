#include "app/windows.h"
#include "closing/closedmonths.h"
#include "core/clock.h"
#include "reports/timesheetlayout.h"
#include "support/modal.h"
#include "support/plantfixture.h"
#include "timesheet/timesheetwindow.h"
#include "ui/guard.h"
#include "ui/messages.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

// Closing and reopening a month in "Табель по времени": the question first, the state
// shown, the rebuild switched off, and the server's rule behind it.
class TimesheetClosingTest : public QObject {
    Q_OBJECT
    std::unique_ptr<TestDatabase> db;
    TimesheetWindow* window = nullptr;
    int ivanov = 0;

    template <class T>
    T* child(const char* name) const
    {
        T* c = window->findChild<T*>(QString::fromLatin1(name));
        if (!c)
            qFatal("no control %s", name);
        return c;
    }
    bool closed(int year, int month) const { return ClosedMonths(*db->dm()).isClosed(QDate(year, month, 1)); }
    QPushButton* closeButton() const { return child<QPushButton>("CloseMonthButton"); }

private slots:
    void initTestCase()
    {
        db = std::make_unique<TestDatabase>(QStringLiteral("timesheetclosing"));
        db->exec(QStringLiteral("set application_name = 'Tabel 20240410.3600 full'"));
        ivanov = Plant::worker(*db, QStringLiteral("Иванов И.И."));
        const qint64 product = Plant::product(*db, QStringLiteral("КР-100"));
        Plant::Entry e;
        e.w_id = ivanov; e.i_id = product; e.o_id = Plant::operation(*db, product, Plant::kind(*db, QStringLiteral("Гибка")), 0, 10);
        e.data = QDate(2024, 3, 5); e.time = 8;
        Plant::entry(*db, e);
        Clock::setToday(QDate(2024, 4, 10));
        appWindows().timesheetLayout = new TimesheetLayout;
        window = new TimesheetWindow;
        appWindows().timesheet = window;
    }
    void cleanupTestCase()
    {
        delete window;
        delete appWindows().timesheetLayout;
        appWindows() = AppWindows();
        Clock::setToday({});
        db.reset();
    }
    void init() { db->exec(QStringLiteral("delete from accounts_dep.closed_month")); }
    void cleanup() { QVERIFY(noTopLevelWindowOpen()); }

    void closeAndReopenAskFirst_data()
    {
        QTest::addColumn<bool>("answer");
        QTest::newRow("yes") << true;
        QTest::newRow("no") << false;
    }
    void closeAndReopenAskFirst()
    {
        QFETCH(bool, answer);
        window->selectPeriod(QDate(2024, 3, 1));
        QCOMPARE(closeButton()->text(), QStringLiteral("Закрыть месяц"));
        QVERIFY(child<QPushButton>("Button1")->isEnabled());
        QVERIFY(!child<QLabel>("ClosedMark")->isVisibleTo(window));

        Messages::Recorder recorder(answer);
        window->onCloseOrReopenMonth();
        QCOMPARE(recorder.shown.size(), 1);
        QCOMPARE(recorder.shown[0].caption, QStringLiteral("Закрытие месяца"));
        QVERIFY(recorder.shown[0].text.startsWith(QStringLiteral("Закрыть месяц 03.2024?")));
        QCOMPARE(recorder.shown[0].icon, Messages::Icon::Question);
        QCOMPARE(closed(2024, 3), answer);
        QCOMPARE(closeButton()->text(), answer ? QStringLiteral("Открыть месяц") : QStringLiteral("Закрыть месяц"));
        QCOMPARE(child<QPushButton>("Button1")->isEnabled(), !answer);
        QCOMPARE(child<QLabel>("ClosedMark")->isVisibleTo(window), answer);
        if (!answer)
            return;
        QCOMPARE(child<QLabel>("ClosedMark")->text(), QStringLiteral("Месяц 03.2024 закрыт"));
        QVERIFY(child<QLabel>("ClosedMark")->toolTip().contains(QStringLiteral("Табель, сборка 20240410.3600, полный доступ")));
        // Another month of the list is open.
        window->selectPeriod(QDate(2024, 4, 1));
        QCOMPARE(closeButton()->text(), QStringLiteral("Закрыть месяц"));
        QVERIFY(child<QPushButton>("Button1")->isEnabled());
        window->selectPeriod(QDate(2024, 3, 1));

        // Reopening asks too; No keeps it closed.
        recorder.clear();
        recorder.defaultAnswer = false;
        window->onCloseOrReopenMonth();
        QCOMPARE(recorder.shown.size(), 1);
        QCOMPARE(recorder.shown[0].caption, QStringLiteral("Открытие месяца"));
        QVERIFY(closed(2024, 3));
        recorder.clear();
        recorder.defaultAnswer = true;
        window->onCloseOrReopenMonth();
        QVERIFY(!closed(2024, 3));
        QCOMPARE(closeButton()->text(), QStringLiteral("Закрыть месяц"));
        QVERIFY(child<QPushButton>("Button1")->isEnabled());
    }

    // In a closed month the rebuild does nothing, and the server would refuse it anyway.
    void aClosedMonthIsNotRebuilt()
    {
        db->exec(QStringLiteral("delete from accounts_dep.h_tabel"));
        db->exec(QStringLiteral("insert into accounts_dep.h_tabel(smena, w_id, month, year, d5) values (1, %1, 3, 2024, 3)").arg(ivanov));
        ClosedMonths(*db->dm()).close(2024, 3);
        window->selectPeriod(QDate(2024, 3, 1));
        Messages::Recorder recorder;
        window->onRebuild();
        QCOMPARE(recorder.texts(), QStringList{});
        QCOMPARE(db->scalar(QStringLiteral("select d5 from accounts_dep.h_tabel where w_id=%1 and month=3").arg(ivanov)).toInt(), 3);
        // Closed at another workstation after this one showed it open: the server refuses.
        db->exec(QStringLiteral("delete from accounts_dep.closed_month"));
        window->selectPeriod(QDate(2024, 3, 1));
        QVERIFY(child<QPushButton>("Button1")->isEnabled());
        ClosedMonths(*db->dm()).close(2024, 3);
        QVERIFY(!guarded([this] { window->onRebuild(); }));
        QCOMPARE(recorder.texts().size(), 1);
        QVERIFY(recorder.texts()[0].contains(QStringLiteral("Месяц 03.2024 закрыт: изменения запрещены.")));
        QCOMPARE(db->scalar(QStringLiteral("select d5 from accounts_dep.h_tabel where w_id=%1 and month=3").arg(ivanov)).toInt(), 3);
        QVERIFY(!child<QWidget>("PB")->isVisibleTo(window));
    }

    // The month changed at another workstation after this one showed it: nothing is
    // asked or changed, the window shows the month as it is now.
    void aMonthChangedMeanwhileIsShownAsItIs_data()
    {
        QTest::addColumn<bool>("closedElsewhere");
        QTest::newRow("closed meanwhile") << true;
        QTest::newRow("reopened meanwhile") << false;
    }
    void aMonthChangedMeanwhileIsShownAsItIs()
    {
        QFETCH(bool, closedElsewhere);
        if (!closedElsewhere)
            ClosedMonths(*db->dm()).close(2024, 3);
        window->selectPeriod(QDate(2024, 3, 1));
        if (closedElsewhere)
            ClosedMonths(*db->dm()).close(2024, 3);
        else
            ClosedMonths(*db->dm()).reopen(2024, 3);
        Messages::Recorder recorder(true);
        window->onCloseOrReopenMonth();
        QCOMPARE(recorder.texts(), QStringList{closedElsewhere ? QStringLiteral("Месяц 03.2024 уже закрыт на другом рабочем месте.")
                                                               : QStringLiteral("Месяц 03.2024 уже открыт на другом рабочем месте.")});
        QCOMPARE(closed(2024, 3), closedElsewhere);
        QCOMPARE(closeButton()->text(), closedElsewhere ? QStringLiteral("Открыть месяц") : QStringLiteral("Закрыть месяц"));
        QCOMPARE(child<QPushButton>("Button1")->isEnabled(), !closedElsewhere);
    }
};

QTEST_MAIN(TimesheetClosingTest)
#include "tst_timesheetclosing.moc"
