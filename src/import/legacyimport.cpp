#include "import/legacyimport.h"

#include "db/dberror.h"

#include <QCoreApplication>
#include <QStringList>

#include <sql.h>
#include <sqlext.h>

namespace {

// The data source names the ODBC driver manager knows, the user's and the system's.
QStringList declaredDataSources()
{
    QStringList names;
    SQLHENV env = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
        return names;
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLCHAR name[256];
    SQLCHAR description[1024];
    SQLSMALLINT nameLength = 0;
    SQLSMALLINT descriptionLength = 0;
    for (SQLUSMALLINT direction = SQL_FETCH_FIRST;
         SQL_SUCCEEDED(SQLDataSources(env, direction, name, sizeof name, &nameLength, description,
                                      sizeof description, &descriptionLength));
         direction = SQL_FETCH_NEXT)
        names << QString::fromLocal8Bit(reinterpret_cast<const char*>(name));
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return names;
}

// The import's data sources that are not declared, as the message names them.
QStringList missingDataSources()
{
    const QStringList declared = declaredDataSources();
    QStringList missing;
    for (const LegacyImportStore::DataSource& source :
         {LegacyImportStore::legacySource(), LegacyImportStore::targetSource()})
        if (!declared.contains(source.name, Qt::CaseInsensitive))
            missing << QStringLiteral("«%1»").arg(source.name);
    return missing;
}

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
        const QStringList missing = missingDataSources();
        if (!missing.isEmpty())
            throw DbError(QStringLiteral("Перенос данных не начат: не объявлен%1 источник%2 данных ODBC %3.\n"
                                         "Администратору: объявите %4 в файле odbc.ini (/etc/odbc.ini или файл, "
                                         "на который указывает ODBCINI), как описано в README, в разделе "
                                         "«Перенос данных из старой базы».\n\n%5")
                              .arg(missing.size() > 1 ? QStringLiteral("ы") : QString(),
                                   missing.size() > 1 ? QStringLiteral("и") : QString(),
                                   missing.join(QStringLiteral(" и ")),
                                   missing.size() > 1 ? QStringLiteral("их") : QStringLiteral("его"), e.message()));
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
