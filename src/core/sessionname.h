#pragma once
#include "core/roles.h"

#include <QString>

// The name this client gives its database connection (application_name): the program,
// its build stamp and, after login, the role. The server writes it into the history of
// changes beside every change the connection makes. The server keeps only printable
// ASCII there (anything else becomes "?") and at most 63 bytes, so the name is short
// plain Latin: "Tabel 20221121.74593 full".
namespace SessionName {

QString compose(int buildDate, int buildTime, Role role = Role::None);
// The role's word in the name: planner, foreman, storekeeper, full; empty for None.
QString roleWord(Role role);
// A name the history shows, in the user's words: this client's own names read
// "Табель, сборка 20221121.74593, полный доступ"; other programs' names stay as they are.
QString title(const QString& applicationName);
// The statement that gives the connection the name (the name is ours, never typed).
QString statement(const QString& name);

}
