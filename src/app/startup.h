#pragma once
class QApplication;

namespace Startup {
// Creates the data module, connects, creates every window and runs the event loop.
int run(QApplication& app);
}
