#include "app/loginwindow.h"
#include "app/startup.h"
#include "app/windows.h"
#include "core/buildstamp.h"
#include "db/datamodule.h"
#include "directories/kindeditor.h"
#include "directories/kindslist.h"
#include "directories/normswindow.h"
#include "directories/operationeditor.h"
#include "directories/operationslist.h"
#include "directories/producteditor.h"
#include "directories/productslist.h"
#include "directories/workereditor.h"
#include "directories/workerslist.h"
#include "history/historywindow.h"
#include "journal/entryeditor.h"
#include "journal/journalwindow.h"
#include "reports/summarylayout.h"
#include "reports/summaryreportswindow.h"
#include "reports/timesheetlayout.h"
#include "support/testdb.h"
#include "timesheet/timesheetwindow.h"
#include "ui/messages.h"

#include <QApplication>
#include <QDialog>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QtTest>
#include <thread>

// Start-up: the connection from the command line and the windows of the program.
class StartupTest : public QObject {
    Q_OBJECT
private slots:
    void aFailedConnectionIsReported()
    {
        Messages::Recorder recorder;
        QVERIFY(!Startup::connectDatabase({QStringLiteral("tabel_no_such_database"), QStringLiteral("127.0.0.1")}));
        QCOMPARE(recorder.texts(), QStringList{QStringLiteral("Подключение к БД отсутсвует!!!")});
        QCOMPARE(recorder.shown[0].caption, QStringLiteral("Ошибка!"));
        QVERIFY(recorder.shown[0].icon == Messages::Icon::Error);
    }

    void everyWindowIsCreatedHiddenWithItsName()
    {
        TestDatabase db(QStringLiteral("startup"));
        Startup::createWindows();
        verifyEveryWindowHidden();
        QCOMPARE(static_cast<QDialog*>(appWindows().journal)->windowTitle(), QStringLiteral("Табель"));
        QCOMPARE(static_cast<QDialog*>(appWindows().login)->windowTitle(), QStringLiteral("Авторизация"));
        destroyWindows();
    }

    // The login shows alone; the other windows are made as soon as it has been drawn.
    void theOtherWindowsFollowTheShownLogin()
    {
        TestDatabase db(QStringLiteral("startup"));
        LoginWindow* login = Startup::showLogin();
        QCOMPARE(appWindows().login, login);
        QVERIFY(login->isVisible());
        QVERIFY(!appWindows().journal);
        QTRY_VERIFY(appWindows().journal);
        QVERIFY(login->isVisible());
        verifyEveryWindowHidden(login);
        destroyWindows();
    }

    // What the login needs before it has been drawn is made then: the version gate of
    // its first activation gives the journal the build stamp.
    void theVersionGateMakesTheWindowsItNeeds()
    {
        TestDatabase db(QStringLiteral("startup"));
        BuildStamp::setCompileTexts(QStringLiteral("Mar  5 2024"), QStringLiteral("07:08:09"));
        Startup::createLoginWindow();
        setAppWindowsMaker(&Startup::createOtherWindows);
        QVERIFY(!appWindows().journal);
        appWindows().login->runVersionGate();
        QVERIFY(appWindows().journal);
        QCOMPARE(appWindows().journal->BuildDate, 20240305);
        QCOMPARE(appWindows().journal->BuildTime, 7 * 3600 + 8 * 60 + 9);
        verifyEveryWindowHidden();
        // Made once: asking again changes nothing.
        JournalWindow* journal = appWindows().journal;
        ensureAppWindows();
        QCOMPARE(appWindows().journal, journal);
        destroyWindows();
    }

    // The start-up measures the login's caption on a thread of its own; the login takes
    // that width, which must be the one its own fonts give.
    void theCaptionMeasuredBesideTheConnectionFitsTheLogin_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::newRow("build") << QStringLiteral("Авторизация (build: 20881228.86399)");
        QTest::newRow("short") << QStringLiteral("Авторизация (build: 20230101.5)");
    }
    void theCaptionMeasuredBesideTheConnectionFitsTheLogin()
    {
        QFETCH(QString, caption);
        int measured = 0;
        std::thread([&] { measured = LoginWindow::captionWidth(caption, QGuiApplication::font()); }).join();
        const QFontMetrics title(QFontDatabase::systemFont(QFontDatabase::TitleFont));
        const QFontMetrics plain(QGuiApplication::font());
        QCOMPARE(measured, qMax(title.horizontalAdvance(caption), plain.horizontalAdvance(caption)) + 4 * title.height() + 40);
        QCOMPARE(LoginWindow::captionWidth(caption, QGuiApplication::font()), measured);
        // Another font is measured anew.
        QFont wide = QGuiApplication::font();
        wide.setPointSize(wide.pointSize() * 3);
        QVERIFY(LoginWindow::captionWidth(caption, wide) > measured);
    }

private:
    static QList<QPair<QWidget*, QString>> windows()
    {
        AppWindows& w = appWindows();
        return {{w.journal, "TForm1"}, {w.workerEditor, "TForm2"},
                {w.productsList, "TForm3"}, {w.operationsList, "TForm4"},
                {w.workersList, "TForm5"}, {w.productEditor, "TForm7"},
                {w.kindsList, "TForm8"}, {w.kindEditor, "TForm9"},
                {w.operationEditor, "TForm10"}, {w.entryEditor, "TForm11"},
                {w.timesheetLayout, "TForm15"}, {w.workerSummary, "TForm16"},
                {w.productSummary, "TForm17"}, {w.summaryReports, "TForm18"},
                {w.timesheet, "TForm19"}, {w.workerDetail, "TForm20"},
                {w.productDetail, "TForm21"}, {w.norms, "TForm22"},
                {w.login, "TForm23"}};
    }
    // Every window exists with its name and is hidden (but the one given).
    static void verifyEveryWindowHidden(QWidget* shown = nullptr)
    {
        for (const auto& [window, name] : windows()) {
            QVERIFY2(window, qPrintable(name));
            QCOMPARE(window->objectName(), name);
            if (window != shown)
                QVERIFY2(!window->isVisible(), qPrintable(name));
        }
        QVERIFY(appWindows().history);
    }
    static void destroyWindows()
    {
        setAppWindowsMaker(nullptr);
        for (const auto& [window, name] : windows())
            delete window;
        delete appWindows().history;
        appWindows() = AppWindows();
    }
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
