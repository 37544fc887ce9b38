#include "reports/workerdetaillayout.h"

#include "db/datamodule.h"
#include "reports/summarystore.h"

using namespace ReportEngine;
using namespace SummaryBands;

WorkerDetailLayout::WorkerDetailLayout(QWidget* parent)
    : SummaryLayout(QStringLiteral("TForm20"),
                    SummaryStore::makeQuery(QStringLiteral("w_Report"), SummaryStore::workerDetailSql(),
                                            DataModule::instance(), nullptr),
                    layout(), parent)
{
}

Layout WorkerDetailLayout::layout()
{
    Layout l;
    l.bands << titleBands(0, {label(QStringLiteral("Брак"), 124.1), label(QStringLiteral("Количество"), 133.3),
                         label(QStringLiteral("Сумма"), 157.4)});
    l.bands << groupHeader(QStringLiteral("GroupFio"), QStringLiteral("fio"), QStringLiteral("fio"), true, true);
    l.bands << detailBand({
        detail(Field::Data, QStringLiteral("marka"), 0.3, 41.3, Qt::AlignLeft),
        detail(Field::Data, QStringLiteral("vid"), 42.9, 72.0, Qt::AlignHCenter),
        detail(Field::Data, QStringLiteral("color"), 73.6, 89.7, Qt::AlignHCenter),
        detail(Field::Expression, productKindExpression(), 91.3, 121.2, Qt::AlignLeft),
        detail(Field::Data, QStringLiteral("brk"), 128.1, 137.1, Qt::AlignHCenter),
        detail(Field::Data, QStringLiteral("kolvo"), 146.3, 163.8, Qt::AlignHCenter),
        detail(Field::Data, QStringLiteral("summa"), 169.9, 189.5, Qt::AlignHCenter, QStringLiteral("#0.00")),
    });
    l.bands << groupFooter(QStringLiteral("GroupFio"), {
        total(QStringLiteral("sum(brk)"), 128.3, 137.3),
        total(QStringLiteral("sum(kolvo)"), 145.5, 164.8),
        total(QStringLiteral("sum(summa)"), 169.9, 189.5, QStringLiteral("#0.00")),
    });
    l.bands << grandTotal(106.1, {
        total(QStringLiteral("sum(brk)"), 132.0, 143.4),
        total(QStringLiteral("sum(kolvo)"), 145.0, 164.3),
        total(QStringLiteral("sum(summa)"), 165.9, 189.4, QStringLiteral("#0.00")),
    });
    l.bands << pageFooter();
    return l;
}
