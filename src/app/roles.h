#pragma once
#include <QString>
#include <QStringList>

// The four roles and what each may not use. There are no accounts: the access code
// alone decides the role.
enum class Role { None, Planner, Foreman, Storekeeper, FullAccess };

namespace Roles {

// The role of a typed code: blanks at both ends trimmed, compared exactly.
Role fromCode(const QString& typed);

// The foreman's code: the journal's acceptance double-click does nothing under it.
QString foremanCode();

// Object names of the journal window's controls and menus the role may not use.
QStringList journalControlsOff(Role role);
// Object names of the summary-reports window's controls the role may not use.
QStringList reportControlsOff(Role role);

}
