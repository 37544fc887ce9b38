#include "timesheet/timesheetwindow.h"
#include "ui_timesheetwindow.h"

#include "closing/closedmonthmark.h"
#include "core/clock.h"
#include "core/windowlookup.h"
#include "db/datamodule.h"
#include "export/spreadsheet.h"
#include "reports/timesheetlayout.h"
#include "timesheet/timesheetgrid.h"
#include "ui/guard.h"
#include "ui/messages.h"
#include "ui/waitcursor.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QScrollBar>
#include <QStyle>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <exception>

namespace {

constexpr int kFirstYear = 2007;
constexpr int kLastYearAtLeast = 2025;

}

TimesheetWindow::TimesheetWindow(QWidget* parent)
    : QDialog(parent), ui(new Ui::TimesheetWindow), dm(DataModule::instance()), store_(dm)
{
    ui->setupUi(this);
    setupGrid(ui->DBGrid1, 1);
    setupGrid(ui->DBGrid2, 2);
    setupGrid(ui->DBGrid3, 3);
    fillYears();

    connect(ui->ComboBox1, &QComboBox::currentIndexChanged, this, guardedSlot(this, &TimesheetWindow::onPeriodChanged));
    connect(ui->ComboBox2, &QComboBox::currentIndexChanged, this, guardedSlot(this, &TimesheetWindow::onPeriodChanged));
    connect(ui->Button1, &QPushButton::clicked, this, guardedSlot(this, &TimesheetWindow::onRebuild));
    connect(ui->Button2, &QPushButton::clicked, this, guardedSlot(this, &TimesheetWindow::onExcel));
    connect(ui->Button5, &QPushButton::clicked, this, guardedSlot(this, &TimesheetWindow::onRefresh));
    connect(ui->Button6, &QPushButton::clicked, this, guardedSlot(this, &TimesheetWindow::onPrint));
    connect(ui->Button4, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->CloseMonthButton, &QPushButton::clicked, this, guardedSlot(this, &TimesheetWindow::onCloseOrReopenMonth));
    // A closed month cannot be rebuilt; the window is full access's only.
    monthMark_ = new ClosedMonthMark(*dm, ui->ClosedMark, {ui->Button1}, this);
}

TimesheetWindow::~TimesheetWindow()
{
    delete ui;
}

void TimesheetWindow::setupGrid(QTableView* grid, int shift)
{
    auto* model = new TimesheetModel(dm->hTabelForShift(shift), grid);
    models_[shift - 1] = model;
    grid->setModel(model);
    grid->setItemDelegate(new TimesheetCellDelegate(grid));
    grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setAlternatingRowColors(false);
    grid->verticalHeader()->setVisible(false);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    QHeaderView* header = grid->horizontalHeader();
    header->setHighlightSections(false);
    header->setMinimumSectionSize(16);
    header->setSectionResizeMode(QHeaderView::Fixed);
    // A day column holds two digits in bold (a long day) whole, whatever the desktop's
    // font: at 20 pixels "14" showed as "…". The window is as wide as every column.
    QFont bold = grid->font();
    bold.setBold(true);
    const int textMargin = grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1;
    const int dayWidth = QFontMetrics(bold).horizontalAdvance(QStringLiteral("88")) + 2 * textMargin + 1;
    int gridWidth = 2 * grid->frameWidth() + grid->verticalScrollBar()->sizeHint().width();
    for (int column = 0; column < model->columnCount(); ++column) {
        const int listed = model->columns()[column].width;
        const bool day = column >= TimesheetModel::kFirstDayColumn && column < TimesheetModel::kTotalColumn;
        grid->setColumnWidth(column, day ? std::max(listed, dayWidth) : listed);
        gridWidth += grid->columnWidth(column);
    }
    grid->setMinimumWidth(gridWidth);
}

QStringList TimesheetWindow::yearList(const QDate& today)
{
    QStringList years;
    const int last = std::max(kLastYearAtLeast, today.year() + 1);
    for (int year = kFirstYear; year <= last; ++year)
        years << QString::number(year);
    return years;
}

int TimesheetWindow::nearestYear(const QStringList& years, int wanted)
{
    return std::clamp(wanted, years.first().toInt(), years.last().toInt());
}

