#pragma once
#include "db/connectionstring.h"

#include <QString>
#include <QStringList>

class DataModule;

// The four roles and what each may not use. There are no user accounts: the access code
// alone decides the role, and the server decides what a code is.
enum class Role { None, Planner, Foreman, Storekeeper, FullAccess };

namespace Roles {

// What the server answered to a code: the role and the login that carries its rights,
// or a refusal of its own (too many wrong codes), or neither for a wrong code.
struct SignInAnswer {
    Role role = Role::None;
    ConnectionString::Account account;
    QString refusal;
};

// Asks the server about a typed code (blanks at both ends trimmed). Throws DbError.
SignInAnswer signIn(DataModule& dm, const QString& typed);

// The role of a code: the one the server gave it in this session, else the role of the
// codes a new database starts with (blanks at both ends trimmed, compared exactly).
Role fromCode(const QString& typed);
// The role of the server's word for it: planner, foreman, storekeeper, full.
Role fromWord(const QString& word);
// The server's word for a role in the user's words: "полный доступ", "мастер",
// "кладовщик", "планировщик"; "администратор" for a superuser's session; empty for none.
QString title(const QString& word);

// The foreman's code (the one the server accepted in this session, else the code a new
// database starts with): the journal's acceptance double-click does nothing under it.
QString foremanCode();

// Object names of the journal window's controls and menus the role may not use.
QStringList journalControlsOff(Role role);
// Object names of the summary-reports window's controls the role may not use.
QStringList reportControlsOff(Role role);

}
