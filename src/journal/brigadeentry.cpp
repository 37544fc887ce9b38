#include "journal/brigadeentry.h"
#include "ui_brigadeentry.h"

#include "core/clock.h"
#include "core/windowlookup.h"
#include "db/datamodule.h"
#include "db/dberror.h"
#include "db/sqltext.h"
#include "journal/entryprice.h"
#include "journal/journalcontext.h"
#include "journal/journalsaves.h"
#include "ui/digitsedit.h"
#include "ui/guard.h"
#include "ui/messages.h"
#include "ui/numbertext.h"

#include <QApplication>
#include <QCompleter>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMap>
#include <QShortcut>
#include <QStringListModel>
#include <QStyledItemDelegate>
#include <QTimer>

namespace {

bool isNumberColumn(int column)
{
    return column == BrigadeEntry::Quantity || column == BrigadeEntry::Hours || column == BrigadeEntry::Defects
        || column == BrigadeEntry::Colour;
}

// The grid's number cells take the entry editor's number box: digits only, nothing cut.
class NumberCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        if (!isNumberColumn(index.column()))
            return QStyledItemDelegate::createEditor(parent, option, index);
        auto* box = new DigitsEdit(parent);
        box->setObjectName(QStringLiteral("CellEdit"));
        box->setFrame(false);
        return box;
    }
};

QString shiftName(int shift)
{
    return shift == 4 ? QStringLiteral("Переработка") : QStringLiteral("Смена №%1").arg(shift);
}

}

BrigadeEntry::BrigadeEntry(QWidget* parent)
    : QDialog(parent), ui(new Ui::BrigadeEntry), dm(DataModule::instance()), store_(*dm), entries_(*dm),
      saves_(new JournalSaves(*dm)), delegate_(new NumberCellDelegate(this))
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    ui->Grid->setColumnCount(ColumnCount);
    ui->Grid->setHorizontalHeaderLabels({QStringLiteral("Фамилия И.О."), QStringLiteral("Кол-во"), QStringLiteral("Часы"),
                                         QStringLiteral("Брак"), QStringLiteral("Цвет"), QStringLiteral("Цена"),
                                         QStringLiteral("Сумма")});
    ui->Grid->horizontalHeader()->setSectionResizeMode(Worker, QHeaderView::Stretch);
    ui->Grid->setItemDelegate(delegate_);
    ui->Grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                              | QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    ui->Grid->installEventFilter(this);
    for (int shift = 1; shift <= 4; ++shift)
        ui->DraftShift->addItem(shiftName(shift));

    auto* completer = new QCompleter(new QStringListModel(this), this);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    ui->WorkerFind->setCompleter(completer);

    connect(ui->ChooseOperation, &QPushButton::clicked, this, guardedSlot(this, &BrigadeEntry::onChooseOperation));
    connect(ui->CopyDraft, &QPushButton::clicked, this, guardedSlot(this, &BrigadeEntry::onCopyDraft));
    connect(ui->SaveButton, &QPushButton::clicked, this, guardedSlot(this, &BrigadeEntry::onSave));
    connect(ui->CancelButton, &QPushButton::clicked, this, &BrigadeEntry::reject);
    connect(ui->WorkerFind, &QLineEdit::returnPressed, this, guardedSlot(this, &BrigadeEntry::onAddWorker));
    connect(ui->Grid, &QTableWidget::itemChanged, this, [this] { recompute(); });
    // Enter in a cell goes on down the same column, as a foreman types a column of
    // quantities; Tab goes on along the row.
    connect(delegate_, &QAbstractItemDelegate::closeEditor, this, [this](QWidget*, QAbstractItemDelegate::EndEditHint hint) {
        if (hint != QAbstractItemDelegate::SubmitModelCache)
            return;
        const QModelIndex at = ui->Grid->currentIndex();
        QTimer::singleShot(0, this, [this, at] { moveDown(at.row(), Column(at.column())); });
    });

    ui->ChooseOperation->setShortcut(QKeySequence(Qt::Key_F3));
    ui->CopyDraft->setShortcut(QKeySequence(Qt::Key_F6));
    for (const QKeySequence& keys : {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)}) {
        auto* save = new QShortcut(keys, this);
        connect(save, &QShortcut::activated, this, guardedSlot(this, &BrigadeEntry::onSave));
    }
}

