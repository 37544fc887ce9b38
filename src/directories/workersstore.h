#pragma once
#include <QString>
#include <QVariant>
#include <QVector>
#include <optional>

class Command;
class DataModule;

// The statements of the workers directory: the client's own worker list
// accounts_dep.person and the three lookup tables the worker editor offers.
class WorkersStore {
public:
    explicit WorkersStore(DataModule* dm);
    ~WorkersStore();
    WorkersStore(const WorkersStore&) = delete;
    WorkersStore& operator=(const WorkersStore&) = delete;

    // The longest name and position text the table keeps.
    static constexpr int kMaxText = 254;

    // What is wrong with a name before it may be written (already trimmed), or nothing.
    static std::optional<QString> nameProblem(const QString& fio);

    void addWorker(const QString& fio, const QString& position);
    // Answers false when the worker is no longer there.
    bool changeWorker(int id, const QString& fio, const QString& position);
    void deleteWorker(int id);

    struct LookupRow {
        QVariant id;
        QString caption;
    };
    // Whole lookup tables, in the order the server returns them.
    QVector<LookupRow> departments() const;
    QVector<LookupRow> positions() const;
    QVector<LookupRow> roles() const;

private:
    QVector<LookupRow> lookup(const QString& table) const;

    DataModule* dm_;
    Command* cmd_person;
};
