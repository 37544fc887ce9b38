#pragma once
#include "db/dataset.h"

#include <QAbstractTableModel>
#include <QVector>
#include <functional>

class QTableView;

// A column of a grid over a dataset.
struct GridColumn {
    QString field;
    QString title;
    int width = -1;                                   // pixels; -1 keeps the default
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
    bool visible = true;
    std::function<QString(const QVariant&)> format;   // empty: the standard display
};

// How every grid shows its column titles: centred and bold. An invalid QVariant for
// the roles it does not decide.
QVariant gridTitleLook(int role);

// Read-only table model over a dataset's visible rows.
class DatasetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    DatasetModel(Dataset* dataset, QVector<GridColumn> columns, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    Dataset* dataset() const { return dataset_; }
    const QVector<GridColumn>& columns() const { return columns_; }
    int columnOf(const QString& field) const;

    // How a value shows in a grid when the column has no format of its own.
    static QString displayText(const QVariant& value);

private:
    Dataset* dataset_;
    QVector<GridColumn> columns_;
};

// Shows the dataset in the view: bold centred titles, whole-row selection that always
// shows, the selection following the dataset's current row and the other way round.
// A view without a delegate of its own draws its cells with GridCellDelegate.
DatasetModel* bindGrid(QTableView* view, Dataset* dataset, const QVector<GridColumn>& columns);
