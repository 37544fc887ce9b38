#include "reports/timesheetlayout.h"

#include "db/datamodule.h"
#include "db/dataset.h"

#include <QLabel>
#include <QStringList>

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

QString querySql()
{
    QStringList lines;
    for (const char* line : kQueryLines)
        lines << QString::fromUtf8(line);
    return lines.join(u'\n');
}

}

TimesheetLayout::TimesheetLayout(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TForm15"));
    DataModule* dm = DataModule::instance();
    H_Tabel = new Dataset(QStringLiteral("H_Tabel"), dm ? dm->connectionName() : QString(), this);
    H_Tabel->setSql(querySql());
    QRLabel33 = new QLabel(QStringLiteral("Данные за:"), this);
    QRLabel33->setObjectName(QStringLiteral("QRLabel33"));
}

TimesheetLayout::~TimesheetLayout() = default;
