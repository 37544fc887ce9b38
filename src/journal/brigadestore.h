#pragma once
#include <QDate>
#include <QString>
#include <QVector>

class DataModule;

// The brigade window's reads: the workers to find by name and the rows of another
// shift's journal that make a draft.
class BrigadeStore {
public:
    struct Worker {
        int id = 0;
        QString fio;   // trimmed
    };
    struct DraftRow {
        int w_id = 0;
        QString fio;   // trimmed
        int colour = 0;
        int hours = 0;
    };

    explicit BrigadeStore(DataModule& dm);

    // Every worker of the directory, by name.
    QVector<Worker> workers() const;
    // The workers, colours and hours of one operation's entries in the journal of a date
    // and shift, by name.
    QVector<DraftRow> draft(const QDate& date, int shift, int o_id) const;

private:
    DataModule& dm_;
};
