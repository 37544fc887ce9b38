#include "app/startup.h"
#include <QApplication>
namespace Startup {
int run(QApplication& app) { return app.exec(); }
}
