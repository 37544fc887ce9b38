#include "core/roles.h"

#include "db/datamodule.h"

#include <QHash>

namespace Roles {

namespace {

// Codes the server accepted in this session, with their roles: a plant may have
// changed the codes a new database starts with.
QHash<QString, Role>& acceptedCodes()
{
    static QHash<QString, Role> codes;
    return codes;
}

}

Role fromWord(const QString& word)
{
    if (word == QLatin1String("planner")) return Role::Planner;
    if (word == QLatin1String("foreman")) return Role::Foreman;
    if (word == QLatin1String("storekeeper")) return Role::Storekeeper;
    if (word == QLatin1String("full")) return Role::FullAccess;
    return Role::None;
}

QString title(const QString& word)
{
    if (word == QLatin1String("planner")) return QStringLiteral("планировщик");
    if (word == QLatin1String("foreman")) return QStringLiteral("мастер");
    if (word == QLatin1String("storekeeper")) return QStringLiteral("кладовщик");
    if (word == QLatin1String("full")) return QStringLiteral("полный доступ");
    if (word == QLatin1String("admin")) return QStringLiteral("администратор");
    return {};
}

SignInAnswer signIn(DataModule& dm, const QString& typed)
{
    const QString code = typed.trimmed();
    const SqlRun::Result r = dm.select(QStringLiteral("select role_word, login, secret, refusal from accounts_dep.sign_in(:code)"),
                                       {{QStringLiteral("code"), code}});
    SignInAnswer answer;
    if (r.rows.isEmpty())
        return answer;
    const QSqlRecord& row = r.rows.first();
    answer.refusal = row.value(QStringLiteral("refusal")).toString();
    answer.role = fromWord(row.value(QStringLiteral("role_word")).toString());
    answer.account = {row.value(QStringLiteral("login")).toString(), row.value(QStringLiteral("secret")).toString()};
    if (answer.role != Role::None)
        acceptedCodes().insert(code, answer.role);
    return answer;
}

Role fromCode(const QString& typed)
{
    const QString code = typed.trimmed();
    if (const auto known = acceptedCodes().constFind(code); known != acceptedCodes().cend())
        return *known;
    if (code == QLatin1String("brivel")) return Role::Planner;
    if (code == QLatin1String("quolbin")) return Role::Foreman;
    if (code == QLatin1String("fumpo")) return Role::Storekeeper;
    if (code == QLatin1String("61370327") || code == QLatin1String("0583")) return Role::FullAccess;
    return Role::None;
}

QString foremanCode()
{
    // The code the server accepted as the foreman's in this session, if a plant changed it.
    for (auto it = acceptedCodes().cbegin(); it != acceptedCodes().cend(); ++it)
        if (*it == Role::Foreman)
            return it.key();
    return QStringLiteral("quolbin");
}

QStringList journalControlsOff(Role role)
{
    switch (role) {
    case Role::Planner:
        return {"Button1", "Button2", "Button3", "Button8", "RadioButton1", "RadioButton2", "RadioButton3",
                "RadioButton4", "CBox1", "DateT", "DBGrid2", "N2", "N11", "N13", "N14"};
    case Role::Foreman:
        return {"Button2", "Button3", "N2", "N11", "N13", "N14"};
    case Role::Storekeeper:
        return {"Button1", "Button2", "Button3", "N2", "N11", "N13", "N14"};
    default:
        return {};
    }
}

QStringList reportControlsOff(Role role)
{
    switch (role) {
    case Role::Foreman:
        return {"Button1", "Button2", "Button4", "Button6"};
    case Role::Storekeeper:
        return {"Button1", "Button2", "Button4", "Button6", "RadioGroup1"};
    default:
        return {};
    }
}

}
