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
{
    const int count = dataset.recordCount();
    rows_.reserve(count);
    for (int row = 0; row < count; ++row)
        rows_.push_back(dataset.record(row));
    if (!rows_.isEmpty())
        fields_ = rows_.first();
    else
        for (const QString& name : dataset.fieldNames())
            fields_.append(QSqlField(name));
}

int DatasetRows::fieldIndex(const QString& name) const
{
    return fields_.indexOf(name);
}

}
