#include "closing/closedmonths.h"

#include "core/sessionname.h"
#include "db/datamodule.h"

#include <QHash>

namespace {

const char* const kClosing =
    "select to_char(closed_at, 'DD.MM.YYYY HH24:MI') as closed_at, closed_by, coalesce(host(workstation), '') as workstation "
    "from accounts_dep.closed_month where year=%1 and month=%2";
const char* const kAvailable = "select to_regclass('accounts_dep.closed_month') is not null as available";
const char* const kClose = "insert into accounts_dep.closed_month(year, month) values (%1, %2)";
const char* const kReopen = "delete from accounts_dep.closed_month where year=%1 and month=%2";

}

bool ClosedMonths::available() const
{
    // Asked once per connection: the schema does not change under a running client.
    static QHash<QString, bool> known;
    const auto it = known.constFind(dm_.connectionName());
    if (it != known.constEnd())
        return *it;
    const SqlRun::Result r = dm_.select(QString::fromLatin1(kAvailable));
    const bool yes = !r.rows.isEmpty() && r.rows[0].value(0).toBool();
    known.insert(dm_.connectionName(), yes);
    return yes;
}

std::optional<ClosedMonths::Closing> ClosedMonths::closing(const QDate& anyDayOfMonth) const
{
    if (!anyDayOfMonth.isValid() || !available())
        return std::nullopt;
    const SqlRun::Result r =
        dm_.select(QString::fromLatin1(kClosing).arg(anyDayOfMonth.year()).arg(anyDayOfMonth.month()));
    if (r.rows.isEmpty())
        return std::nullopt;
    return Closing{r.rows[0].value(0).toString(), SessionName::title(r.rows[0].value(1).toString()),
                   r.rows[0].value(2).toString()};
}

void ClosedMonths::close(int year, int month)
{
    dm_.execute(QString::fromLatin1(kClose).arg(year).arg(month));
}

void ClosedMonths::reopen(int year, int month)
{
    dm_.execute(QString::fromLatin1(kReopen).arg(year).arg(month));
}

QString ClosedMonths::label(int year, int month)
{
    return QStringLiteral("%1.%2").arg(month, 2, 10, QLatin1Char('0')).arg(year);
}

QString ClosedMonths::mark(int year, int month)
{
    return QStringLiteral("Месяц %1 закрыт").arg(label(year, month));
}

QString ClosedMonths::details(const Closing& c)
{
    QString text = QStringLiteral("Закрыт %1: %2").arg(c.when, c.who);
    if (!c.workstation.isEmpty())
        text += QStringLiteral(", рабочее место %1").arg(c.workstation);
    return text + QStringLiteral(". Изменения журнала и табеля этого месяца запрещены.");
}
