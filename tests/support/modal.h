#pragma once
#include <QWidget>
#include <functional>

// Acts on the next modal window as soon as it is shown: the action runs from a zero
// timer that waits for QApplication::activeModalWidget() to change. Use it before the
// call that shows the window with exec(). Gives up after timeoutMs.
void onNextModal(std::function<void(QWidget*)> action, int timeoutMs = 5000);

// Closes every top-level window still open (tests must leave none behind).
bool noTopLevelWindowOpen();