BrigadeEntry::~BrigadeEntry()
{
    delete ui;
}

void BrigadeEntry::prepare()
{
    ui->Grid->setRowCount(0);
    operation_.reset();
    operationText_.clear();
    cena_ = 0;
    ui->OperationBox->clear();
    ui->PriceBox->clear();
    ui->WorkerFind->clear();
    JournalContext* j = WindowLookup::find<JournalContext>();
    const QDate date = j ? j->date() : Clock::today();
    const int shift = j ? qBound(1, j->currentShift(), 4) : 1;
    ui->DraftDate->setDate(date.addDays(-1));
    ui->DraftShift->setCurrentIndex(shift - 1);
    setWindowTitle(QStringLiteral("Ввод бригадой — %1, %2").arg(NumberText::date(date), shiftName(shift)));
    workers_ = store_.workers();
    QStringList names;
    for (const BrigadeStore::Worker& w : workers_)
        names.append(w.fio);
    static_cast<QStringListModel*>(ui->WorkerFind->completer()->model())->setStringList(names);
    recompute();
}

int BrigadeEntry::rowCount() const
{
    return ui->Grid->rowCount();
}

QString BrigadeEntry::cell(int row, Column column) const
{
    const QTableWidgetItem* item = ui->Grid->item(row, column);
    return item ? item->text() : QString();
}

QString BrigadeEntry::totalText() const
{
    return ui->TotalLabel->text();
}

void BrigadeEntry::onChooseOperation()
{
    OperationsList* list = WindowLookup::find<OperationsList>();
    if (!list)
        return;
    const auto operation = list->choose(operation_ ? operation_->id : 0);
    if (operation)
        operationChosen(*operation);
    if (isVisible())
        activateWindow();
    if (!operation_ || rowCount() == 0)
        (operation_ ? ui->WorkerFind : static_cast<QWidget*>(ui->ChooseOperation))->setFocus();
    else
        editCell(0, Quantity);
}

void BrigadeEntry::operationChosen(const OperationsList::Choice& operation)
{
    operation_ = operation;
    // The factors of the moment of choosing, as in the entry editor.
    JournalContext* j = WindowLookup::find<JournalContext>();
    cena_ = EntryPrice::finalPrice(operation.cena, j && j->isDayOff(), j ? j->currentShift() : 0);
    operationText_ = EntryStore::operationText(entries_.marka(operation.productId), operation.vid, operation.naimen);
    ui->OperationBox->setText(operationText_);
    ui->OperationBox->setCursorPosition(0);
    ui->PriceBox->setText(EntryPrice::shown(cena_));
    applyColourRule();
    recompute();
}

bool BrigadeEntry::isPaint() const
{
    return EntryStore::isPaint(operationText_);
}

void BrigadeEntry::applyColourRule()
{
    const QSignalBlocker quiet(ui->Grid);
    for (int row = 0; row < rowCount(); ++row) {
        QTableWidgetItem* colour = ui->Grid->item(row, Colour);
        if (isPaint()) {
            colour->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
        } else {
            colour->setText(QString());
            colour->setFlags(Qt::ItemIsSelectable);
        }
    }
}

