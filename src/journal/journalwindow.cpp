#include "journal/journalwindow.h"
#include "ui_journalwindow.h"

#include "closing/closedmonthmark.h"
#include "core/clock.h"
#include "core/gatehost.h"
#include "core/roles.h"
#include "core/windowlookup.h"
#include "db/datamodule.h"
#include "directories/kindslist.h"
#include "directories/operationslist.h"
#include "directories/productslist.h"
#include "directories/workerslist.h"
#include "history/historywindow.h"
#include "import/legacyimport.h"
#include "journal/brigadeentry.h"
#include "journal/entryeditor.h"
#include "journal/journalstore.h"
#include "reports/summaryreportswindow.h"
#include "timesheet/timesheetwindow.h"
#include "ui/datasetgrid.h"
#include "ui/datetyping.h"
#include "ui/gridcelldelegate.h"
#include "ui/guard.h"
#include "ui/menuletters.h"
#include "ui/messages.h"
#include "ui/numbertext.h"
#include "ui/userguide.h"
#include "ui/waitcursor.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QShortcut>
#include <QTimer>

namespace {

const QColor kGreen(0, 128, 0);
const QColor kRed(255, 0, 0);

// The "OK" column: accepted entries in bold green, all others in bold red.
class AcceptanceDelegate : public GridCellDelegate {
public:
    using GridCellDelegate::GridCellDelegate;
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        GridCellDelegate::initStyleOption(option, index);
        option->font.setBold(true);
        const QColor color = JournalStore::isAccepted(index.data().toString()) ? kGreen : kRed;
        option->palette.setColor(QPalette::Text, color);
        option->palette.setColor(QPalette::HighlightedText, color);
    }
};

QVector<GridColumn> journalColumns()
{
    const Qt::Alignment centred = Qt::AlignCenter;
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    auto money = [](const QVariant& v) { return v.isNull() ? QString() : NumberText::money(v.toDouble()); };
    // The stored mark is char(2) and comes back padded; it is shown as stored.
    auto mark = [](const QVariant& v) { return v.toString().trimmed(); };
    // The entry day; a time of day, if another program stored one, is not shown.
    auto day = [](const QVariant& v) { return v.isNull() ? QString() : v.toDate().toString(QStringLiteral("dd.MM.yyyy")); };
    return {
        {QStringLiteral("fio"), QStringLiteral("Фамилия И.О."), 250},
        {QStringLiteral("marka"), QStringLiteral("Марка изделия"), 260},
        {QStringLiteral("vid"), QStringLiteral("Операция"), 155},
        {QStringLiteral("nmn"), QStringLiteral("Вид"), 157},
        // Narrow enough that a full shift scrolls down only, never sideways.
        {QStringLiteral("color"), QStringLiteral("Цвет"), 56, centred},
        {QStringLiteral("time"), QStringLiteral("Часы"), 56, right},
        {QStringLiteral("kol_vo"), QStringLiteral("Кол-во"), 57, right},
        {QStringLiteral("brak"), QStringLiteral("Брак"), 49, right},
        {QStringLiteral("summa"), QStringLiteral("Итого (р.)"), 78, right, true, money},
        {QStringLiteral("prize"), QStringLiteral("Премия (%)"), -1, right, false},
        {QStringLiteral("ok"), QStringLiteral("OK"), 37, centred, true, mark},
        {QStringLiteral("vvod"), QStringLiteral("Заведен"), 80, centred, true, day},
    };
}

}

