#include "directories/normsstore.h"

#include "db/datamodule.h"

namespace {

QVariant orNull(const QVariant& value, QMetaType type)
{
    return value.isNull() || !value.isValid() ? QVariant(type) : value;
}

SqlRun::Params valuesOf(const NormsStore::Level& level)
{
    return {{QStringLiteral("norma"), orNull(level.norma, QMetaType::fromType<int>())},
            {QStringLiteral("price"), orNull(level.price, QMetaType::fromType<double>())},
            {QStringLiteral("prize"), orNull(level.prize, QMetaType::fromType<int>())}};
}

}

NormsStore::NormsStore(DataModule* dm) : dm_(dm) {}

QVector<NormsStore::Level> NormsStore::levels(int operationId) const
{
    const SqlRun::Result result = dm_->select(
        QStringLiteral("select id, o_id, norma, price, prize from accounts_dep.norm where o_id=%1 order by norma, id")
            .arg(operationId));
    QVector<Level> list;
    list.reserve(result.rows.size());
    for (const QSqlRecord& r : result.rows) {
        Level level;
        level.id = r.value(QStringLiteral("id")).toInt();
        level.operationId = r.value(QStringLiteral("o_id")).toInt();
        const QVariant norma = r.value(QStringLiteral("norma"));
        const QVariant price = r.value(QStringLiteral("price"));
        const QVariant prize = r.value(QStringLiteral("prize"));
        level.norma = norma.isNull() ? QVariant() : QVariant(norma.toInt());
        level.price = price.isNull() ? QVariant() : QVariant(price.toDouble());
        level.prize = prize.isNull() ? QVariant() : QVariant(prize.toInt());
        list.push_back(level);
    }
    return list;
}

int NormsStore::insert(const Level& level)
{
    SqlRun::Params params = valuesOf(level);
    params.insert(QStringLiteral("o_id"), level.operationId);
    dm_->execute(QStringLiteral("insert into accounts_dep.norm(o_id, norma, price, prize) values (:o_id, :norma, :price, :prize)"),
                 params);
    const SqlRun::Result drawn =
        dm_->select(QStringLiteral("select currval(pg_get_serial_sequence('accounts_dep.norm', 'id')) as id"));
    return drawn.rows.value(0).value(QStringLiteral("id")).toInt();
}

int NormsStore::update(const Level& level)
{
    SqlRun::Params params = valuesOf(level);
    params.insert(QStringLiteral("id"), level.id);
    return dm_->execute(QStringLiteral("update accounts_dep.norm set norma=:norma, price=:price, prize=:prize where id=:id"),
                        params);
}

int NormsStore::remove(int levelId)
{
    return dm_->execute(QStringLiteral("delete from accounts_dep.norm where id=%1").arg(levelId));
}
