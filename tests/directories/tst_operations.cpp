#include "app/windows.h"
#include "db/datamodule.h"
#include "directories/kindslist.h"
#include "directories/normswindow.h"
#include "directories/operationeditor.h"
#include "directories/operationslist.h"
#include "directories/optest_fixture.h"
#include "directories/productslist.h"
#include "export/optest_xlsx.h"
#include "export/spreadsheet.h"
#include "support/modal.h"
#include "support/testdb.h"
#include "ui/guard.h"
#include "ui/messages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

using optest::child;

// The operations and prices directory against the real server: the list, its search, the
// editor's add and change with the duplicate guard, delete, the choose mode that hands an
// operation to the journal entry editor, the norms switch and the price-list export.
class OperationsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDatabase> db;
    OperationsList* list = nullptr;
    OperationEditor* editor = nullptr;
    NormsWindow* norms = nullptr;
    QStringList exported;
    QTemporaryDir documents;   // the user's documents folder

    DataModule* dm() const { return db->dm(); }
    Dataset* oper() const { return db->dm()->Oper; }
    QTableView* grid() const { return child<QTableView>(list, "DBGrid1"); }
    QPushButton* button(QWidget* w, const char* name) const { return child<QPushButton>(w, name); }
    QLineEdit* searchBox() const { return child<QLineEdit>(list, "Edit1"); }
    int count(const QString& sql) const { return db->scalar(sql).toInt(); }
    int operations() const { return count(QStringLiteral("select count(*) from accounts_dep.oper")); }

    QStringList listedMarkas() const
    {
        QStringList markas;
        for (int r = 0; r < oper()->recordCount(); ++r)
            markas << oper()->valueAt(r, QStringLiteral("MARKA")).toString();
        return markas;
    }
    int currentOperation() const { return oper()->value(QStringLiteral("id")).toInt(); }

    // Fills the editor as the choosers would and saves it; the editor is the modal window.
    void fillAndSave(qint64 product, const QString& marka, int kind, const QString& vid, int naimen)
    {
        editor->setProduct(product, marka);
        editor->setKind(kind, vid);
        child<QComboBox>(editor, "ComboBox1")->setCurrentIndex(naimen);
        button(editor, "Button1")->click();
    }

