#include "app/windows.h"
#include "db/datamodule.h"
#include "directories/kindeditor.h"
#include "directories/kindslist.h"
#include "directories/kindsstore.h"
#include "dirtest_windows.h"
#include "support/testdb.h"
#include "ui/messages.h"

#include <QtTest>

using namespace dirtest;

// The operation kinds list and the kind editor against the real server.
class KindsTest : public QObject, Directory<KindsList, KindEditor> {
    Q_OBJECT

    void setKinds(const QStringList& names)
    {
        db->exec(QStringLiteral("delete from accounts_dep.oper"));
        db->exec(QStringLiteral("delete from accounts_dep.vid_oper"));
        for (const QString& name : names)
            dm()->execute(QStringLiteral("insert into accounts_dep.vid_oper(vid) values (:v)"), {{QStringLiteral("v"), name}});
    }
    QStringList storedKinds() const
    {
        QStringList kinds;
        for (const QSqlRecord& r : dm()->select(QStringLiteral("select vid from accounts_dep.vid_oper")).rows)
            kinds << r.value(0).toString();
        kinds.sort();
        return kinds;
    }
    int kindId(const QString& vid) const
    {
        return dm()->select(QStringLiteral("select id from accounts_dep.vid_oper where trim(vid)=:v"), {{QStringLiteral("v"), vid}})
            .rows.value(0).value(0).toInt();
    }

private slots:
    void initTestCase() { setUp(QStringLiteral("kinds"), &AppWindows::kindsList, &AppWindows::kindEditor); }
    void cleanupTestCase() { tearDown(); }
    void cleanup() { QVERIFY(noTopLevelWindowOpen()); }

    void directoryModeListsKindsByName()
    {
        setKinds({"Покраска КРАСКА", "Гибка", "Резка"});
        QVERIFY(whileShown([&] { list->choose(); }, [](QDialog*) {}));

        ListLook look;
        QStringList titles, kinds;
        bool open = false;
        QVERIFY(whileShown([&] { list->showDirectory(); }, [&](QDialog* w) {
            look = lookOf(w);
            titles = columnTitles(grid(w));
            kinds = columnTexts(grid(w));
            open = dm()->Vid_oper->isOpen();
            button(w, "Button4")->click();
        }));
        QCOMPARE(list->objectName(), QStringLiteral("TForm8"));
        QCOMPARE(look.caption, QStringLiteral("Виды операций"));
        QCOMPARE(titles, QStringList{QStringLiteral("Операции")});
        QCOMPARE(kinds, (QStringList{"Гибка", "Покраска КРАСКА", "Резка"}));
        QVERIFY(open);
        QVERIFY(look.addShown);
        QVERIFY(look.addDefault);
        QVERIFY(look.changeShown);
        QVERIFY(!look.changeDefault);
        QCOMPARE(look.changeText, QStringLiteral("Изменить"));
        QVERIFY(look.deleteShown);
        QVERIFY(!look.searchShown);
        QCOMPARE(list->mode(), 0);
        QVERIFY(!dm()->Vid_oper->isOpen());
    }

