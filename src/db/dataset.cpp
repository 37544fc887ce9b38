#include "db/dataset.h"

#include "db/dberror.h"
#include "db/sqlrun.h"
#include "db/transaction.h"

#include <QStringList>

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
    if (localSettings_.isEmpty()) {
        table_ = std::make_shared<const SqlRun::Table>(SqlRun::selectTable(connectionName_, sql_, params_));
    } else {
        // set_config(…, true) lasts to the end of the transaction, a refusal included; all
        // the settings go in one statement.
        QStringList calls;
        SqlRun::Params values;
        for (int i = 0; i < localSettings_.size(); ++i) {
            calls << QStringLiteral("set_config(:name%1, :value%1, true)").arg(i);
            values.insert(QStringLiteral("name%1").arg(i), localSettings_[i].first);
            values.insert(QStringLiteral("value%1").arg(i), localSettings_[i].second);
        }
        Transaction transaction(connectionName_);
        SqlRun::select(connectionName_, QStringLiteral("select %1").arg(calls.join(QStringLiteral(", "))), values);
        table_ = std::make_shared<const SqlRun::Table>(SqlRun::selectTable(connectionName_, sql_, params_));
        transaction.commit();
    }
    open_ = true;
    applyFilter();
}

void Dataset::close()
{
    wanted_ = false;
    if (!open_ && !table_)
        return;
    open_ = false;
    table_.reset();
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
    return valueAt(row, fieldIndex(field));
}

QVariant Dataset::valueAt(int row, int column) const
{
    if (row < 0 || row >= visible_.size() || column < 0 || column >= table_->columnCount())
        return {};
    return table_->value(visible_[row], column);
}

int Dataset::fieldIndex(const QString& field) const
{
    return table_ ? table_->indexOf(field) : -1;
}

QSqlRecord Dataset::record(int row) const
{
    if (!table_)
        return {};
    if (row < 0 || row >= visible_.size())
        return table_->fields;
    return table_->record(visible_[row]);
}

QSqlRecord Dataset::currentRecord() const
{
    return record(current_);
}

QStringList Dataset::fieldNames() const
{
    QStringList names;
    if (table_)
        for (int i = 0; i < table_->columnCount(); ++i)
            names << table_->fields.fieldName(i);
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
    const int count = table_ ? table_->rowCount() : 0;
    visible_.reserve(count);
    for (int i = 0; i < count; ++i)
        if (!filter_ || filter_(table_->record(i)))
            visible_.push_back(i);
    current_ = visible_.isEmpty() ? -1 : 0;
    emit rowsReset();
    emit currentChanged(recNo());
}

bool Dataset::locate(const QString& field, const QVariant& value, Qt::CaseSensitivity cs)
{
    const QString wanted = value.toString().trimmed();
    const int column = fieldIndex(field);
    if (column < 0)
        return false;
    for (int row = 0; row < visible_.size(); ++row) {
        if (table_->value(visible_[row], column).toString().trimmed().compare(wanted, cs) == 0) {
            setRecNo(row + 1);
            return true;
        }
    }
    return false;
}
