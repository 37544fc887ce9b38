#include "db/dataset.h"

#include "db/dberror.h"
#include "db/sqlrun.h"

Dataset::Dataset(const QString& name, const QString& connectionName, QObject* parent)
    : QObject(parent), connectionName_(connectionName)
{
    setObjectName(name);
}

void Dataset::setSql(const QString& sql)
{
    close();
    sql_ = sql;
}

void Dataset::setParam(const QString& name, const QVariant& value)
{
    params_.insert(name, value);
}

void Dataset::open()
{
    if (open_)
        return;
    wanted_ = true;
    SqlRun::Result result = SqlRun::select(connectionName_, sql_, params_);
    fields_ = result.fields;
    rows_ = std::move(result.rows);
    open_ = true;
    applyFilter();
}

void Dataset::close()
{
    wanted_ = false;
    if (!open_ && rows_.isEmpty())
        return;
    open_ = false;
    rows_.clear();
    visible_.clear();
    current_ = -1;
    emit rowsReset();
    emit currentChanged(0);
}

void Dataset::setRecNo(int n)
{
    const int count = recordCount();
    const int target = count == 0 ? -1 : qBound(0, n - 1, count - 1);
    if (target == current_)
        return;
    current_ = target;
    emit currentChanged(recNo());
}

QVariant Dataset::value(const QString& field) const
{
    return current_ < 0 ? QVariant() : valueAt(current_, field);
}

QVariant Dataset::valueAt(int row, const QString& field) const
{
    if (row < 0 || row >= visible_.size())
        return {};
    return rows_[visible_[row]].value(field);
}

QSqlRecord Dataset::record(int row) const
{
    if (row < 0 || row >= visible_.size())
        return fields_;
    return rows_[visible_[row]];
}

QSqlRecord Dataset::currentRecord() const
{
    return record(current_);
}

QStringList Dataset::fieldNames() const
{
    QStringList names;
    for (int i = 0; i < fields_.count(); ++i)
        names << fields_.fieldName(i);
    return names;
}

void Dataset::setFilter(const RowFilter& filter)
{
    filter_ = filter;
    applyFilter();
}

void Dataset::clearFilter()
{
    if (!filter_)
        return;
    filter_ = nullptr;
    applyFilter();
}

void Dataset::applyFilter()
{
    visible_.clear();
    for (int i = 0; i < rows_.size(); ++i)
        if (!filter_ || filter_(rows_[i]))
            visible_.push_back(i);
    current_ = visible_.isEmpty() ? -1 : 0;
    emit rowsReset();
    emit currentChanged(recNo());
}

bool Dataset::locate(const QString& field, const QVariant& value, Qt::CaseSensitivity cs)
{
    const QString wanted = value.toString().trimmed();
    for (int row = 0; row < visible_.size(); ++row) {
        if (rows_[visible_[row]].value(field).toString().trimmed().compare(wanted, cs) == 0) {
            setRecNo(row + 1);
            return true;
        }
    }
    return false;
}
