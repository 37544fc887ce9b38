#include "app/startup.h"

#include "app/loginwindow.h"
#include "app/windows.h"
#include "db/connectionstring.h"
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
#include "reports/productdetaillayout.h"
#include "reports/productsummarylayout.h"
#include "reports/summaryreportswindow.h"
#include "reports/workerdetaillayout.h"
#include "reports/workersummarylayout.h"
#include "reports/timesheetlayout.h"
#include "timesheet/timesheetwindow.h"
#include "ui/messages.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QScreen>
#include <QTranslator>

namespace Startup {

void loadRussianStandardTexts(QApplication& app)
{
    auto* translator = new QTranslator(&app);
    if (translator->load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(translator);
}

bool connectDatabase(const QStringList& args)
{
    auto* dm = new DataModule(qApp);
    if (dm->connectTo(ConnectionString::forThisWorkstation(args)))
        return true;
    Messages::error(QStringLiteral("Подключение к БД отсутсвует!!!"), QStringLiteral("Ошибка!"));
    return false;
}

void createWindows()
{
    AppWindows& w = appWindows();
    w.journal = new JournalWindow;
    w.login = new LoginWindow;
    w.workerEditor = new WorkerEditor;
    w.productsList = new ProductsList;
    w.operationsList = new OperationsList;
    w.workersList = new WorkersList;
    w.productEditor = new ProductEditor;
    w.kindsList = new KindsList;
    w.kindEditor = new KindEditor;
    w.operationEditor = new OperationEditor;
    w.entryEditor = new EntryEditor;
    w.summaryReports = new SummaryReportsWindow;
    w.timesheet = new TimesheetWindow;
    w.productDetail = new ProductDetailLayout;
    w.timesheetLayout = new TimesheetLayout;
    w.workerSummary = new WorkerSummaryLayout;
    w.productSummary = new ProductSummaryLayout;
    w.workerDetail = new WorkerDetailLayout;
    w.norms = new NormsWindow;
    w.history = new HistoryWindow;
}

int run(QApplication& app)
{
    app.setApplicationName(QStringLiteral("Табель"));
    app.setQuitOnLastWindowClosed(false);
    loadRussianStandardTexts(app);

    QStringList args = app.arguments();
    args.removeFirst();
    if (!connectDatabase(args))
        return 1;
    createWindows();

    LoginWindow* login = appWindows().login;
    login->show();
    const QRect screen = login->screen()->availableGeometry();
    login->move(screen.center() - login->rect().center());
    return app.exec();
}

}
