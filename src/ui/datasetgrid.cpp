#include "ui/datasetgrid.h"
#include "ui/gridcelldelegate.h"
#include "ui/numbertext.h"

#include <QDate>
#include <QDateTime>
#include <QFont>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLocale>
#include <QTableView>
#include <typeinfo>

DatasetModel::DatasetModel(Dataset* dataset, QVector<GridColumn> columns, QObject* parent)
    : QAbstractTableModel(parent), dataset_(dataset), columns_(std::move(columns))
{
    connect(dataset_, &Dataset::rowsReset, this, [this] { beginResetModel(); endResetModel(); });
}

int DatasetModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : dataset_->recordCount();
}

int DatasetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(columns_.size());
}

int DatasetModel::columnOf(const QString& field) const
{
    for (int i = 0; i < columns_.size(); ++i)
        if (columns_[i].field.compare(field, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QString DatasetModel::displayText(const QVariant& value)
{
    if (value.isNull())
        return {};
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return NumberText::plain(value.toDouble());
    case QMetaType::QDate:
        return value.toDate().toString(QStringLiteral("dd.MM.yyyy"));
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        return dt.time() == QTime(0, 0) ? dt.date().toString(QStringLiteral("dd.MM.yyyy"))
                                        : dt.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
    }
    default: {
        QString text = value.toString();
        while (text.endsWith(u' ') || text.endsWith(u'\r') || text.endsWith(u'\n'))
            text.chop(1);
        return text;
    }
    }
}

QVariant DatasetModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.column() >= columns_.size())
        return {};
    const GridColumn& column = columns_[index.column()];
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        const QVariant value = dataset_->valueAt(index.row(), column.field);
        return column.format ? column.format(value) : displayText(value);
    }
    if (role == Qt::TextAlignmentRole)
        return int(column.alignment);
    return {};
}

QVariant DatasetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columns_.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return columns_[section].title;
    return gridTitleLook(role);
}

QVariant gridTitleLook(int role)
{
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    if (role == Qt::FontRole) {
        QFont font;
        font.setBold(true);
        return font;
    }
    return {};
}

DatasetModel* bindGrid(QTableView* view, Dataset* dataset, const QVector<GridColumn>& columns)
{
    auto* model = new DatasetModel(dataset, columns, view);
    view->setModel(model);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    view->verticalHeader()->setVisible(false);
    view->horizontalHeader()->setHighlightSections(false);
    view->setAlternatingRowColors(true);
    // A view still on the delegate it was born with gets the one that shapes each text
    // once; a view with a delegate of its own keeps it.
    if (QAbstractItemDelegate* current = view->itemDelegate(); !current || typeid(*current) == typeid(QStyledItemDelegate))
        view->setItemDelegate(new GridCellDelegate(view));
    for (int i = 0; i < columns.size(); ++i) {
        if (columns[i].width > 0)
            view->setColumnWidth(i, columns[i].width);
        view->setColumnHidden(i, !columns[i].visible);
    }

    auto selectCurrent = [view, dataset] {
        const int row = dataset->recNo() - 1;
        QItemSelectionModel* selection = view->selectionModel();
        if (row < 0) {
            selection->clearSelection();
            return;
        }
        const QModelIndex index = view->model()->index(row, 0);
        if (selection->currentIndex().row() != row) {
            selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            view->scrollTo(index);
        }
    };
    // Tied to the model, so a view that later shows another dataset drops these links.
    QObject::connect(dataset, &Dataset::currentChanged, model, selectCurrent);
    QObject::connect(model, &QAbstractItemModel::modelReset, model, selectCurrent);
    QObject::connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, model,
                     [dataset](const QModelIndex& current) {
                         if (current.isValid())
                             dataset->setRecNo(current.row() + 1);
                     });
    selectCurrent();
    return model;
}
