#pragma once
// The ways a user puts text into a box: typed key by key (Cyrillic too), pasted with
// Ctrl+V, Shift+Insert or the context menu's paste item, or dropped on it.
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QtTest>

#include "ui/digitsedit.h"

namespace pasting {

// "typed", "Ctrl+V", "Shift+Ins", "menu" or "dropped".
inline void putText(QLineEdit* box, const QString& text, const QString& way)
{
    box->setFocus();
    if (way == u"typed") {
        for (const QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(box, &press);
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(box, &release);
        }
        return;
    }
    if (way == u"dropped") {
        QMimeData mime;
        mime.setText(text);
        const QPoint at = box->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(box, &enter);
        QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(box, &drop);
        return;
    }
    QApplication::clipboard()->setText(text);
    if (way == u"Ctrl+V") {
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    } else if (way == u"Shift+Ins") {
        QTest::keyClick(box, Qt::Key_Insert, Qt::ShiftModifier);
    } else if (way == u"menu") {
        const QPoint at = box->rect().center();
        QContextMenuEvent open(QContextMenuEvent::Mouse, at, box->mapToGlobal(at));
        QApplication::sendEvent(box, &open);
        QMenu* menu = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* m = qobject_cast<QMenu*>(w); m && m->isVisible())
                menu = m;
        QVERIFY2(menu, "no context menu");
        QAction* paste = nullptr;
        for (QAction* a : menu->actions())
            if (DigitsEdit::isPasteItem(a))
                paste = a;
        QVERIFY2(paste, "no paste item in the context menu");
        paste->trigger();
        menu->close();
    } else {
        QFAIL(qPrintable(QStringLiteral("unknown way %1").arg(way)));
    }
}

}
