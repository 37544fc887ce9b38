#include "directories/workersstore.h"

#include "db/command.h"
#include "db/datamodule.h"

WorkersStore::WorkersStore(DataModule* dm)
    : dm_(dm), cmd_person(new Command(QStringLiteral("cmd_person"), dm->connectionName()))
{
}

WorkersStore::~WorkersStore()
{
    delete cmd_person;
}

std::optional<QString> WorkersStore::nameProblem(const QString& fio)
{
    if (fio.isEmpty())
        return QStringLiteral("ФИО нужно заполнить!");
    if (fio.toUcs4().size() > kMaxText)
        return QStringLiteral("ФИО не может быть длиннее %1 знаков!").arg(kMaxText);
    return std::nullopt;
}

void WorkersStore::addWorker(const QString& fio, const QString& position)
{
    cmd_person->clearParams();
    cmd_person->setText(QStringLiteral("INSERT INTO accounts_dep.person (fio, s_staffpos_hl)VALUES(:fio, :pos)"));
    cmd_person->setParam(QStringLiteral("fio"), fio);
    cmd_person->setParam(QStringLiteral("pos"), position);
    cmd_person->execute();
}

bool WorkersStore::changeWorker(int id, const QString& fio, const QString& position)
{
    cmd_person->clearParams();
    cmd_person->setText(QStringLiteral("UPDATE accounts_dep.person SET fio=:fio, s_staffpos_hl=:pos "
                                       "where accounts_dep.person.id=%1")
                            .arg(id));
    cmd_person->setParam(QStringLiteral("fio"), fio);
    cmd_person->setParam(QStringLiteral("pos"), position);
    return cmd_person->execute() > 0;
}

void WorkersStore::deleteWorker(int id)
{
    cmd_person->clearParams();
    cmd_person->setText(QStringLiteral("delete from accounts_dep.person where id =%1").arg(id));
    cmd_person->execute();
}

QVector<WorkersStore::LookupRow> WorkersStore::lookup(const QString& table) const
{
    const SqlRun::Result result = dm_->select(QStringLiteral("select id, s_caption from %1").arg(table));
    QVector<LookupRow> rows;
    rows.reserve(result.rows.size());
    for (const QSqlRecord& r : result.rows)
        rows.push_back({r.value(0), r.value(1).toString().trimmed()});
    return rows;
}

QVector<WorkersStore::LookupRow> WorkersStore::departments() const
{
    return lookup(QStringLiteral("cmn_department.department"));
}

QVector<WorkersStore::LookupRow> WorkersStore::positions() const
{
    return lookup(QStringLiteral("hrms_staffpos.staffpos"));
}

QVector<WorkersStore::LookupRow> WorkersStore::roles() const
{
    return lookup(QStringLiteral("adm_role.roles"));
}