    void chooseHandsBackTheKind_data()
    {
        QTest::addColumn<QStringList>("kinds");
        QTest::addColumn<QString>("search");
        QTest::addColumn<int>("downs");
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("handedBack");
        QTest::addColumn<QString>("expected");   // handed back: the kind's name, empty with id 0 from an empty list
        const QStringList three{"Гибка", "Резка   ", "Покраска КРАСКА"};
        QTest::newRow("Выбрать") << three << "" << 0 << "button" << true << "Гибка";
        QTest::newRow("Down, trimmed") << three << "" << 2 << "button" << true << "Резка";
        QTest::newRow("Enter") << three << "пок" << 0 << "enter" << true << "Покраска КРАСКА";
        QTest::newRow("double click") << three << "" << 1 << "double click" << true << "Покраска КРАСКА";
        QTest::newRow("Esc") << three << "" << 0 << "escape" << false << "";
        QTest::newRow("Выход") << three << "" << 0 << "exit" << false << "";
        QTest::newRow("empty list") << QStringList{} << "" << 0 << "button" << true << "";
    }
    void chooseHandsBackTheKind()
    {
        QFETCH(QStringList, kinds);
        QFETCH(QString, search);
        QFETCH(int, downs);
        QFETCH(QString, how);
        QFETCH(bool, handedBack);
        QFETCH(QString, expected);
        setKinds(kinds);
        list->findChild<QLineEdit*>(QStringLiteral("Edit1"))->setText(QStringLiteral("left from before"));
        std::optional<KindsList::Choice> choice;
        ListLook look;
        bool stillOpen = true;
        QVERIFY(whileShown([&] { choice = list->choose(); }, [&](QDialog* w) {
            look = lookOf(w);
            typeText(edit(w, "Edit1"), search);
            for (int i = 0; i < downs; ++i)
                pressKey(edit(w, "Edit1"), Qt::Key_Down);
            endChoosing(w, how, downs);
            stillOpen = w->isVisible();
        }));
        QVERIFY(!stillOpen);
        QCOMPARE(look.changeText, QStringLiteral("Выбрать"));
        QVERIFY(look.changeDefault);
        QVERIFY(look.changeShown);
        QVERIFY(!look.addShown);
        QVERIFY(!look.deleteShown);
        QVERIFY(look.searchShown);
        QVERIFY(look.searchText.isEmpty());
        QVERIFY(look.searchFocused);
        QCOMPARE(list->mode(), 1);
        QVERIFY(!button(list, "Button2")->isDefault());
        QVERIFY(list->findChild<QLineEdit*>(QStringLiteral("Edit1"))->isHidden());
        QVERIFY(!dm()->Vid_oper->isOpen());
        QCOMPARE(choice.has_value(), handedBack);
        if (choice) {
            QCOMPARE(choice->vid, expected);
            QCOMPARE(choice->id, expected.isEmpty() ? 0 : kindId(expected));
        }
    }

