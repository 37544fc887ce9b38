#pragma once
#include "db/dberror.h"
#include "db/sqlrun.h"
#include "ui/messages.h"

#include <exception>
#include <utility>

namespace GuardDetail {
// Whether a box about the lost connection is open right now (its nested event loop
// runs timers and queued work that may meet the same loss).
inline bool& lossBoxOpen()
{
    static bool open = false;
    return open;
}
}

// The general error handler. Every handler of a user action and every timer tick runs
// inside it: a statement the database refused stops the action there and its message
// (Russian first, the server's words below) is shown in the standard error box; the
// program goes on. No exception crosses Qt's event loop. A lost connection is told
// in one box at a time: while that box is open, the same news from elsewhere is not
// stacked on it. Returns false when the action was stopped by an error.
template <class F>
bool guarded(F&& action)
{
    try {
        std::forward<F>(action)();
        return true;
    } catch (const DbError& e) {
        if (e.isConnectionLoss()) {
            if (GuardDetail::lossBoxOpen())
                return false;
            SqlRun::setLossReported(e.connectionName());
            GuardDetail::lossBoxOpen() = true;
            Messages::error(e.message(), QStringLiteral("Ошибка"));
            GuardDetail::lossBoxOpen() = false;
        } else {
            Messages::error(e.message(), QStringLiteral("Ошибка"));
        }
    } catch (const std::exception& e) {
        Messages::error(QStringLiteral("Внутренняя ошибка программы.\n\n") + QString::fromUtf8(e.what()),
                        QStringLiteral("Ошибка"));
    }
    return false;
}

// For work nobody asked for just now (a timer tick): a lost connection that the user
// was already told about is not told again; the work simply tries again next time, and
// the connection is opened anew as soon as the server answers. Anything else is thrown
// on to the general error handler.
template <class F>
void quietWhileLossReported(F&& work)
{
    try {
        std::forward<F>(work)();
    } catch (const DbError& e) {
        if (!(e.isConnectionLoss() && SqlRun::lossReported(e.connectionName())))
            throw;
    }
}

// A slot that runs a member handler inside the general error handler:
//   connect(button, &QPushButton::clicked, this, guardedSlot(this, &Window::onAdd));
template <class T>
auto guardedSlot(T* object, void (T::*handler)())
{
    return [object, handler] { guarded([&] { (object->*handler)(); }); };
}
