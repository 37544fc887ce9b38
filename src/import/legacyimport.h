#pragma once
#include "import/importsteps.h"
#include "import/legacyimportstore.h"

#include <QObject>
#include <QString>

class DataModule;

// The legacy import: the seven tables of the old timesheet database copied into the
// current schema, one transaction per table. A table is replaced whole or left as it
// was; the first table that fails stops the import, tables done before stay done.
class LegacyImport : public QObject {
    Q_OBJECT
public:
    // Rows per statement on the target.
    static constexpr int kRowsPerBatch = 5000;

    explicit LegacyImport(DataModule* main, QObject* parent = nullptr);

    // Runs every step; throws DbError naming the table and the row that stopped it.
    void run();
    // One step (tests and the benchmark run single steps).
    void runStep(const ImportSteps::Step& step);

    LegacyImportStore& store() { return store_; }

signals:
    // "OPER: 12 из 340 записей", after each batch of a table that has rows.
    void progress(const QString& text);

private:
    void copyRows(const ImportSteps::Step& step, const LegacyImportStore::Source& source, int total);

    LegacyImportStore store_;
};
