#include "app/roles.h"

namespace Roles {

Role fromCode(const QString& typed)
{
    const QString code = typed.trimmed();
    if (code == QLatin1String("brivel")) return Role::Planner;
    if (code == QLatin1String("quolbin")) return Role::Foreman;
    if (code == QLatin1String("fumpo")) return Role::Storekeeper;
    if (code == QLatin1String("61370327") || code == QLatin1String("0583")) return Role::FullAccess;
    return Role::None;
}

QString foremanCode()
{
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