JournalWindow::JournalWindow(QWidget* parent)
    : QDialog(parent), ui(new Ui::JournalWindow), dm(DataModule::instance()), saves_(*dm), gateTimer_(new QTimer(this)),
      import_(new LegacyImport(dm, this))
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("TForm1"));
    setFixedSize(1281, 585);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    // Menu, its texts as the plant knows them, without mnemonic marks.
    auto* menuBar = new QMenuBar(this);
    QMenu* directories = menuBar->addMenu(QStringLiteral("Справочники"));
    directories->setObjectName(QStringLiteral("N2"));
    directories->menuAction()->setObjectName(QStringLiteral("N2"));
    auto addItem = [this](QWidget* to, const QString& name, const QString& text, void (JournalWindow::*handler)()) {
        auto* action = new QAction(text, to);
        action->setObjectName(name);
        to->addAction(action);
        if (handler)
            connect(action, &QAction::triggered, this, guardedSlot(this, handler));
        return action;
    };
    addItem(directories, QStringLiteral("N1"), QStringLiteral("Рабочие"), &JournalWindow::onWorkers);
    addItem(directories, QStringLiteral("N3"), QStringLiteral("Изделия"), &JournalWindow::onProducts);
    addItem(directories, QStringLiteral("N4"), QStringLiteral("Цены"), &JournalWindow::onPrices);
    addItem(directories, QStringLiteral("N6"), QStringLiteral("Операции"), &JournalWindow::onKinds);
    addItem(directories, QStringLiteral("N8"), QStringLiteral("Внеурочное"), nullptr);
    addItem(menuBar, QStringLiteral("N11"), QStringLiteral("Табель по времени"), &JournalWindow::onTimesheet);
    QMenu* reports = menuBar->addMenu(QStringLiteral("Отчеты"));
    reports->setObjectName(QStringLiteral("N7"));
    addItem(reports, QStringLiteral("N10"), QStringLiteral("Сводные отчеты"), &JournalWindow::onSummaryReports);
    addItem(reports, QStringLiteral("N13"), QStringLiteral("История изменений"), &JournalWindow::onHistory);
    addItem(menuBar, QStringLiteral("N5"), QStringLiteral("Выход"), nullptr);
    connect(findChild<QAction*>(QStringLiteral("N5")), &QAction::triggered, this, &QDialog::reject);
    addItem(menuBar, QStringLiteral("N12"), QStringLiteral("Импорт"), &JournalWindow::onImport)->setVisible(false);
    // A brigade's entries in one grid, for the roles that may add entries (as "Добавить").
    QMenu* brigade = menuBar->addMenu(QStringLiteral("Бригада"));
    brigade->setObjectName(QStringLiteral("BrigadeMenu"));
    addItem(brigade, QStringLiteral("BrigadeItem"), QStringLiteral("Ввод бригадой"), &JournalWindow::onBrigade)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
    connect(brigade, &QMenu::aboutToShow, this,
            [this, brigade] { brigade->actions().first()->setEnabled(ui->Button1->isEnabled()); });
    addFirstLetterKeys(menuBar, this);
    // The user's guide, last on the bar and added after the letter keys: Alt+С stays
    // "Справочники"; the guide's key is F1.
    QAction* help = addItem(menuBar, QStringLiteral("HelpItem"), QStringLiteral("Справка"), &JournalWindow::onHelp);
    help->setShortcut(QKeySequence(Qt::Key_F1));
    connect(import_, &LegacyImport::progress, ui->Label1, &QLabel::setText);
    // A hidden item takes no keys; the administrator's way to it is Ctrl+Shift+I.
    auto* importKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_I), this);
    importKey->setObjectName(QStringLiteral("ImportKey"));
    connect(importKey, &QShortcut::activated, this, guardedSlot(this, &JournalWindow::onImportKey));
    ui->mainLayout->setMenuBar(menuBar);

    // The grid shows the journal of the selected shift.
    // Only the shown journal's rows make the status line: the others, re-read with it
    // on every date, leave it alone.
    for (int shift = 1; shift <= 4; ++shift) {
        Dataset* journal = dm->smenaForShift(shift);
        connect(journal, &Dataset::rowsReset, this, [this, journal] {
            if (journal == currentShiftJournal())
                showTotals();
        });
    }
    ui->DBGrid2->setItemDelegate(new GridCellDelegate(ui->DBGrid2));
    showJournal(dm->Smena1);

    ui->DateT->setDate(Clock::today());
    ui->DateT->installEventFilter(this);
    // Installed after the window's own filter, so that Enter finds the typed date taken.
    DateTyping::install(ui->DateT);
    connect(ui->DateT->calendarWidget(), &QCalendarWidget::clicked, this,
            [this] { QTimer::singleShot(0, this, guardedSlot(this, &JournalWindow::onDateChosen)); });
    connect(ui->DateT->calendarWidget(), &QCalendarWidget::activated, this,
            [this] { QTimer::singleShot(0, this, guardedSlot(this, &JournalWindow::onDateChosen)); });

    QRadioButton* shiftButtons[] = {ui->RadioButton1, ui->RadioButton2, ui->RadioButton3, ui->RadioButton4};
    for (int i = 0; i < 4; ++i)
        connect(shiftButtons[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                guarded([&] { onShiftChosen(i + 1); });
        });
    connect(ui->CBox1, &QCheckBox::toggled, this, guardedSlot(this, &JournalWindow::onDayOffToggled));
    connect(ui->Button1, &QPushButton::clicked, this, guardedSlot(this, &JournalWindow::onAdd));
    connect(ui->Button2, &QPushButton::clicked, this, guardedSlot(this, &JournalWindow::onChange));
    connect(ui->Button3, &QPushButton::clicked, this, guardedSlot(this, &JournalWindow::onDelete));
    connect(ui->Button8, &QPushButton::clicked, this, guardedSlot(this, &JournalWindow::onRefresh));
    connect(ui->Button4, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->DBGrid2, &QTableView::doubleClicked, this, guardedSlot(this, &JournalWindow::onGridDoubleClicked));
    // One entry's history: the grid's context menu, or Ctrl with the double click.
    auto* entryHistory = new QAction(QStringLiteral("История записи"), this);
    entryHistory->setObjectName(QStringLiteral("N14"));
    connect(entryHistory, &QAction::triggered, this, guardedSlot(this, &JournalWindow::onEntryHistory));
    ui->DBGrid2->addAction(entryHistory);
    ui->DBGrid2->setContextMenuPolicy(Qt::ActionsContextMenu);
    // A date of a closed month is marked, and what would change the month is switched off.
    monthMark_ = new ClosedMonthMark(*dm, ui->ClosedMark, {ui->Button1, ui->Button2, ui->Button3}, this);
    // Keys for the frequent actions; set after the captions, which would clear them.
    // A button the role switched off ignores its key too.
    ui->Button1->setShortcut(QKeySequence(Qt::Key_Insert));
    ui->Button2->setShortcut(QKeySequence(Qt::Key_F2));
    ui->Button8->setShortcut(QKeySequence(Qt::Key_F5));
    ui->Button3->setShortcut(QKeySequence(Qt::Key_Delete));
    paintShiftButtons();
    settingDayOff_ = true;
    onDayOffToggled();
    settingDayOff_ = false;

    // The version gate runs every 30 s for as long as the program runs, also while the
    // login or any dialog is open.
    gateTimer_->setObjectName(QStringLiteral("Timer1"));
    gateTimer_->setInterval(30000);
    connect(gateTimer_, &QTimer::timeout, this, [this] {
        if (GateHost* gate = WindowLookup::find<GateHost>())
            gate->runGateGuarded([this] { onGateTick(); });
    });
    gateTimer_->start();

    // Back from a lost connection: what was shown is read again and the gate runs again.
    connect(dm, &DataModule::reconnected, this, guardedSlot(this, &JournalWindow::onReconnected));
}

