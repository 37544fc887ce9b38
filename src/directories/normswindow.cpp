#include "directories/normswindow.h"
#include "ui_normswindow.h"

#include "db/datamodule.h"
#include "ui/datasetgrid.h"
#include "ui/digitsedit.h"
#include "ui/guard.h"
#include "ui/listwindow.h"
#include "ui/messages.h"
#include "ui/numbertext.h"

#include <QAbstractTableModel>
#include <QFont>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QPointer>
#include <QRegularExpression>
#include <QStyledItemDelegate>

namespace {

enum Column { NormaColumn, PriceColumn, PrizeColumn, ColumnCount };

QLocale plainLocale()
{
    return NumberText::russianPlain();
}

}

// The rows of the grid: the stored levels of the operation, in norma order, and at most
// one new row at the end that is not stored yet.
class NormsModel : public QAbstractTableModel {
public:
    struct Row {
        NormsStore::Level level;
        qint64 uid = 0;        // the level's id once stored, a negative number before
        bool isNew = false;
        bool changed = false;
    };

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : int(rows_.size()); }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : ColumnCount; }

    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable : Qt::NoItemFlags;
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= rows_.size())
            return {};
        const QVariant value = valueOf(rows_[index.row()].level, index.column());
        switch (role) {
        case Qt::DisplayRole:
            if (value.isNull())
                return QString();
            return index.column() == PriceColumn ? NormsWindow::priceText(value.toDouble()) : value.toString();
        case Qt::EditRole:
            if (value.isNull())
                return QString();
            return index.column() == PriceColumn ? plainLocale().toString(value.toDouble(), 'g', 15) : value.toString();
        case Qt::TextAlignmentRole:
            return int(Qt::AlignRight | Qt::AlignVCenter);
        default:
            return {};
        }
    }

    bool setData(const QModelIndex& index, const QVariant& input, int role) override
    {
        if (role != Qt::EditRole || !index.isValid() || index.row() >= rows_.size())
            return false;
        QVariant value;
        const QString text = input.toString().trimmed();
        if (!text.isEmpty()) {
            bool ok = false;
            if (index.column() == PriceColumn) {
                QString number = text;
                number.replace(u',', u'.');
                const double price = number.toDouble(&ok);
                ok = ok && price >= 0;
                value = price;
            } else {
                const int whole = text.toInt(&ok);
                ok = ok && whole >= 0;
                value = whole;
            }
            if (!ok)
                return false;
        }
        Row& row = rows_[index.row()];
        QVariant& field = fieldOf(row.level, index.column());
        if (field.isNull() == value.isNull() && (value.isNull() || field == value))
            return true;
        field = value;
        row.changed = true;
        emit dataChanged(index, index);
        emit headerDataChanged(Qt::Vertical, index.row(), index.row());
        return true;
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal) {
            static const QString titles[ColumnCount] = {QStringLiteral("Норматив"), QStringLiteral("Цена"),
                                                        QStringLiteral("Премия, %")};
            if (role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
                return titles[section];
            return gridTitleLook(role);
        }
        // The row indicator: the current row, and a row not stored yet.
        if (role == Qt::DisplayRole && section >= 0 && section < rows_.size()) {
            if (rows_[section].isNew)
                return QStringLiteral("*");
            return section == currentRow_ ? QStringLiteral("▶") : QString();
        }
        if (role == Qt::TextAlignmentRole)
            return int(Qt::AlignCenter);
        return {};
    }

    const QVector<Row>& rows() const { return rows_; }
    Row& row(int r) { return rows_[r]; }
    qint64 uidAt(int r) const { return r >= 0 && r < rows_.size() ? rows_[r].uid : 0; }
    int rowOfUid(qint64 uid) const
    {
        for (int r = 0; r < rows_.size(); ++r)
            if (rows_[r].uid == uid)
                return r;
        return -1;
    }
    bool hasChanges() const
    {
        for (const Row& r : rows_)
            if (r.changed)
                return true;
        return false;
    }
    int storedCount() const
    {
        int n = 0;
        for (const Row& r : rows_)
            n += r.isNew ? 0 : 1;
        return n;
    }

    void setRows(QVector<Row> rows)
    {
        beginResetModel();
        rows_ = std::move(rows);
        endResetModel();
    }

    Row newRow()
    {
        Row row;
        row.isNew = true;
        row.uid = nextNewUid_--;
        return row;
    }

    int appendNewRow()
    {
        const int r = int(rows_.size());
        beginInsertRows({}, r, r);
        rows_.push_back(newRow());
        endInsertRows();
        return r;
    }

    void removeRowAt(int r)
    {
        beginRemoveRows({}, r, r);
        rows_.removeAt(r);
        endRemoveRows();
    }

    void setCurrentRow(int r)
    {
        if (r == currentRow_)
            return;
        currentRow_ = r;
        if (!rows_.isEmpty())
            emit headerDataChanged(Qt::Vertical, 0, int(rows_.size()) - 1);
    }

