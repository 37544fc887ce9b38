#include "journal/journalstore.h"

#include "db/datamodule.h"

JournalStore::JournalStore(DataModule* dm) : dm_(dm)
{
    updtOK_ = new Command(QStringLiteral("updtOK"), dm->connectionName(), dm);
    updtOK_->setText(QStringLiteral("update accounts_dep.smena set ok=:ok where id=:id"));
}

int JournalStore::deleteEntry(int id)
{
    dm_->DelSmena->setText(QStringLiteral("delete from accounts_dep.smena where id=%1").arg(id));
    return dm_->DelSmena->execute();
}

int JournalStore::setMark(int id, const QString& mark)
{
    updtOK_->setParam(QStringLiteral("id"), id);
    updtOK_->setParam(QStringLiteral("ok"), mark);
    return updtOK_->execute();
}

bool JournalStore::isAccepted(const QString& mark)
{
    // The mark is stored as char(2); the padding of a one-letter mark is not part of it.
    QString m = mark;
    while (m.endsWith(u' '))
        m.chop(1);
    return m == QLatin1String("ok") || m == QStringLiteral("да");
}

QString JournalStore::toggledMark(const QString& mark)
{
    return isAccepted(mark) ? QStringLiteral("no") : QStringLiteral("ok");
}

bool JournalStore::isWeekend(const QDate& date)
{
    return date.dayOfWeek() >= 6;
}
