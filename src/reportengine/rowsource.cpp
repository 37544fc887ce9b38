#include "reportengine/rowsource.h"

#include "db/dataset.h"

#include <QSqlField>

namespace ReportEngine {

RowTable::RowTable(const QStringList& fields) : fields_(fields)
{
    for (int i = 0; i < fields.size(); ++i)
        index_.insert(fields[i].toLower(), i);
}

void RowTable::append(const QVector<QVariant>& row)
{
    QVector<QVariant> r = row;
    r.resize(fields_.size());
    rows_.push_back(std::move(r));
}

int RowTable::fieldIndex(const QString& name) const
{
    return index_.value(name.toLower(), -1);
}

DatasetRows::DatasetRows(const Dataset& dataset)
    : table_(dataset.table()), rows_(dataset.visibleRows())
{
    if (!table_)
        names_ = dataset.fieldNames();
}

int DatasetRows::fieldIndex(const QString& name) const
{
    if (table_)
        return table_->indexOf(name);
    for (int i = 0; i < names_.size(); ++i)
        if (names_[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

}
