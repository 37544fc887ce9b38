#pragma once
// Helpers the directory tests share: the list and editor of a directory on a fresh
// database, driving modal windows by object names, what a list shows of its mode.
#include "app/windows.h"
#include "db/datamodule.h"
#include "support/modal.h"
#include "support/testdb.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QtTest>
#include <functional>
#include <memory>

namespace dirtest {

// A child control by its object name; fails the test when there is none.
template <class T>
T* control(QWidget* window, const char* name)
{
    T* found = window->findChild<T*>(QString::fromLatin1(name));
    if (!found)
        qFatal("%s has no control %s", qPrintable(window->objectName()), name);
    return found;
}

inline QPushButton* button(QWidget* window, const char* name) { return control<QPushButton>(window, name); }
inline QLineEdit* edit(QWidget* window, const char* name) { return control<QLineEdit>(window, name); }
inline QTableView* grid(QWidget* window) { return control<QTableView>(window, "DBGrid1"); }

// A directory's list window and editor, made the application's windows for a test class
// on a fresh database of its own. The test class inherits it beside QObject.
template <class List, class Editor>
struct Directory {
    std::unique_ptr<TestDatabase> db;
    List* list = nullptr;
    Editor* editor = nullptr;
    List* AppWindows::*listSlot = nullptr;
    Editor* AppWindows::*editorSlot = nullptr;

    DataModule* dm() const { return db->dm(); }

    void setUp(const QString& prefix, List* AppWindows::*listOf, Editor* AppWindows::*editorOf)
    {
        db = std::make_unique<TestDatabase>(prefix);
        list = new List;
        editor = new Editor;
        listSlot = listOf;
        editorSlot = editorOf;
        appWindows().*listSlot = list;
        appWindows().*editorSlot = editor;
    }
    void tearDown()
    {
        appWindows().*listSlot = nullptr;
        appWindows().*editorSlot = nullptr;
        delete list;
        delete editor;
        db.reset();
    }
};

// What a list window shows of its mode: captions, which buttons are there and which one
// Enter presses, the search box.
struct ListLook {
    QString caption;
    QString changeText;      // Button2
    bool addShown = false, addDefault = false;        // Button1
    bool changeShown = false, changeDefault = false;  // Button2
    bool deleteShown = false;                         // Button3
    bool searchShown = false, searchFocused = false;  // Edit1
    QString searchText;
};

inline ListLook lookOf(QWidget* window)
{
    ListLook look;
    look.caption = window->windowTitle();
    look.changeText = button(window, "Button2")->text();
    look.addShown = button(window, "Button1")->isVisible();
    look.addDefault = button(window, "Button1")->isDefault();
    look.changeShown = button(window, "Button2")->isVisible();
    look.changeDefault = button(window, "Button2")->isDefault();
    look.deleteShown = button(window, "Button3")->isVisible();
    look.searchShown = edit(window, "Edit1")->isVisible();
    look.searchFocused = window->focusWidget() == edit(window, "Edit1");
    look.searchText = edit(window, "Edit1")->text();
    return look;
}

// Runs `show` (which exec()s a window) and acts on that window while it is shown. The
// window is closed afterwards if the action left it open. Answers whether the action ran.
inline bool whileShown(const std::function<void()>& show, const std::function<void(QDialog*)>& act)
{
    bool ran = false;
    onNextModal([&](QWidget* w) {
        auto* dialog = qobject_cast<QDialog*>(w);
        ran = true;
        // As a window manager does with a window just shown.
        if (QApplication::activeWindow() != dialog)
            QApplication::setActiveWindow(dialog);
        act(dialog);
        if (dialog->isVisible())
            dialog->reject();
    });
    show();
    return ran;
}

// Types text character by character as key presses (Cyrillic included, which
// QTest::keyClicks cannot send).
inline void typeText(QWidget* target, const QString& text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(target, &release);
    }
}

inline void pressKey(QWidget* target, Qt::Key key)
{
    QTest::keyClick(target, key);
}

// The texts of one grid column, top to bottom.
inline QStringList columnTexts(QTableView* view, int column = 0)
{
    QStringList texts;
    QAbstractItemModel* model = view->model();
    for (int row = 0; row < model->rowCount(); ++row)
        texts << model->index(row, column).data().toString();
    return texts;
}

inline QStringList columnTitles(QTableView* view)
{
    QStringList titles;
    QAbstractItemModel* model = view->model();
    for (int c = 0; c < model->columnCount(); ++c)
        titles << model->headerData(c, Qt::Horizontal).toString();
    return titles;
}

// The text of the selected row in a grid column (empty when nothing is selected).
inline QString selectedText(QTableView* view, int column = 0)
{
    const QModelIndexList rows = view->selectionModel()->selectedRows(column);
    return rows.isEmpty() ? QString() : rows.first().data().toString();
}

// Double-clicks a grid row as a user does.
inline void doubleClickRow(QTableView* view, int row)
{
    const QRect cell = view->visualRect(view->model()->index(row, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell.center());
}

// Ends a choosing as a user does: "button" clicks "Выбрать", "double click" double-clicks
// the row, "enter" and "escape" press those keys in the search box, anything else clicks
// "Выход".
inline void endChoosing(QDialog* w, const QString& how, int row)
{
    if (how == QLatin1String("button"))
        button(w, "Button2")->click();
    else if (how == QLatin1String("double click"))
        doubleClickRow(grid(w), row);
    else if (how == QLatin1String("enter"))
        pressKey(edit(w, "Edit1"), Qt::Key_Return);
    else if (how == QLatin1String("escape"))
        pressKey(edit(w, "Edit1"), Qt::Key_Escape);
    else
        button(w, "Button4")->click();
}

}
