#include "history/historywindow.h"
#include "ui_historywindow.h"

#include "core/clock.h"
#include "core/roles.h"
#include "core/sessionname.h"
#include "db/datamodule.h"
#include "db/reportsource.h"
#include "ui/datetyping.h"
#include "ui/guard.h"
#include "ui/waitcursor.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QStyle>
#include <QStringList>

HistoryWindow::HistoryWindow(QWidget* parent)
    : QDialog(parent), ui(new Ui::HistoryWindow), store_(*DataModule::instance())
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("HistoryWindow"));
    ui->Grid->setColumnCount(ColumnCount);
    ui->Grid->setHorizontalHeaderLabels({QStringLiteral("Когда"), QStringLiteral("Что"), QStringLiteral("Запись"),
                                         QStringLiteral("Рабочий"), QStringLiteral("Действие"),
                                         QStringLiteral("Изменения: было → стало"), QStringLiteral("Программа"),
                                         QStringLiteral("Пользователь БД"), QStringLiteral("Рабочее место"), QStringLiteral("Роль")});
    ui->Grid->verticalHeader()->setVisible(false);
    ui->Grid->verticalHeader()->setDefaultSectionSize(ui->Grid->fontMetrics().height() + 6);
    // The changes take what the other columns leave; the whole change of the chosen row
    // is below the list.
    ui->Grid->horizontalHeader()->setSectionResizeMode(Changes, QHeaderView::Stretch);
    fitColumns();
    ui->DateFrom->setEnabled(false);
    ui->DateTo->setEnabled(false);
    // Dates typed into the period boxes are read whole, however the box was reached.
    DateTyping::install(ui->DateFrom);
    DateTyping::install(ui->DateTo);

    connect(ui->PeriodBox, &QCheckBox::toggled, this, [this](bool on) {
        ui->DateFrom->setEnabled(on);
        ui->DateTo->setEnabled(on);
    });
    connect(ui->ShowButton, &QPushButton::clicked, this, guardedSlot(this, &HistoryWindow::onShow));
    connect(ui->NextButton, &QPushButton::clicked, this, guardedSlot(this, &HistoryWindow::onNext));
    connect(ui->PrevButton, &QPushButton::clicked, this, guardedSlot(this, &HistoryWindow::onPrev));
    connect(ui->Grid, &QTableWidget::itemSelectionChanged, this, guardedSlot(this, &HistoryWindow::onRowChosen));
    connect(ui->CloseButton, &QPushButton::clicked, this, &QDialog::reject);
}

HistoryWindow::~HistoryWindow()
{
    delete ui;
}

void HistoryWindow::showAll()
{
    if (!store_.available()) {
        tellUnavailable();
        return;
    }
    if (guarded([this] { prepareAll(); }))
        exec();
}

void HistoryWindow::showEntry(qint64 entryId)
{
    if (!store_.available()) {
        tellUnavailable();
        return;
    }
    if (guarded([this, entryId] { prepareEntry(entryId); }))
        exec();
}

void HistoryWindow::tellUnavailable()
{
    Messages::information(QStringLiteral("Эта база данных не ведет историю изменений: ее схема не обновлена.\n"
                                         "Администратору: tabel-setup-server --upgrade."),
                          QStringLiteral("История изменений"));
}

void HistoryWindow::prepareAll()
{
    entryId_ = 0;
    setWindowTitle(QStringLiteral("История изменений"));
    ui->FilterRow->setVisible(true);
    if (!ui->DateTo->date().isValid() || ui->DateTo->date() == QDate(2000, 1, 1)) {
        const QDate today = Clock::today();
        ui->DateFrom->setDate(QDate(today.year(), today.month(), 1));
        ui->DateTo->setDate(today);
    }
    fillWorkers();
    onShow();
}

void HistoryWindow::prepareEntry(qint64 entryId)
{
    entryId_ = entryId;
    setWindowTitle(QStringLiteral("История записи журнала № %1").arg(entryId));
    ui->FilterRow->setVisible(false);
    onShow();
}

void HistoryWindow::fillWorkers()
{
    const int chosen = ui->WorkerBox->currentData().toInt();
    ui->WorkerBox->clear();
    ui->WorkerBox->addItem(QStringLiteral("Все рабочие"), 0);
    for (const auto& [id, name] : store_.workers())
        ui->WorkerBox->addItem(name, id);
    const int at = ui->WorkerBox->findData(chosen);
    ui->WorkerBox->setCurrentIndex(at < 0 ? 0 : at);
}

History::Filter HistoryWindow::filter() const
{
    History::Filter f;
    if (entryId_ > 0) {
        f.table = QStringLiteral("smena");
        f.rowKey = entryId_;
        return f;
    }
    if (ui->PeriodBox->isChecked()) {
        f.from = ui->DateFrom->date();
        f.to = ui->DateTo->date();
    }
    f.workerId = ui->WorkerBox->currentData().toInt();
    return f;
}

