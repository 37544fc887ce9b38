#pragma once
#include <QHash>
#include <QSqlRecord>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <memory>

#include "db/sqlrun.h"

class Dataset;

namespace ReportEngine {

// The rows a report is laid out from.
class RowSource {
public:
    virtual ~RowSource() = default;
    virtual int rowCount() const = 0;
    // The index of a field by name, case-insensitively; -1 when there is none.
    virtual int fieldIndex(const QString& name) const = 0;
    virtual QVariant value(int row, int field) const = 0;
};

// Rows held in memory: tests, benchmarks, and reports made from computed rows.
class RowTable : public RowSource {
public:
    explicit RowTable(const QStringList& fields);
    void append(const QVector<QVariant>& row);
    void reserve(int rows) { rows_.reserve(rows); }

    int rowCount() const override { return int(rows_.size()); }
    int fieldIndex(const QString& name) const override;
    QVariant value(int row, int field) const override { return rows_[row][field]; }

private:
    QStringList fields_;
    QHash<QString, int> index_;
    QVector<QVector<QVariant>> rows_;
};

// A snapshot of a dataset's visible rows (after its filter), taken when constructed:
// the dataset may be closed or re-opened afterwards without touching the report.
class DatasetRows : public RowSource {
public:
    explicit DatasetRows(const Dataset& dataset);

    int rowCount() const override { return int(rows_.size()); }
    int fieldIndex(const QString& name) const override;
    QVariant value(int row, int field) const override
    {
        return table_ && field >= 0 ? table_->value(rows_[row], field) : QVariant();
    }

private:
    std::shared_ptr<const SqlRun::Table> table_;
    QStringList names_;   // of a dataset that was never opened
    QVector<int> rows_;
};

}
