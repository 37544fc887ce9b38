#pragma once
#include "import/blockreader.h"
#include "import/importsteps.h"
#include "import/valueforms.h"
#include "db/sqlrun.h"

#include <QString>
#include <QStringList>
#include <QVector>
#include <memory>

class DataModule;

// Every statement of the legacy import: the two ODBC data sources it opens by name, the
// source tables it reads, and the step transactions on the target.
class LegacyImportStore {
public:
    // The data sources, as declared in odbc.ini: the old database (the driver is given the
    // password) and the new one (its user; a password, if the server wants one, lives in
    // the declaration or in ~/.pgpass).
    struct DataSource {
        QString name;
        QString user;
        QString password;
    };
    static DataSource legacySource() { return {QStringLiteral("Tabel"), {}, QStringLiteral("tawkidose")}; }
    static DataSource targetSource() { return {QStringLiteral("Tabel_PgSQL"), QStringLiteral("sys"), {}}; }

    explicit LegacyImportStore(DataModule* main);
    ~LegacyImportStore();
    LegacyImportStore(const LegacyImportStore&) = delete;
    LegacyImportStore& operator=(const LegacyImportStore&) = delete;

    // Opens the old database (MSA), then the new one (PGSQL); open ones stay as they are.
    void open();
    QString legacyConnection() const { return legacy_; }
    QString targetConnection() const { return target_; }

    // A step's source as found: the table and the select list in the step's column order.
    struct Source {
        QString connection;
        QString table;            // as written into the select
        QStringList columns;      // the source's own spelling, quoted for the select
        int idColumn = -1;        // index of the source's id among the columns, -1 without one
    };
    // Finds the step's source table and its columns. The journal's table is looked up on
    // the main connection and refused when it is the very table the step replaces.
    Source findSource(const ImportSteps::Step& step) const;
    int countRows(const Source& source) const;
    std::unique_ptr<BlockReader> read(const Source& source, bool sortedById) const;

    // One step is one transaction on the target: begun by emptying the target, ended by
    // committing or rolling back.
    void beginStep(const ImportSteps::Step& step);
    using Row = QVector<ValueForms::Converted>;
    // The bound values that carry rows to the target: one array text per column. Touches
    // no connection, so it may be made on any thread.
    static SqlRun::Params arrays(const ImportSteps::Step& step, const QVector<Row>& rows);
    // Writes rows (their arrays made by arrays()) in one statement. When the target
    // refuses the batch, finds the first refused row and throws RowRefused for it.
    void insert(const ImportSteps::Step& step, const QVector<Row>& rows, const SqlRun::Params& arrays);
    void insert(const ImportSteps::Step& step, const QVector<Row>& rows) { insert(step, rows, arrays(step, rows)); }
    // Moves the id generator of the target past the largest id it holds.
    void moveGenerator(const ImportSteps::Step& step);
    // After the operations are copied: the norm levels of an operation that came back
    // with its id stay with it; those of an operation that did not come back go.
    void dropNormsOfGoneOperations(const ImportSteps::Step& step);
    void commitStep();
    void rollbackStep();

    struct RowRefused {
        int index;          // within the rows given to insert()
        QString message;    // the server's words
    };

private:
    QString insertStatement(const ImportSteps::Step& step) const;
    void insertRows(const ImportSteps::Step& step, const SqlRun::Params& arrays);
    QString mainConnection() const;
    bool targetIsMainDatabase() const;

    DataModule* main_;
    QString legacy_;
    QString target_;
    bool inStep_ = false;
};
