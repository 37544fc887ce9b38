#pragma once
// A small plant for the operations and norms tests: products with awkward markas
// (quote, percent, backslash, underscore, lower case), three kinds, operations with and
// without norm levels.
#include "support/testdb.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QTest>
#include <QDialog>
#include <QScopeGuard>
#include <QString>
#include <QWidget>

namespace optest {

enum Kind { Bending = 1, Cutting = 2, Painting = 3 };

// Operation ids as the fixture makes them.
enum Op {
    Kr100Bending = 1,      // norms 100/10, 200/12.5 → lowest 10, two levels
    Kr100CuttingBlanks,    // norm 50/7.25
    Kr200Bending,          // norm 10/3.5
    Kr200BendingBlanks,    // norm 10/4
    OBrienCutting,         // norm 1/1
    PercentBending,        // norm 1/2
    BackslashCutting,      // norm 1/3
    LowerKr300Bending,     // norm 1/4
    ProfilePainting,       // norm 1/5
    Kr200CuttingNoNorms,   // no norm level, list price 12.5
};

inline void loadPlant(const TestDatabase& db)
{
    db.exec(QStringLiteral(
        "truncate accounts_dep.smena, accounts_dep.norm, accounts_dep.oper, accounts_dep.vid_oper, "
        "accounts_dep.izdel restart identity cascade"));
    db.exec(QStringLiteral(
        "insert into accounts_dep.izdel(id, marka, nom, massa) values "
        "(101, 'КР-100', 'Кронштейн 100', 1.5), (102, 'КР-200', 'Кронштейн 200', 2), "
        "(103, 'O''Brien-1', 'Скоба', 1), (104, '50%-скоба', 'Скоба', 1), (105, 'A\\B', 'Уголок', 1), "
        "(106, 'кр-300', 'Кронштейн 300', 3), (107, 'Профиль_1', 'Профиль', 4)"));
    db.exec(QStringLiteral("insert into accounts_dep.vid_oper(vid) values ('Гибка'), ('Резка'), ('Покраска КРАСКА')"));
    db.exec(QStringLiteral(
        "insert into accounts_dep.oper(vid, naimen, i_id, cena_new) values "
        "(1, 0, 101, 0), (2, 1, 101, 0), (1, 0, 102, 0), (1, 1, 102, 0), (2, 0, 103, 0), (1, 0, 104, 0), "
        "(2, 0, 105, 0), (1, 1, 106, 0), (3, 0, 107, 3.25), (2, 0, 102, 12.5)"));
    db.exec(QStringLiteral(
        "insert into accounts_dep.norm(o_id, norma, price, prize) values "
        "(1, 200, 12.5, 10), (1, 100, 10, 5), (2, 50, 7.25, 0), (3, 10, 3.5, 0), (4, 10, 4, 0), "
        "(5, 1, 1, 0), (6, 1, 2, 0), (7, 1, 3, 0), (8, 1, 4, 0), (9, 1, 5, 0)"));
}

template <class T>
T* child(const QObject* parent, const char* name)
{
    T* w = parent->findChild<T*>(QString::fromLatin1(name));
    if (!w)
        qFatal("no child %s", name);
    return w;
}

// Closes a modal window that a failed check left open, so the test goes on.
inline auto closeIfOpen(QWidget* w)
{
    return qScopeGuard([w] {
        if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible())
            d->reject();
    });
}

// A double click as the mouse makes it: press, release, double click, release.
inline void doubleClick(QAbstractItemView* view, const QModelIndex& index)
{
    view->scrollTo(index);
    const QPoint at = view->visualRect(index).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at);
}

// Saves a picture of the window when TABEL_SCREENSHOTS names a folder.
inline void screenshot(QWidget* w, const QString& name)
{
    const QString dir = qEnvironmentVariable("TABEL_SCREENSHOTS");
    if (!dir.isEmpty())
        w->grab().save(dir + u'/' + name + QStringLiteral(".png"));
}

}
