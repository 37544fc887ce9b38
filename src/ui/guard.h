#pragma once
#include "db/dberror.h"
#include "ui/messages.h"

#include <exception>
#include <utility>

// The general error handler. Every handler of a user action and every timer tick runs
// inside it: a statement the database refused stops the action there and its message
// is shown in the standard error box; the program goes on. No exception crosses Qt's
// event loop. Returns false when the action was stopped by an error.
template <class F>
bool guarded(F&& action)
{
    try {
        std::forward<F>(action)();
        return true;
    } catch (const DbError& e) {
        Messages::error(e.message(), QStringLiteral("Ошибка"));
    } catch (const std::exception& e) {
        Messages::error(QString::fromUtf8(e.what()), QStringLiteral("Ошибка"));
    }
    return false;
}

// A slot that runs a member handler inside the general error handler:
//   connect(button, &QPushButton::clicked, this, guardedSlot(this, &Window::onAdd));
template <class T>
auto guardedSlot(T* object, void (T::*handler)())
{
    return [object, handler] { guarded([&] { (object->*handler)(); }); };
}
