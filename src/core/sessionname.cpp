#include "core/sessionname.h"

#include <QRegularExpression>

namespace SessionName {
namespace {

struct RoleNames {
    Role role;
    const char* word;
    const char* title;
};

const RoleNames kRoles[] = {
    {Role::Planner, "planner", "планировщик"},
    {Role::Foreman, "foreman", "мастер"},
    {Role::Storekeeper, "storekeeper", "кладовщик"},
    {Role::FullAccess, "full", "полный доступ"},
};

}

QString roleWord(Role role)
{
    for (const RoleNames& r : kRoles)
        if (r.role == role)
            return QString::fromLatin1(r.word);
    return {};
}

QString compose(int buildDate, int buildTime, Role role)
{
    const QString word = roleWord(role);
    const QString name = QStringLiteral("Tabel %1.%2").arg(buildDate).arg(buildTime);
    return word.isEmpty() ? name : name + u' ' + word;
}

QString title(const QString& applicationName)
{
    static const QRegularExpression own(QStringLiteral("^Tabel (\\d+\\.\\d+)(?: ([a-z]+))?$"));
    const QRegularExpressionMatch m = own.match(applicationName);
    if (!m.hasMatch())
        return applicationName;
    QString text = QStringLiteral("Табель, сборка %1").arg(m.captured(1));
    for (const RoleNames& r : kRoles)
        if (m.captured(2) == QLatin1String(r.word))
            text += QStringLiteral(", ") + QString::fromUtf8(r.title);
    return text;
}

QString statement(const QString& name)
{
    QString quoted = name;
    quoted.replace(u'\'', QStringLiteral("''"));
    return QStringLiteral("set application_name = '%1'").arg(quoted);
}

}
