#include "app/windows.h"
#include "db/datamodule.h"
#include "directories/normswindow.h"
#include "directories/operationslist.h"
#include "directories/optest_fixture.h"
#include "support/modal.h"
#include "support/testdb.h"
#include "ui/digitsedit.h"
#include "ui/guard.h"
#include "ui/messages.h"
#include "ui/numbertext.h"

#include <QClipboard>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

#include <QtTest>

using optest::child;

// The norms window against the real server: the levels of one operation edited in the
// grid, stored when a changed cell is left, new rows for the operation, the last row
// kept, and "Сохранить" refreshing the operations list at its row.
class NormsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDatabase> db;
    NormsWindow* norms = nullptr;

    Dataset* oper() const { return db->dm()->Oper; }
    QTableView* grid() const { return child<QTableView>(norms, "DBGrid1"); }
    QAbstractItemModel* model() const { return grid()->model(); }
    QString cell(int row, int column) const { return model()->index(row, column).data().toString(); }
    QString indicator(int row) const { return model()->headerData(row, Qt::Vertical).toString(); }
    int count(const QString& sql) const { return db->scalar(sql).toInt(); }
    int levels(int op) const { return count(QStringLiteral("select count(*) from accounts_dep.norm where o_id=%1").arg(op)); }

    // What the grid shows, row by row: "norma|price|prize".
    QStringList shown() const
    {
        QStringList rows;
        for (int r = 0; r < model()->rowCount(); ++r)
            rows << cell(r, 0) + u'|' + cell(r, 1) + u'|' + cell(r, 2);
        return rows;
    }
    // What the server holds for the operation, in norma order.
    QStringList stored(int op) const
    {
        QStringList rows;
        const SqlRun::Result r = db->dm()->select(QStringLiteral(
            "select coalesce(norma::text,'-') || '|' || coalesce(price::text,'-') || '|' || coalesce(prize::text,'-') as line "
            "from accounts_dep.norm where o_id=%1 order by norma, id").arg(op));
        for (const QSqlRecord& rec : r.rows)
            rows << rec.value(QStringLiteral("line")).toString();
        return rows;
    }

    // The editor open in the grid (a closed one lingers hidden until it is deleted).
    QLineEdit* openEditor() const
    {
        for (QLineEdit* e : grid()->findChildren<QLineEdit*>(QStringLiteral("cellEditor")))
            if (!e->isHidden())
                return e;
        return nullptr;
    }

    // Types into a cell as a user does: starts editing by typing, then the rest of the text.
    void typeInto(int row, int column, const QString& text)
    {
        grid()->setCurrentIndex(model()->index(row, column));
        QCoreApplication::processEvents();
        grid()->edit(model()->index(row, column));
        QLineEdit* editor = openEditor();
        QVERIFY(editor);
        editor->selectAll();
        QTest::keyClicks(editor, text);
    }
    // Leaves the cell with Tab and lets the grid finish the move.
    void tabOut()
    {
        QLineEdit* editor = openEditor();
        QTest::keyClick(editor ? static_cast<QWidget*>(editor) : grid(), Qt::Key_Tab);
        QCoreApplication::processEvents();
    }

