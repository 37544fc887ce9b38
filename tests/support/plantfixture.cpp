#include "support/plantfixture.h"

#include "db/sqltext.h"

namespace Plant {
namespace {

QVariant insertReturningId(const TestDatabase& db, const QString& sql, const SqlRun::Params& params)
{
    const SqlRun::Result r = db.select(sql, params);
    return r.rows.first().value(0);
}

}

int worker(const TestDatabase& db, const QString& fio)
{
    return insertReturningId(db, QStringLiteral("insert into accounts_dep.person(fio, s_staffpos_hl) values (:fio, '') returning id"),
                             {{QStringLiteral("fio"), fio}})
        .toInt();
}

int person(const TestDatabase& db, int id, const QString& caption, const QString& code)
{
    return insertReturningId(db, QStringLiteral("insert into cmn_contractor.person(id, s_caption, s_code) values (:id, :c, :code) returning id"),
                             {{QStringLiteral("id"), id}, {QStringLiteral("c"), caption}, {QStringLiteral("code"), code}})
        .toInt();
}

int kind(const TestDatabase& db, const QString& vid)
{
    return insertReturningId(db, QStringLiteral("insert into accounts_dep.vid_oper(vid) values (:vid) returning id"),
                             {{QStringLiteral("vid"), vid}})
        .toInt();
}

qint64 product(const TestDatabase& db, const QString& marka, const QString& nom, double massa)
{
    return insertReturningId(db,
                             QStringLiteral("insert into cmn_gds_and_srv.gds_and_srv(s_caption, s_description, id_msm_bs, massa) "
                                            "values (:marka, :nom, 6, :massa) returning id"),
                             {{QStringLiteral("marka"), marka}, {QStringLiteral("nom"), nom.isNull() ? marka : nom},
                              {QStringLiteral("massa"), massa}})
        .toLongLong();
}

int operation(const TestDatabase& db, qint64 productId, int kindId, int naimen, double price)
{
    const int id = insertReturningId(db,
                                     QStringLiteral("insert into accounts_dep.oper(vid, naimen, i_id, cena_new) values (%1, %2, %3, 0) returning id")
                                         .arg(kindId)
                                         .arg(naimen)
                                         .arg(productId),
                                     {})
                       .toInt();
    db.exec(QStringLiteral("insert into accounts_dep.norm(o_id, norma, prize, price) values (%1, 1, 0, %2)")
                .arg(id)
                .arg(SqlText::price(price)));
    return id;
}

int entry(const TestDatabase& db, const Entry& e)
{
    const QString ok = e.ok.isEmpty() ? QStringLiteral("null") : u'\'' + e.ok + u'\'';
    return insertReturningId(
               db,
               QStringLiteral("insert into accounts_dep.smena(w_id, i_id, o_id, kol_vo, brak, data, smena, cena, color, time, ok, vvod, prize, "
                              "id_doc, id_doc_item, id_gds_use, id_cons_use, f_gds_qty_use) values "
                              "(%1, %2, %3, %4, %5, to_date('%6', 'DD.MM.YYYY'), %7, %8, %9, %10, %11, now(), 0, 0, 0, 0, 0, 0) returning id")
                   .arg(e.w_id)
                   .arg(e.i_id)
                   .arg(e.o_id)
                   .arg(e.kol_vo)
                   .arg(e.brak)
                   .arg(SqlText::date(e.data))
                   .arg(e.smena)
                   .arg(SqlText::price(e.cena))
                   .arg(e.color)
                   .arg(e.time)
                   .arg(ok),
               {})
        .toInt();
}

}