JournalWindow::~JournalWindow()
{
    delete ui;
}

Dataset* JournalWindow::currentShiftJournal() const
{
    return dm->smenaForShift(CurrentShift);
}

QDate JournalWindow::date() const
{
    return ui->DateT->date();
}

bool JournalWindow::isDayOff() const
{
    return ui->CBox1->isChecked();
}

int JournalWindow::currentOperationId() const
{
    return CurrentJournal ? CurrentJournal->value(QStringLiteral("o_id")).toInt() : 0;
}

void JournalWindow::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous())
        QTimer::singleShot(0, this, guardedSlot(this, &JournalWindow::onActivated));
}

bool JournalWindow::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == ui->DateT && e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            guarded([this] { onDateChosen(); });
            return true;
        }
    }
    return QDialog::eventFilter(watched, e);
}

void JournalWindow::onActivated()
{
    const QDate today = Clock::today();
    ui->DateT->setDate(today);
    followDayOff(today, true);
    reopenAllJournals(today);
}

void JournalWindow::onDateChosen()
{
    {
        WaitCursor wait;
        reopenAllJournals(date());
    }
    followDayOff(date(), false);
    ui->DBGrid2->setFocus();
}

void JournalWindow::onShiftChosen(int shift)
{
    CurrentShift = shift;
    showJournal(dm->smenaForShift(shift));
    paintShiftButtons();
}

void JournalWindow::followDayOff(const QDate& shown, bool keepHandChange)
{
    if (keepHandChange && dayOffHandDate_.isValid() && dayOffHandDate_ == shown)
        return;
    dayOffHandDate_ = QDate();
    settingDayOff_ = true;
    ui->CBox1->setChecked(JournalStore::isWeekend(shown));
    settingDayOff_ = false;
}