private:
    static QVariant valueOf(const NormsStore::Level& level, int column)
    {
        return column == NormaColumn ? level.norma : column == PriceColumn ? level.price : level.prize;
    }
    static QVariant& fieldOf(NormsStore::Level& level, int column)
    {
        return column == NormaColumn ? level.norma : column == PriceColumn ? level.price : level.prize;
    }

    QVector<Row> rows_;
    int currentRow_ = -1;
    qint64 nextNewUid_ = -1;
};

// Cell editors: number boxes that never change what is typed or pasted into another
// number. Whole numbers of an integer column for the norm and the bonus, a price with up
// to nine digits before the comma and four after it.
class NormsDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const override
    {
        auto* editor = new DigitsEdit(parent);
        if (index.column() == PriceColumn)
            editor->allowDecimals(9, 4);
        editor->setObjectName(QStringLiteral("cellEditor"));
        editor->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        editor->setFrame(false);
        open_ = editor;
        return editor;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        static_cast<QLineEdit*>(editor)->setText(index.data(Qt::EditRole).toString());
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        model->setData(index, static_cast<QLineEdit*>(editor)->text(), Qt::EditRole);
    }

    // Hands the text of an open editor to the model and closes the editor. (A closed
    // editor is hidden at once and deleted later.)
    void commitOpenEditor()
    {
        if (QWidget* editor = open_.data(); editor && !editor->isHidden()) {
            emit commitData(editor);
            emit closeEditor(editor, QAbstractItemDelegate::NoHint);
        }
    }

private:
    mutable QPointer<QWidget> open_;
};

NormsWindow::NormsWindow(QWidget* parent)
    : QDialog(parent), ui(new Ui::NormsWindow), dm(DataModule::instance()), store(dm),
      model(new NormsModel(this)), delegate(new NormsDelegate(this))
{
    ui->setupUi(this);
    QTableView* grid = ui->DBGrid1;
    grid->setModel(model);
    grid->setItemDelegate(delegate);
    grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked
                          | QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    grid->verticalHeader()->setVisible(true);
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 8);
    grid->verticalHeader()->setMinimumWidth(22);
    grid->horizontalHeader()->setHighlightSections(false);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    grid->installEventFilter(this);

    connect(grid->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                model->setCurrentRow(current.isValid() ? current.row() : -1);
                // Runs once the grid has finished the move (and taken the edited text).
                if (cellLeftQueued_)
                    return;
                cellLeftQueued_ = true;
                QMetaObject::invokeMethod(
                    this,
                    [this] {
                        cellLeftQueued_ = false;
                        guarded([this] { onCellLeft(); });
                    },
                    Qt::QueuedConnection);
            });
    connect(ui->Button1, &QPushButton::clicked, this, guardedSlot(this, &NormsWindow::onSave));
    connect(ui->Button2, &QPushButton::clicked, this, guardedSlot(this, &NormsWindow::onDelete));
}

NormsWindow::~NormsWindow()
{
    delete ui;
}

QString NormsWindow::priceText(double price)
{
    // "#0.00#": three decimals, the third only when it is not 0.
    QString text = plainLocale().toString(price, 'f', 3);
    if (text.endsWith(u'0'))
        text.chop(1);
    return text;
}

void NormsWindow::showForOperation(int operationId)
{
    loadOperation(operationId);
    exec();
}

void NormsWindow::loadOperation(int operationId)
{
    operationId_ = operationId;
    model->setRows({});
    reload();
    ui->DBGrid1->setFocus();
}

