#include "reports/summarylayout.h"

#include "db/dataset.h"
#include "reportengine/report.h"

using namespace ReportEngine;

SummaryLayout::SummaryLayout(const QString& windowName, Dataset* query, const Layout& layout, QWidget* parent)
    : QWidget(parent), query_(query), report_(new Report(this))
{
    setObjectName(windowName);
    query_->setParent(this);
    report_->setLayout(layout);
}

SummaryLayout::~SummaryLayout() = default;

void SummaryLayout::setTitle(const QString& text)
{
    if (Field* label = report_->layout().field(QStringLiteral("QRLabel1")))
        label->text = text;
}

QString SummaryLayout::title() const
{
    const Field* label = report_->layout().field(QStringLiteral("QRLabel1"));
    return label ? label->text : QString();
}

void SummaryLayout::prepare()
{
    report_->prepare(*query_);
}

void SummaryLayout::preview(const QString& caption, const QString& pdfFileName, QWidget* parent)
{
    prepare();
    report_->preview(caption, pdfFileName, parent);
}

namespace SummaryBands {
namespace {

const double kRight = 190;   // the printable width of A4 portrait with 10 mm margins

}

Field label(const QString& text, double left)
{
    Field f = Field::label(text, left);
    f.bold = true;
    f.background = Qt::white;
    return f;
}

Field detail(Field::Kind kind, const QString& text, double from, double to, Qt::Alignment align, const QString& mask)
{
    Field f = Field::span(kind, text, from, to, align, mask);
    f.background = Qt::white;
    return f;
}

Field total(const QString& expression, double from, double to, const QString& mask)
{
    Field f = Field::span(Field::Expression, expression, from, to, Qt::AlignHCenter, mask);
    f.bold = true;
    f.background = kTotalField;
    return f;
}

QVector<Band> titleBands(double titleLeft, const QVector<Field>& labels)
{
    Band header(BandKind::Title, QStringLiteral("TitleBand"), 7);
    header.background = kTitleGrey;
    Field titleLabel = Field::label(QString(), titleLeft);
    titleLabel.name = QStringLiteral("QRLabel1");
    titleLabel.bold = true;
    titleLabel.background = kTitleGrey;
    header.fields << titleLabel << labels;
    Band child(BandKind::Child, QStringLiteral("ChildBand1"), 0.5);
    child.header = header.name;
    return {header, child};
}

Band groupHeader(const QString& name, const QString& expression, const QString& field, bool grey, bool keepWithFooter)
{
    Band band(BandKind::GroupHeader, name, 5.5);
    band.groupExpression = expression;
    if (keepWithFooter)
        band.keepWith = name + QStringLiteral("Footer");
    Field f = Field::data(field, 0.3, kRight - 0.3);
    f.bold = true;
    f.background = grey ? kGroupGrey : QColor(Qt::white);
    if (grey)
        band.background = kGroupGrey;
    band.fields << f;
    return band;
}

Band groupFooter(const QString& header, const QVector<Field>& fields)
{
    Band band(BandKind::GroupFooter, header + QStringLiteral("Footer"), 5);
    band.header = header;
    band.fields = fields;
    return band;
}

Band detailBand(const QVector<Field>& fields)
{
    Band band(BandKind::Detail, QStringLiteral("DetailBand1"), 4.5);
    band.fields = fields;
    return band;
}

Band grandTotal(double labelLeft, const QVector<Field>& sums)
{
    Band band(BandKind::Summary, QStringLiteral("SummaryBand1"), 6);
    band.background = kGrandTotalGrey;
    band.frame = Frame::box(Rule::solid());
    band.fields << label(QStringLiteral("Итого:"), labelLeft) << sums;
    return band;
}

Band pageFooter()
{
    Band band(BandKind::PageFooter, QStringLiteral("PageFooterBand1"), 5);
    Field number = Field::expression(QStringLiteral("PAGENUMBER"), 176.2, kRight - 176.2);
    number.background = Qt::white;
    band.fields << number;
    return band;
}

QString productKindExpression()
{
    return QStringLiteral("IF(naimen=0,'Готовая продукция','Заготовки')");
}

QString colourExpression()
{
    return QStringLiteral("if(color>0,if(color=1,' (грунт)',' (RAL: '+STR(color)+')'),' ')");
}

}
