#include "reports/productdetaillayout.h"

#include "db/datamodule.h"
#include "reports/summarystore.h"

using namespace ReportEngine;
using namespace SummaryBands;

ProductDetailLayout::ProductDetailLayout(QWidget* parent)
    : SummaryLayout(QStringLiteral("TForm21"),
                    SummaryStore::makeQuery(QStringLiteral("i_Report"), SummaryStore::productDetailSql(),
                                            DataModule::instance(), nullptr),
                    layout(), parent)
{
}

Layout ProductDetailLayout::layout()
{
    Layout l;
    l.bands << titleBands(0, {label(QStringLiteral("Брак"), 124.4), label(QStringLiteral("Коробки"), 134.9),
                         label(QStringLiteral("Кол-во"), 153.5), label(QStringLiteral("Сумма"), 173.8)});
    l.bands << groupHeader(QStringLiteral("GroupNom"), QStringLiteral("nom"), QStringLiteral("nom"), true, true);
    l.bands << detailBand({
        detail(Field::Data, QStringLiteral("marka"), 1.1, 53.2, Qt::AlignLeft),
        detail(Field::Data, QStringLiteral("vid"), 52.9, 80.7, Qt::AlignLeft),
        detail(Field::Data, QStringLiteral("color"), 81.2, 97.9, Qt::AlignHCenter),
        detail(Field::Expression, productKindExpression(), 99.5, 126.5, Qt::AlignLeft),
        detail(Field::Data, QStringLiteral("brk"), 125.4, 132.0, Qt::AlignHCenter),
        detail(Field::Data, QStringLiteral("mass"), 133.6, 152.4, Qt::AlignHCenter),
        detail(Field::Data, QStringLiteral("kolvo"), 152.1, 168.8, Qt::AlignHCenter),
        detail(Field::Data, QStringLiteral("summa"), 169.9, 189.0, Qt::AlignHCenter, QStringLiteral("#0.000")),
    });
    l.bands << groupFooter(QStringLiteral("GroupNom"), {
        total(QStringLiteral("sum(brk)"), 124.4, 133.1),
        total(QStringLiteral("sum(mass)"), 132.8, 151.6, QStringLiteral("#0.00")),
        total(QStringLiteral("sum(kolvo)"), 152.1, 168.8),
        total(QStringLiteral("sum(summa)"), 169.9, 190.0, QStringLiteral("#0.00")),
    });
    l.bands << grandTotal(99.7, {
        total(QStringLiteral("sum(brk)"), 124.4, 132.9),
        total(QStringLiteral("sum(mass)"), 132.8, 151.6),
        total(QStringLiteral("sum(kolvo)"), 152.1, 168.8),
        total(QStringLiteral("sum(summa)"), 169.9, 189.0, QStringLiteral("#0.00")),
    });
    l.bands << pageFooter();
    return l;
}