void NormsWindow::reload()
{
    QTableView* grid = ui->DBGrid1;
    const QModelIndex current = grid->currentIndex();
    const int oldRow = current.isValid() ? current.row() : 0;
    const int column = current.isValid() ? current.column() : 0;
    const qint64 currentUid = model->uidAt(current.row());

    QVector<NormsModel::Row> rows;
    for (const NormsStore::Level& level : store.levels(operationId_)) {
        NormsModel::Row row;
        row.level = level;
        row.uid = level.id;
        rows.push_back(row);
    }
    // A new row the user is on, or one the server refused, stays with what was typed.
    for (const NormsModel::Row& row : model->rows())
        if (row.isNew && (row.changed || row.uid == currentUid))
            rows.push_back(row);
    // An empty grid takes typing into a new row.
    if (rows.isEmpty())
        rows.push_back(model->newRow());
    model->setRows(rows);

    int target = model->rowOfUid(currentUid);
    if (target < 0)
        target = qMin(oldRow, model->rowCount() - 1);
    grid->setCurrentIndex(model->index(target, column));
}

void NormsWindow::storeChangedRows()
{
    for (int r = 0; r < model->rowCount(); ++r) {
        NormsModel::Row& row = model->row(r);
        if (!row.changed)
            continue;
        if (row.isNew) {
            row.level.operationId = operationId_;
            row.level.id = store.insert(row.level);
            row.uid = row.level.id;
            row.isNew = false;
        } else if (store.update(row.level) == 0) {
            row.changed = false;
            Messages::error(QStringLiteral("Норматив не найден: он удалён с другого рабочего места."),
                            QStringLiteral("Ошибка"));
            continue;
        }
        row.changed = false;
    }
}

bool NormsWindow::confirmBonuses()
{
    for (int r = 0; r < model->rowCount(); ++r) {
        const NormsModel::Row& row = model->rows()[r];
        if (!row.changed || row.level.prize.isNull() || row.level.prize.toLongLong() <= 100)
            continue;
        const QString question = QStringLiteral("Премия %1 % — больше самой цены (100 %). Записать норматив?")
                                     .arg(row.level.prize.toLongLong());
        // "Нет" keeps the row as typed and unstored; the question comes again when the
        // next cell is left or "Запись" is pressed.
        if (!Messages::question(question, QStringLiteral("Проверка премии")))
            return false;
    }
    return true;
}

void NormsWindow::onCellLeft()
{
    if (model->hasChanges()) {
        if (!confirmBonuses())
            return;
        storeChangedRows();
        reload();
        return;
    }
    // A new row left without anything typed into it is dropped, unless it is all there is.
    const int current = ui->DBGrid1->currentIndex().row();
    for (int r = model->rowCount() - 1; r >= 0; --r) {
        const NormsModel::Row& row = model->rows()[r];
        if (row.isNew && !row.changed && r != current && model->rowCount() > 1)
            model->removeRowAt(r);
    }
}

void NormsWindow::startNewRow()
{
    const QVector<NormsModel::Row>& rows = model->rows();
    if (!rows.isEmpty() && rows.last().isNew && !rows.last().changed)
        return;
    const int column = qMax(0, ui->DBGrid1->currentIndex().column());
    const int r = model->appendNewRow();
    ui->DBGrid1->setCurrentIndex(model->index(r, column));
}

void NormsWindow::commitOpenEditor()
{
    delegate->commitOpenEditor();
}

void NormsWindow::onSave()
{
    commitOpenEditor();
    if (!confirmBonuses())
        return;
    storeChangedRows();
    // The operations list shows the new count and lowest price, at the same row.
    ListWindow::reload(dm->Oper, dm->Oper->recNo());
    accept();
}

void NormsWindow::onDelete()
{
    commitOpenEditor();
    const int r = ui->DBGrid1->currentIndex().row();
    if (r >= 0) {
        const NormsModel::Row row = model->row(r);
        if (row.isNew)
            model->removeRowAt(r);   // never stored: dropping it is all there is to do
        else if (model->storedCount() > 1)
            store.remove(row.level.id);
    }
    // Whatever was typed and not stored is dropped with the re-read.
    for (int i = model->rowCount() - 1; i >= 0; --i) {
        NormsModel::Row& row = model->row(i);
        row.changed = false;
        if (row.isNew)
            model->removeRowAt(i);
    }
    reload();
}

void NormsWindow::keyPressEvent(QKeyEvent* event)
{
    // Esc does what "Сохранить" does.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        guarded([this] { onSave(); });
        return;
    }
    QDialog::keyPressEvent(event);
}

bool NormsWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->DBGrid1 && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const QModelIndex current = ui->DBGrid1->currentIndex();
        if (key->key() == Qt::Key_Down && key->modifiers() == Qt::NoModifier
            && current.row() == model->rowCount() - 1) {
            guarded([this] { startNewRow(); });
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
