#include "app/versiongate.h"

#include "db/datamodule.h"

namespace {

const QString kReadStamp = QStringLiteral("select coalesce(d, 0) as d, coalesce(t, 0) as t, delim from accounts_dep.ver limit 1");

}

bool isNewer(const BuildStamp::Stamp& a, const BuildStamp::Stamp& b)
{
    return a.date > b.date || (a.date == b.date && a.time > b.time);
}

GateResult VersionGate(DataModule& dm, const BuildStamp::Stamp& build)
{
    GateResult result;
    SqlRun::Result row = dm.select(kReadStamp);
    const SqlRun::Params stamp{{QStringLiteral("d"), build.date}, {QStringLiteral("t"), build.time}};
    if (row.rows.isEmpty()) {
        // The table holds at most one row; a build started at the same moment elsewhere
        // may have written it first, and then the comparison below decides.
        dm.execute(QStringLiteral("insert into accounts_dep.ver(d, t) values (:d, :t) on conflict do nothing"), stamp);
    } else {
        const BuildStamp::Stamp stored{row.rows.first().value(QStringLiteral("d")).toInt(),
                                       row.rows.first().value(QStringLiteral("t")).toInt()};
        if (isNewer(build, stored)) {
            // Raised only if still older when written, so a newer build that wrote in
            // between is never lowered again.
            dm.execute(QStringLiteral("update accounts_dep.ver set d = :d, t = :t "
                                      "where coalesce(d, 0) < :d or (coalesce(d, 0) = :d and coalesce(t, 0) < :t)"),
                       stamp);
        }
    }
    row = dm.select(kReadStamp);
    if (!row.rows.isEmpty()) {
        const QSqlRecord& r = row.rows.first();
        result.delim = r.value(QStringLiteral("delim")).toString();
        result.stored = {r.value(QStringLiteral("d")).toInt(), r.value(QStringLiteral("t")).toInt()};
    }
    result.outdated = isNewer(result.stored, build);
    return result;
}
