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
#include "reports/summaryreportswindow.h"
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
        const QList<QPair<QDialog*, QString>> windows{
            {static_cast<QDialog*>(w.journal), "TForm1"}, {static_cast<QDialog*>(w.workerEditor), "TForm2"},
            {static_cast<QDialog*>(w.productsList), "TForm3"}, {static_cast<QDialog*>(w.operationsList), "TForm4"},
            {static_cast<QDialog*>(w.workersList), "TForm5"}, {static_cast<QDialog*>(w.productEditor), "TForm7"},
            {static_cast<QDialog*>(w.kindsList), "TForm8"}, {static_cast<QDialog*>(w.kindEditor), "TForm9"},
            {static_cast<QDialog*>(w.operationEditor), "TForm10"}, {static_cast<QDialog*>(w.entryEditor), "TForm11"},
            {static_cast<QDialog*>(w.summaryReports), "TForm18"}, {static_cast<QDialog*>(w.norms), "TForm22"},
            {static_cast<QDialog*>(w.login), "TForm23"}};
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
