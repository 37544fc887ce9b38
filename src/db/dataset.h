#pragma once
#include <QMap>
#include <QObject>
#include <QPair>
#include <QSqlRecord>
#include <QString>
#include <QVariant>
#include <QVector>
#include <functional>
#include <memory>

#include "db/sqlrun.h"

// A named query whose result is a static snapshot: rows are read when it is opened and
// nothing refreshes by itself; close and open it again for fresh rows. Parameters are
// bound by name (":data") and keep their values across close and open. A filter hides
// rows already read without running a new query. One row is current (recNo counts
// from 1; 0 means no row).
class Dataset : public QObject {
    Q_OBJECT
public:
    using RowFilter = std::function<bool(const QSqlRecord&)>;

    Dataset(const QString& name, const QString& connectionName, QObject* parent = nullptr);

    QString name() const { return objectName(); }
    // The connection the next open() reads on (the reports read on a standby's when one
    // serves them); the rows already read stay.
    void setConnectionName(const QString& connectionName) { connectionName_ = connectionName; }
    QString connectionName() const { return connectionName_; }

    // Replacing the text closes the dataset.
    void setSql(const QString& sql);
    QString sql() const { return sql_; }
    void setParam(const QString& name, const QVariant& value);
    QVariant param(const QString& name) const { return params_.value(name); }
    // Replaces every parameter value.
    void setParams(const QMap<QString, QVariant>& params) { params_ = params; }
    // Server settings (name, value) in force for the select alone: with any, open() runs
    // it in a transaction of its own that sets them locally, so the session keeps its own.
    void setLocalSettings(const QVector<QPair<QString, QString>>& settings) { localSettings_ = settings; }

    // Throws DbError with the driver's message when the server refuses the query.
    void open();
    void close();
    void reopen() { close(); open(); }
    bool isOpen() const { return open_; }
    // Opened and not closed since, whether or not the reading succeeded: a list that
    // could not be read while the server was away is read again after a reconnect.
    bool isWanted() const { return wanted_; }

    // Rows passing the filter.
    int recordCount() const { return int(visible_.size()); }
    bool isEmpty() const { return visible_.isEmpty(); }
    int recNo() const { return current_ + 1; }
    // Moves to row n (1-based), kept within the rows there are.
    void setRecNo(int n);
    void first() { setRecNo(1); }
    void next() { setRecNo(recNo() + 1); }
    void prior() { setRecNo(recNo() - 1); }

    // A field of the current row; an invalid QVariant when there is no current row.
    QVariant value(const QString& field) const;
    QVariant valueAt(int row, const QString& field) const;   // row counts from 0
    // By the field's index (fieldIndex()), for callers that read many rows.
    QVariant valueAt(int row, int column) const;
    int fieldIndex(const QString& field) const;                // -1 when there is none
    QSqlRecord record(int row) const;                          // row counts from 0
    QSqlRecord currentRecord() const;
    QStringList fieldNames() const;

    // The rows read and the visible ones among them (indexes into the table), for a
    // snapshot that outlives a re-opening: the table itself is never changed.
    std::shared_ptr<const SqlRun::Table> table() const { return table_; }
    QVector<int> visibleRows() const { return visible_; }

    void setFilter(const RowFilter& filter);
    void clearFilter();
    bool isFiltered() const { return bool(filter_); }

    // Makes current the first row whose field equals value (texts compared as text,
    // optionally ignoring case). Returns false and keeps the current row when none does.
    bool locate(const QString& field, const QVariant& value,
                Qt::CaseSensitivity cs = Qt::CaseSensitive);

signals:
    // The set of rows changed: opened, closed or filtered.
    void rowsReset();
    void currentChanged(int recNo);

private:
    void applyFilter();

    QString connectionName_;
    QString sql_;
    QMap<QString, QVariant> params_;
    QVector<QPair<QString, QString>> localSettings_;
    bool open_ = false;
    bool wanted_ = false;
    std::shared_ptr<const SqlRun::Table> table_;
    QVector<int> visible_;
    int current_ = -1;
    RowFilter filter_;
};
