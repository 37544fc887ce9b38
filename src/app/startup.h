#pragma once
#include <QStringList>

class LoginWindow;
class QApplication;

namespace Startup {
// Loads the Russian texts of Qt's standard dialogs (Да/Нет/Отмена).
void loadRussianStandardTexts(QApplication& app);
// Creates the data module and connects it from the command line (database, server);
// says "Подключение к БД отсутсвует!!!" and answers false when that fails.
bool connectDatabase(const QStringList& args);
// Creates every window, hidden: the login, then the others.
void createWindows();
void createLoginWindow();
void createOtherWindows();
// Creates and shows the login, centred; the other windows follow once it has been drawn,
// or sooner when the login needs them (ensureAppWindows).
LoginWindow* showLogin();
// Connects, creates and shows the login, creates the other windows once the login has
// been drawn, and runs the event loop.
int run(QApplication& app);
}
