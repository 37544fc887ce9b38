#include "import/importsteps.h"

namespace ImportSteps {
namespace {

Column integer(const char* name) { return {QString::fromLatin1(name), Form::Integer, {}, {}}; }
Column floating(const char* name) { return {QString::fromLatin1(name), Form::Float, {}, {}}; }
Column text(const char* name, const char* cast = "") { return {QString::fromLatin1(name), Form::Text, QString::fromLatin1(cast), {}}; }

QVector<Column> timesheetColumns()
{
    QVector<Column> columns{integer("id"), integer("w_id"), integer("month"), integer("year"), integer("smena")};
    for (int day = 1; day <= 31; ++day)
        columns.push_back({QStringLiteral("d%1").arg(day), Form::Integer, {}, {}});
    return columns;
}

QVector<Step> makeSteps()
{
    // The directories and the timesheet are written as the old database holds them, with
    // the references between them checked by nobody until all are in place: the old
    // operations name kinds that arrive one step later. The journal, written last, keeps
    // its references checked, so an entry naming a missing operation is refused.
    return {
        {QStringLiteral("H_TABEL"), Origin::Legacy, true, QStringLiteral("accounts_dep.h_tabel"), timesheetColumns(),
         QStringLiteral("accounts_dep.h_tabel"), false},
        {QStringLiteral("IZDEL"), Origin::Legacy, true, QStringLiteral("accounts_dep.izdel"),
         {integer("id"), floating("massa"), text("marka"), text("nom")},
         // New products get their keys from the goods catalogue.
         QStringLiteral("cmn_gds_and_srv.gds_and_srv"), false},
        {QStringLiteral("NOMENKL"), Origin::Legacy, false, QStringLiteral("accounts_dep.nomenkl"),
         {text("marka"), text("nom")}, {}, false},
        {QStringLiteral("OPER"), Origin::Legacy, true, QStringLiteral("accounts_dep.oper"),
         // The old price goes into the list price, the column the price list shows.
         {integer("id"), integer("vid"), integer("naimen"), integer("i_id"),
          {QStringLiteral("cena_new"), Form::Float, {}, QStringLiteral("cena")}},
         QStringLiteral("accounts_dep.oper"), false},
        {QStringLiteral("VID_OPER"), Origin::Legacy, true, QStringLiteral("accounts_dep.vid_oper"),
         {integer("id"), text("vid")}, QStringLiteral("accounts_dep.vid_oper"), false},
        {QStringLiteral("WORKERS"), Origin::Legacy, true, QStringLiteral("accounts_dep.workers"),
         {integer("id"), text("fio"), text("addr")}, {}, false},
        {QStringLiteral("smena"), Origin::Main, true, QStringLiteral("accounts_dep.smena"),
         {integer("id"), integer("w_id"), integer("i_id"), integer("o_id"), integer("kol_vo"), integer("brak"),
          integer("smena"), integer("color"), floating("cena"), text("ok"), text("data", "date"),
          text("time", "integer"), text("vvod", "timestamp")},
         QStringLiteral("accounts_dep.smena"), true},
    };
}

}

const QVector<Step>& all()
{
    static const QVector<Step> steps = makeSteps();
    return steps;
}

}