void HistoryWindow::onShow()
{
    if (entryId_ == 0 && ui->PeriodBox->isChecked() && ui->DateFrom->date() > ui->DateTo->date()) {
        Messages::error(QStringLiteral("Начало периода позже его конца."), QStringLiteral("Ошибка"));
        return;
    }
    pageStarts_ = {History::Cursor{}};
    loadPage();
}

void HistoryWindow::onNext()
{
    if (!hasNext_ || rows_.isEmpty())
        return;
    pageStarts_.push_back({rows_.last().at, rows_.last().id});
    loadPage();
}

void HistoryWindow::onPrev()
{
    if (pageStarts_.size() <= 1)
        return;
    pageStarts_.pop_back();
    loadPage();
}

void HistoryWindow::loadPage()
{
    WaitCursor wait;
    // One row more than shown tells whether a next page exists.
    const ReportSource::Choice source = ReportSource::of(store_.dataModule())->read([this](const QString& connection) {
        store_.setConnection(connection);
        rows_ = store_.page(filter(), pageStarts_.last(), pageSize_ + 1);
        names_ = store_.names(rows_);
    });
    ui->SourceLabel->setText(source.note);
    ui->SourceLabel->setVisible(!source.note.isEmpty());
    hasNext_ = rows_.size() > pageSize_;
    if (hasNext_)
        rows_.removeLast();

    ui->Grid->clearContents();
    ui->Grid->setRowCount(int(rows_.size()));
    for (int r = 0; r < rows_.size(); ++r) {
        const History::Row& row = rows_[r];
        const QString worker = row.worker.isEmpty() && row.workerId > 0 ? QString::number(row.workerId) : row.worker;
        const QString texts[ColumnCount] = {row.shownAt,
                                            History::tableTitle(row.table),
                                            row.rowKey ? QString::number(row.rowKey) : QString(),
                                            worker,
                                            History::operationTitle(row.operation),
                                            History::describe(row, names_),
                                            SessionName::title(row.appName),
                                            row.dbUser,
                                            row.clientAddr.isEmpty() ? QStringLiteral("этот компьютер") : row.clientAddr,
                                            Roles::title(row.dbRole)};
        for (int c = 0; c < ColumnCount; ++c) {
            auto* item = new QTableWidgetItem(texts[c]);
            if (c >= Changes)
                item->setToolTip(texts[c]);
            ui->Grid->setItem(r, c, item);
        }
    }
    fitColumns();
    ui->Details->clear();
    ui->PrevButton->setEnabled(pageStarts_.size() > 1);
    ui->NextButton->setEnabled(hasNext_);
    ui->PageLabel->setText(rows_.isEmpty() ? QStringLiteral("Изменений нет")
                                           : QStringLiteral("Страница %1").arg(pageStarts_.size()));
}

// No column title is clipped, nor a text of the columns left of the changes (when, what,
// which row, whose, which action): those are as wide as the widest of them. The columns
// right of it (program, user, workstation) keep a usual width and show a longer text
// whole in its tooltip. The changes column takes the rest and is never narrower than its
// title; each change is whole in its tooltip and below the list.
void HistoryWindow::fitColumns()
{
    const int widths[ColumnCount] = {150, 100, 60, 150, 95, 0, 200, 100, 110, 110};
    QHeaderView* header = ui->Grid->horizontalHeader();
    const QFontMetrics cells(ui->Grid->font());
    const int padding = 2 * ui->Grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, ui->Grid) + 12;
    int others = 0;
    for (int c = 0; c < ColumnCount; ++c) {
        if (c == Changes)
            continue;
        int width = qMax(widths[c], header->sectionSizeHint(c));
        for (int r = 0; c < Changes && r < ui->Grid->rowCount(); ++r)
            if (const QTableWidgetItem* item = ui->Grid->item(r, c))
                width = qMax(width, cells.horizontalAdvance(item->text()) + padding);
        ui->Grid->setColumnWidth(c, width);
        others += width;
    }
    // Keeps room for the changes' title: the window does not get narrower than that.
    ui->Grid->setMinimumWidth(others + header->sectionSizeHint(Changes) + 2 * ui->Grid->frameWidth()
                              + ui->Grid->verticalScrollBar()->sizeHint().width());
}

void HistoryWindow::onRowChosen()
{
    const int r = ui->Grid->currentRow();
    if (r < 0 || r >= rows_.size()) {
        ui->Details->clear();
        return;
    }
    const History::Row& row = rows_[r];
    QStringList lines;
    lines << QStringLiteral("%1, %2 %3, %4").arg(row.shownAt, History::tableTitle(row.table),
                                                  row.rowKey ? QStringLiteral("№ %1").arg(row.rowKey) : QString(),
                                                  History::operationTitle(row.operation).toLower());
    for (const History::Change& c : History::changes(row, names_)) {
        if (row.oldValues.isEmpty())
            lines << QStringLiteral("  %1: %2").arg(c.column, c.after);
        else if (row.newValues.isEmpty())
            lines << QStringLiteral("  %1: %2").arg(c.column, c.before);
        else
            lines << QStringLiteral("  %1: %2 → %3").arg(c.column, c.before, c.after);
    }
    ui->Details->setPlainText(lines.join(u'\n'));
}
