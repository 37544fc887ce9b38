#include "reports/summarystore.h"

#include "db/datamodule.h"
#include "db/dataset.h"

#include <QSqlRecord>
#include <QStringList>
#include <initializer_list>

namespace SummaryStore {
namespace {

QString joined(std::initializer_list<const char*> lines)
{
    QStringList list;
    for (const char* line : lines)
        list << QString::fromUtf8(line);
    return list.join(u'\n');
}

}

QString workerSummarySql()
{
    return joined({
        "select person.s_caption fio, sum(smena.kol_vo-smena.brak)::numeric as kolvo, ",
        "sum((kol_vo-brak)*smena.cena) as summa,vid_oper.vid,",
        "izdel.nom, oper.naimen, color from cmn_contractor.person person,accounts_dep.smena,accounts_dep.izdel,accounts_dep.vid_oper,",
        "accounts_dep.oper where w_id=s_code::integer and izdel.id=smena.i_id and vid_oper.id=oper.vid",
        "and oper.id=smena.o_id and smena.data<:data2 and smena.data>=:data1 ",
        "group by fio, izdel.nom, oper.naimen, vid_oper.vid, color order by fio, izdel.nom",
    });
}

QString productSummarySql()
{
    return joined({
        "select sum(smena.kol_vo-smena.brak)::numeric as kolvo, vid_oper.vid,",
        "izdel.nom, oper.naimen, color,  round((izdel.massa*sum(smena.kol_vo-smena.brak))::numeric,2) as mass",
        "from accounts_dep.smena,accounts_dep.izdel,accounts_dep.vid_oper, accounts_dep.oper where izdel.id=smena.i_id and vid_oper.id=oper.vid",
        "and oper.id=smena.o_id and smena.data<:data2 and smena.data>=:data1 ",
        "group by izdel.nom,color, oper.naimen, vid_oper.vid, izdel.massa order by izdel.nom",
    });
}

QString workerDetailSql()
{
    return joined({
        "select s_caption fio, izdel.marka, vid_oper.vid, oper.naimen, ",
        "sum(smena.kol_vo)::numeric as kolvo, sum(smena.brak) as brk, sum((kol_vo-brak)*",
        "smena.cena) as summa, color, sum(prize*(kol_vo-brak)*cena/100) as s_prize ",
        "from cmn_contractor.person person,accounts_dep.izdel,accounts_dep.oper,accounts_dep.smena,accounts_dep.vid_oper where ",
        "smena.o_id=oper.id and smena.w_id=s_code::integer and smena.i_id=izdel.id ",
        "and smena.o_id=oper.id and w_id=s_code::integer and oper.vid=vid_oper.id ",
        "and smena.data<:data2 and smena.data>=:data1 group by fio, marka, ",
        "vid_oper.vid, oper.naimen, color order by fio, marka, vid_oper.vid, oper.naimen",
    });
}

QString productDetailSql()
{
    return joined({
        "select izdel.marka, vid_oper.vid vid, oper.naimen, izdel.nom,",
        "sum(smena.kol_vo)::numeric as kolvo, sum(smena.brak) as brk, ",
        "sum((kol_vo-brak)*smena.cena) as summa, color, round((izdel.massa*sum(smena.kol_vo))::numeric,2) as mass ",
        "from accounts_dep.izdel,accounts_dep.oper,accounts_dep.smena,accounts_dep.vid_oper where smena.o_id=oper.id and smena.i_id=izdel.id ",
        "and smena.o_id=oper.id and oper.vid=vid_oper.id and smena.data<:data2 and ",
        "smena.data>=:data1 group by izdel.nom, marka, vid_oper.vid, oper.naimen, color,massa ",
        "order by izdel.nom,marka, vid_oper.vid, oper.naimen",
    });
}

QString productExportSql()
{
    return joined({
        "select sum(smena.kol_vo-smena.brak)::numeric as kolvo, vid_oper.vid,",
        "izdel.nom, oper.naimen, color,izdel.massa*sum(smena.kol_vo-smena.brak) as mass ",
        "from accounts_dep.smena,accounts_dep.izdel,accounts_dep.vid_oper, accounts_dep.oper where izdel.id=smena.i_id and vid_oper.id=oper.vid",
        "and oper.id=smena.o_id and smena.data<:data2 and smena.data>=:data1 ",
        "group by izdel.nom,color, oper.naimen, vid_oper.vid, izdel.massa order by izdel.nom",
    });
}

Dataset* makeQuery(const QString& name, const QString& sql, DataModule* dm, QObject* parent)
{
    auto* query = new Dataset(name, dm->connectionName(), parent);
    query->setSql(sql);
    // Compiling a report's expressions (JIT) costs each of the server's processes about
    // 0.1 s once a year's report on a journal of several years passes the cost
    // threshold, and gains nothing here: the time goes into sorting. Off for the report
    // alone, so that how many other years the journal holds does not add that.
    query->setLocalSettings({{QStringLiteral("work_mem"), reportWorkMem()}, {QStringLiteral("jit"), QStringLiteral("off")}});
    return query;
}

QString reportWorkMem()
{
    // A whole year of a 250-worker plant sorts 17 to 21 MB of joined rows in each of the
    // server's three sorting processes, which spill to disk under the default 4 MB. From
    // about 40 MB on the planner trades the parallel plan for one sort of everything,
    // slower however much memory it has; 32 MB keeps the sorts in memory and parallel.
    return QStringLiteral("32MB");
}

void setPeriod(Dataset& query, const QDate& from, const QDate& to)
{
    query.setParam(QStringLiteral("data1"), from);
    query.setParam(QStringLiteral("data2"), to);
}

QString productKindFilterText(int kind)
{
    switch (kind) {
    case Finished: return QStringLiteral("naimen=0");
    case Blanks: return QStringLiteral("naimen=1");
    default: return QString();
    }
}

void setProductKind(Dataset& query, int kind)
{
    if (kind != Finished && kind != Blanks) {
        query.clearFilter();
        return;
    }
    const int naimen = kind == Finished ? 0 : 1;
    query.setFilter([naimen](const QSqlRecord& row) {
        const QVariant value = row.value(QStringLiteral("naimen"));
        return !value.isNull() && value.toInt() == naimen;
    });
}

}