private slots:
    void initTestCase()
    {
        db = std::make_unique<TestDatabase>(QStringLiteral("norms"));
        norms = new NormsWindow;
        appWindows().norms = norms;
    }
    void cleanupTestCase()
    {
        appWindows() = AppWindows{};
        delete norms;
        db.reset();
    }
    void init()
    {
        optest::loadPlant(*db);
        oper()->close();
        oper()->clearFilter();
        oper()->open();
    }
    void cleanup()
    {
        if (norms->isVisible())
            norms->reject();
        QCoreApplication::processEvents();
        QVERIFY(noTopLevelWindowOpen());
    }

    void showsTheLevelsOfOneOperationInNormaOrder()
    {
        db->exec(QStringLiteral("insert into accounts_dep.norm(o_id, norma, price, prize) values (1, 150, 11.345, 7)"));
        bool looked = false;
        onNextModal([&](QWidget* w) {
            auto close = optest::closeIfOpen(w);
            looked = true;
            QCOMPARE(w->objectName(), QStringLiteral("TForm22"));
            QCOMPARE(w->windowTitle(), QStringLiteral("Норматив"));
            QCOMPARE(model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Норматив"));
            QCOMPARE(model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Цена"));
            QCOMPARE(model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Премия, %"));
            QVERIFY(model()->headerData(0, Qt::Horizontal, Qt::FontRole).value<QFont>().bold());
            QVERIFY(grid()->verticalHeader()->isVisible());   // the row indicator
            QCOMPARE(shown(), (QStringList{QStringLiteral("100|10,00|5"), QStringLiteral("150|11,345|7"),
                                           QStringLiteral("200|12,50|10")}));
            QCOMPARE(indicator(0), QStringLiteral("▶"));
            QCOMPARE(indicator(1), QString());
            QVERIFY(child<QPushButton>(w, "Button1")->isDefault());
            QCOMPARE(child<QPushButton>(w, "Button1")->text(), QStringLiteral("Сохранить"));
            QCOMPARE(child<QPushButton>(w, "Button2")->text(), QStringLiteral("Удалить"));
            optest::screenshot(w, QStringLiteral("norms"));
            child<QPushButton>(w, "Button1")->click();
        });
        norms->showForOperation(optest::Kr100Bending);
        QVERIFY(looked);
        QCOMPARE(norms->operationId(), int(optest::Kr100Bending));
    }

    void priceShowsWithTwoToThreeDecimals_data()
    {
        QTest::addColumn<double>("price");
        QTest::addColumn<QString>("text");
        QTest::newRow("12.5") << 12.5 << QStringLiteral("12,50");
        QTest::newRow("12.345") << 12.345 << QStringLiteral("12,345");
        QTest::newRow("10") << 10.0 << QStringLiteral("10,00");
        QTest::newRow("0.1") << 0.1 << QStringLiteral("0,10");
        QTest::newRow("12.3456 rounds") << 12.3456 << QStringLiteral("12,346");
        QTest::newRow("no group separator") << 1500.0 << QStringLiteral("1500,00");
    }
    void priceShowsWithTwoToThreeDecimals()
    {
        QFETCH(double, price);
        QFETCH(QString, text);
        QCOMPARE(NormsWindow::priceText(price), text);
    }

    void aChangedCellIsStoredWhenLeftAndTheRowTakesItsPlace()
    {
        Messages::Recorder recorder;
        norms->loadOperation(optest::Kr100Bending);
        typeInto(0, 0, QStringLiteral("300"));
        QCOMPARE(stored(optest::Kr100Bending), (QStringList{QStringLiteral("100|10|5"), QStringLiteral("200|12.5|10")}));
        tabOut();
        QCOMPARE(stored(optest::Kr100Bending), (QStringList{QStringLiteral("200|12.5|10"), QStringLiteral("300|10|5")}));
        QCOMPARE(shown(), (QStringList{QStringLiteral("200|12,50|10"), QStringLiteral("300|10,00|5")}));
        // The current cell moved on with its row: the price of the row just stored.
        QCOMPARE(grid()->currentIndex().row(), 1);
        QCOMPARE(grid()->currentIndex().column(), 1);
        // A price with a comma, then the row is left downwards.
        typeInto(1, 1, QStringLiteral("9,75"));
        QTest::keyClick(openEditor(), Qt::Key_Up);
        QCoreApplication::processEvents();
        QCOMPARE(stored(optest::Kr100Bending), (QStringList{QStringLiteral("200|12.5|10"), QStringLiteral("300|9.75|5")}));
        // Leaving a cell without changing it stores nothing.
        db->exec(QStringLiteral("update accounts_dep.norm set prize=77 where o_id=1 and norma=200"));
        grid()->setCurrentIndex(model()->index(0, 2));
        QCoreApplication::processEvents();
        grid()->setCurrentIndex(model()->index(0, 0));
        QCoreApplication::processEvents();
        QCOMPARE(count(QStringLiteral("select prize from accounts_dep.norm where o_id=1 and norma=200")), 77);
        QVERIFY(recorder.shown.isEmpty());
    }

    void typingOverACellReplacesItsValue()
    {
        norms->loadOperation(optest::Kr100Bending);
        grid()->setCurrentIndex(model()->index(1, 2));
        QCoreApplication::processEvents();
        QTest::keyClick(grid(), Qt::Key_4);   // starts the editor with what was typed
        QLineEdit* editor = openEditor();
        QVERIFY(editor);
        QTest::keyClick(editor, Qt::Key_2);
        QCOMPARE(editor->text(), QStringLiteral("42"));
        QTest::keyClick(editor, Qt::Key_Return);   // ends the editing; the cell is not left yet
        QCoreApplication::processEvents();
        QCOMPARE(cell(1, 2), QStringLiteral("42"));
        QCOMPARE(levels(optest::Kr100Bending), 2);
        QCOMPARE(count(QStringLiteral("select prize from accounts_dep.norm where o_id=1 and norma=200")), 10);
        tabOut();
        QCOMPARE(stored(optest::Kr100Bending), (QStringList{QStringLiteral("100|10|5"), QStringLiteral("200|12.5|42")}));
    }

    // A bonus of more than the price itself asks first: "Нет" keeps the typed bonus in its
    // cell, unstored; "Да" stores it. 100 % and less is never asked about.
    void aBonusAboveTheWholePriceAsksFirst_data()
    {
        QTest::addColumn<QString>("bonus");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<bool>("asked");
        QTest::newRow("100: not asked") << QStringLiteral("100") << false << false;
        QTest::newRow("150: no") << QStringLiteral("150") << false << true;
        QTest::newRow("150: yes") << QStringLiteral("150") << true << true;
    }
    void aBonusAboveTheWholePriceAsksFirst()
    {
        QFETCH(QString, bonus);
        QFETCH(bool, answer);
        QFETCH(bool, asked);
        norms->loadOperation(optest::Kr100Bending);
        Messages::Recorder recorder(answer);
        typeInto(1, 2, bonus);
        tabOut();
        QCOMPARE(recorder.shown.size(), asked ? 1 : 0);
        if (asked)
            QVERIFY(recorder.shown[0].text.contains(QStringLiteral("Премия %1 %").arg(bonus)));
        const bool stored = !asked || answer;
        QCOMPARE(count(QStringLiteral("select prize from accounts_dep.norm where o_id=1 and norma=200")),
                 stored ? bonus.toInt() : 10);
        QCOMPARE(cell(1, 2), bonus);   // what was typed is never lost
        norms->reject();
    }

    void cellsTakeOnlyNumbers()
    {
        norms->loadOperation(optest::Kr100Bending);
        typeInto(0, 0, QStringLiteral("1x2-3"));
        QCOMPARE(openEditor()->text(), QStringLiteral("123"));
        tabOut();
        typeInto(0, 1, QStringLiteral("7.5.5"));
        QCOMPARE(openEditor()->text(), QStringLiteral("7,55"));   // a point is the decimal comma; the second is dropped
        QCOMPARE(qobject_cast<DigitsEdit*>(openEditor())->lastHint(), QStringLiteral("Запятая уже есть"));
        tabOut();
        QCOMPARE(stored(optest::Kr100Bending), (QStringList{QStringLiteral("123|7.55|5"), QStringLiteral("200|12.5|10")}));
        // An emptied cell is stored empty, and no longer counts as the lowest price.
        typeInto(0, 1, QString());
        QTest::keyClick(openEditor(), Qt::Key_Backspace);
        tabOut();
        QCOMPARE(stored(optest::Kr100Bending), (QStringList{QStringLiteral("123|-|5"), QStringLiteral("200|12.5|10")}));
        oper()->reopen();
        QVERIFY(oper()->locate(QStringLiteral("id"), int(optest::Kr100Bending)));
        QCOMPARE(oper()->value(QStringLiteral("cena")).toDouble(), 12.5);
    }

    // A pasted text is taken whole when it is one number the cell holds, else refused
    // whole with a message, the cell as it was: never cut down to some other number.
    void pastedTextIsTakenWholeOrRefused_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("before");   // the cell's text
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("expected"); // the editor's text afterwards
        QTest::addColumn<bool>("refused");
        QTest::newRow("norm grouped") << 0 << "" << "12 345 678" << "12345678" << false;
        QTest::newRow("norm of ten digits") << 0 << "" << "1234567890" << "1234567890" << false;
        QTest::newRow("price grouped, decimal comma") << 1 << "" << "1 250,75" << "1250,75" << false;
        QTest::newRow("price with a point") << 1 << "4" << "12.5" << "12,5" << false;
        QTest::newRow("norm with a unit") << 0 << "7" << "1 500 шт." << "7" << true;
        QTest::newRow("norm longer than its column") << 0 << "7" << "12345678901234567890" << "7" << true;
        QTest::newRow("bonus with a percent sign") << 2 << "" << "15 %" << "" << true;
        QTest::newRow("negative price with letters") << 1 << "4" << "-1,5abc" << "4" << true;
        QTest::newRow("price with a unit") << 1 << "4" << "12.5 руб." << "4" << true;
        QTest::newRow("price with five decimals") << 1 << "4" << "3,14159" << "4" << true;
        QTest::newRow("price with a second separator") << 1 << "4" << "1.2.3" << "4" << true;
        QTest::newRow("price, letters only") << 1 << "4" << "abc" << "4" << true;
    }
    void pastedTextIsTakenWholeOrRefused()
    {
        QFETCH(int, column);
        QFETCH(QString, before);
        QFETCH(QString, pasted);
        QFETCH(QString, expected);
        QFETCH(bool, refused);
        norms->loadOperation(optest::Kr100Bending);
        typeInto(0, column, before);
        QLineEdit* editor = openEditor();
        QVERIFY(editor);
        if (before.isEmpty())
            editor->clear();
        Messages::Recorder recorder;
        QApplication::clipboard()->setText(pasted);
        QTest::keyClick(editor, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(editor->text(), expected);
        QCOMPARE(recorder.shown.size(), refused ? 1 : 0);
        if (refused) {
            QVERIFY2(recorder.lastText().contains(QStringLiteral("Поле не изменено")), qPrintable(recorder.lastText()));
            QCOMPARE(recorder.shown.first().caption, QStringLiteral("Ошибка"));
        }
        // The cell takes it as a typed text.
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents();
        QCOMPARE(cell(0, column),
                 column == 1 && !expected.isEmpty() ? NormsWindow::priceText(QString(expected).replace(u',', u'.').toDouble())
                                                    : expected);
    }

    // Typed characters a number cannot hold are dropped one by one, each with the hint
    // and the beep; a digit that would overflow the column is dropped the same way.
    void typedCharactersAreDroppedWithAHint_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("hint");
        QTest::newRow("price with a minus and letters") << 1 << "-1,5abc" << "1,5" << DigitsEdit::kDigitsAndComma;
        QTest::newRow("price with a point") << 1 << "2.25" << "2,25" << QString();
        QTest::newRow("price with five decimals") << 1 << "3,14159" << "3,1415"
                                                  << QStringLiteral("Не больше 9 цифр до запятой и 4 после");
        QTest::newRow("norm with letters") << 0 << "1a2" << "12" << DigitsEdit::kDigitsOnly;
        QTest::newRow("norm of twenty nines") << 0 << QString(20, u'9') << QString(9, u'9')
                                              << QStringLiteral("Не больше ") + NumberText::whole(DigitsEdit::kIntegerColumn);
    }
    void typedCharactersAreDroppedWithAHint()
    {
        QFETCH(int, column);
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        QFETCH(QString, hint);
        norms->loadOperation(optest::Kr100Bending);
        typeInto(0, column, QString());
        auto* editor = qobject_cast<DigitsEdit*>(openEditor());
        QVERIFY(editor);
        editor->clear();
        QTest::keyClicks(editor, typed);
        QCOMPARE(editor->text(), expected);
        QCOMPARE(editor->lastHint(), hint);
        QTest::keyClick(editor, Qt::Key_Escape);
        QCoreApplication::processEvents();
    }

    void downFromTheLastRowStartsARowForTheOperation()
    {
        Messages::Recorder recorder;
        norms->loadOperation(optest::Kr200Bending);
        QCOMPARE(model()->rowCount(), 1);
        grid()->setCurrentIndex(model()->index(0, 0));
        QCoreApplication::processEvents();
        QTest::keyClick(grid(), Qt::Key_Down);
        QCOMPARE(model()->rowCount(), 2);
        QCOMPARE(grid()->currentIndex().row(), 1);
        QCOMPARE(indicator(1), QStringLiteral("*"));
        QTest::keyClick(grid(), Qt::Key_Down);   // an empty new row is not doubled
        QCOMPARE(model()->rowCount(), 2);
        typeInto(1, 0, QStringLiteral("5"));
        tabOut();
        QCOMPARE(levels(optest::Kr200Bending), 2);
        // Stored and re-read, the row took its place in norma order; the cell went with it.
        QCOMPARE(grid()->currentIndex(), model()->index(0, 1));
        typeInto(0, 1, QStringLiteral("2.5"));
        tabOut();
        typeInto(0, 2, QStringLiteral("3"));
        tabOut();
        QCOMPARE(stored(optest::Kr200Bending), (QStringList{QStringLiteral("5|2.5|3"), QStringLiteral("10|3.5|0")}));
        // Re-read in norma order, the new row is the first one and still shown.
        QCOMPARE(shown(), (QStringList{QStringLiteral("5|2,50|3"), QStringLiteral("10|3,50|0")}));
        QCOMPARE(grid()->currentIndex(), model()->index(1, 0));   // Tab from the last column
        QCOMPARE(indicator(1), QStringLiteral("▶"));
        QCOMPARE(indicator(0), QString());
        QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.norm where o_id is null")), 0);
        QVERIFY(recorder.shown.isEmpty());
    }

    void aNewRowLeftEmptyIsDropped()
    {
        norms->loadOperation(optest::Kr200Bending);
        grid()->setCurrentIndex(model()->index(0, 1));
        QCoreApplication::processEvents();
        QTest::keyClick(grid(), Qt::Key_Down);
        QCOMPARE(model()->rowCount(), 2);
        QTest::keyClick(grid(), Qt::Key_Up);
        QCoreApplication::processEvents();
        QCOMPARE(model()->rowCount(), 1);
        QCOMPARE(levels(optest::Kr200Bending), 1);
    }

    void anOperationWithoutLevelsTakesTypingIntoANewRow()
    {
        norms->loadOperation(optest::Kr200CuttingNoNorms);
        QCOMPARE(model()->rowCount(), 1);
        QCOMPARE(indicator(0), QStringLiteral("*"));
        typeInto(0, 1, QStringLiteral("8"));
        tabOut();
        QCOMPARE(stored(optest::Kr200CuttingNoNorms), QStringList{QStringLiteral("-|8|-")});
        QCOMPARE(shown(), QStringList{QStringLiteral("|8,00|")});
        // Now listed with its price.
        oper()->reopen();
        QVERIFY(oper()->locate(QStringLiteral("id"), int(optest::Kr200CuttingNoNorms)));
        QCOMPARE(oper()->value(QStringLiteral("cena")).toDouble(), 8.0);
    }

    void deleteKeepsTheLastLevel()
    {
        Messages::Recorder recorder;
        norms->loadOperation(optest::Kr200Bending);
        norms->onDelete();
        QCOMPARE(levels(optest::Kr200Bending), 1);
        QCOMPARE(shown(), QStringList{QStringLiteral("10|3,50|0")});
        QVERIFY(recorder.shown.isEmpty());
        // A new row not stored yet just goes.
        QTest::keyClick(grid(), Qt::Key_Down);
        QCOMPARE(model()->rowCount(), 2);
        norms->onDelete();
        QCOMPARE(model()->rowCount(), 1);
        QCOMPARE(levels(optest::Kr200Bending), 1);
    }

    void deleteOfOneOfThreeThenSaveRefreshesTheListAtItsRow()
    {
        Messages::Recorder recorder;
        db->exec(QStringLiteral("insert into accounts_dep.norm(o_id, norma, price, prize) values (1, 300, 15, 12)"));
        oper()->reopen();
        QVERIFY(oper()->locate(QStringLiteral("id"), int(optest::Kr100Bending)));
        const int recNo = oper()->recNo();
        QCOMPARE(oper()->value(QStringLiteral("norma")).toInt(), 3);
        QCOMPARE(oper()->value(QStringLiteral("cena")).toDouble(), 10.0);
        bool closed = false;
        onNextModal([&](QWidget* w) {
            auto close = optest::closeIfOpen(w);
            grid()->setCurrentIndex(model()->index(0, 0));   // 100 at 10.00, the lowest
            QCoreApplication::processEvents();
            child<QPushButton>(w, "Button2")->click();
            QCOMPARE(shown(), (QStringList{QStringLiteral("200|12,50|10"), QStringLiteral("300|15,00|12")}));
            child<QPushButton>(w, "Button1")->click();
            closed = !w->isVisible();
        });
        norms->showForOperation(optest::Kr100Bending);
        QVERIFY(closed);
        QVERIFY(recorder.shown.isEmpty());
        QCOMPARE(levels(optest::Kr100Bending), 2);
        QCOMPARE(oper()->recNo(), recNo);
        QCOMPARE(oper()->value(QStringLiteral("id")).toInt(), int(optest::Kr100Bending));
        QCOMPARE(oper()->value(QStringLiteral("norma")).toInt(), 2);
        QCOMPARE(oper()->value(QStringLiteral("cena")).toDouble(), 12.5);
    }

    void saveStoresWhatIsLeftAndSoDoEnterAndEsc_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<bool>("stored");
        QTest::newRow("Сохранить") << QStringLiteral("button") << true;
        QTest::newRow("Enter") << QStringLiteral("enter") << true;
        QTest::newRow("Esc") << QStringLiteral("escape") << true;
        QTest::newRow("frame button") << QStringLiteral("close") << false;
    }
    void saveStoresWhatIsLeftAndSoDoEnterAndEsc()
    {
        QFETCH(QString, way);
        QFETCH(bool, stored);
        Messages::Recorder recorder;
        QVERIFY(oper()->locate(QStringLiteral("id"), int(optest::Kr200Bending)));
        const int recNo = oper()->recNo();
        bool closed = false;
        onNextModal([&](QWidget* w) {
            auto close = optest::closeIfOpen(w);
            // A changed price, the cell not left: the editor still open or just closed.
            typeInto(0, 1, QStringLiteral("2"));
            if (way == QStringLiteral("button")) {
                child<QPushButton>(w, "Button1")->click();
            } else if (way == QStringLiteral("enter")) {
                QTest::keyClick(openEditor(), Qt::Key_Return);   // ends the editing
                QCoreApplication::processEvents();
                QTest::keyClick(grid(), Qt::Key_Return);         // the default button
            } else if (way == QStringLiteral("escape")) {
                QTest::keyClick(openEditor(), Qt::Key_Return);
                QCoreApplication::processEvents();
                QTest::keyClick(grid(), Qt::Key_Escape);
            } else {
                QTest::keyClick(openEditor(), Qt::Key_Return);
                QCoreApplication::processEvents();
                w->close();
            }
            closed = !w->isVisible();
        });
        norms->showForOperation(optest::Kr200Bending);
        QVERIFY(closed);
        QVERIFY(recorder.shown.isEmpty());
        QCOMPARE(db->scalar(QStringLiteral("select price from accounts_dep.norm where o_id=%1").arg(int(optest::Kr200Bending))).toDouble(),
                 stored ? 2.0 : 3.5);
        QCOMPARE(oper()->recNo(), recNo);
        if (stored)
            QCOMPARE(oper()->value(QStringLiteral("cena")).toDouble(), 2.0);
        // The next opening shows what the server holds.
        norms->loadOperation(optest::Kr200Bending);
        QCOMPARE(cell(0, 1), stored ? QStringLiteral("2,00") : QStringLiteral("3,50"));
    }

    void aRowTheServerRefusesStaysAsTypedAndNothingIsWritten()
    {
        Messages::Recorder recorder;
        norms->loadOperation(optest::Kr200Bending);
        // Another workstation deletes the operation meanwhile: a new level cannot belong to it.
        db->exec(QStringLiteral("delete from accounts_dep.oper where id=%1").arg(int(optest::Kr200Bending)));
        grid()->setCurrentIndex(model()->index(0, 0));
        QCoreApplication::processEvents();
        QTest::keyClick(grid(), Qt::Key_Down);
        typeInto(1, 0, QStringLiteral("20"));
        tabOut();
        QCOMPARE(recorder.shown.size(), 1);
        QCOMPARE(recorder.shown[0].caption, QStringLiteral("Ошибка"));
        QVERIFY2(recorder.shown[0].text.contains(QStringLiteral("norm")), qPrintable(recorder.shown[0].text));
        QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.norm where norma=20")), 0);
        QCOMPARE(cell(1, 0), QStringLiteral("20"));   // what was typed is still there
        // "Сохранить" tries again, is refused again and the window stays open.
        recorder.clear();
        QVERIFY(!guarded([this] { norms->onSave(); }));
        QCOMPARE(recorder.shown.size(), 1);
        QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.norm where norma=20")), 0);
    }
};

QTEST_MAIN(NormsTest)
#include "tst_norms.moc"
