#include "app/loginwindow.h"
#include "ui_loginwindow.h"

#include "app/buildstamp.h"
#include "app/roles.h"
#include "app/termination.h"
#include "app/versiongate.h"
#include "app/windows.h"
#include "db/datamodule.h"
#include "journal/journalwindow.h"
#include "reports/summaryreportswindow.h"
#include "ui/guard.h"
#include "ui/messages.h"

#include <QAction>
#include <QEvent>
#include <QMenu>
#include <QScopeGuard>
#include <QTimer>

namespace {

// Switches off a control, menu or menu item found by its object name.
void switchOff(QWidget* window, const QString& name)
{
    if (!window)
        return;
    if (auto* menu = window->findChild<QMenu*>(name))
        menu->menuAction()->setEnabled(false);
    else if (auto* action = window->findChild<QAction*>(name))
        action->setEnabled(false);
    else if (auto* widget = window->findChild<QWidget*>(name))
        widget->setEnabled(false);
}

}

LoginWindow::LoginWindow(QWidget* parent) : QDialog(parent), ui(new Ui::LoginWindow), timer_(new QTimer(this))
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("TForm23"));
    setFixedSize(330, 44);
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
    const BuildStamp::Stamp stamp = BuildStamp::current();
    setWindowTitle(QStringLiteral("Авторизация (build: %1.%2)").arg(stamp.date).arg(stamp.time));
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
    JournalWindow* journal = appWindows().journal;
    const QString code = ui->Edit1->text().trimmed();
    journal->CurrentShift = 1;
    journal->RoleCode = code;

    const Role role = Roles::fromCode(code);
    if (role == Role::None) {
        Messages::error(QStringLiteral("Введены неверные данные."), QStringLiteral("Ошибка"));
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
    DataModule* dm = DataModule::instance();
    for (int shift = 1; shift <= 4; ++shift)
        dm->smenaForShift(shift)->setParam(QStringLiteral("ok"), QStringLiteral("ta"));

    hide();
    journal->exec();
    onCancel();
}

void LoginWindow::onCancel()
{
    QDialog::reject();
    Termination::request();
}