    void addPostsTheKindAndShowsTheFirstRow_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::newRow("plain") << "Сварка" << "Сварка";
        QTest::newRow("blanks trimmed, case kept") << "   покраска КРАСКА RAL " << "покраска КРАСКА RAL";
        QTest::newRow("apostrophe and quote") << "Д'Артаньян \"резка\"" << "Д'Артаньян \"резка\"";
        QTest::newRow("percent, underscore, backslash") << "50% _ \\" << "50% _ \\";
        QTest::newRow("statement text") << "x'); delete from accounts_dep.vid_oper; --" << "x'); delete from accounts_dep.vid_oper; --";
        QTest::newRow("Latin look-alike of a Cyrillic name") << "Pезка" << "Pезка";
        const QString longest(KindsStore::kMaxVid, QChar(u'Щ'));
        QTest::newRow("50 characters") << longest << longest;
    }
    void addPostsTheKindAndShowsTheFirstRow()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        setKinds({"Гибка", "Резка", "Шлифовка"});
        editor->prepareChange(1, QStringLiteral("left over"));
        Messages::Recorder recorder;
        QString caption;
        int editorMode = 0, currentAfter = 0;
        bool boxWasEmpty = false, boxFocused = false, editorClosed = false;
        QStringList listed;
        QVERIFY(whileShown([&] { list->showDirectory(); }, [&](QDialog* w) {
            dm()->Vid_oper->setRecNo(3);
            whileShown([&] { button(w, "Button1")->click(); }, [&](QDialog* e) {
                caption = e->windowTitle();
                editorMode = editor->mode();
                boxWasEmpty = edit(e, "Edit1")->text().isEmpty();
                boxFocused = e->focusWidget() == edit(e, "Edit1");
                typeText(edit(e, "Edit1"), typed);
                button(e, "Button1")->click();
                editorClosed = !e->isVisible();
            });
            listed = columnTexts(grid(w));
            currentAfter = dm()->Vid_oper->recNo();
        }));
        QCOMPARE(caption, QStringLiteral("Заведение нового вида операций"));
        QCOMPARE(editorMode, 1);
        QVERIFY(boxWasEmpty);
        QVERIFY(boxFocused);
        QVERIFY2(recorder.shown.isEmpty(), qPrintable(recorder.texts().join(u'|')));
        QVERIFY(editorClosed);
        QCOMPARE(currentAfter, 1);
        QVERIFY(listed.contains(stored));
        QStringList expected{"Гибка", "Резка", "Шлифовка", stored};
        expected.sort();
        QCOMPARE(storedKinds(), expected);
    }

    void saveRefusesBadNames_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        const QString taken = QStringLiteral("Такая операция уже заведена!");
        QTest::newRow("empty") << "" << "Все поля должны быть заполнены!";
        QTest::newRow("blanks only") << "   " << "Все поля должны быть заполнены!";
        QTest::newRow("other letter case") << "гибка" << taken;
        QTest::newRow("other case and blanks") << "  ГИБКА " << taken;
        QTest::newRow("Cyrillic ё") << "ёлочная покраска" << taken;
        QTest::newRow("apostrophe name taken") << "o'hara" << taken;
        QTest::newRow("name stored with trailing blanks") << "резка" << taken;
        QTest::newRow("51 characters") << QString(KindsStore::kMaxVid + 1, QChar(u'Щ'))
                                       << "Название вида операции не может быть длиннее 50 знаков!";
    }
    void saveRefusesBadNames()
    {
        QFETCH(QString, typed);
        QFETCH(QString, message);
        setKinds({"Гибка", "Ёлочная ПОКРАСКА", "O'Hara", "Резка  "});
        Messages::Recorder recorder;
        bool editorOpen = false;
        QVERIFY(whileShown([&] { list->showDirectory(); }, [&](QDialog* w) {
            whileShown([&] { button(w, "Button1")->click(); }, [&](QDialog* e) {
                edit(e, "Edit1")->setText(typed);
                button(e, "Button1")->click();
                editorOpen = e->isVisible();
            });
        }));
        QVERIFY(editorOpen);
        QCOMPARE(recorder.texts(), QStringList{message});
        QCOMPARE(recorder.shown[0].caption, QStringLiteral("Ошибка"));
        QVERIFY(recorder.shown[0].icon == Messages::Icon::Error);
        QCOMPARE(storedKinds(), (QStringList{"O'Hara", "Ёлочная ПОКРАСКА", "Гибка", "Резка  "}));
    }

    void changeExcludesTheOwnRow_data()
    {
        QTest::addColumn<QString>("which");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");   // empty: saved
        QTest::newRow("own name unchanged") << "Резка" << "Резка" << "";
        QTest::newRow("own name in other letter case") << "Резка" << "РЕЗКА" << "";
        QTest::newRow("new name") << "Резка" << "Лазерная резка" << "";
        QTest::newRow("apostrophe") << "Шлифовка" << "Шлифовка 'тонкая'" << "";
        QTest::newRow("another kind's name") << "Резка" << "гибка" << "Такая операция уже заведена!";
    }
    void changeExcludesTheOwnRow()
    {
        QFETCH(QString, which);
        QFETCH(QString, typed);
        QFETCH(QString, message);
        setKinds({"Гибка", "Резка  ", "Шлифовка"});
        const int id = kindId(which);
        Messages::Recorder recorder;
        QString caption, shown;
        int editorMode = 0, editorId = 0, currentAfter = 0;
        bool editorOpen = true;
        QVERIFY(whileShown([&] { list->showDirectory(); }, [&](QDialog* w) {
            dm()->Vid_oper->locate(QStringLiteral("vid"), which);
            whileShown([&] { button(w, "Button2")->click(); }, [&](QDialog* e) {
                caption = e->windowTitle();
                editorMode = editor->mode();
                editorId = editor->kindId();
                shown = edit(e, "Edit1")->text();
                edit(e, "Edit1")->setText(typed);
                button(e, "Button1")->click();
                editorOpen = e->isVisible();
            });
            currentAfter = dm()->Vid_oper->recNo();
        }));
        QCOMPARE(caption, QStringLiteral("Изменение данных вида операции"));
        QCOMPARE(editorMode, 2);
        QCOMPARE(editorId, id);
        QCOMPARE(shown, which);
        const QString storedName = db->scalar(QStringLiteral("select vid from accounts_dep.vid_oper where id=%1").arg(id)).toString();
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from accounts_dep.vid_oper")).toInt(), 3);
        if (message.isEmpty()) {
            QVERIFY2(recorder.shown.isEmpty(), qPrintable(recorder.texts().join(u'|')));
            QVERIFY(!editorOpen);
            QCOMPARE(storedName, typed);
            QCOMPARE(currentAfter, 1);
        } else {
            QCOMPARE(recorder.texts(), QStringList{message});
            QVERIFY(editorOpen);
            QCOMPARE(storedName.trimmed(), which);
        }
    }

    void deleteAsksAndShowsTheFirstRow_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QStringList>("remaining");
        QTest::addColumn<int>("current");
        QTest::newRow("No keeps everything") << 2 << false << QStringList{"Гибка", "Резка", "Шлифовка"} << 2;
        QTest::newRow("middle row") << 2 << true << QStringList{"Гибка", "Шлифовка"} << 1;
        QTest::newRow("last row") << 3 << true << QStringList{"Гибка", "Резка"} << 1;
    }
    void deleteAsksAndShowsTheFirstRow()
    {
        QFETCH(int, row);
        QFETCH(bool, answer);
        QFETCH(QStringList, remaining);
        QFETCH(int, current);
        setKinds({"Гибка", "Резка", "Шлифовка"});
        Messages::Recorder recorder;
        recorder.answers << answer;
        QStringList listed;
        int currentAfter = 0;
        QVERIFY(whileShown([&] { list->showDirectory(); }, [&](QDialog* w) {
            dm()->Vid_oper->setRecNo(row);
            button(w, "Button3")->click();
            listed = columnTexts(grid(w));
            currentAfter = dm()->Vid_oper->recNo();
        }));
        QCOMPARE(recorder.texts(), QStringList{QStringLiteral("Удалить вид операции?")});
        QCOMPARE(recorder.shown[0].caption, QStringLiteral("Удаление"));
        QVERIFY(recorder.shown[0].icon == Messages::Icon::Question);
        QCOMPARE(storedKinds(), remaining);
        QCOMPARE(listed, remaining);
        QCOMPARE(currentAfter, current);
    }

    void deleteOfAKindInUseIsRefusedByTheServer()
    {
        setKinds({"Гибка", "Резка"});
        db->exec(QStringLiteral("insert into accounts_dep.oper(vid, naimen, i_id) values (%1, 0, 1)").arg(kindId(QStringLiteral("Гибка"))));
        Messages::Recorder recorder;
        QStringList listed;
        QVERIFY(whileShown([&] { list->showDirectory(); }, [&](QDialog* w) {
            button(w, "Button3")->click();
            listed = columnTexts(grid(w));
        }));
        QCOMPARE(recorder.shown.size(), 2);
        QVERIFY2(recorder.shown[1].text.contains(QStringLiteral("Вид операции \"Гибка\" используется в операциях")),
                 qPrintable(recorder.shown[1].text));
        QCOMPARE(recorder.shown[1].caption, QStringLiteral("Ошибка"));
        QCOMPARE(listed, (QStringList{"Гибка", "Резка"}));
        QCOMPARE(storedKinds(), (QStringList{"Гибка", "Резка"}));
    }

    void deleteOnAnEmptyListAsksNothing()
    {
        setKinds({});
        Messages::Recorder recorder;
        QVERIFY(whileShown([&] { list->showDirectory(); }, [&](QDialog* w) { button(w, "Button3")->click(); }));
        QVERIFY(recorder.shown.isEmpty());
    }

    void refusedSaveLeavesTheEditorOpen_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("add") << "Button1";
        QTest::newRow("change") << "Button2";
    }
    void refusedSaveLeavesTheEditorOpen()
    {
        QFETCH(QString, button);
        setKinds({"Гибка"});
        db->exec(QStringLiteral("alter table accounts_dep.vid_oper add constraint no_test check (vid <> 'ОТКАЗ')"));
        Messages::Recorder recorder;
        bool editorOpen = false;
        QVERIFY(whileShown([&] { list->showDirectory(); }, [&](QDialog* w) {
            whileShown([&] { dirtest::button(w, qPrintable(button))->click(); }, [&](QDialog* e) {
                edit(e, "Edit1")->setText(QStringLiteral("ОТКАЗ"));
                dirtest::button(e, "Button1")->click();
                editorOpen = e->isVisible();
            });
        }));
        db->exec(QStringLiteral("alter table accounts_dep.vid_oper drop constraint no_test"));
        QVERIFY(editorOpen);
        QCOMPARE(recorder.shown.size(), 1);
        QVERIFY2(recorder.shown[0].text.contains(QStringLiteral("no_test")), qPrintable(recorder.shown[0].text));
        QCOMPARE(storedKinds(), QStringList{QStringLiteral("Гибка")});
    }

    void searchComparesPlainText_data()
    {
        QTest::addColumn<QString>("search");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("empty shows all") << QString()
            << QStringList{"100% покрытие", "A\\B", "O'Hara", "_шов", "Покраска КРАСКА", "покраска грунт", "Резка"};
        QTest::newRow("letter case ignored") << QStringLiteral("ПОКР") << QStringList{"Покраска КРАСКА", "покраска грунт"};
        QTest::newRow("apostrophe") << QStringLiteral("O'") << QStringList{"O'Hara"};
        QTest::newRow("percent is no wildcard") << QStringLiteral("%") << QStringList{};
        QTest::newRow("percent as text") << QStringLiteral("100%") << QStringList{"100% покрытие"};
        QTest::newRow("underscore is no wildcard") << QStringLiteral("_") << QStringList{"_шов"};
        QTest::newRow("backslash") << QStringLiteral("A\\") << QStringList{"A\\B"};
        QTest::newRow("only the beginning") << QStringLiteral("КРАСКА") << QStringList{};
    }
    void searchComparesPlainText()
    {
        QFETCH(QString, search);
        QFETCH(QStringList, expected);
        setKinds({"Покраска КРАСКА", "покраска грунт", "Резка", "O'Hara", "100% покрытие", "_шов", "A\\B"});
        Messages::Recorder recorder;
        QStringList shown;
        QVERIFY(whileShown([&] { list->choose(); }, [&](QDialog* w) {
            typeText(edit(w, "Edit1"), search);
            shown = columnTexts(grid(w));
        }));
        shown.sort();
        expected.sort();
        QCOMPARE(shown, expected);
        QVERIFY(recorder.shown.isEmpty());
    }

    void searchBoxKeys()
    {
        setKinds({"Гибка", "Резка", "Шлифовка"});
        QStringList moves;
        QString afterEditingKeys, afterBackspace;
        QVERIFY(whileShown([&] { list->choose(); }, [&](QDialog* w) {
            QLineEdit* box = edit(w, "Edit1");
            pressKey(box, Qt::Key_Down);
            moves << selectedText(grid(w));
            pressKey(box, Qt::Key_Down);
            moves << selectedText(grid(w));
            pressKey(box, Qt::Key_Up);
            moves << selectedText(grid(w));
            typeText(box, QStringLiteral("Ре"));
            for (Qt::Key key : {Qt::Key_Left, Qt::Key_Home, Qt::Key_Delete, Qt::Key_End, Qt::Key_Right})
                pressKey(box, key);
            typeText(box, QStringLiteral("з"));
            afterEditingKeys = box->text();
            pressKey(box, Qt::Key_Backspace);
            afterBackspace = box->text();
        }));
        QCOMPARE(moves, (QStringList{"Резка", "Шлифовка", "Резка"}));
        QCOMPARE(afterEditingKeys, QStringLiteral("Рез"));
        QCOMPARE(afterBackspace, QStringLiteral("Ре"));
    }
};

QTEST_MAIN(KindsTest)
#include "tst_kinds.moc"
