#include "reports/timesheetlayout.h"

#include "db/datamodule.h"
#include "db/dataset.h"

#include "reportengine/report.h"

#include <QStringList>

using namespace ReportEngine;

namespace {

// The month's hours of each worker name, summed over all shifts.
const char* const kQueryLines[] = {
    "select person.s_caption fio,sum(d1) as sd1,sum(d2) as sd2,sum(d3) as sd3,sum(d4) as sd4,",
    "sum(d5) as sd5,sum(d6) as sd6,sum(d7) as sd7,sum(d8) as sd8,sum(d9) as sd9,",
    "sum(d10) as sd10,sum(d11) as sd11,sum(d12) as sd12,sum(d13) as sd13,",
    "sum(d14) as sd14,sum(d15) as sd15,sum(d16) as sd16,sum(d17) as sd17,",
    "sum(d18) as sd18,sum(d19) as sd19,sum(d20) as sd20,sum(d21) as sd21,",
    "sum(d22) as sd22,sum(d23) as sd23,sum(d24) as sd24,sum(d25) as sd25,",
    "sum(d26) as sd26,sum(d27) as sd27,sum(d28) as sd28,sum(d29) as sd29,",
    "sum(d30) as sd30,sum(d31) as sd31 from accounts_dep.h_tabel, cmn_contractor.person person where",
    "h_tabel.w_id=person.s_code::t_integer and month=:mnth and",
    "year=:yea group by fio order by fio",
};

const double kDayLefts[31] = {81.2,  87.8,  93.7,  100.0, 106.1, 112.4, 118.8, 125.4, 131.8, 137.6, 143.1,
                              148.7, 154.3, 159.8, 165.4, 170.9, 176.5, 182.0, 187.6, 193.1, 198.7, 204.3,
                              209.8, 215.4, 220.9, 226.5, 232.0, 237.6, 243.2, 248.7, 254.3};
const QColor kRuleGrey(128, 128, 128);
const QColor kHeaderGrey(244, 244, 244);   // the header and its period label, as on the summaries
const char* const kPeriodLabel = "QRLabel33";

QString querySql()
{
    QStringList lines;
    for (const char* line : kQueryLines)
        lines << QString::fromUtf8(line);
    return lines.join(u'\n');
}

Rule dottedGrey()
{
    return Rule::dotted(kRuleGrey);
}

Band header()
{
    Band band(BandKind::Title, QStringLiteral("TitleBand1"), 5);
    band.repeatOnEveryPage = true;
    band.frame.top = Rule::solid();
    band.frame.bottom = Rule::solid();
    band.background = kHeaderGrey;
    Field period = Field::label(QStringLiteral("Данные за:"), 0, TimesheetLayout::dayLeft(1));
    period.name = QString::fromLatin1(kPeriodLabel);
    period.bold = true;
    period.background = kHeaderGrey;
    band.fields << period;
    for (int day = 1; day <= 31; ++day) {
        Field number = Field::label(QString::number(day), TimesheetLayout::dayLeft(day), TimesheetLayout::kDayWidth, Qt::AlignHCenter);
        number.bold = true;
        number.background = Qt::white;
        number.frame.left = number.frame.right = dottedGrey();
        band.fields << number;
    }
    Field total = Field::label(QStringLiteral("Итого"), TimesheetLayout::kTotalLeft);
    total.bold = true;
    total.background = Qt::white;
    band.fields << total;
    return band;
}

Band detail(const QString& headerName)
{
    Band band(BandKind::Detail, QStringLiteral("DetailBand1"), 4.5);
    band.keepWith = headerName;
    band.frame.top = band.frame.bottom = dottedGrey();
    band.fields << Field::data(QStringLiteral("fio"), 0, 80.4);
    QStringList days;
    for (int day = 1; day <= 31; ++day) {
        Field hours = Field::data(QStringLiteral("sd%1").arg(day), TimesheetLayout::dayLeft(day), TimesheetLayout::kDayWidth,
                                  Qt::AlignHCenter);
        if (day % 2 == 1)
            hours.frame.left = hours.frame.right = dottedGrey();
        band.fields << hours;
        days << QStringLiteral("sd%1").arg(day);
    }
    Field total = Field::expression(days.join(u'+'), TimesheetLayout::kTotalLeft, 10.3, Qt::AlignHCenter);
    total.bold = true;
    band.fields << total;
    return band;
}

Band pageFooter()
{
    Band band(BandKind::PageFooter, QStringLiteral("PageFooterBand1"), 5);
    band.fields << Field::expression(QStringLiteral("PAGENUMBER"), 252.7, 25.7, Qt::AlignRight);
    return band;
}

}

TimesheetLayout::TimesheetLayout(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TForm15"));
    DataModule* dm = DataModule::instance();
    H_Tabel = new Dataset(QStringLiteral("H_Tabel"), dm ? dm->connectionName() : QString(), this);
    H_Tabel->setSql(querySql());
    Report1 = new Report(this);
    Report1->setLayout(layout());
}

TimesheetLayout::~TimesheetLayout() = default;

double TimesheetLayout::dayLeft(int day)
{
    return kDayLefts[day - 1];
}

Layout TimesheetLayout::layout()
{
    Layout layout;
    layout.orientation = QPageLayout::Landscape;
    const Band title = header();
    layout.bands << title << detail(title.name) << pageFooter();
    return layout;
}

void TimesheetLayout::setPeriod(const QString& text)
{
    Report1->layout().field(QString::fromLatin1(kPeriodLabel))->text = text;
}

QString TimesheetLayout::period() const
{
    return Report1->layout().field(QString::fromLatin1(kPeriodLabel))->text;
}

void TimesheetLayout::prepare()
{
    Report1->prepare(*H_Tabel);
}

void TimesheetLayout::preview(const QString& caption, const QString& pdfFileName, QWidget* parent)
{
    prepare();
    Report1->preview(caption, pdfFileName, parent);
}
