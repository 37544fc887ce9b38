#include "import/legacyimport.h"

#include "db/dberror.h"

#include <QCoreApplication>
#include <QStringList>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

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
                                         "на который указывает ODBCINI), как описано в руководстве администратора "
                                         "(/usr/share/doc/tabel/admin/import.html), в разделе "
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

namespace {

// One batch of source rows as the target receives them.
struct Batch {
    QVector<BlockReader::Row> rows;
    QVector<LegacyImportStore::Row> values;
    SqlRun::Params arrays;
    std::exception_ptr error;   // reading or converting stopped here
};

// Reads and converts the source on a thread of its own, a batch or two ahead of the
// target: the server writes one batch while the next is read. Only the source's
// statement is used there, never a connection's Qt object. Stops, and waits for that
// thread, when it goes away.
class BatchReader {
public:
    BatchReader(const ImportSteps::Step& step, const LegacyImportStore::Source& source, BlockReader& reader, int total)
        : thread_([this, &step, &source, &reader, total] { produce(step, source, reader, total); })
    {
    }
    ~BatchReader()
    {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }

    // The next batch; empty rows at the end. Rethrows what stopped the reading.
    Batch next()
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !ready_.empty(); });
        Batch batch = std::move(ready_.front());
        ready_.pop_front();
        changed_.notify_all();
        if (batch.error)
            std::rethrow_exception(batch.error);
        return batch;
    }

private:
    static constexpr size_t kAhead = 2;

    void produce(const ImportSteps::Step& step, const LegacyImportStore::Source& source, BlockReader& reader, int total)
    {
        int read = 0;
        for (;;) {
            Batch batch;
            try {
                batch.rows = reader.next(LegacyImport::kRowsPerBatch);
                batch.values.reserve(batch.rows.size());
                for (int r = 0; r < batch.rows.size(); ++r) {
                    LegacyImportStore::Row row(step.columns.size());
                    for (int c = 0; c < step.columns.size(); ++c) {
                        const BlockReader::Cell& cell = batch.rows.at(r).at(c);
                        row[c] = ValueForms::convert(step.columns.at(c).form, cell.text, cell.null);
                        if (!row[c].problem.isEmpty())
                            throw DbError(QStringLiteral("%1: поле %2: %3.")
                                              .arg(rowName(source, batch.rows.at(r), read + r + 1, total),
                                                   step.columns.at(c).sourceName().toUpper(), row[c].problem));
                    }
                    batch.values.push_back(std::move(row));
                }
                if (!batch.rows.isEmpty())
                    batch.arrays = LegacyImportStore::arrays(step, batch.values);
            } catch (...) {
                batch.error = std::current_exception();
            }
            const bool last = batch.rows.isEmpty() || batch.error;
            read += int(batch.rows.size());
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return stop_ || ready_.size() < kAhead; });
            if (stop_)
                return;
            ready_.push_back(std::move(batch));
            changed_.notify_all();
            if (last)
                return;
        }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Batch> ready_;
    bool stop_ = false;
    std::thread thread_;   // last: started when everything it uses is in place
};

}

void LegacyImport::copyRows(const ImportSteps::Step& step, const LegacyImportStore::Source& source, int total)
{
    std::unique_ptr<BlockReader> reader = store_.read(source, step.sortedById);
    BatchReader batches(step, source, *reader, total);
    int copied = 0;
    for (;;) {
        const Batch batch = batches.next();
        if (batch.rows.isEmpty())
            break;
        try {
            store_.insert(step, batch.values, batch.arrays);
        } catch (const LegacyImportStore::RowRefused& refused) {
            const QString where = refused.index >= 0
                ? rowName(source, batch.rows.at(refused.index), copied + refused.index + 1, total)
                : QStringLiteral("записи %1–%2 из %3").arg(copied + 1).arg(copied + batch.rows.size()).arg(total);
            throw DbError(QStringLiteral("%1: база данных не приняла запись.\n%2").arg(where, refused.message));
        }
        copied += batch.rows.size();
        emit progress(QStringLiteral("%1: %2 из %3 записей").arg(step.sourceTable).arg(copied).arg(total));
        // The window repaints and its timers run; clicks wait until the import is over.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}