private slots:
    void initTestCase()
    {
        db = std::make_unique<TestDatabase>(QStringLiteral("operations"));
        list = new OperationsList;
        editor = new OperationEditor;
        norms = new NormsWindow;
        appWindows().operationsList = list;
        appWindows().operationEditor = editor;
        appWindows().norms = norms;
        Spreadsheet::setViewer([this](const QString& path) {
            exported << path;
            return true;
        });
        Spreadsheet::setFolder(documents.path());
    }
    void cleanupTestCase()
    {
        Spreadsheet::setViewer({});
        Spreadsheet::setFolder(QString());
        appWindows() = AppWindows{};
        delete list;
        delete editor;
        delete norms;
        db.reset();
    }
    void init()
    {
        optest::loadPlant(*db);
        searchBox()->show();
        searchBox()->clear();
        oper()->close();
        oper()->clearFilter();
        child<QCheckBox>(list, "CheckBox1")->setChecked(false);
    }
    void cleanup()
    {
        for (const QString& f : exported)
            QFile::remove(f);
        exported.clear();
        QVERIFY(noTopLevelWindowOpen());
    }

    void directoryModeListsTheOperationsThatHaveNorms()
    {
        bool looked = false;
        onNextModal([&](QWidget* w) {
            auto close = optest::closeIfOpen(w);
            looked = true;
            QCOMPARE(w, list);
            QCOMPARE(w->objectName(), QStringLiteral("TForm4"));
            QCOMPARE(w->windowTitle(), QStringLiteral("Операции"));
            QCOMPARE(list->listMode(), 0);
            QCOMPARE(button(w, "Button2")->text(), QStringLiteral("Изменить"));
            QVERIFY(!button(w, "Button2")->isDefault());
            QVERIFY(button(w, "Button1")->isDefault());
            QVERIFY(button(w, "Button1")->isVisible() && button(w, "Button3")->isVisible());
            QCOMPARE(button(w, "Button5")->text(), QStringLiteral("Excel"));
            QCOMPARE(child<QCheckBox>(w, "CheckBox1")->text(), QStringLiteral("Цены"));
            QVERIFY(child<QCheckBox>(w, "CheckBox1")->font().bold());

            QAbstractItemModel* model = grid()->model();
            const QStringList titles = {QStringLiteral("Марка"), QStringLiteral("Опреция"), QStringLiteral("Цена (min)"),
                                        QStringLiteral("Вид"), QStringLiteral("Нормы (шт.)")};
            for (int c = 0; c < titles.size(); ++c) {
                QCOMPARE(model->headerData(c, Qt::Horizontal).toString(), titles[c]);
                QVERIFY(!grid()->isColumnHidden(c));
            }
            for (int c = titles.size(); c < model->columnCount(); ++c)
                QVERIFY(grid()->isColumnHidden(c));   // id, i_id, oper_vid
            QCOMPARE(grid()->selectionBehavior(), QAbstractItemView::SelectRows);

            // Nine operations have norm levels; the one without is not listed.
            QCOMPARE(model->rowCount(), 9);
            QVERIFY(!oper()->locate(QStringLiteral("id"), int(optest::Kr200CuttingNoNorms)));
            // Marka, then kind name, then finished before blanks.
            QVERIFY(oper()->locate(QStringLiteral("id"), int(optest::Kr100Bending)));
            const int r = oper()->recNo() - 1;
            QCOMPARE(model->index(r, 0).data().toString(), QStringLiteral("КР-100"));
            QCOMPARE(model->index(r, 1).data().toString(), QStringLiteral("Гибка"));
            QCOMPARE(model->index(r, 2).data().toString(), QStringLiteral("10,00"));
            QCOMPARE(model->index(r, 3).data().toString(), QStringLiteral("Готовая продукция"));
            QCOMPARE(model->index(r, 4).data().toString(), QStringLiteral("2"));
            QCOMPARE(model->index(r + 1, 1).data().toString(), QStringLiteral("Резка"));
            QCOMPARE(model->index(r + 1, 2).data().toString(), QStringLiteral("7,25"));
            QCOMPARE(model->index(r + 1, 3).data().toString(), QStringLiteral("Заготовки"));
            QCOMPARE(model->index(r + 2, 0).data().toString(), QStringLiteral("КР-200"));
            QCOMPARE(model->index(r + 2, 3).data().toString(), QStringLiteral("Готовая продукция"));
            QCOMPARE(model->index(r + 3, 0).data().toString(), QStringLiteral("КР-200"));
            QCOMPARE(model->index(r + 3, 3).data().toString(), QStringLiteral("Заготовки"));
            optest::screenshot(w, QStringLiteral("operations-list"));
            QTest::keyClick(w, Qt::Key_Escape);   // Esc closes the list
        });
        list->showDirectory();
        QVERIFY(looked);
        QVERIFY(!list->isVisible());
        QVERIFY(!oper()->isOpen());
    }

    void searchIsAPlainTextPrefixOfTheMarka_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");
        const QStringList all;   // empty: every operation
        QTest::newRow("empty") << QString() << all;
        QTest::newRow("blanks only") << QStringLiteral("   ") << all;
        QTest::newRow("prefix, any letter case") << QStringLiteral("кр-")
            << QStringList{QStringLiteral("КР-100"), QStringLiteral("КР-100"), QStringLiteral("КР-200"),
                           QStringLiteral("КР-200"), QStringLiteral("кр-300")};
        QTest::newRow("not inside the marka") << QStringLiteral("200") << QStringList{QStringLiteral("<none>")};
        QTest::newRow("quote") << QStringLiteral("o'") << QStringList{QStringLiteral("O'Brien-1")};
        QTest::newRow("lone quote") << QStringLiteral("'") << QStringList{QStringLiteral("<none>")};
        QTest::newRow("percent is a character") << QStringLiteral("50%") << QStringList{QStringLiteral("50%-скоба")};
        QTest::newRow("percent alone matches nothing") << QStringLiteral("%") << QStringList{QStringLiteral("<none>")};
        QTest::newRow("backslash") << QStringLiteral("A\\") << QStringList{QStringLiteral("A\\B")};
        QTest::newRow("underscore is a character") << QStringLiteral("Профиль_") << QStringList{QStringLiteral("Профиль_1")};
        QTest::newRow("underscore alone matches nothing") << QStringLiteral("_") << QStringList{QStringLiteral("<none>")};
        QTest::newRow("statement text") << QStringLiteral("x'; delete from accounts_dep.oper; --")
                                        << QStringList{QStringLiteral("<none>")};
    }
    void searchIsAPlainTextPrefixOfTheMarka()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        Messages::Recorder recorder;
        oper()->open();
        searchBox()->setText(text);
        if (expected.isEmpty()) {
            QVERIFY(!oper()->isFiltered());
            QCOMPARE(oper()->recordCount(), 9);
        } else if (expected == QStringList{QStringLiteral("<none>")}) {
            QCOMPARE(oper()->recordCount(), 0);
        } else {
            QCOMPARE(listedMarkas(), expected);
        }
        QVERIFY(recorder.shown.isEmpty());
        QCOMPARE(operations(), 10);
        searchBox()->clear();
        QVERIFY(!oper()->isFiltered());
        QCOMPARE(oper()->recordCount(), 9);
    }

    void searchBoxTakesTypingAndMovesWithUpAndDown()
    {
        oper()->open();
        QLineEdit* box = searchBox();
        box->setText(QStringLiteral("кр"));
        QCOMPARE(oper()->recordCount(), 5);
        QCOMPARE(oper()->recNo(), 1);
        QTest::keyClick(box, Qt::Key_Down);
        QTest::keyClick(box, Qt::Key_Down);
        QCOMPARE(oper()->recNo(), 3);
        QTest::keyClick(box, Qt::Key_Up);
        QCOMPARE(oper()->recNo(), 2);
        QCOMPARE(box->text(), QStringLiteral("кр"));
        // Typed characters and Backspace reach the box; Delete, Home, End, Left, Right do not.
        box->setCursorPosition(2);
        for (Qt::Key key : {Qt::Key_Left, Qt::Key_Home, Qt::Key_Delete, Qt::Key_End, Qt::Key_Right}) {
            QTest::keyClick(box, key);
            QCOMPARE(box->cursorPosition(), 2);
        }
        box->setCursorPosition(0);
        QTest::keyClick(box, Qt::Key_Delete);
        QCOMPARE(box->text(), QStringLiteral("кр"));
        box->setCursorPosition(2);
        QKeyEvent dash(QEvent::KeyPress, Qt::Key_Minus, Qt::NoModifier, QStringLiteral("-"));
        QApplication::sendEvent(box, &dash);
        QKeyEvent two(QEvent::KeyPress, Qt::Key_2, Qt::NoModifier, QStringLiteral("2"));
        QApplication::sendEvent(box, &two);
        QCOMPARE(box->text(), QStringLiteral("кр-2"));
        QCOMPARE(listedMarkas(), (QStringList{QStringLiteral("КР-200"), QStringLiteral("КР-200")}));
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClick(box, Qt::Key_Backspace);
        QCOMPARE(box->text(), QStringLiteral("кр"));
        QCOMPARE(oper()->recordCount(), 5);
    }

    void addSavesTheOperationWithAFirstNormLevelAndShowsIt()
    {
        Messages::Recorder recorder;
        oper()->open();
        bool saved = false;
        onNextModal([&](QWidget* w) {
            auto close = optest::closeIfOpen(w);
            QCOMPARE(w, editor);
            QCOMPARE(w->windowTitle(), QStringLiteral("Заведение новой цены за операцию"));
            QCOMPARE(editor->mode(), 1);
            QVERIFY(child<QLineEdit>(w, "Edit1")->text().isEmpty());
            QVERIFY(child<QLineEdit>(w, "Edit2")->text().isEmpty());
            QCOMPARE(child<QComboBox>(w, "ComboBox1")->currentText(), QStringLiteral("Готовая продукция"));
            QVERIFY(child<QLineEdit>(w, "Edit1")->isReadOnly());
            QCOMPARE(child<QLineEdit>(w, "Edit1")->focusPolicy(), Qt::NoFocus);
            QCOMPARE(w->focusWidget(), button(w, "Button3"));
            fillAndSave(103, QStringLiteral("O'Brien-1"), optest::Painting, QStringLiteral("Покраска КРАСКА"), 1);
            saved = !w->isVisible();
        });
        list->onAdd();
        QVERIFY(saved);
        QVERIFY(recorder.shown.isEmpty());
        QCOMPARE(operations(), 11);
        const int id = count(QStringLiteral("select id from accounts_dep.oper where vid=3 and naimen=1 and i_id=103"));
        QVERIFY(id > 0);
        QCOMPARE(db->scalar(QStringLiteral("select cena_new from accounts_dep.oper where id=%1").arg(id)).toDouble(), 0.0);
        // Its first norm level, price 0, so that it is listed and can be priced.
        QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.norm where o_id=%1 and price=0").arg(id)), 1);
        QCOMPARE(oper()->recordCount(), 10);
        QCOMPARE(currentOperation(), id);
        QCOMPARE(oper()->value(QStringLiteral("nmn")).toString(), QStringLiteral("Заготовки"));
        QCOMPARE(oper()->value(QStringLiteral("norma")).toInt(), 1);
    }

    void addRefusesEmptyFieldsAndDuplicates_data()
    {
        QTest::addColumn<QString>("marka");
        QTest::addColumn<QString>("vid");
        QTest::addColumn<int>("naimen");
        QTest::addColumn<QString>("message");
        const QString fill = QStringLiteral("Все поля должны быть заполнены!");
        const QString duplicate = QStringLiteral("Операция с такими параметрами уже заведена!");
        QTest::newRow("no product") << QString() << QStringLiteral("Гибка") << 0 << fill;
        QTest::newRow("no kind") << QStringLiteral("КР-100") << QString() << 0 << fill;
        QTest::newRow("blanks only") << QStringLiteral("  ") << QStringLiteral(" ") << 0 << fill;
        QTest::newRow("same product, kind and finished") << QStringLiteral("КР-100") << QStringLiteral("Гибка") << 0 << duplicate;
        QTest::newRow("same product, kind and blanks") << QStringLiteral("КР-100") << QStringLiteral("Резка") << 1 << duplicate;
    }
    void addRefusesEmptyFieldsAndDuplicates()
    {
        QFETCH(QString, marka);
        QFETCH(QString, vid);
        QFETCH(int, naimen);
        QFETCH(QString, message);
        Messages::Recorder recorder;
        oper()->open();
        const int kind = vid == QStringLiteral("Резка") ? optest::Cutting : optest::Bending;
        bool stayedOpen = false;
        onNextModal([&](QWidget* w) {
            auto close = optest::closeIfOpen(w);
            fillAndSave(101, marka, kind, vid, naimen);
            stayedOpen = w->isVisible();
        });
        editor->prepareAdd();
        editor->exec();
        QVERIFY(stayedOpen);
        QCOMPARE(recorder.shown.size(), 1);
        QCOMPARE(recorder.shown[0].text, message);
        QCOMPARE(recorder.shown[0].caption, QStringLiteral("Ошибка"));
        QVERIFY(recorder.shown[0].icon == Messages::Icon::Error);
        QCOMPARE(operations(), 10);
        QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.norm")), 10);
    }

    void anAddTheServerRefusesLeavesNothingHalfWritten_data()
    {
        QTest::addColumn<qint64>("product");
        QTest::addColumn<bool>("refuseNorms");
        QTest::addColumn<QString>("message");
        QTest::newRow("product key too large for an operation") << qint64(99999999999) << false
                                                                << QStringLiteral("out of range");
        QTest::newRow("first norm level refused") << qint64(105) << true << QStringLiteral("нормы закрыты");
    }
    void anAddTheServerRefusesLeavesNothingHalfWritten()
    {
        QFETCH(qint64, product);
        QFETCH(bool, refuseNorms);
        QFETCH(QString, message);
        if (refuseNorms)
            db->exec(QStringLiteral(
                "create or replace function public.optest_refuse() returns trigger language plpgsql as $$ "
                "begin raise exception 'нормы закрыты'; end $$; "
                "create trigger optest_refuse before insert on accounts_dep.norm "
                "for each row execute function public.optest_refuse()"));
        auto dropTrigger = qScopeGuard([this] {
            db->exec(QStringLiteral("drop trigger if exists optest_refuse on accounts_dep.norm"));
        });
        Messages::Recorder recorder;
        oper()->open();
        bool stayedOpen = false;
        onNextModal([&](QWidget* w) {
            auto close = optest::closeIfOpen(w);
            fillAndSave(product, QStringLiteral("изделие"), optest::Cutting, QStringLiteral("Резка"), 1);
            stayedOpen = w->isVisible();
        });
        editor->prepareAdd();
        editor->exec();
        QVERIFY(stayedOpen);
        QCOMPARE(recorder.shown.size(), 1);
        QVERIFY2(recorder.shown[0].text.contains(message), qPrintable(recorder.shown[0].text));
        QCOMPARE(recorder.shown[0].caption, QStringLiteral("Ошибка"));
        QCOMPARE(operations(), 10);
        QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.norm")), 10);
        QCOMPARE(oper()->recordCount(), 9);
    }

    void changeExcludesItsOwnRowAndRefusesAnotherOnesKey_data()
    {
        QTest::addColumn<qint64>("product");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("naimen");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("saved unchanged") << qint64(101) << int(optest::Bending) << 0 << true;
        QTest::newRow("to blanks") << qint64(101) << int(optest::Bending) << 1 << true;
        QTest::newRow("to another product") << qint64(107) << int(optest::Bending) << 0 << true;
        QTest::newRow("into an existing one") << qint64(101) << int(optest::Cutting) << 1 << false;
        QTest::newRow("into one without norms") << qint64(102) << int(optest::Cutting) << 0 << false;
    }
    void changeExcludesItsOwnRowAndRefusesAnotherOnesKey()
    {
        QFETCH(qint64, product);
        QFETCH(int, kind);
        QFETCH(int, naimen);
        QFETCH(bool, accepted);
        Messages::Recorder recorder;
        dm()->execute(QStringLiteral("update accounts_dep.oper set cena_new=7.5 where id=1"));
        oper()->open();
        QVERIFY(oper()->locate(QStringLiteral("id"), int(optest::Kr100Bending)));
        bool closed = false;
        onNextModal([&](QWidget* w) {
            auto close = optest::closeIfOpen(w);
            QCOMPARE(w->windowTitle(), QStringLiteral("Изменение данных о цене за операцию"));
            QCOMPARE(editor->mode(), 2);
            QCOMPARE(child<QLineEdit>(w, "Edit1")->text(), QStringLiteral("КР-100"));
            QCOMPARE(child<QLineEdit>(w, "Edit2")->text(), QStringLiteral("Гибка"));
            QCOMPARE(child<QComboBox>(w, "ComboBox1")->currentIndex(), 0);
            QCOMPARE(editor->productId(), qint64(101));
            QCOMPARE(editor->kindId(), int(optest::Bending));
            optest::screenshot(w, QStringLiteral("operation-editor"));
            fillAndSave(product, QStringLiteral("марка"), kind, QStringLiteral("вид"), naimen);
            closed = !w->isVisible();
        });
        list->onChangeOrChoose();
        QCOMPARE(closed, accepted);
        const SqlRun::Result row = dm()->select(QStringLiteral("select vid, naimen, i_id, cena_new from accounts_dep.oper where id=1"));
        const QSqlRecord r = row.rows.value(0);
        if (accepted) {
            QVERIFY(recorder.shown.isEmpty());
            QCOMPARE(r.value(QStringLiteral("vid")).toInt(), kind);
            QCOMPARE(r.value(QStringLiteral("naimen")).toInt(), naimen);
            QCOMPARE(r.value(QStringLiteral("i_id")).toLongLong(), product);
            QCOMPARE(currentOperation(), int(optest::Kr100Bending));   // the list shows it, reloaded
            QCOMPARE(oper()->value(QStringLiteral("NAIMEN")).toInt(), naimen);
        } else {
            QCOMPARE(recorder.texts(), QStringList{QStringLiteral("Операция с такими параметрами уже заведена!")});
            QCOMPARE(r.value(QStringLiteral("vid")).toInt(), int(optest::Bending));
            QCOMPARE(r.value(QStringLiteral("naimen")).toInt(), 0);
            QCOMPARE(r.value(QStringLiteral("i_id")).toInt(), 101);
        }
        QCOMPARE(r.value(QStringLiteral("cena_new")).toDouble(), 7.5);   // never changed
        QCOMPARE(operations(), 10);
    }

    void changeOfAnOperationDeletedMeanwhileIsNotReportedAsDone()
    {
        Messages::Recorder recorder;
        oper()->open();
        QVERIFY(oper()->locate(QStringLiteral("id"), int(optest::Kr200Bending)));
        editor->prepareChange(optest::Kr200Bending, QStringLiteral("КР-200 "), QStringLiteral(" Гибка"), 0, 102,
                              optest::Bending);
        QCOMPARE(child<QLineEdit>(editor, "Edit1")->text(), QStringLiteral("КР-200"));
        db->exec(QStringLiteral("delete from accounts_dep.oper where id=%1").arg(int(optest::Kr200Bending)));
        onNextModal([&](QWidget* w) {
            auto close = optest::closeIfOpen(w);
            button(w, "Button1")->click();
        });
        editor->exec();
        QCOMPARE(recorder.shown.size(), 1);
        QVERIFY(recorder.shown[0].text.contains(QStringLiteral("Операция не найдена")));
        QVERIFY(!oper()->locate(QStringLiteral("id"), int(optest::Kr200Bending)));
    }

    void deleteAsksFirstAndTheServerMayRefuse()
    {
        oper()->open();
        QVERIFY(oper()->locate(QStringLiteral("id"), int(optest::Kr200Bending)));
        const int row = oper()->recNo();
        {
            Messages::Recorder recorder(false);   // "Нет"
            list->onDelete();
            QCOMPARE(recorder.shown.size(), 1);
            QCOMPARE(recorder.shown[0].text, QStringLiteral("Удалить операцию?"));
            QCOMPARE(recorder.shown[0].caption, QStringLiteral("Удаление"));
            QVERIFY(recorder.shown[0].icon == Messages::Icon::Question);
            QCOMPARE(operations(), 10);
            QCOMPARE(currentOperation(), int(optest::Kr200Bending));
        }
        {
            Messages::Recorder recorder(true);
            list->onDelete();
            QCOMPARE(recorder.shown.size(), 1);
            QCOMPARE(operations(), 9);
            QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.oper where id=%1").arg(int(optest::Kr200Bending))), 0);
            QCOMPARE(oper()->recordCount(), 8);
            QVERIFY(!oper()->locate(QStringLiteral("id"), int(optest::Kr200Bending)));
            QCOMPARE(oper()->recNo(), row);   // the list stays where it was
            // Its norm levels go with it: none is left without an operation.
            QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.norm where o_id not in (select id from accounts_dep.oper)")), 0);
        }
        // An operation that journal rows use: the server's refusal is shown, nothing changes.
        db->exec(QStringLiteral("insert into accounts_dep.smena(w_id, i_id, o_id, kol_vo, brak, data, smena, cena, color, time, ok, prize) "
                                "values (1, 101, 1, 10, 0, '2024-03-05', 1, 10, 0, 8, 'no', 0)"));
        QVERIFY(oper()->locate(QStringLiteral("id"), int(optest::Kr100Bending)));
        {
            Messages::Recorder recorder(true);
            QVERIFY(!guarded([this] { list->onDelete(); }));
            QCOMPARE(recorder.shown.size(), 2);
            QVERIFY2(recorder.shown[1].text.contains(QStringLiteral("используется в журнале")), qPrintable(recorder.shown[1].text));
            QVERIFY(recorder.shown[1].text.contains(QStringLiteral("КР-100; Гибка")));
            QCOMPARE(recorder.shown[1].caption, QStringLiteral("Ошибка"));
            QCOMPARE(operations(), 9);
            QCOMPARE(currentOperation(), int(optest::Kr100Bending));
            QCOMPARE(oper()->recordCount(), 8);
        }
    }

    void chooseModeHandsTheOperationBack_data()
    {
        QTest::addColumn<QString>("way");
        QTest::newRow("Выбрать") << QStringLiteral("button");
        QTest::newRow("Enter") << QStringLiteral("enter");
        QTest::newRow("double click") << QStringLiteral("double click");
    }
    void chooseModeHandsTheOperationBack()
    {
        QFETCH(QString, way);
        searchBox()->setText(QStringLiteral("кр"));   // the opener empties it
        searchBox()->hide();
        onNextModal([&](QWidget* w) {
            auto close = optest::closeIfOpen(w);
            QCOMPARE(list->listMode(), 1);
            QCOMPARE(button(w, "Button2")->text(), QStringLiteral("Выбрать"));
            QVERIFY(button(w, "Button2")->isDefault());
            QVERIFY(!button(w, "Button1")->isDefault());
            QVERIFY(!button(w, "Button1")->isVisible());
            QVERIFY(!button(w, "Button3")->isVisible());
            QVERIFY(searchBox()->isVisible());
            QVERIFY(searchBox()->text().isEmpty());
            QCOMPARE(w->focusWidget(), searchBox());
            QCOMPARE(oper()->recordCount(), 9);
            QCOMPARE(currentOperation(), int(optest::Kr100CuttingBlanks));   // the journal row's operation
            if (way == QStringLiteral("button")) {
                button(w, "Button2")->click();
            } else if (way == QStringLiteral("enter")) {
                QTest::keyClick(searchBox(), Qt::Key_Return);
            } else {
                optest::doubleClick(grid(), grid()->model()->index(oper()->recNo() - 1, 0));
            }
        });
        const std::optional<OperationsList::Choice> chosen = list->choose(optest::Kr100CuttingBlanks);
        QVERIFY(chosen.has_value());
        QCOMPARE(chosen->id, int(optest::Kr100CuttingBlanks));
        QCOMPARE(chosen->productId, 101);
        QCOMPARE(chosen->vid, QStringLiteral("Резка"));
        QCOMPARE(chosen->naimen, 1);
        QCOMPARE(chosen->cena, 7.25);
        // Afterwards: not the default any more, search hidden, filter off, Oper open at the row.
        QVERIFY(!button(list, "Button2")->isDefault());
        QVERIFY(searchBox()->isHidden());
        QVERIFY(!oper()->isFiltered());
        QVERIFY(oper()->isOpen());
        QCOMPARE(currentOperation(), int(optest::Kr100CuttingBlanks));
        QCOMPARE(oper()->value(QStringLiteral("cena")).toDouble(), 7.25);
    }

    void chooseAfterASearchKeepsTheChosenRowCurrent()
    {
        onNextModal([&](QWidget* w) {
            auto close = optest::closeIfOpen(w);
            QCOMPARE(oper()->recNo(), 1);   // 0: the first row
            QCOMPARE(currentOperation(), int(optest::PercentBending));
            searchBox()->setText(QStringLiteral("КР-2"));
            QTest::keyClick(searchBox(), Qt::Key_Down);
            QTest::keyClick(searchBox(), Qt::Key_Enter);
        });
        const auto chosen = list->choose(0);
        QVERIFY(chosen.has_value());
        QCOMPARE(chosen->id, int(optest::Kr200BendingBlanks));
        QCOMPARE(chosen->cena, 4.0);
        QVERIFY(!oper()->isFiltered());
        QCOMPARE(oper()->recordCount(), 9);
        QCOMPARE(currentOperation(), int(optest::Kr200BendingBlanks));
    }

    void chooseGivesNothingWhenClosedOrEmpty_data()
    {
        QTest::addColumn<bool>("empty");
        QTest::addColumn<QString>("way");
        QTest::newRow("Выход") << false << QStringLiteral("exit");
        QTest::newRow("Esc") << false << QStringLiteral("escape");
        QTest::newRow("empty list, Выбрать") << true << QStringLiteral("choose");
        QTest::newRow("nothing found, Enter") << false << QStringLiteral("search then enter");
    }
    void chooseGivesNothingWhenClosedOrEmpty()
    {
        QFETCH(bool, empty);
        QFETCH(QString, way);
        if (empty)
            db->exec(QStringLiteral("delete from accounts_dep.norm"));
        onNextModal([&](QWidget* w) {
            auto close = optest::closeIfOpen(w);
            if (way == QStringLiteral("exit")) {
                button(w, "Button4")->click();
            } else if (way == QStringLiteral("escape")) {
                QTest::keyClick(w, Qt::Key_Escape);
            } else if (way == QStringLiteral("choose")) {
                QCOMPARE(oper()->recordCount(), 0);
                button(w, "Button2")->click();
            } else {
                searchBox()->setText(QStringLiteral("нет такой"));
                QCOMPARE(oper()->recordCount(), 0);
                QTest::keyClick(searchBox(), Qt::Key_Return);
            }
            QVERIFY(!w->isVisible());
        });
        QVERIFY(!list->choose(999).has_value());
        QVERIFY(!oper()->isFiltered());
        QVERIFY(searchBox()->isHidden());
        QVERIFY(!list->isVisible());
    }

    void doubleClickOpensNormsWhenPricesIsTickedAndTheEditorOtherwise()
    {
        Messages::Recorder recorder;
        QString seen;
        int normsOf = 0;
        onNextModal([&](QWidget* w) {
            auto close = optest::closeIfOpen(w);
            QVERIFY(oper()->locate(QStringLiteral("id"), int(optest::Kr100Bending)));
            const QModelIndex cell = grid()->model()->index(oper()->recNo() - 1, 1);
            // "Цены" ticked: the norms of the operation.
            child<QCheckBox>(w, "CheckBox1")->setChecked(true);
            onNextModal([&](QWidget* inner) {
                auto closeInner = optest::closeIfOpen(inner);
                seen += inner->objectName() + u' ';
                normsOf = norms->operationId();
                button(inner, "Button1")->click();
            });
            optest::doubleClick(grid(), cell);
            // Not ticked: the editor, in change mode.
            child<QCheckBox>(w, "CheckBox1")->setChecked(false);
            onNextModal([&](QWidget* inner) {
                auto closeInner = optest::closeIfOpen(inner);
                seen += inner->objectName() + u' ' + QString::number(editor->mode());
                QCOMPARE(editor->operationId(), int(optest::Kr100Bending));
                button(inner, "Button2")->click();
            });
            optest::doubleClick(grid(), cell);
            button(w, "Button4")->click();
        });
        list->showDirectory();
        QCOMPARE(seen, QStringLiteral("TForm22 TForm10 2"));
        QCOMPARE(normsOf, int(optest::Kr100Bending));
        QVERIFY(recorder.shown.isEmpty());
    }

    void priceListHasEveryOperationWithItsListPrice()
    {
        Messages::Recorder recorder;
        oper()->open();
        searchBox()->setText(QStringLiteral("O'"));   // the search does not apply to the export
        exported.clear();
        list->onExcel();
        QVERIFY(recorder.shown.isEmpty());
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(exported.size(), 1);
        QCOMPARE(QFileInfo(exported.first()).fileName().left(10), QStringLiteral("Прайс-лист"));
        const optest::XlsxSheet sheet = optest::readSheet1(exported.first());
        QVERIFY(sheet.ok);
        const QList<QStringList> rows = sheet.shownRows();
        QCOMPARE(rows.size(), 11);
        QCOMPARE(rows[0], (QStringList{QStringLiteral("Марка"), QStringLiteral("Операция"), QStringLiteral("Цена"),
                                       QStringLiteral("Вид")}));
        QStringList lines;
        for (int r = 1; r < rows.size(); ++r)
            lines << rows[r].join(u'|');
        // Also the operation without norm levels, with its list price; the user's decimal comma.
        QVERIFY2(lines.contains(QStringLiteral("КР-200|Резка|12,5|Готовая продукция")), qPrintable(lines.join(u'\n')));
        QVERIFY(lines.contains(QStringLiteral("Профиль_1|Покраска КРАСКА|3,25|Готовая продукция")));
        QVERIFY(lines.contains(QStringLiteral("КР-100|Резка|0|Заготовки")));
        QVERIFY(lines.contains(QStringLiteral("A\\B|Резка|0|Готовая продукция")));
        // In marka, kind, finished-or-blank order.
        QCOMPARE(lines.indexOf(QStringLiteral("КР-100|Гибка|0|Готовая продукция")) + 1,
                 lines.indexOf(QStringLiteral("КР-100|Резка|0|Заготовки")));
        // The prices are numbers a spreadsheet adds up, shown with their places; the rest text.
        for (auto it = sheet.cells.cbegin(); it != sheet.cells.cend(); ++it) {
            const bool price = it.key().startsWith(u'C') && it.key() != u"C1";
            QCOMPARE(sheet.isNumber(it.key()), price);
        }
        QVERIFY(!dm()->findChild<Dataset*>(QStringLiteral("XLS_Rep"))->isOpen());
        QCOMPARE(oper()->recordCount(), 1);   // the list's search still applies to the list
    }

    void priceTextIsTheShortestGeneralForm_data()
    {
        QTest::addColumn<double>("price");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole") << 1500.0 << QStringLiteral("1500");
        QTest::newRow("zero") << 0.0 << QStringLiteral("0");
        QTest::newRow("four decimals") << 12.3456 << QStringLiteral("12,3456");
        QTest::newRow("tenth") << 0.1 << QStringLiteral("0,1");
    }
    void priceTextIsTheShortestGeneralForm()
    {
        QFETCH(double, price);
        QFETCH(QString, text);
        QCOMPARE(OperationsStore::priceText(price), text);
    }

    void addAnOperationThroughTheRealChoosersAndChooseItForTheJournal()
    {
        Messages::Recorder recorder;
        ProductsList products;
        KindsList kinds;
        appWindows().productsList = &products;
        appWindows().kindsList = &kinds;
        auto forget = qScopeGuard([] {
            appWindows().productsList = nullptr;
            appWindows().kindsList = nullptr;
        });
        oper()->open();
        // The editor's "..." buttons choose the product and the kind in their lists.
        bool added = false;
        onNextModal([&](QWidget* w) {
            auto close = optest::closeIfOpen(w);
            onNextModal([&](QWidget* inner) {
                auto closeInner = optest::closeIfOpen(inner);
                QCOMPARE(inner->objectName(), QStringLiteral("TForm3"));
                QVERIFY(dm()->Izdel->locate(QStringLiteral("marka"), QStringLiteral("50%-скоба")));
                button(inner, "Button2")->click();
            });
            button(w, "Button3")->click();
            QCOMPARE(child<QLineEdit>(w, "Edit1")->text(), QStringLiteral("50%-скоба"));
            QCOMPARE(editor->productId(), qint64(104));
            onNextModal([&](QWidget* inner) {
                auto closeInner = optest::closeIfOpen(inner);
                QCOMPARE(inner->objectName(), QStringLiteral("TForm8"));
                QVERIFY(dm()->Vid_oper->locate(QStringLiteral("vid"), QStringLiteral("Покраска КРАСКА")));
                button(inner, "Button2")->click();
            });
            button(w, "Button4")->click();
            QCOMPARE(child<QLineEdit>(w, "Edit2")->text(), QStringLiteral("Покраска КРАСКА"));
            QCOMPARE(editor->kindId(), int(optest::Painting));
            // A chooser closed without choosing leaves the box as it was.
            onNextModal([&](QWidget* inner) {
                auto closeInner = optest::closeIfOpen(inner);
                button(inner, "Button4")->click();
            });
            button(w, "Button4")->click();
            QCOMPARE(child<QLineEdit>(w, "Edit2")->text(), QStringLiteral("Покраска КРАСКА"));
            // Choosing from a list searched down to nothing empties the box, and the save
            // asks for it.
            onNextModal([&](QWidget* inner) {
                auto closeInner = optest::closeIfOpen(inner);
                child<QLineEdit>(inner, "Edit1")->setText(QStringLiteral("нет такого вида"));
                QVERIFY(dm()->Vid_oper->isEmpty());
                button(inner, "Button2")->click();
            });
            button(w, "Button4")->click();
            QCOMPARE(child<QLineEdit>(w, "Edit2")->text(), QString());
            QCOMPARE(editor->kindId(), 0);
            button(w, "Button1")->click();
            QVERIFY(w->isVisible());
            QCOMPARE(recorder.texts(), QStringList{QStringLiteral("Все поля должны быть заполнены!")});
            recorder.shown.clear();
            onNextModal([&](QWidget* inner) {
                auto closeInner = optest::closeIfOpen(inner);
                QVERIFY(dm()->Vid_oper->locate(QStringLiteral("vid"), QStringLiteral("Покраска КРАСКА")));
                button(inner, "Button2")->click();
            });
            button(w, "Button4")->click();
            button(w, "Button1")->click();
            added = !w->isVisible();
        });
        list->onAdd();
        QVERIFY(added);
        const int id = currentOperation();
        QVERIFY(id > int(optest::Kr200CuttingNoNorms));
        QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.oper where id=%1 and i_id=104 and vid=3 and naimen=0").arg(id)), 1);
        // Priced in the norms window, then chosen for a journal entry with its base price.
        db->exec(QStringLiteral("update accounts_dep.norm set price=10 where o_id=%1").arg(id));
        onNextModal([&](QWidget* w) {
            auto close = optest::closeIfOpen(w);
            button(w, "Button2")->click();
        });
        const auto chosen = list->choose(id);
        QVERIFY(chosen.has_value());
        QCOMPARE(chosen->id, id);
        QCOMPARE(chosen->productId, 104);
        QCOMPARE(chosen->vid, QStringLiteral("Покраска КРАСКА"));
        QCOMPARE(chosen->cena, 10.0);
        QVERIFY(recorder.shown.isEmpty());
    }
};

QTEST_MAIN(OperationsTest)
#include "tst_operations.moc"
