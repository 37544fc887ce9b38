#include "support/modal.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <memory>

void onNextModal(std::function<void(QWidget*)> action, int timeoutMs)
{
    QPointer<QWidget> before = QApplication::activeModalWidget();
    auto elapsed = std::make_shared<QElapsedTimer>();
    elapsed->start();
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [=] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal != before.data() && modal->isVisible()) {
            action(modal);
            return;
        }
        if (elapsed->elapsed() > timeoutMs)
            return;
        QTimer::singleShot(10, *poll);
    };
    QTimer::singleShot(0, *poll);
}

bool noTopLevelWindowOpen()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible())
            return false;
    return true;
}
