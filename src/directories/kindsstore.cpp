#include "directories/kindsstore.h"

#include "db/datamodule.h"

KindsStore::KindsStore(DataModule* dm) : dm_(dm) {}

std::optional<QString> KindsStore::vidProblem(const QString& vid)
{
    if (vid.toUcs4().size() > kMaxVid)
        return QStringLiteral("Название вида операции не может быть длиннее %1 знаков!").arg(kMaxVid);
    return std::nullopt;
}

bool KindsStore::vidTaken(const QString& vid, std::optional<int> exceptId)
{
    QString sql = QStringLiteral("select count(*) as cnt from accounts_dep.vid_oper where upper(trim(vid))=upper(:vid)");
    if (exceptId)
        sql += QStringLiteral(" and id<>%1").arg(*exceptId);
    return dm_->CheckExists(sql, QStringLiteral("Такая операция уже заведена!"), {{QStringLiteral("vid"), vid}});
}

void KindsStore::addKind(const QString& vid)
{
    dm_->execute(QStringLiteral("insert into accounts_dep.vid_oper (vid) values (:vid)"), {{QStringLiteral("vid"), vid}});
}

bool KindsStore::changeKind(int id, const QString& vid)
{
    return dm_->execute(QStringLiteral("update accounts_dep.vid_oper set vid=:vid where id=%1").arg(id),
                        {{QStringLiteral("vid"), vid}})
        > 0;
}

void KindsStore::deleteKind(int id)
{
    dm_->execute(QStringLiteral("delete from accounts_dep.vid_oper where id=%1").arg(id));
}
