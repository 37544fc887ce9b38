#include "journal/entrystore.h"

#include "db/datamodule.h"
#include "db/sqltext.h"

#include <limits>

const QString EntryStore::kFillAll = QStringLiteral("Все поля должны быть заполнены!");
const QString EntryStore::kDuplicate = QStringLiteral("Позиция с такими параметрами уже заведена!");

namespace {

const QString kNotWhole = QStringLiteral("В поле «%1» должно быть целое число!");
const QString kTooLarge = QStringLiteral("Слишком большое число в поле «%1»: допустимо не больше %2!");
const QString kMoreDefects = QStringLiteral("Брак не может быть больше количества!");

bool allDigits(const QString& text)
{
    for (const QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

// The journal's quantity, defects, colour and hours columns are integers: a bigger
// number would be refused by the server after the foreman pressed "Запись".
bool fitsColumn(const QString& digits)
{
    bool ok = false;
    const qulonglong value = digits.toULongLong(&ok);
    return ok && value <= qulonglong(std::numeric_limits<int>::max());
}

QString n(int value)
{
    return QString::number(value);
}

}

std::optional<EntryStore::Problem> EntryStore::check(const EntryInput& input)
{
    const QString worker = input.worker.trimmed();
    const QString operation = input.operation.trimmed();
    const QString quantity = input.quantity.trimmed();
    const QString defects = input.defects.trimmed();
    const QString colour = input.colour.trimmed();
    const QString hours = input.hours.trimmed();

    if (worker.isEmpty())
        return Problem{kFillAll, Field::Worker};
    if (operation.isEmpty())
        return Problem{kFillAll, Field::Operation};
    if (quantity.isEmpty())
        return Problem{kFillAll, Field::Quantity};
    if (defects.isEmpty())
        return Problem{kFillAll, Field::Defects};
    if (isPaint(operation) && colour.isEmpty())
        return Problem{kFillAll, Field::Colour};
    if (hours.isEmpty())
        return Problem{kFillAll, Field::Hours};

    const struct {
        const QString& text;
        const char* label;
        Field field;
    } numbers[] = {
        {quantity, "Кол-во", Field::Quantity},
        {defects, "Брак", Field::Defects},
        {colour, "Цвет", Field::Colour},
        {hours, "Время", Field::Hours},
    };
    for (const auto& box : numbers) {
        if (box.text.isEmpty())
            continue;   // only the colour may be empty here
        const QString label = QString::fromUtf8(box.label);
        if (!allDigits(box.text))
            return Problem{kNotWhole.arg(label), box.field};
        if (!fitsColumn(box.text))
            return Problem{kTooLarge.arg(label).arg(std::numeric_limits<int>::max()), box.field};
    }

    if (number(defects) > number(quantity))
        return Problem{kMoreDefects, Field::Defects};
    return std::nullopt;
}

int EntryStore::number(const QString& boxText)
{
    return boxText.trimmed().toInt();
}

bool EntryStore::isPaint(const QString& operationText)
{
    return operationText.toUpper().contains(QStringLiteral("КРАСКА"));
}

QString EntryStore::kindWord(int naimen)
{
    return naimen == 0 ? QStringLiteral("Готовая продукция") : QStringLiteral("Заготовки");
}

QString EntryStore::operationText(const QString& marka, const QString& vid, int naimen)
{
    return marka.trimmed() + QStringLiteral("; ") + vid.trimmed() + QStringLiteral("; ") + kindWord(naimen);
}

QString EntryStore::duplicateCountSql(const EntryRow& row)
{
    return duplicateCountSql(row, QString());
}

QString EntryStore::duplicateCountSql(const EntryRow& row, int ownId)
{
    return duplicateCountSql(row, QStringLiteral(" and id<>") + n(ownId));
}

QString EntryStore::duplicateCountSql(const EntryRow& row, const QString& notItself)
{
    return QStringLiteral("select count(id) as cnt from accounts_dep.SMENA where w_id=") + n(row.w_id)
        + QStringLiteral(" and o_id=") + n(row.o_id) + QStringLiteral(" and i_id=") + n(row.i_id)
        + QStringLiteral(" and data=to_date('") + SqlText::date(row.date) + QStringLiteral("', 'DD.MM.YYYY') and smena=")
        + n(row.shift) + notItself + QStringLiteral(" and color=") + n(row.colour);
}

QString EntryStore::insertSql(const EntryRow& row, const QDate& today)
{
    return QStringLiteral("insert into accounts_dep.SMENA(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, "
                          "time, vvod,ok, prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use) values(")
        + n(row.w_id) + QStringLiteral(", ") + n(row.i_id) + QStringLiteral(", ") + n(row.o_id) + QStringLiteral(", ")
        + SqlText::price(row.cena) + QStringLiteral(",") + n(row.quantity) + QStringLiteral(", ") + n(row.defects)
        + QStringLiteral(", to_date('") + SqlText::date(row.date) + QStringLiteral("', 'DD.MM.YYYY HH24:MI:SS'), ")
        + n(row.shift) + QStringLiteral(", ") + n(row.colour) + QStringLiteral(", ") + n(row.hours)
        + QStringLiteral(", '") + SqlText::date(today) + QStringLiteral("', '") + QStringLiteral("no")
        + QStringLiteral("', 0, ") + QStringLiteral("0, 0, 0, 0, 0") + QStringLiteral(")");
}

QString EntryStore::updateSql(const EntryRow& row, int id, const QDate& today)
{
    return QStringLiteral("update accounts_dep.SMENA set w_id=") + n(row.w_id) + QStringLiteral(", i_id=") + n(row.i_id)
        + QStringLiteral(", o_id=") + n(row.o_id) + QStringLiteral(", cena=") + SqlText::price(row.cena)
        + QStringLiteral(", kol_vo=") + n(row.quantity) + QStringLiteral(", brak=") + n(row.defects)
        + QStringLiteral(", data=to_date('") + SqlText::date(row.date) + QStringLiteral("', 'DD.MM.YYYY'), smena=")
        + n(row.shift) + QStringLiteral(", color=") + n(row.colour) + QStringLiteral(", time=") + n(row.hours)
        + QStringLiteral(", vvod='") + SqlText::date(today)
        + QStringLiteral("', prize=0, id_doc=0, id_doc_item=0, f_gds_qty_use=0, id_gds_use=0, id_cons_use=0 where id=")
        + n(id);
}

EntryStore::EntryStore(DataModule& dm)
    : dm_(dm), SmenaIU(QStringLiteral("SmenaIU"), dm.connectionName())
{
}

QString EntryStore::marka(int i_id) const
{
    const SqlRun::Result r = dm_.select(QStringLiteral("select marka from accounts_dep.izdel where id=") + n(i_id));
    return r.rows.isEmpty() ? QString() : r.rows.first().value(0).toString().trimmed();
}

std::optional<double> EntryStore::basePrice(int o_id) const
{
    const SqlRun::Result r = dm_.select(
        QStringLiteral("select min(price)::numeric cena from accounts_dep.norm where o_id=%1").arg(o_id));
    if (r.rows.isEmpty() || r.rows.first().value(0).isNull())
        return std::nullopt;
    return r.rows.first().value(0).toDouble();
}

int EntryStore::duplicateCount(const EntryRow& row) const
{
    return dm_.select(duplicateCountSql(row)).rows.value(0).value(0).toInt();
}

int EntryStore::duplicateCount(const EntryRow& row, int ownId) const
{
    return dm_.select(duplicateCountSql(row, ownId)).rows.value(0).value(0).toInt();
}

EntryStore::DayHours EntryStore::judgeDayHours(qint64 total)
{
    if (total > std::numeric_limits<qint32>::max())
        return DayHours::TooMany;
    return total > kHoursInDay ? DayHours::MoreThanADay : DayHours::Fits;
}

qint64 EntryStore::dayHours(const EntryRow& row, int ownId) const
{
    const QString sql = QStringLiteral("select coalesce(sum(time), 0) as tim from accounts_dep.smena where w_id=%1 "
                                       "and smena=%2 and data=to_date('%3', 'DD.MM.YYYY') and id<>%4")
                            .arg(row.w_id)
                            .arg(row.shift)
                            .arg(SqlText::date(row.date))
                            .arg(ownId);
    return dm_.select(sql).rows.value(0).value(0).toLongLong();
}

void EntryStore::insert(const EntryRow& row, const QDate& today)
{
    SmenaIU.setText(insertSql(row, today));
    SmenaIU.execute();
}

int EntryStore::update(const EntryRow& row, int id, const QDate& today)
{
    SmenaIU.setText(updateSql(row, id, today));
    return SmenaIU.execute();
}
