#include "import/legacyimport.h"

#include "db/dberror.h"

#include <QCoreApplication>

namespace {

// Names a source row for the administrator: its place and, where it has one, its id.
QString rowName(const LegacyImportStore::Source& source, const BlockReader::Row& row, int number, int total)
{
    QString name = QStringLiteral("запись %1 из %2").arg(number).arg(total);
    if (source.idColumn >= 0)
        name += QStringLiteral(", ID = %1").arg(row.at(source.idColumn).null ? QStringLiteral("пусто") : row.at(source.idColumn).text);
    return name;
}

}

LegacyImport::LegacyImport(DataModule* main, QObject* parent) : QObject(parent), store_(main)
{
}

void LegacyImport::run()
{
    try {
        store_.open();
    } catch (const DbError& e) {
        throw DbError(QStringLiteral("Перенос данных не начат. ") + e.message());
    }
    for (const ImportSteps::Step& step : ImportSteps::all())
        runStep(step);
}

void LegacyImport::runStep(const ImportSteps::Step& step)
{
    try {
        store_.open();
        const LegacyImportStore::Source source = store_.findSource(step);
        const int total = store_.countRows(source);
        store_.beginStep(step);
        copyRows(step, source, total);
        store_.dropNormsOfGoneOperations(step);
        store_.moveGenerator(step);
        store_.commitStep();
    } catch (const DbError& e) {
        store_.rollbackStep();
        throw DbError(QStringLiteral("Перенос данных остановлен на таблице %1: %2\n"
                                     "Таблица %3 оставлена как была, следующие таблицы не переносились.")
                          .arg(step.sourceTable, e.message(), step.target));
    }
}

void LegacyImport::copyRows(const ImportSteps::Step& step, const LegacyImportStore::Source& source, int total)
{
    std::unique_ptr<BlockReader> reader = store_.read(source, step.sortedById);
    int copied = 0;
    for (;;) {
        const QVector<BlockReader::Row> rows = reader->next(kRowsPerBatch);
        if (rows.isEmpty())
            break;
        QVector<LegacyImportStore::Row> values;
        values.reserve(rows.size());
        for (int r = 0; r < rows.size(); ++r) {
            LegacyImportStore::Row row(step.columns.size());
            for (int c = 0; c < step.columns.size(); ++c) {
                const BlockReader::Cell& cell = rows.at(r).at(c);
                row[c] = ValueForms::convert(step.columns.at(c).form, cell.text, cell.null);
                if (!row[c].problem.isEmpty())
                    throw DbError(QStringLiteral("%1: поле %2: %3.")
                                      .arg(rowName(source, rows.at(r), copied + r + 1, total),
                                           step.columns.at(c).sourceName().toUpper(), row[c].problem));
            }
            values.push_back(std::move(row));
        }
        try {
            store_.insert(step, values);
        } catch (const LegacyImportStore::RowRefused& refused) {
            const QString where = refused.index >= 0
                ? rowName(source, rows.at(refused.index), copied + refused.index + 1, total)
                : QStringLiteral("записи %1–%2 из %3").arg(copied + 1).arg(copied + rows.size()).arg(total);
            throw DbError(QStringLiteral("%1: база данных не приняла запись.\n%2").arg(where, refused.message));
        }
        copied += rows.size();
        emit progress(QStringLiteral("%1: %2 из %3 записей").arg(step.sourceTable).arg(copied).arg(total));
        // The window repaints and its timers run; clicks wait until the import is over.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}
