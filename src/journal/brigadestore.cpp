#include "journal/brigadestore.h"

#include "db/datamodule.h"

namespace {

const char* const kWorkers = "select id, fio from accounts_dep.person order by fio";
const char* const kDraft =
    "select s.w_id, p.fio, s.color, s.time from accounts_dep.smena s join accounts_dep.person p on p.id=s.w_id "
    "where s.data=:data and s.smena=:smena and s.o_id=:o_id order by p.fio, s.color";

}

BrigadeStore::BrigadeStore(DataModule& dm) : dm_(dm)
{
}

QVector<BrigadeStore::Worker> BrigadeStore::workers() const
{
    QVector<Worker> result;
    for (const QSqlRecord& row : dm_.select(QString::fromLatin1(kWorkers)).rows)
        result.append({row.value(0).toInt(), row.value(1).toString().trimmed()});
    return result;
}

QVector<BrigadeStore::DraftRow> BrigadeStore::draft(const QDate& date, int shift, int o_id) const
{
    const SqlRun::Params params{{QStringLiteral("data"), date}, {QStringLiteral("smena"), shift},
                                {QStringLiteral("o_id"), o_id}};
    QVector<DraftRow> result;
    for (const QSqlRecord& row : dm_.select(QString::fromLatin1(kDraft), params).rows)
        result.append({row.value(0).toInt(), row.value(1).toString().trimmed(), row.value(2).toInt(),
                       row.value(3).toInt()});
    return result;
}
