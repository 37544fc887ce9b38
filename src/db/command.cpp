#include "db/command.h"

#include "db/sqlrun.h"

Command::Command(const QString& name, const QString& connectionName, QObject* parent)
    : QObject(parent), connectionName_(connectionName)
{
    setObjectName(name);
}

int Command::execute()
{
    return SqlRun::execute(connectionName_, text_, params_);
}