QString TimesheetWindow::monthName(int month)
{
    static const char* const names[] = {"Январь", "Февраль", "Март", "Апрель", "Май", "Июнь",
                                        "Июль", "Август", "Сентябрь", "Октябрь", "Ноябрь", "Декабрь"};
    return QString::fromUtf8(names[month - 1]);
}

// The list follows the calendar: a client left running over the new year offers it too.
void TimesheetWindow::fillYears()
{
    const QStringList years = yearList(Clock::today());
    QStringList shown;
    for (int i = 0; i < ui->ComboBox2->count(); ++i)
        shown << ui->ComboBox2->itemText(i);
    if (shown == years)
        return;
    const QSignalBlocker blocker(ui->ComboBox2);
    const QString selected = ui->ComboBox2->currentText();
    ui->ComboBox2->clear();
    ui->ComboBox2->addItems(years);
    ui->ComboBox2->setCurrentIndex(std::max(0, int(years.indexOf(selected))));
}

int TimesheetWindow::selectedMonth() const
{
    return ui->ComboBox1->currentIndex() + 1;
}

int TimesheetWindow::selectedYear() const
{
    return ui->ComboBox2->currentText().toInt();
}

TimesheetModel* TimesheetWindow::modelOf(int shift) const
{
    return models_[shift - 1];
}

QTableView* TimesheetWindow::gridOf(int shift) const
{
    QTableView* grids[] = {ui->DBGrid1, ui->DBGrid2, ui->DBGrid3};
    return grids[shift - 1];
}

void TimesheetWindow::openOn(const QDate& journalDate)
{
    selectPeriod(journalDate);
    exec();
    closeListings();
}

void TimesheetWindow::selectPeriod(const QDate& date)
{
    fillYears();
    {
        const QSignalBlocker months(ui->ComboBox1);
        const QSignalBlocker years(ui->ComboBox2);
        ui->ComboBox1->setCurrentIndex(date.month() - 1);
        const QStringList list = yearList(Clock::today());
        ui->ComboBox2->setCurrentIndex(ui->ComboBox2->findText(QString::number(nearestYear(list, date.year()))));
    }
    onPeriodChanged();
}

void TimesheetWindow::onPeriodChanged()
{
    WaitCursor wait;
    const QDate first(selectedYear(), selectedMonth(), 1);
    for (int shift = 1; shift <= 3; ++shift) {
        Dataset* listing = dm->hTabelForShift(shift);
        listing->close();
        listing->setParam(QStringLiteral("mnth"), first.month());
        listing->setParam(QStringLiteral("yea"), first.year());
        listing->open();
        models_[shift - 1]->setMonth(first);
    }
    showMonthState();
}

void TimesheetWindow::showMonthState()
{
    const QDate first(selectedYear(), selectedMonth(), 1);
    monthMark_->show(first);
    ui->CloseMonthButton->setVisible(ClosedMonths(*dm).available());
    ui->CloseMonthButton->setText(monthMark_->isClosed() ? QStringLiteral("Открыть месяц") : QStringLiteral("Закрыть месяц"));
}

// Closing freezes the month's journal and timesheet on the server for every workstation;
// reopening lets them change again. Either is asked first.
void TimesheetWindow::onCloseOrReopenMonth()
{
    const int month = selectedMonth();
    const int year = selectedYear();
    const QString label = ClosedMonths::label(year, month);
    ClosedMonths months(*dm);
    const bool closedNow = months.isClosed(QDate(year, month, 1));
    if (closedNow != monthMark_->isClosed()) {
        // Another workstation got there first: show the month as it is, change nothing.
        showMonthState();
        Messages::information(closedNow ? QStringLiteral("Месяц %1 уже закрыт на другом рабочем месте.").arg(label)
                                        : QStringLiteral("Месяц %1 уже открыт на другом рабочем месте.").arg(label),
                              QStringLiteral("Табель по времени"));
        return;
    }
    if (closedNow) {
        if (!Messages::question(QStringLiteral("Открыть месяц %1?\nЖурнал и табель этого месяца снова можно будет "
                                               "изменять на всех рабочих местах.").arg(label),
                                QStringLiteral("Открытие месяца")))
            return;
        months.reopen(year, month);
    } else {
        if (!Messages::question(QStringLiteral("Закрыть месяц %1?\nЗаписи журнала и табель этого месяца нельзя будет "
                                               "добавлять, изменять, удалять и перестраивать, пока месяц не откроют.")
                                    .arg(label),
                                QStringLiteral("Закрытие месяца")))
            return;
        months.close(year, month);
    }
    showMonthState();
}

