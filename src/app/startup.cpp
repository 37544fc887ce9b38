#include "app/startup.h"

#include "app/loginwindow.h"
#include "app/windows.h"
#include "db/connectionstring.h"
#include "db/datamodule.h"
#include "db/reportsource.h"
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
#include "journal/brigadeentry.h"
#include "journal/entryeditor.h"
#include "journal/journalwindow.h"
#include "reports/productdetaillayout.h"
#include "reports/productsummarylayout.h"
#include "reports/summaryreportswindow.h"
#include "reports/workerdetaillayout.h"
#include "reports/workersummarylayout.h"
#include "reports/timesheetlayout.h"
#include "timesheet/timesheetwindow.h"
#include "ui/guard.h"
#include "ui/messages.h"

#include <QApplication>
#include <QFontDatabase>
#include <QIcon>
#include <QLibraryInfo>
#include <QScopeGuard>
#include <QScreen>
#include <QTimer>
#include <QTranslator>
#include <thread>

namespace {

// Runs an action once, from the event loop, after the widget has first been painted.
class AfterFirstPaint : public QObject {
public:
    AfterFirstPaint(QWidget* widget, std::function<void()> action) : QObject(widget), action_(std::move(action))
    {
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            QTimer::singleShot(0, parent(), std::move(action_));
            deleteLater();
        }
        return false;
    }

private:
    std::function<void()> action_;
};

void afterFirstPaint(QWidget* widget, std::function<void()> action)
{
    new AfterFirstPaint(widget, std::move(action));
}

// Reading the font configuration, listing the fonts and measuring the login's caption is
// most of what making the login costs; it runs beside the connection to the server, which
// mostly waits for the network. The font database may be used from any thread, and the
// login takes the caption's width as measured here.
std::thread readFontDatabase()
{
    return std::thread([] {
        LoginWindow::captionWidth(LoginWindow::buildCaption(), QGuiApplication::font());
    });
}

}

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
    const ConnectionString::InstallationSetting setting = ConnectionString::readInstalledSetting();
    // The reports read on a hot standby when the setting names one.
    ReportSource::of(*dm)->setServer(ConnectionString::reportsFor(args, setting));
    if (dm->connectTo(ConnectionString::fromArguments(args, setting)))
        return true;
    Messages::error(QStringLiteral("Подключение к БД отсутсвует!!!"), QStringLiteral("Ошибка!"));
    return false;
}

void createLoginWindow()
{
    appWindows().login = new LoginWindow;
}

void createOtherWindows()
{
    // The program's icon comes with the other windows: drawing it loads the SVG plugin,
    // a few milliseconds the login need not wait for.
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/tabel.svg")));
    AppWindows& w = appWindows();
    w.journal = new JournalWindow;
    w.workerEditor = new WorkerEditor;
    w.productsList = new ProductsList;
    w.operationsList = new OperationsList;
    w.workersList = new WorkersList;
    w.productEditor = new ProductEditor;
    w.kindsList = new KindsList;
    w.kindEditor = new KindEditor;
    w.operationEditor = new OperationEditor;
    w.entryEditor = new EntryEditor;
    w.brigadeEntry = new BrigadeEntry;
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

void createWindows()
{
    createLoginWindow();
    createOtherWindows();
}

LoginWindow* showLogin()
{
    // The login comes first; the other windows, which cost several times what it does,
    // are made once it has been drawn, while the user types the code.
    createLoginWindow();
    setAppWindowsMaker(&createOtherWindows);
    LoginWindow* login = appWindows().login;
    afterFirstPaint(login, [] { guarded(&ensureAppWindows); });
    login->show();
    const QRect screen = login->screen()->availableGeometry();
    login->move(screen.center() - login->rect().center());
    return login;
}

int run(QApplication& app)
{
    app.setApplicationName(QStringLiteral("Табель"));
    app.setQuitOnLastWindowClosed(false);
    loadRussianStandardTexts(app);

    // The connection with its statements closes before the application object goes:
    // Qt's own clean-up then closes connections still open, under their statements.
    const auto closeDatabase = qScopeGuard([] { delete DataModule::instance(); });
    QStringList args = app.arguments();
    args.removeFirst();
    std::thread fonts = readFontDatabase();
    const auto joinOnReturn = qScopeGuard([&fonts] {
        if (fonts.joinable())
            fonts.join();
    });
    if (!connectDatabase(args))
        return 1;
    fonts.join();
    showLogin();
    return app.exec();
}

}
