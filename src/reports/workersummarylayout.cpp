#include "reports/workersummarylayout.h"

#include "db/datamodule.h"
#include "reports/summarystore.h"

using namespace ReportEngine;
using namespace SummaryBands;

WorkerSummaryLayout::WorkerSummaryLayout(QWidget* parent)
    : SummaryLayout(QStringLiteral("TForm16"),
                    SummaryStore::makeQuery(QStringLiteral("t_Report"), SummaryStore::workerSummarySql(),
                                            DataModule::instance(), nullptr),
                    layout(), parent)
{
}

Layout WorkerSummaryLayout::layout()
{
    Layout l;
    l.bands << titleBands(0.3, {});
    l.bands << groupHeader(QStringLiteral("GroupFio"), QStringLiteral("t_Report.fio"), QStringLiteral("fio"), true, false);
    l.bands << groupHeader(QStringLiteral("GroupNom"), QStringLiteral("t_Report.nom"), QStringLiteral("nom"), false, true);
    l.bands << detailBand({
        detail(Field::Expression, productKindExpression(), 13.2, 55.3, Qt::AlignLeft),
        detail(Field::Data, QStringLiteral("vid"), 56.9, 100.0, Qt::AlignHCenter),
        detail(Field::Expression, colourExpression(), 101.6, 136.3, Qt::AlignLeft),
        detail(Field::Data, QStringLiteral("kolvo"), 137.8, 157.1, Qt::AlignHCenter),
        detail(Field::Data, QStringLiteral("summa"), 163.0, 186.5, Qt::AlignHCenter, QStringLiteral("#0.000")),
    });
    l.bands << groupFooter(QStringLiteral("GroupNom"), {
        total(QStringLiteral("sum(kolvo)"), 137.8, 157.1),
        total(QStringLiteral("sum(summa)"), 163.0, 186.8, QStringLiteral("#0.000")),
    });
    Band fioFooter = groupFooter(QStringLiteral("GroupFio"), {
        total(QStringLiteral("sum(summa)"), 163.0, 186.8, QStringLiteral("#0.00")),
    });
    fioFooter.frame.bottom = Rule::solid();
    l.bands << fioFooter;
    l.bands << grandTotal(137.8, {total(QStringLiteral("sum(summa)"), 160.9, 188.9, QStringLiteral("#0.00"))});
    l.bands << pageFooter();
    return l;
}