void BrigadeEntry::onAddWorker()
{
    const QString text = ui->WorkerFind->text().trimmed();
    if (text.isEmpty())
        return;
    if (!operation_) {
        Messages::error(QStringLiteral("Сначала выберите операцию (F3)."), QStringLiteral("Ошибка"));
        ui->ChooseOperation->setFocus();
        return;
    }
    // The name typed in full, or the only name that starts with what was typed.
    QVector<BrigadeStore::Worker> found;
    for (const BrigadeStore::Worker& w : workers_) {
        if (w.fio.compare(text, Qt::CaseInsensitive) == 0) {
            found = {w};
            break;
        }
        if (w.fio.startsWith(text, Qt::CaseInsensitive))
            found.append(w);
    }
    if (found.size() != 1) {
        Messages::error(found.isEmpty()
                            ? QStringLiteral("Рабочий «%1» не найден в справочнике.").arg(text)
                            : QStringLiteral("«%1» начинает фамилии нескольких рабочих (%2): наберите дальше или "
                                             "выберите из подсказки стрелками.").arg(text).arg(found.size()),
                        QStringLiteral("Ошибка"));
        ui->WorkerFind->setFocus();
        return;
    }
    const BrigadeStore::Worker& worker = found.first();
    // Without a colour the same worker twice is the same entry twice.
    if (!isPaint()) {
        for (int row = 0; row < rowCount(); ++row) {
            if (ui->Grid->item(row, Worker)->data(Qt::UserRole).toInt() == worker.id) {
                Messages::error(QStringLiteral("Рабочий %1 уже есть в бригаде.").arg(worker.fio), QStringLiteral("Ошибка"));
                ui->WorkerFind->clear();
                editCell(row, Quantity);
                return;
            }
        }
    }
    // The hours of the row above: a brigade mostly works the same hours.
    const QString hours = rowCount() > 0 ? cell(rowCount() - 1, Hours) : QStringLiteral("0");
    addRow(worker.id, worker.fio, {QString(), QStringLiteral("0"), QString(), hours});
    ui->WorkerFind->clear();
    // On to the quantity once the name hints, which handed this Enter on, have closed and
    // given the focus back to the name box. A hint chosen with the arrows is written back
    // into the box as they close: emptied there again, or the next name would follow it.
    const int row = rowCount() - 1;
    QTimer::singleShot(0, this, [this, row] {
        ui->WorkerFind->clear();
        editCell(row, Quantity);
    });
}

void BrigadeEntry::addRow(int w_id, const QString& fio, const Cells& cells)
{
    {
        const QSignalBlocker quiet(ui->Grid);
        const int row = rowCount();
        ui->Grid->insertRow(row);
        auto fixed = [](const QString& text) {
            auto* item = new QTableWidgetItem(text);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            return item;
        };
        auto number = [](const QString& text) {
            auto* item = new QTableWidgetItem(text);
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            return item;
        };
        QTableWidgetItem* name = fixed(fio);
        name->setData(Qt::UserRole, w_id);
        ui->Grid->setItem(row, Worker, name);
        ui->Grid->setItem(row, Quantity, number(cells.quantity));
        ui->Grid->setItem(row, Hours, number(cells.hours));
        ui->Grid->setItem(row, Defects, number(cells.defects));
        ui->Grid->setItem(row, Colour, number(cells.colour));
        for (const Column column : {Price, Amount}) {
            QTableWidgetItem* shown = fixed(QString());
            shown->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            ui->Grid->setItem(row, column, shown);
        }
    }
    applyColourRule();
    recompute();
}

void BrigadeEntry::recompute()
{
    const QSignalBlocker quiet(ui->Grid);
    double total = 0;
    for (int row = 0; row < rowCount(); ++row) {
        const double amount = SqlText::round4(cell(row, Quantity).trimmed().toDouble() * cena_);
        total += amount;
        ui->Grid->item(row, Price)->setText(operation_ ? EntryPrice::shown(cena_) : QString());
        ui->Grid->item(row, Amount)->setText(operation_ ? EntryPrice::shown(amount) : QString());
    }
    ui->TotalLabel->setText(QStringLiteral("Рабочих: %1    Итого: %2 р.").arg(rowCount()).arg(EntryPrice::shown(total)));
}