void TimesheetWindow::openListings()
{
    WaitCursor wait;
    for (int shift = 1; shift <= 3; ++shift)
        dm->hTabelForShift(shift)->open();
}

void TimesheetWindow::closeListings()
{
    for (int shift = 1; shift <= 3; ++shift)
        dm->hTabelForShift(shift)->close();
}

void TimesheetWindow::onRefresh()
{
    closeListings();
    openListings();
}

// The listings are shown again and the progress bar hidden whether the rebuild went
// through or not; a failed rebuild leaves the month as it was.
void TimesheetWindow::onRebuild()
{
    if (monthMark_->isClosed())
        return;
    const int month = selectedMonth();
    const int year = selectedYear();
    closeListings();
    ui->PB->show();
    ui->PB->setMaximum(QDate(year, month, 1).daysInMonth());
    ui->PB->setValue(1);
    std::exception_ptr failure;
    {
        WaitCursor wait;
        try {
            store_.rebuildMonth(month, year, [this](int day) { ui->PB->setValue(day); });
        } catch (...) {
            failure = std::current_exception();
        }
    }
    ui->PB->hide();
    if (!failure) {
        openListings();
        return;
    }
    guarded([this] { openListings(); });
    std::rethrow_exception(failure);
}

Dataset* TimesheetWindow::openMonthSums()
{
    Dataset* rows = WindowLookup::find<TimesheetLayout>()->H_Tabel;
    rows->close();
    rows->setParam(QStringLiteral("mnth"), selectedMonth());
    rows->setParam(QStringLiteral("yea"), selectedYear());
    WaitCursor wait;
    rows->open();
    return rows;
}

void TimesheetWindow::onExcel()
{
    Dataset* rows = openMonthSums();
    auto closeRows = qScopeGuard([rows] { rows->close(); });
    Spreadsheet& excel = Spreadsheet::timesheet();
    if (excel.OpenWorkbook(QString()) != 1)
        return;
    const QString period = monthName(selectedMonth()) + u' ' + ui->ComboBox2->currentText();
    excel.setTitle(QStringLiteral("Табель ") + period);
    excel.ShowExcel(false);
    const int total = rows->recordCount();
    auto showCount = [this, total](int written) {
        ui->Button2->setText(QStringLiteral("Excel (%1 из %2)").arg(written).arg(total));
    };
    showCount(0);

    excel.WriteCellFormatted(1, 1, 1, period, true, true, true);
    excel.WriteCellFormatted(1, 1, 2, QStringLiteral("Фамилия И.О."), true, true, true);
    for (int day = 1; day <= 31; ++day)
        excel.WriteCellFormatted(1, day + 1, 2, QString::number(day), false, true, true);
    excel.WriteCellFormatted(1, 33, 2, QStringLiteral("Итого"), true, true, true);

    for (int i = 0; i < total; ++i) {
        const int row = 3 + i;
        excel.WriteCellFormatted(1, 1, row, rows->valueAt(i, QStringLiteral("fio")).toString().trimmed(), true, true, false);
        qint64 sum = 0;
        for (int day = 1; day <= 31; ++day) {
            const qint64 hours = rows->valueAt(i, QStringLiteral("sd%1").arg(day)).toLongLong();
            sum += hours;
            excel.WriteCellFormatted(1, day + 1, row, QString::number(hours), false, true, false);
        }
        excel.WriteCellFormatted(1, 33, row, QString::number(sum), false, true, false);
        showCount(i + 1);
        // Lets the window repaint its count; clicks wait until the export is done.
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    excel.ShowExcel(true);
}

void TimesheetWindow::onPrint()
{
    TimesheetLayout* layout = WindowLookup::find<TimesheetLayout>();
    Dataset* rows = openMonthSums();
    const QString period = monthName(selectedMonth()) + u' ' + ui->ComboBox2->currentText();
    layout->setPeriod(period + QStringLiteral(" г."));
    // The report keeps its own copy of the rows: the query is closed whatever happens.
    auto closeRows = qScopeGuard([rows] { rows->close(); });
    layout->preview(QStringLiteral("Табель по времени"), QStringLiteral("Табель %1.pdf").arg(period), this);
}

bool TimesheetWindow::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate)
        ui->Button2->setText(QStringLiteral("Excel"));
    return QDialog::event(e);
}
