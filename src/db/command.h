#pragma once
#include <QMap>
#include <QObject>
#include <QString>
#include <QVariant>

// A named data-changing statement on the shared connection. Callers set its text (or
// keep the fixed one), bind named parameters and execute it; a refusal throws DbError.
class Command : public QObject {
    Q_OBJECT
public:
    Command(const QString& name, const QString& connectionName, QObject* parent = nullptr);

    void setText(const QString& text) { text_ = text; }
    QString text() const { return text_; }
    void setParam(const QString& name, const QVariant& value) { params_.insert(name, value); }
    void clearParams() { params_.clear(); }

    // Returns the number of rows changed.
    int execute();

private:
    QString connectionName_;
    QString text_;
    QMap<QString, QVariant> params_;
};