void BrigadeEntry::commitOpenEditor()
{
    // An open cell editor is the one control inside the grid that takes the focus.
    QWidget* editor = focusWidget();
    if (editor && editor != ui->Grid && ui->Grid->isAncestorOf(editor)) {
        emit delegate_->commitData(editor);
        emit delegate_->closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

void BrigadeEntry::editCell(int row, Column column)
{
    ui->Grid->setFocus();
    ui->Grid->setCurrentCell(row, column);
    QTableWidgetItem* item = ui->Grid->item(row, column);
    if (item && (item->flags() & Qt::ItemIsEditable))
        ui->Grid->editItem(item);
}

void BrigadeEntry::moveDown(int row, Column column)
{
    if (row + 1 < rowCount())
        editCell(row + 1, column);
    else
        ui->WorkerFind->setFocus();
}

void BrigadeEntry::onRemoveRow()
{
    const int row = ui->Grid->currentRow();
    if (row < 0)
        return;
    ui->Grid->removeRow(row);
    recompute();
    if (rowCount() == 0)
        ui->WorkerFind->setFocus();
}

void BrigadeEntry::onCopyDraft()
{
    commitOpenEditor();
    if (!operation_) {
        Messages::error(QStringLiteral("Сначала выберите операцию (F3): черновик берёт из журнала её рабочих и часы."),
                        QStringLiteral("Ошибка"));
        ui->ChooseOperation->setFocus();
        return;
    }
    const QDate from = ui->DraftDate->date();
    const int shift = ui->DraftShift->currentIndex() + 1;
    const QVector<BrigadeStore::DraftRow> draft = store_.draft(from, shift, operation_->id);
    if (draft.isEmpty()) {
        Messages::information(QStringLiteral("В журнале за %1, %2, нет позиций операции «%3».")
                                  .arg(NumberText::date(from), shiftName(shift), operationText_),
                              QStringLiteral("Черновик"));
        ui->DraftDate->setFocus();
        return;
    }
    if (rowCount() > 0 && !Messages::question(QStringLiteral("Заменить строки бригады черновиком?"), QStringLiteral("Черновик")))
        return;
    ui->Grid->setRowCount(0);
    // Quantities are the shift's own; prices are today's, of the operation as chosen now.
    for (const BrigadeStore::DraftRow& row : draft)
        addRow(row.w_id, row.fio,
               {QString(), QStringLiteral("0"), isPaint() ? QString::number(row.colour) : QString(),
                QString::number(row.hours)});
    editCell(0, Quantity);
}

EntryInput BrigadeEntry::inputOf(int row) const
{
    return {cell(row, Worker), operationText_, cell(row, Quantity), cell(row, Defects), cell(row, Colour), cell(row, Hours)};
}

BrigadeEntry::Column BrigadeEntry::columnOf(EntryStore::Field field)
{
    switch (field) {
    case EntryStore::Field::Quantity: return Quantity;
    case EntryStore::Field::Defects: return Defects;
    case EntryStore::Field::Colour: return Colour;
    case EntryStore::Field::Hours: return Hours;
    default: return Worker;
    }
}

void BrigadeEntry::onSave()
{
    commitOpenEditor();
    if (!operation_) {
        Messages::error(QStringLiteral("Сначала выберите операцию (F3)."), QStringLiteral("Ошибка"));
        ui->ChooseOperation->setFocus();
        return;
    }
    if (rowCount() == 0) {
        Messages::error(QStringLiteral("В бригаде нет ни одного рабочего."), QStringLiteral("Ошибка"));
        ui->WorkerFind->setFocus();
        return;
    }
    JournalContext* j = WindowLookup::find<JournalContext>();
    QVector<EntryRow> rows;
    for (int r = 0; r < rowCount(); ++r) {
        const EntryInput input = inputOf(r);
        if (const auto problem = EntryStore::check(input)) {
            Messages::error(QStringLiteral("Рабочий %1: %2").arg(input.worker, problem->message), QStringLiteral("Ошибка"));
            editCell(r, columnOf(problem->field));
            return;
        }
        EntryRow row;
        row.w_id = ui->Grid->item(r, Worker)->data(Qt::UserRole).toInt();
        row.i_id = operation_->productId;
        row.o_id = operation_->id;
        row.cena = cena_;
        row.quantity = EntryStore::number(input.quantity);
        row.defects = EntryStore::number(input.defects);
        row.colour = EntryStore::number(input.colour);
        row.hours = EntryStore::number(input.hours);
        row.date = j ? j->date() : Clock::today();
        row.shift = j ? j->currentShift() : 0;
        rows.append(row);
    }
    if (!confirmDayHours(rows))
        return;

    int at = -1;
    JournalSaves::Outcome outcome;
    try {
        outcome = saves_->addAll(rows, Clock::today(), &at);
    } catch (DbError& e) {
        // Nothing was written; the grid stays as typed, on the row the refusal concerns.
        if (at >= 0) {
            e.addNote(QStringLiteral("Рабочий: %1").arg(cell(at, Worker)));
            ui->Grid->setCurrentCell(at, Worker);
        }
        throw;
    }
    if (outcome == JournalSaves::Outcome::Duplicate) {
        Messages::error(QStringLiteral("%1\nРабочий: %2\n%3").arg(EntryStore::kDuplicate, cell(at, Worker), JournalSaves::kNotAdded),
                        QStringLiteral("Ошибка"));
        ui->Grid->setFocus();
        ui->Grid->setCurrentCell(at, Worker);
        return;
    }

    // The journal shows the new rows at once; it re-reads everything again when this closes.
    if (Dataset* journal = dm->smenaForShift(rows.first().shift); journal->isOpen())
        journal->reopen();
    dm->H_Tabel_1->close();
    dm->H_Tabel_2->close();
    dm->H_Tabel_3->close();
    ui->Grid->setRowCount(0);
    accept();
}

bool BrigadeEntry::confirmDayHours(const QVector<EntryRow>& rows)
{
    // A worker's rows of this grid add up with what the journal already holds for his day.
    QMap<int, qint64> hours;
    QMap<int, int> firstRow;
    for (int i = 0; i < rows.size(); ++i) {
        hours[rows[i].w_id] += rows[i].hours;
        if (!firstRow.contains(rows[i].w_id))
            firstRow[rows[i].w_id] = i;
    }
    for (auto it = firstRow.cbegin(); it != firstRow.cend(); ++it) {
        const EntryRow& row = rows[it.value()];
        if (hours[row.w_id] <= 0)
            continue;
        qint64 total = hours[row.w_id];
        try {
            total += entries_.dayHours(row, 0);
        } catch (DbError& e) {
            e.addNote(JournalSaves::kNotAdded);
            throw;
        }
        const EntryStore::DayHours judged = EntryStore::judgeDayHours(total);
        if (judged == EntryStore::DayHours::Fits)
            continue;
        const QString sum = QStringLiteral("У рабочего %1 за %2 в смене %3 получится %4 ч")
                                .arg(cell(it.value(), Worker), NumberText::date(row.date))
                                .arg(row.shift)
                                .arg(total);
        if (judged == EntryStore::DayHours::TooMany) {
            Messages::error(QStringLiteral("%1 — такое число часов не записать. Исправьте время.").arg(sum),
                            QStringLiteral("Проверка часов"));
            editCell(it.value(), Hours);
            return false;
        }
        const QString question = QStringLiteral("%1 — больше %2 часов в сутки. Записать бригаду?")
                                     .arg(sum).arg(EntryStore::kHoursInDay);
        if (!Messages::question(question, QStringLiteral("Проверка часов"), Messages::Default::No)) {
            editCell(it.value(), Hours);
            return false;
        }
    }
    return true;
}

void BrigadeEntry::reject()
{
    // Esc after a typed brigade asks first: a slip of the key must not lose the shift.
    if (rowCount() > 0
        && !Messages::question(QStringLiteral("Закрыть без записи? Введённое в бригаду не сохранится."),
                               QStringLiteral("Ввод бригадой"), Messages::Default::No))
        return;
    QDialog::reject();
}

void BrigadeEntry::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    (operation_ ? ui->WorkerFind : static_cast<QWidget*>(ui->ChooseOperation))->setFocus();
}

bool BrigadeEntry::eventFilter(QObject* watched, QEvent* e)
{
    // Keys of the grid itself, not those an open cell editor passes on.
    if (watched == ui->Grid && e->type() == QEvent::KeyPress && focusWidget() == ui->Grid) {
        auto* key = static_cast<QKeyEvent*>(e);
        if (key->modifiers() & Qt::ControlModifier)
            return QDialog::eventFilter(watched, e);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            editCell(ui->Grid->currentRow(), Column(ui->Grid->currentColumn()));
            return true;
        }
        if (key->key() == Qt::Key_Delete) {
            onRemoveRow();
            return true;
        }
    }
    return QDialog::eventFilter(watched, e);
}
