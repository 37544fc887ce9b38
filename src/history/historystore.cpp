#include "history/historystore.h"

#include "db/datamodule.h"
#include "db/sqltext.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QSet>
#include <QStringList>

#include <algorithm>

namespace History {
namespace {

// One page of the history. The conditions are fixed fragments chosen by the filter, so
// each filter reads through its own index (time; worker and time; table, key and time).
const char* const kPage =
    "select c.id, c.changed_at::text as at, to_char(c.changed_at, 'DD.MM.YYYY HH24:MI:SS') as shown_at, "
    "c.table_name, c.operation, c.row_key, c.worker_id, p.s_caption as worker, "
    "c.old_values::text as old_values, c.new_values::text as new_values, c.app_name, c.db_user, "
    "host(c.client_addr) as client_addr, c.db_role "
    "from accounts_dep.change_log c left join cmn_contractor.person p on p.id = c.worker_id "
    "where %1 order by c.changed_at desc, c.id desc limit %2";

const char* const kWorkers =
    "select w.id, coalesce(p.s_caption, w.fio) as fio from accounts_dep.person w "
    "left join cmn_contractor.person p on p.id = w.id order by 2";

// Names of the codes of one page. A worker is found as the journal finds it (by the
// shared directory's key or code), then in the client's own list; a deleted worker
// keeps the name the shared directory still holds.
const char* const kWorkerNames =
    "select k.id, coalesce((select trim(p.s_caption) from cmn_contractor.person p "
    "where p.id = k.id or p.s_code::integer = k.id order by p.id = k.id desc limit 1), "
    "(select trim(w.fio) from accounts_dep.person w where w.id = k.id)) "
    "from unnest(array[%1]::integer[]) k(id)";
const char* const kProductNames = "select id::bigint, trim(marka) from accounts_dep.izdel where id in (%1)";
const char* const kOperationNames =
    "select o.id, concat_ws(' ', trim(v.vid), trim(i.marka)) from accounts_dep.oper o "
    "left join accounts_dep.vid_oper v on v.id = o.vid left join accounts_dep.izdel i on i.id = o.i_id "
    "where o.id in (%1)";
const char* const kKindNames = "select id, trim(vid) from accounts_dep.vid_oper where id in (%1)";

// Which codes a column of a traced table holds.
enum class Reference { None, Worker, Product, Operation, Kind };

Reference referenceOf(const QString& table, const QString& column)
{
    if (column == QLatin1String("w_id"))
        return Reference::Worker;
    if (column == QLatin1String("i_id"))
        return Reference::Product;
    if (column == QLatin1String("o_id"))
        return Reference::Operation;
    if (column == QLatin1String("vid") && table == QLatin1String("oper"))
        return Reference::Kind;
    return Reference::None;
}

// The names of that kind of code (const or not, as the Names given).
template <typename N>
auto namesOf(N& names, Reference reference) -> decltype(&names.workers)
{
    switch (reference) {
    case Reference::Worker: return &names.workers;
    case Reference::Product: return &names.products;
    case Reference::Operation: return &names.operations;
    case Reference::Kind: return &names.kinds;
    case Reference::None: break;
    }
    return nullptr;
}

QString valueText(const QJsonValue& v)
{
    if (v.isNull() || v.isUndefined())
        return {};
    if (v.isDouble()) {
        const double d = v.toDouble();
        return d == qint64(d) ? QString::number(qint64(d)) : QLocale(QLocale::Russian).toString(d, 'g', 15);
    }
    if (v.isBool())
        return v.toBool() ? QStringLiteral("да") : QStringLiteral("нет");
    QString s = v.toString().trimmed();
    // Dates and times as the plant writes them.
    const QDate date = QDate::fromString(s.left(10), Qt::ISODate);
    if (date.isValid() && (s.size() == 10 || s.at(10) == u'T' || s.at(10) == u' ')) {
        const QString time = s.mid(11, 5);
        return time.isEmpty() || time == QLatin1String("00:00") ? date.toString(QStringLiteral("dd.MM.yyyy"))
                                                                 : date.toString(QStringLiteral("dd.MM.yyyy ")) + time;
    }
    return s;
}

bool isDayColumn(const QString& table, const QString& column)
{
    return table == QLatin1String("h_tabel") && column.size() > 1 && column.at(0) == u'd' && column.mid(1).toInt() > 0;
}

QJsonObject object(const QString& json)
{
    return json.isEmpty() ? QJsonObject() : QJsonDocument::fromJson(json.toUtf8()).object();
}

}

QString tableTitle(const QString& table)
{
    static const QHash<QString, QString> titles{
        {QStringLiteral("smena"), QStringLiteral("Журнал")},
        {QStringLiteral("h_tabel"), QStringLiteral("Табель")},
        {QStringLiteral("oper"), QStringLiteral("Операции и цены")},
        {QStringLiteral("norm"), QStringLiteral("Нормативы")},
        {QStringLiteral("izdel"), QStringLiteral("Изделия")},
        {QStringLiteral("vid_oper"), QStringLiteral("Виды операций")},
        {QStringLiteral("person"), QStringLiteral("Рабочие")},
        {QStringLiteral("workers"), QStringLiteral("Рабочие (перенесенные)")},
        {QStringLiteral("closed_month"), QStringLiteral("Закрытые месяцы")},
    };
    return titles.value(table, table);
}

QString operationTitle(const QString& operation)
{
    if (operation == QLatin1String("I")) return QStringLiteral("Добавление");
    if (operation == QLatin1String("U")) return QStringLiteral("Изменение");
    if (operation == QLatin1String("D")) return QStringLiteral("Удаление");
    if (operation == QLatin1String("T")) return QStringLiteral("Очистка таблицы");
    return operation;
}

QString columnTitle(const QString& table, const QString& column)
{
    if (isDayColumn(table, column))
        return QStringLiteral("%1 число").arg(column.mid(1));
    static const QHash<QString, QString> common{
        {QStringLiteral("id"), QStringLiteral("Ключ")},
        {QStringLiteral("w_id"), QStringLiteral("Рабочий")},
        {QStringLiteral("i_id"), QStringLiteral("Изделие")},
        {QStringLiteral("o_id"), QStringLiteral("Операция")},
        {QStringLiteral("kol_vo"), QStringLiteral("Кол-во")},
        {QStringLiteral("brak"), QStringLiteral("Брак")},
        {QStringLiteral("data"), QStringLiteral("Дата")},
        {QStringLiteral("smena"), QStringLiteral("Смена")},
        {QStringLiteral("cena"), QStringLiteral("Цена")},
        {QStringLiteral("color"), QStringLiteral("Цвет")},
        {QStringLiteral("time"), QStringLiteral("Часы")},
        {QStringLiteral("ok"), QStringLiteral("Принято")},
        {QStringLiteral("vvod"), QStringLiteral("Заведен")},
        {QStringLiteral("prize"), QStringLiteral("Премия (%)")},
        {QStringLiteral("id_doc"), QStringLiteral("Документ")},
        {QStringLiteral("id_doc_item"), QStringLiteral("Строка документа")},
        {QStringLiteral("id_gds_use"), QStringLiteral("Расход товара")},
        {QStringLiteral("id_cons_use"), QStringLiteral("Расход материала")},
        {QStringLiteral("f_gds_qty_use"), QStringLiteral("Количество расхода")},
        {QStringLiteral("month"), QStringLiteral("Месяц")},
        {QStringLiteral("year"), QStringLiteral("Год")},
        {QStringLiteral("naimen"), QStringLiteral("Вид (0 — готовая продукция)")},
        {QStringLiteral("cena_new"), QStringLiteral("Цена по прайсу")},
        {QStringLiteral("norma"), QStringLiteral("Норматив")},
        {QStringLiteral("price"), QStringLiteral("Цена")},
        {QStringLiteral("marka"), QStringLiteral("Марка изделия")},
        {QStringLiteral("nom"), QStringLiteral("Наименование")},
        {QStringLiteral("massa"), QStringLiteral("Масса")},
        {QStringLiteral("fio"), QStringLiteral("Фамилия И.О.")},
        {QStringLiteral("s_staffpos_hl"), QStringLiteral("Должность")},
        {QStringLiteral("addr"), QStringLiteral("Адрес")},
        {QStringLiteral("period"), QStringLiteral("Период")},
        {QStringLiteral("closed_at"), QStringLiteral("Закрыт")},
        {QStringLiteral("closed_by"), QStringLiteral("Кто закрыл")},
        {QStringLiteral("db_user"), QStringLiteral("Пользователь БД")},
        {QStringLiteral("workstation"), QStringLiteral("Рабочее место")},
    };
    if (column == QLatin1String("vid"))
        return table == QLatin1String("oper") ? QStringLiteral("Вид операции") : QStringLiteral("Операция");
    return common.value(column, column);
}

QVector<Change> changes(const Row& row, const Names& names)
{
    const QJsonObject before = object(row.oldValues);
    const QJsonObject after = object(row.newValues);
    QStringList columns = before.keys();
    for (const QString& key : after.keys())
        if (!before.contains(key))
            columns << key;
    // jsonb keeps no column order: show them in the order the windows do, days by number.
    static const QStringList order{
        QStringLiteral("id"), QStringLiteral("fio"), QStringLiteral("w_id"), QStringLiteral("marka"), QStringLiteral("nom"),
        QStringLiteral("i_id"), QStringLiteral("vid"), QStringLiteral("naimen"), QStringLiteral("o_id"),
        QStringLiteral("data"), QStringLiteral("smena"), QStringLiteral("month"), QStringLiteral("year"),
        QStringLiteral("color"), QStringLiteral("time"), QStringLiteral("kol_vo"), QStringLiteral("brak"),
        QStringLiteral("norma"), QStringLiteral("price"), QStringLiteral("cena"), QStringLiteral("cena_new"),
        QStringLiteral("prize"), QStringLiteral("ok"), QStringLiteral("vvod")};
    auto rank = [&](const QString& column) {
        if (isDayColumn(row.table, column))
            return 100 + column.mid(1).toInt();
        const int at = int(order.indexOf(column));
        return at < 0 ? 200 : at;
    };
    std::stable_sort(columns.begin(), columns.end(), [&](const QString& a, const QString& b) { return rank(a) < rank(b); });
    const bool both = !before.isEmpty() && !after.isEmpty();
    QVector<Change> result;
    const auto withName = [&](const QString& column, const QString& code) {
        const QHash<qint64, QString>* known = namesOf(names, referenceOf(row.table, column));
        if (!known || code.isEmpty())
            return code;
        const QString name = known->value(code.toLongLong());
        return name.isEmpty() ? code : QStringLiteral("%1 (%2)").arg(name, code);
    };
    for (const QString& column : columns) {
        const QString was = withName(column, valueText(before.value(column)));
        const QString now = withName(column, valueText(after.value(column)));
        if (both) {
            if (was == now)
                continue;
        } else {
            const QString& value = before.isEmpty() ? now : was;
            if (value.isEmpty() || column == QLatin1String("id")
                || (isDayColumn(row.table, column) && value == QLatin1String("0")))
                continue;
        }
        result.push_back({columnTitle(row.table, column), was, now});
    }
    return result;
}

QString describe(const Row& row, const Names& names)
{
    QStringList parts;
    const bool added = row.oldValues.isEmpty();
    const bool removed = row.newValues.isEmpty();
    for (const Change& c : changes(row, names)) {
        if (added)
            parts << QStringLiteral("%1: → %2").arg(c.column, c.after);
        else if (removed)
            parts << QStringLiteral("%1: %2 →").arg(c.column, c.before);
        else
            parts << QStringLiteral("%1: %2 → %3").arg(c.column, c.before, c.after);
    }
    return parts.join(QStringLiteral("; "));
}

SqlRun::Table Store::selectOn(const QString& sql, const SqlRun::Params& params) const
{
    return connection_.isEmpty() ? dm_.selectTable(sql, params) : SqlRun::selectTable(connection_, sql, params);
}

bool Store::available() const
{
    const SqlRun::Result r = dm_.select(QStringLiteral("select to_regclass('accounts_dep.change_log') is not null"));
    return !r.rows.isEmpty() && r.rows[0].value(0).toBool();
}

QVector<Row> Store::page(const Filter& filter, const Cursor& after, int pageSize) const
{
    QStringList where{QStringLiteral("true")};
    SqlRun::Params params;
    if (filter.from.isValid())
        where << QStringLiteral("c.changed_at >= to_date('%1', 'DD.MM.YYYY')").arg(SqlText::date(filter.from));
    if (filter.to.isValid())
        where << QStringLiteral("c.changed_at < to_date('%1', 'DD.MM.YYYY')").arg(SqlText::date(filter.to.addDays(1)));
    if (filter.workerId > 0)
        where << QStringLiteral("c.worker_id = %1").arg(filter.workerId);
    if (!filter.table.isEmpty()) {
        where << QStringLiteral("c.table_name = :table and c.row_key = %1").arg(filter.rowKey);
        params.insert(QStringLiteral("table"), filter.table);
    }
    if (!after.isStart()) {
        where << QStringLiteral("(c.changed_at, c.id) < (cast(:at as timestamptz), %1)").arg(after.id);
        params.insert(QStringLiteral("at"), after.at);
    }
    const SqlRun::Table t = selectOn(QString::fromLatin1(kPage).arg(where.join(QStringLiteral(" and "))).arg(pageSize), params);
    QVector<Row> rows;
    rows.reserve(t.rowCount());
    for (int r = 0; r < t.rowCount(); ++r) {
        const auto rec = [&](int column) -> const QVariant& { return t.value(r, column); };
        Row row;
        row.id = rec(0).toLongLong();
        row.at = rec(1).toString();
        row.shownAt = rec(2).toString();
        row.table = rec(3).toString();
        row.operation = rec(4).toString().trimmed();
        row.rowKey = rec(5).toLongLong();
        row.workerId = rec(6).toInt();
        row.worker = rec(7).toString().trimmed();
        row.oldValues = rec(8).toString();
        row.newValues = rec(9).toString();
        row.appName = rec(10).toString();
        row.dbUser = rec(11).toString();
        row.clientAddr = rec(12).toString();
        row.dbRole = rec(13).toString();
        rows.push_back(row);
    }
    return rows;
}

Names Store::names(const QVector<Row>& rows) const
{
    QSet<qint64> codes[5];
    for (const Row& row : rows) {
        for (const QJsonObject& values : {object(row.oldValues), object(row.newValues)}) {
            for (auto it = values.begin(); it != values.end(); ++it) {
                const Reference reference = referenceOf(row.table, it.key());
                if (reference != Reference::None && it.value().isDouble())
                    codes[int(reference)].insert(qint64(it.value().toDouble()));
            }
        }
    }
    Names names;
    const auto read = [&](Reference reference, const char* statement) {
        const QSet<qint64>& set = codes[int(reference)];
        if (set.isEmpty())
            return;
        QStringList list;
        for (const qint64 code : set)
            list << QString::number(code);
        QHash<qint64, QString>& target = *namesOf(names, reference);
        const SqlRun::Table t = selectOn(QString::fromLatin1(statement).arg(list.join(u',')));
        for (int r = 0; r < t.rowCount(); ++r)
            if (!t.value(r, 1).isNull())
                target.insert(t.value(r, 0).toLongLong(), t.value(r, 1).toString().trimmed());
    };
    read(Reference::Worker, kWorkerNames);
    read(Reference::Product, kProductNames);
    read(Reference::Operation, kOperationNames);
    read(Reference::Kind, kKindNames);
    return names;
}

QVector<QPair<int, QString>> Store::workers() const
{
    const SqlRun::Table t = dm_.selectTable(QString::fromLatin1(kWorkers));
    QVector<QPair<int, QString>> list;
    for (int r = 0; r < t.rowCount(); ++r)
        list.push_back({t.value(r, 0).toInt(), t.value(r, 1).toString().trimmed()});
    return list;
}

}
