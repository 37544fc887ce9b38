#pragma once
#include <QStringList>

class QApplication;

namespace Startup {
// Loads the Russian texts of Qt's standard dialogs (Да/Нет/Отмена).
void loadRussianStandardTexts(QApplication& app);
// Creates the data module and connects it from the command line (database, server);
// says "Подключение к БД отсутсвует!!!" and answers false when that fails.
bool connectDatabase(const QStringList& args);
// Creates every window, hidden, in the order of the program's start.
void createWindows();
// Connects, creates the windows, shows the login and runs the event loop.
int run(QApplication& app);
}
