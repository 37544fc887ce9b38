#include "app/loginwindow.h"
#include "app/startup.h"
#include "directories/kindeditor.h"
#include "directories/kindslist.h"
#include "directories/normswindow.h"
#include "directories/operationeditor.h"
#include "directories/operationslist.h"
#include "directories/producteditor.h"
#include "directories/productslist.h"
#include "directories/workereditor.h"
#include "directories/workerslist.h"
#include "journal/entryeditor.h"
#include "journal/journalwindow.h"
#include "reports/summarylayout.h"
#include "reports/summaryreportswindow.h"
#include "reports/timesheetlayout.h"
#include "timesheet/timesheetwindow.h"
#include "app/windows.h"
#include "db/datamodule.h"
#include "support/testdb.h"
#include "ui/messages.h"

#include <QApplication>
#include <QDialog>
#include <QtTest>

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
        AppWindows& w = appWindows();
        const QList<QPair<QWidget*, QString>> windows{
            {w.journal, "TForm1"}, {w.workerEditor, "TForm2"},
            {w.productsList, "TForm3"}, {w.operationsList, "TForm4"},
            {w.workersList, "TForm5"}, {w.productEditor, "TForm7"},
            {w.kindsList, "TForm8"}, {w.kindEditor, "TForm9"},
            {w.operationEditor, "TForm10"}, {w.entryEditor, "TForm11"},
            {w.timesheetLayout, "TForm15"}, {w.workerSummary, "TForm16"},
            {w.productSummary, "TForm17"}, {w.summaryReports, "TForm18"},
            {w.timesheet, "TForm19"}, {w.workerDetail, "TForm20"},
            {w.productDetail, "TForm21"}, {w.norms, "TForm22"},
            {w.login, "TForm23"}};
        for (const auto& [window, name] : windows) {
            QVERIFY2(window, qPrintable(name));
            QCOMPARE(window->objectName(), name);
            QVERIFY(!window->isVisible());
        }
        QCOMPARE(static_cast<QDialog*>(w.journal)->windowTitle(), QStringLiteral("Табель"));
        QCOMPARE(static_cast<QDialog*>(w.login)->windowTitle(), QStringLiteral("Авторизация"));
        for (const auto& [window, name] : windows)
            delete window;
        w = AppWindows();
    }
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
