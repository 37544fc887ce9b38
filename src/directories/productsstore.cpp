#include "directories/productsstore.h"

#include "db/datamodule.h"

#include <QLocale>
#include <cmath>

namespace {

struct ProductGroup {
    const char* prefix;
    const char* name;
};

// Taken in this order; a later, longer prefix overrides an earlier, shorter one.
// All letters are Cyrillic except the Latin Z of "ПРZ" and the Latin L of "КР АL".
const ProductGroup kProductGroups[] = {
    {"ПЛ", "Платик"},
    {"КР", "Кронштейны оцинкованные"},
    {"ПП", "Паранитовые прокладки"},
    {"М2", "М2"},
    {"ПР", "Профиль основной"},
    {"ПРН", "Профиль Н-обр."},
    {"ПРГ", "Профиль ГО"},
    {"ПРZ", "Профиль Z-обр."},
    {"САМ", "Саморезы"},
    {"МДФ", "МДФ скобы"},
    {"УДЛ", "Удленитель"},
    {"КЛОЦ", "Кляммеры оцинкованные"},
    {"С1КЛ", "Кляммеры поворотные"},
    {"С2КЛ", "Кляммеры дистанционные"},
    {"С3КЛ", "Кляммеры концевые"},
    {"ПДГВ", "Профильи декоративн. горизонт.вертик."},
    {"ПРД У", "Профили дек. угловые"},
    {"ПРД В", "Профили дек. вертикальные"},
    {"ПРД Г", "Профили дек. горизонтальные"},
    {"КЛ430", "Кляммеры нерж., 430"},
    {"КР АL", "Кронштейны аллюминиевые"},
    {"КЛ1304", "Кляммеры нерж., 12Х18"},
};

// numeric(28,6) keeps 22 digits before the point.
constexpr double kNumberLimit = 1e22;

}

ProductsStore::ProductsStore(DataModule* dm) : dm_(dm) {}

QString ProductsStore::productGroup(const QString& marka)
{
    const QString trimmed = marka.trimmed();
    const QString upper = trimmed.toUpper();
    QString group;
    for (const ProductGroup& row : kProductGroups) {
        const QString prefix = QString::fromUtf8(row.prefix);
        if (upper.left(prefix.size()) == prefix)
            group = QString::fromUtf8(row.name);
    }
    return group.isEmpty() ? trimmed.left(3) : group;
}

std::optional<QString> ProductsStore::markaProblem(const QString& marka)
{
    if (marka.toUcs4().size() > kMaxMarka)
        return QStringLiteral("Марка изделия не может быть длиннее %1 знаков!").arg(kMaxMarka);
    return std::nullopt;
}

std::optional<double> ProductsStore::readNumber(const QString& text)
{
    QString number = text.trimmed();
    number.replace(u',', u'.');
    bool ok = false;
    const double value = QLocale::c().toDouble(number, &ok);
    if (!ok || !std::isfinite(value) || std::fabs(value) >= kNumberLimit)
        return std::nullopt;
    return value;
}

QString ProductsStore::numberProblem(const QString& text)
{
    QString number = text.trimmed();
    number.replace(u',', u'.');
    bool ok = false;
    QLocale::c().toDouble(number, &ok);
    if (ok)
        return QStringLiteral("Число \"%1\" слишком велико!").arg(text.trimmed());
    return QStringLiteral("\"%1\" не является числом!").arg(text.trimmed());
}

QString ProductsStore::numberText(double value)
{
    return QString::number(value, 'g', 15).replace(u'.', u',');
}

QString ProductsStore::numberLiteral(double value)
{
    QString text = QString::number(value, 'f', 6);
    while (text.endsWith(u'0'))
        text.chop(1);
    if (text.endsWith(u'.'))
        text.chop(1);
    return text == QStringLiteral("-0") ? QStringLiteral("0") : text;
}

bool ProductsStore::markaTaken(const QString& marka, std::optional<qint64> exceptId)
{
    QString sql = QStringLiteral("select count(*) as cnt from accounts_dep.izdel where upper(trim(marka))=upper(:marka)");
    if (exceptId)
        sql += QStringLiteral(" and id<>%1").arg(*exceptId);
    return dm_->CheckExists(sql, QStringLiteral("Такая марка изделия уже заведена!"),
                            {{QStringLiteral("marka"), marka}});
}

void ProductsStore::addProduct(const QString& marka, double massa)
{
    Command* command = dm_->SQL_exec;
    command->clearParams();
    command->setText(QStringLiteral("INSERT INTO cmn_gds_and_srv.gds_and_srv(s_caption, s_description, id_msm_bs, massa)"
                                    "VALUES(:marka, :grp, 6, %1::t_float)")
                         .arg(numberLiteral(massa)));
    command->setParam(QStringLiteral("marka"), marka);
    command->setParam(QStringLiteral("grp"), productGroup(marka));
    command->execute();
}

bool ProductsStore::changeProduct(qint64 id, const QString& marka, double massa)
{
    // One statement, so the product and its catalogue row change together or not at all.
    const QString number = numberLiteral(massa);
    Command* command = dm_->SQL_exec;
    command->clearParams();
    command->setText(QStringLiteral("with catalogue as (update cmn_gds_and_srv.gds_and_srv "
                                    "set s_caption=:marka, s_description=:grp, massa=%2::t_float where id=%1) "
                                    "update accounts_dep.izdel set marka=:marka, nom=:grp, massa=%2::t_float where id=%1")
                         .arg(id)
                         .arg(number));
    command->setParam(QStringLiteral("marka"), marka);
    command->setParam(QStringLiteral("grp"), productGroup(marka));
    return command->execute() > 0;
}

void ProductsStore::deleteProduct(qint64 id)
{
    dm_->execute(QStringLiteral("delete from accounts_dep.izdel where id=%1").arg(id));
}
