#include "reports/productsummarylayout.h"

#include "db/datamodule.h"
#include "reports/summarystore.h"

using namespace ReportEngine;
using namespace SummaryBands;

ProductSummaryLayout::ProductSummaryLayout(QWidget* parent)
    : SummaryLayout(QStringLiteral("TForm17"),
                    SummaryStore::makeQuery(QStringLiteral("t_Report"), SummaryStore::productSummarySql(),
                                            DataModule::instance(), nullptr),
                    layout(), parent)
{
}

Layout ProductSummaryLayout::layout()
{
    Layout l;
    l.bands << titleBands(0, {label(QStringLiteral("Коробки"), 136.3), label(QStringLiteral("Количество"), 165.1)});
    l.bands << groupHeader(QStringLiteral("GroupNom"), QStringLiteral("nom"), QStringLiteral("nom"), true, true);
    l.bands << detailBand({
        detail(Field::Expression, productKindExpression(), 13.2, 53.2, Qt::AlignLeft),
        detail(Field::Data, QStringLiteral("vid"), 54.8, 91.0, Qt::AlignHCenter),
        detail(Field::Expression, colourExpression(), 92.6, 132.0, Qt::AlignLeft),
        detail(Field::Data, QStringLiteral("mass"), 133.6, 152.9, Qt::AlignHCenter),
        detail(Field::Data, QStringLiteral("kolvo"), 163.0, 186.5, Qt::AlignHCenter),
    });
    l.bands << groupFooter(QStringLiteral("GroupNom"), {
        total(QStringLiteral("sum(mass)"), 133.6, 152.9),
        total(QStringLiteral("sum(kolvo)"), 163.0, 186.8),
    });
    l.bands << grandTotal(106.4, {
        total(QStringLiteral("sum(mass)"), 131.2, 154.7, QStringLiteral("#0")),
        total(QStringLiteral("sum(kolvo)"), 160.9, 188.9),
    });
    l.bands << pageFooter();
    return l;
}
