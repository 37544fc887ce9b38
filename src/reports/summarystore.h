#pragma once
#include <QDate>
#include <QString>

class Dataset;
class DataModule;
class QObject;

// The statements of the summary reports: the queries of the four summary layouts and the
// per-product export, and how the reports window sets their period and product kind.
// Every value that reaches them is a bound date; nothing a user typed does.
namespace SummaryStore {

// The product kinds of the window's choice: 0 every kind, 1 finished products
// ("naimen=0"), 2 blanks ("naimen=1").
enum ProductKind { AllKinds = 0, Finished = 1, Blanks = 2 };

// Query texts, each the lines of the statement joined by line breaks.
QString workerSummarySql();    // t_Report of the worker summary
QString productSummarySql();   // t_Report of the product summary
QString workerDetailSql();     // w_Report of the detailed worker report
QString productDetailSql();    // i_Report of the detailed product report
QString productExportSql();    // XLS_Rep of the per-product export

// A query on the data module's connection, owned by parent; its select runs with the
// server's sort memory (work_mem) set to reportWorkMem() and without expression
// compiling (jit), for that statement alone.
Dataset* makeQuery(const QString& name, const QString& sql, DataModule* dm, QObject* parent);

QString reportWorkMem();

// data1 := from, data2 := to: entries with from <= data < to.
void setPeriod(Dataset& query, const QDate& from, const QDate& to);
// The row filter on the column naimen; AllKinds switches filtering off.
void setProductKind(Dataset& query, int kind);
// The filter's text as the window states it: "" for every kind, "naimen=0", "naimen=1".
QString productKindFilterText(int kind);

}