void JournalWindow::onDayOffToggled()
{
    // The day-off rate doubles the pay: a tick is kept only for the day it was given to.
    if (!settingDayOff_)
        dayOffHandDate_ = dm->Smena1->param(QStringLiteral("data")).toDate();
    ui->CBox1->setStyleSheet(ui->CBox1->isChecked()
                                 ? QStringLiteral("QCheckBox { background-color: rgb(255, 0, 0); color: white; "
                                                  "font-weight: bold; padding: 2px 6px; }")
                                 : QStringLiteral("QCheckBox { padding: 2px 6px; }"));
}

void JournalWindow::onRefresh()
{
    WaitCursor wait;
    reopenAllJournals(std::nullopt);
}

bool JournalWindow::isMonthClosed() const
{
    return monthMark_->isClosed();
}

void JournalWindow::onAdd()
{
    if (isMonthClosed())
        return;
    CurrentJournal = currentShiftJournal();
    EntryEditor* editor = WindowLookup::find<EntryEditor>();
    editor->prepareNew(date());
    editor->exec();
    onActivated();
}

void JournalWindow::onBrigade()
{
    if (!ui->Button1->isEnabled() || isMonthClosed())
        return;
    CurrentJournal = currentShiftJournal();
    BrigadeEntry* brigade = WindowLookup::find<BrigadeEntry>();
    if (!brigade)
        return;
    brigade->prepare();
    brigade->exec();
    onActivated();
}

void JournalWindow::onChange()
{
    if (isMonthClosed())
        return;
    CurrentJournal = currentShiftJournal();
    const int row = CurrentJournal->recNo();
    if (CurrentJournal->isEmpty())
        return;
    EntryEditor* editor = WindowLookup::find<EntryEditor>();
    editor->prepareChange(CurrentJournal->currentRecord());
    editor->exec();
    onActivated();
    CurrentJournal->setRecNo(row);
}

void JournalWindow::onDelete()
{
    if (isMonthClosed())
        return;
    Dataset* journal = currentShiftJournal();
    const QVariant id = journal->value(QStringLiteral("id"));
    if (id.isNull() || !id.isValid())
        return;
    const bool yes = Messages::question(QStringLiteral("Удалить позицию из списка?"), QStringLiteral("Удаление"));
    // The entry and the day it leaves in the timesheet go together, or neither does. An
    // entry deleted at another workstation meanwhile is simply gone from the list.
    if (yes)
        saves_.remove(id.toInt());
    journal->reopen();
}

void JournalWindow::onAccept()
{
    if (RoleCode == Roles::foremanCode() || isMonthClosed())
        return;
    CurrentJournal = currentShiftJournal();
    if (CurrentJournal->recordCount() < 1)
        return;
    const QString mark = JournalStore::toggledMark(CurrentJournal->value(QStringLiteral("ok")).toString());
    saves_.setMark(CurrentJournal->value(QStringLiteral("id")).toInt(), mark);
    const int row = CurrentJournal->recNo();
    CurrentJournal->reopen();
    CurrentJournal->setRecNo(row);
}

void JournalWindow::onWorkers()
{
    WindowLookup::find<WorkersList>()->showDirectory();
    onActivated();
}

void JournalWindow::onProducts()
{
    WindowLookup::find<ProductsList>()->showDirectory();
    onActivated();
}

void JournalWindow::onPrices()
{
    WindowLookup::find<OperationsList>()->showDirectory();
    onActivated();
}

void JournalWindow::onKinds()
{
    WindowLookup::find<KindsList>()->showDirectory();
    onActivated();
}

void JournalWindow::onTimesheet()
{
    WindowLookup::find<TimesheetWindow>()->openOn(ui->DateT->date());
    onActivated();
}

void JournalWindow::onSummaryReports()
{
    QDate from, to;
    previousMonthPeriod(Clock::today(), &from, &to);
    SummaryReportsWindow* reports = WindowLookup::find<SummaryReportsWindow>();
    reports->setPeriod(from, to);
    reports->exec();
    onActivated();
}

void JournalWindow::onHistory()
{
    if (HistoryWindow* history = WindowLookup::find<HistoryWindow>())
        history->showAll();
    onActivated();
}

