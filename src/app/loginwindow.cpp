#include "app/loginwindow.h"
#include "ui_loginwindow.h"

#include "app/termination.h"
#include "app/versiongate.h"
#include "app/windows.h"
#include "core/buildstamp.h"
#include "core/roles.h"
#include "core/sessionname.h"
#include "db/datamodule.h"
#include "journal/journalwindow.h"
#include "reports/summaryreportswindow.h"
#include "ui/guard.h"
#include "ui/messages.h"

#include <QAbstractItemView>
#include <QAction>
#include <QEvent>
#include <QHash>
#include <QKeyEvent>
#include <QMenu>
#include <QMutex>
#include <QScopeGuard>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QTimer>

namespace {

// A list the role may not change stays readable: it scrolls and its rows can be
// selected, but a double click or Enter no longer acts on a row.
class ViewOnly : public QObject {
public:
    explicit ViewOnly(QAbstractItemView* view) : QObject(view), view_(view)
    {
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->installEventFilter(this);
        view->viewport()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (watched == view_->viewport() && e->type() == QEvent::MouseButtonDblClick)
            return true;
        if (watched == view_ && e->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(e)->key();
            return key == Qt::Key_Return || key == Qt::Key_Enter;
        }
        return false;
    }

private:
    QAbstractItemView* view_;
};

// Switches off a control, menu or menu item found by its object name; a list becomes
// view-only instead, so that what it holds can still be seen.
void switchOff(QWidget* window, const QString& name)
{
    if (!window)
        return;
    if (auto* menu = window->findChild<QMenu*>(name))
        menu->menuAction()->setEnabled(false);
    else if (auto* action = window->findChild<QAction*>(name))
        action->setEnabled(false);
    else if (auto* view = window->findChild<QAbstractItemView*>(name))
        new ViewOnly(view);
    else if (auto* widget = window->findChild<QWidget*>(name))
        widget->setEnabled(false);
}

}

LoginWindow::LoginWindow(QWidget* parent) : QDialog(parent), ui(new Ui::LoginWindow), timer_(new QTimer(this))
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("TForm23"));
    // Wide enough from the start for the caption the first activation puts up.
    fitCaption(buildCaption());
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    timer_->setObjectName(QStringLiteral("Timer1"));
    timer_->setInterval(5000);
    connect(timer_, &QTimer::timeout, this, [] { Termination::request(); });
    connect(ui->Button1, &QPushButton::clicked, this, guardedSlot(this, &LoginWindow::onEnter));
    connect(ui->Button2, &QPushButton::clicked, this, guardedSlot(this, &LoginWindow::onCancel));
}

LoginWindow::~LoginWindow()
{
    delete ui;
}

bool LoginWindow::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate)
        runGateGuarded([this] { onActivated(); });
    return QDialog::event(e);
}

void LoginWindow::reject()
{
    onCancel();
}

void LoginWindow::onActivated()
{
    runVersionGate();
    setWindowTitle(buildCaption());
    fitCaption(windowTitle());
}

QString LoginWindow::buildCaption()
{
    const BuildStamp::Stamp stamp = BuildStamp::current();
    return QStringLiteral("Авторизация (build: %1.%2)").arg(stamp.date).arg(stamp.time);
}

void LoginWindow::fitCaption(const QString& caption)
{
    setFixedSize(qMax(kWidth, captionWidth(caption, font())), kHeight);
}

int LoginWindow::captionWidth(const QString& caption, const QFont& plainFont)
{
    // Widths worked out before, by whichever thread, for the caption and both fonts.
    static QMutex lock;
    static QHash<QString, int> known;
    const QFont titleFont = QFontDatabase::systemFont(QFontDatabase::TitleFont);
    const QString key = caption + u'\n' + titleFont.key() + u'\n' + plainFont.key();
    {
        const QMutexLocker locked(&lock);
        if (const auto found = known.constFind(key); found != known.cend())
            return *found;
    }
    // The window manager draws the caption with its own font beside its buttons; the
    // title font and room for three buttons and the icon keep the whole caption in sight.
    const QFontMetrics title(titleFont);
    const QFontMetrics plain(plainFont);
    const int text = qMax(title.horizontalAdvance(caption), plain.horizontalAdvance(caption));
    const int wanted = text + 4 * title.height() + 40;
    const QMutexLocker locked(&lock);
    known.insert(key, wanted);
    return wanted;
}

void LoginWindow::runGateGuarded(const std::function<void()>& gateRun)
{
    if (gateRunning_)
        return;
    gateRunning_ = true;
    const auto release = qScopeGuard([this] { gateRunning_ = false; });
    guarded(gateRun);
}

void LoginWindow::runVersionGate()
{
    ensureAppWindows();
    const BuildStamp::Stamp build = BuildStamp::current();
    if (JournalWindow* journal = appWindows().journal) {
        journal->BuildDate = build.date;
        journal->BuildTime = build.time;
    }
    DataModule* dm = DataModule::instance();
    const GateResult result = VersionGate(*dm, build);
    dm->Delim = result.delim;
    if (result.outdated) {
        timer_->start();
        Messages::error(QStringLiteral("Версия программы не соответсвует БД! Запустите программу через 5 мин."),
                        QStringLiteral("Ошибка"));
        Termination::request();
    }
}

void LoginWindow::onEnter()
{
    ensureAppWindows();
    JournalWindow* journal = appWindows().journal;
    const QString code = ui->Edit1->text().trimmed();
    journal->CurrentShift = 1;
    journal->RoleCode = code;

    // The server checks the code and hands back the login of its role; the workstation
    // then works with that login's rights and no other.
    DataModule* dm = DataModule::instance();
    const Roles::SignInAnswer answer = Roles::signIn(*dm, code);
    const Role role = answer.role;
    if (role == Role::None) {
        Messages::error(answer.refusal.isEmpty() ? QStringLiteral("Введены неверные данные.") : answer.refusal,
                        QStringLiteral("Ошибка"));
        // The code stays, selected, so that typing the right one replaces it.
        ui->Edit1->setFocus();
        ui->Edit1->selectAll();
        return;
    }
    const QString signInString = dm->connectionString();
    if (!dm->connectTo(ConnectionString::withAccount(signInString, answer.account))) {
        const QString why = dm->lastError();
        dm->connectTo(signInString);
        Messages::error(QStringLiteral("Сервер не принял вход с правами роли.\n%1").arg(why), QStringLiteral("Ошибка"));
        return;
    }

    for (const QString& name : Roles::journalControlsOff(role))
        switchOff(journal, name);
    if (SummaryReportsWindow* reports = appWindows().summaryReports) {
        if (role == Role::Storekeeper)
            reports->selectProductKind(1);
        for (const QString& name : Roles::reportControlsOff(role))
            switchOff(reports, name);
    }
    for (int shift = 1; shift <= 4; ++shift)
        dm->smenaForShift(shift)->setParam(QStringLiteral("ok"), QStringLiteral("ta"));
    // The server writes this name beside every change the workstation makes from now on.
    const BuildStamp::Stamp build = BuildStamp::current();
    dm->setApplicationName(SessionName::compose(build.date, build.time, role));

    hide();
    journal->exec();
    onCancel();
}

void LoginWindow::onCancel()
{
    QDialog::reject();
    Termination::request();
}