void JournalWindow::onEntryHistory()
{
    auto* action = findChild<QAction*>(QStringLiteral("N14"));
    const QVariant id = currentShiftJournal()->value(QStringLiteral("id"));
    if (!action || !action->isEnabled() || id.isNull() || !id.isValid())
        return;
    if (HistoryWindow* history = WindowLookup::find<HistoryWindow>())
        history->showEntry(id.toLongLong());
}

// The double click accepts; with Ctrl held it opens the entry's history instead.
void JournalWindow::onGridDoubleClicked()
{
    if (QApplication::keyboardModifiers() & Qt::ControlModifier)
        onEntryHistory();
    else
        onAccept();
}

void JournalWindow::onGateTick()
{
    // While the server is away the tick keeps trying without a new box each time; the
    // first statement that finds it back opens the connection again.
    if (GateHost* gate = WindowLookup::find<GateHost>())
        quietWhileLossReported([gate] { gate->runVersionGate(); });
}

void JournalWindow::onReconnected()
{
    if (isVisible()) {
        WaitCursor wait;
        reopenAllJournals(std::nullopt);
    }
    dm->reopenUnread();
    if (GateHost* gate = WindowLookup::find<GateHost>())
        gate->runGateGuarded([gate] { gate->runVersionGate(); });
}

void JournalWindow::reopenAllJournals(std::optional<QDate> date)
{
    for (int shift = 1; shift <= 4; ++shift)
        dm->smenaForShift(shift)->close();
    for (int shift = 1; shift <= 4; ++shift) {
        Dataset* journal = dm->smenaForShift(shift);
        if (date)
            journal->setParam(QStringLiteral("data"), *date);
        journal->open();
    }
    monthMark_->show(dm->Smena1->param(QStringLiteral("data")).toDate(),
                     Roles::journalControlsOff(Roles::fromCode(RoleCode)));
}

void JournalWindow::showJournal(Dataset* journal)
{
    if (auto* old = ui->DBGrid2->model())
        old->deleteLater();
    DatasetModel* model = bindGrid(ui->DBGrid2, journal, journalColumns());
    const int okColumn = model->columnOf(QStringLiteral("ok"));
    // One for the window's life: each shift shown would otherwise leave one more behind.
    if (!dynamic_cast<AcceptanceDelegate*>(ui->DBGrid2->itemDelegateForColumn(okColumn)))
        ui->DBGrid2->setItemDelegateForColumn(okColumn, new AcceptanceDelegate(ui->DBGrid2));
    showTotals();
}

void JournalWindow::showTotals()
{
    Dataset* journal = currentShiftJournal();
    double total = 0;
    int hours = 0;
    for (int row = 0; row < journal->recordCount(); ++row) {
        total += journal->valueAt(row, QStringLiteral("summa")).toDouble();
        hours += journal->valueAt(row, QStringLiteral("time")).toInt();
    }
    ui->SummaryLabel->setText(journal->isOpen()
                                  ? QStringLiteral("Записей: %1    Часов: %2    Сумма: %3 р.")
                                        .arg(journal->recordCount())
                                        .arg(hours)
                                        .arg(NumberText::money(total))
                                  : QString());
}

void JournalWindow::paintShiftButtons()
{
    QRadioButton* buttons[] = {ui->RadioButton1, ui->RadioButton2, ui->RadioButton3, ui->RadioButton4};
    const int selected = CurrentShift >= 1 && CurrentShift <= 4 ? CurrentShift : 1;
    for (int i = 0; i < 4; ++i)
        buttons[i]->setStyleSheet(i + 1 == selected
                                      ? QStringLiteral("QRadioButton { background-color: rgb(0, 128, 0); color: white; "
                                                       "font-weight: bold; padding: 2px 6px; }")
                                      : QStringLiteral("QRadioButton { padding: 2px 6px; }"));
}

void JournalWindow::onImport()
{
    WaitCursor wait;
    import_->run();
}

void JournalWindow::onHelp()
{
    UserGuide::open();
}

void JournalWindow::onImportKey()
{
    if (Roles::fromCode(RoleCode) != Role::FullAccess)
        return;
    if (Messages::question(QStringLiteral("Заменить табель, справочники и журнал данными старой базы (Tabel)?"),
                           QStringLiteral("Импорт")))
        onImport();
}
