#include "app/windows.h"
#include "db/datamodule.h"
#include "directories/workereditor.h"
#include "directories/workerslist.h"
#include "directories/workersstore.h"
#include "db/dataset.h"
#include "dirtest_windows.h"
#include "reports/summarystore.h"
#include "support/plantfixture.h"
#include "timesheet/hoursposting.h"
#include "support/testdb.h"
#include "ui/messages.h"

#include <QComboBox>
#include <QWheelEvent>
#include <QtTest>

using namespace dirtest;

// The workers list and the worker editor, driven by their object names against the
// real server.
class WorkersTest : public QObject, Directory<WorkersList, WorkerEditor> {
    Q_OBJECT

    // Replaces every worker by these (name, position) rows.
    void setWorkerRows(const QList<QPair<QString, QString>>& rows)
    {
        db->exec(QStringLiteral("delete from accounts_dep.person"));
        for (const auto& row : rows)
            dm()->execute(QStringLiteral("insert into accounts_dep.person(fio, s_staffpos_hl) values (:f, :p)"),
                          {{QStringLiteral("f"), row.first}, {QStringLiteral("p"), row.second}});
    }
    void setWorkers(const QStringList& names)
    {
        QList<QPair<QString, QString>> rows;
        for (const QString& name : names)
            rows << qMakePair(name, QString());
        setWorkerRows(rows);
    }
    int workerCount() const { return db->scalar(QStringLiteral("select count(*) from accounts_dep.person")).toInt(); }
    QStringList storedNames() const
    {
        QStringList names;
        for (const QSqlRecord& r : dm()->select(QStringLiteral("select fio from accounts_dep.person order by fio")).rows)
            names << r.value(0).toString();
        return names;
    }

private slots:
    void initTestCase()
    {
        setUp(QStringLiteral("workers"), &AppWindows::workersList, &AppWindows::workerEditor);
        for (int i = 1; i <= 12; ++i)
            db->exec(QStringLiteral("insert into cmn_department.department(id, s_caption) values (%1, 'Цех №%1')").arg(i));
        db->exec(QStringLiteral("insert into hrms_staffpos.staffpos(id, s_caption) values (1, 'Слесарь'), (2, 'Маляр'), (3, 'Упаковщик')"));
        db->exec(QStringLiteral("insert into adm_role.roles(id, s_caption) values (1, 'Мастер'), (2, 'Рабочий')"));
    }
    void cleanupTestCase() { tearDown(); }
    void cleanup() { QVERIFY(noTopLevelWindowOpen()); }

    void directoryModeListsEveryWorkerByName()
    {
        setWorkerRows({{QStringLiteral("Сидоров С.С."), QStringLiteral("Цех №3")},
                    {QStringLiteral("Абрамов А.А."), QStringLiteral("Цех №1")},
                    {QStringLiteral("Борисов Б.Б."), QString()}});
        // A choose-mode showing first: the directory opening must put the buttons back.
        QVERIFY(whileShown([&] { list->choose(); }, [](QDialog*) {}));

        QStringList titles, names, positions;
        bool workersOpen = false;
        ListLook look;
        QVERIFY(whileShown([&] { list->showDirectory(); }, [&](QDialog* w) {
            look = lookOf(w);
            titles = columnTitles(grid(w));
            names = columnTexts(grid(w), 0);
            positions = columnTexts(grid(w), 1);
            workersOpen = dm()->Workers->isOpen();
            button(w, "Button4")->click();
        }));
        QCOMPARE(list->objectName(), QStringLiteral("TForm5"));
        QCOMPARE(look.caption, QStringLiteral("Список рабочих"));
        QCOMPARE(titles, (QStringList{QStringLiteral("ФИО"), QStringLiteral("Должность")}));
        QCOMPARE(names, (QStringList{QStringLiteral("Абрамов А.А."), QStringLiteral("Борисов Б.Б."), QStringLiteral("Сидоров С.С.")}));
        QCOMPARE(positions, (QStringList{QStringLiteral("Цех №1"), QString(), QStringLiteral("Цех №3")}));
        QVERIFY(workersOpen);
        QCOMPARE(look.changeText, QStringLiteral("Изменить"));
        QVERIFY(!look.changeDefault);
        QVERIFY(look.addDefault);
        QVERIFY(look.addShown);
        QVERIFY(look.deleteShown);
        QCOMPARE(list->mode(), 0);
        QVERIFY(!dm()->Workers->isOpen());
    }

    void chooseHandsBackTheWorker_data()
    {
        QTest::addColumn<QStringList>("workers");
        QTest::addColumn<QString>("search");
        QTest::addColumn<int>("downs");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("expected");   // empty: nothing handed back

        const QStringList two{QStringLiteral("Петров П.П.   "), QStringLiteral("Иванов И.И.")};
        QTest::newRow("Выбрать on the first row") << two << QString() << 0 << "button" << "Иванов И.И.";
        QTest::newRow("Выбрать after Down, trimmed") << two << QString() << 1 << "button" << "Петров П.П.";
        QTest::newRow("double click") << two << QString() << 1 << "double click" << "Петров П.П.";
        QTest::newRow("Enter in the search box") << two << QStringLiteral("пет") << 0 << "enter" << "Петров П.П.";
        QTest::newRow("Esc") << two << QString() << 0 << "escape" << "";
        QTest::newRow("Выход") << two << QString() << 0 << "exit" << "";
        QTest::newRow("empty list") << QStringList{} << QString() << 0 << "button" << "";
        QTest::newRow("search finds nobody") << two << QStringLiteral("Я") << 0 << "button" << "";
    }
    void chooseHandsBackTheWorker()
    {
        QFETCH(QStringList, workers);
        QFETCH(QString, search);
        QFETCH(int, downs);
        QFETCH(QString, how);
        QFETCH(QString, expected);
        setWorkers(workers);
        list->findChild<QLineEdit*>(QStringLiteral("Edit1"))->setText(QStringLiteral("left from before"));

        std::optional<WorkersList::Choice> choice;
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
        QCOMPARE(look.searchText, QString());
        QCOMPARE(list->mode(), 1);
        QVERIFY(!dm()->Workers->isOpen());
        QCOMPARE(choice.has_value(), !expected.isEmpty());
        if (choice) {
            QCOMPARE(choice->fio, expected);
            QCOMPARE(choice->id, db->scalar(QStringLiteral("select id from accounts_dep.person where trim(fio)='%1'").arg(expected)).toInt());
        }
    }

    void searchComparesPlainText_data()
    {
        QTest::addColumn<QString>("search");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("empty shows all") << QString()
            << QStringList{"100% Иванов", "Back\\slash", "O'Brien", "O'Neil", "_Подчёркнутый", "Иванов", "иванова", "Ивлев"};
        QTest::newRow("prefix, letter case ignored") << QStringLiteral("ив") << QStringList{"Иванов", "иванова", "Ивлев"};
        QTest::newRow("longer prefix") << QStringLiteral("Иванов") << QStringList{"Иванов", "иванова"};
        QTest::newRow("typed blank kept") << QStringLiteral("Иванов ") << QStringList{};
        QTest::newRow("apostrophe") << QStringLiteral("O'") << QStringList{"O'Brien", "O'Neil"};
        QTest::newRow("lone apostrophe") << QStringLiteral("'") << QStringList{};
        QTest::newRow("percent is no wildcard") << QStringLiteral("%") << QStringList{};
        QTest::newRow("percent as text") << QStringLiteral("100%") << QStringList{"100% Иванов"};
        QTest::newRow("underscore is no wildcard") << QStringLiteral("_") << QStringList{"_Подчёркнутый"};
        QTest::newRow("backslash") << QStringLiteral("Back\\") << QStringList{"Back\\slash"};
        QTest::newRow("only the beginning") << QStringLiteral("Brien") << QStringList{};
    }
    void searchComparesPlainText()
    {
        QFETCH(QString, search);
        QFETCH(QStringList, expected);
        setWorkers({"Иванов", "иванова", "Ивлев", "O'Brien", "O'Neil", "100% Иванов", "Back\\slash", "_Подчёркнутый"});
        Messages::Recorder recorder;
        QStringList shown;
        QVERIFY(whileShown([&] { list->showDirectory(); }, [&](QDialog* w) {
            edit(w, "Edit1")->clear();
            typeText(edit(w, "Edit1"), search);
            shown = columnTexts(grid(w));
        }));
        shown.sort();
        expected.sort();
        QCOMPARE(shown, expected);
        QVERIFY(recorder.shown.isEmpty());
        QVERIFY(!dm()->Workers->isFiltered());
        list->findChild<QLineEdit*>(QStringLiteral("Edit1"))->clear();
    }

    void searchBoxKeys()
    {
        setWorkers({"Антонов", "Борисов", "Васильев"});
        QStringList afterDowns;
        QString afterUp, textAfterEditingKeys, textAfterBackspace;
        bool searchHasFocus = false;
        QVERIFY(whileShown([&] { list->showDirectory(); }, [&](QDialog* w) {
            QLineEdit* box = edit(w, "Edit1");
            searchHasFocus = QApplication::focusWidget() == box;
            pressKey(box, Qt::Key_Down);
            afterDowns << selectedText(grid(w));
            pressKey(box, Qt::Key_Down);
            afterDowns << selectedText(grid(w));
            pressKey(box, Qt::Key_Down);
            afterDowns << selectedText(grid(w));
            pressKey(box, Qt::Key_Up);
            afterUp = selectedText(grid(w));
            typeText(box, QStringLiteral("Бо"));
            for (Qt::Key key : {Qt::Key_Left, Qt::Key_Home, Qt::Key_Delete, Qt::Key_End, Qt::Key_Right})
                pressKey(box, key);
            typeText(box, QStringLiteral("р"));
            textAfterEditingKeys = box->text();
            pressKey(box, Qt::Key_Backspace);
            textAfterBackspace = box->text();
            box->clear();
        }));
        QVERIFY(searchHasFocus);
        QCOMPARE(afterDowns, (QStringList{"Борисов", "Васильев", "Васильев"}));
        QCOMPARE(afterUp, QStringLiteral("Борисов"));
        QCOMPARE(textAfterEditingKeys, QStringLiteral("Бор"));
        QCOMPARE(textAfterBackspace, QStringLiteral("Бо"));
    }

    // A search typed in the chooser, or left in the directory before, does not narrow the
    // list the menu opens next: it starts with every worker and an empty search box.
    void directoryFromTheMenuIsNeverNarrowedByAnEarlierSearch_data()
    {
        QTest::addColumn<QString>("before");   // how the earlier search was left
        QTest::newRow("chosen after a search") << "choose";
        QTest::newRow("chooser closed with Esc") << "escape";
        QTest::newRow("searched in the directory") << "directory";
    }
    void directoryFromTheMenuIsNeverNarrowedByAnEarlierSearch()
    {
        QFETCH(QString, before);
        setWorkers({"Антонов", "Борисов", "Васильев", "Петров", "Петухов"});
        if (before == "directory") {
            QVERIFY(whileShown([&] { list->showDirectory(); }, [&](QDialog* w) { typeText(edit(w, "Edit1"), QStringLiteral("Пет")); }));
        } else {
            QVERIFY(whileShown([&] { list->choose(); }, [&](QDialog* w) {
                typeText(edit(w, "Edit1"), QStringLiteral("Пету"));
                endChoosing(w, before == "choose" ? QStringLiteral("button") : QStringLiteral("escape"), 0);
            }));
        }
        QStringList shown;
        ListLook look;
        QVERIFY(whileShown([&] { list->showDirectory(); }, [&](QDialog* w) {
            look = lookOf(w);
            shown = columnTexts(grid(w));
        }));
        QCOMPARE(shown, (QStringList{"Антонов", "Борисов", "Васильев", "Петров", "Петухов"}));
        QCOMPARE(look.searchText, QString());
        QVERIFY(!dm()->Workers->isFiltered());
    }

    void addStoresTheNameAsTyped_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("department");    // index in the list, -1 untouched
        QTest::addColumn<QString>("fio");
        QTest::addColumn<QString>("position");
        QTest::newRow("plain") << "Кузнецов К.К." << -1 << "Кузнецов К.К." << "";
        QTest::newRow("blanks trimmed") << "   Кузнецов К.К.  " << -1 << "Кузнецов К.К." << "";
        QTest::newRow("apostrophe") << "Д'Артаньян Ш." << -1 << "Д'Артаньян Ш." << "";
        QTest::newRow("quotes and percent") << "\"Ёлкин\" 100%" << -1 << "\"Ёлкин\" 100%" << "";
        QTest::newRow("backslash") << "Back\\slash Б.Б." << -1 << "Back\\slash Б.Б." << "";
        QTest::newRow("statement text") << "x'); delete from accounts_dep.person; --" << -1
                                        << "x'); delete from accounts_dep.person; --" << "";
        QTest::newRow("with department") << "Орлов О.О." << 4 << "Орлов О.О." << "Цех №5";
        const QString longest(WorkersStore::kMaxText, QChar(u'Щ'));
        QTest::newRow("254 characters") << longest << -1 << longest << "";
    }
    void addStoresTheNameAsTyped()
    {
        QFETCH(QString, typed);
        QFETCH(int, department);
        QFETCH(QString, fio);
        QFETCH(QString, position);
        setWorkers({"Абрамов А.А."});
        Messages::Recorder recorder;
        QString caption;
        int editorMode = 0;
        bool nameHasFocus = false, nameWasEmpty = false, editorClosed = false;
        QStringList listed;
        QVERIFY(whileShown([&] { list->showDirectory(); }, [&](QDialog* w) {
            whileShown([&] { button(w, "Button1")->click(); }, [&](QDialog* e) {
                caption = e->windowTitle();
                editorMode = editor->mode();
                nameWasEmpty = edit(e, "Edit1")->text().isEmpty();
                nameHasFocus = QApplication::focusWidget() == edit(e, "Edit1");
                QComboBox* departments = control<QComboBox>(e, "LCB_department");
                if (department >= 0)
                    departments->setCurrentIndex(department);
                else
                    departments->setCurrentIndex(-1);
                typeText(edit(e, "Edit1"), typed);
                button(e, "Button1")->click();
                editorClosed = !e->isVisible();
            });
            listed = columnTexts(grid(w));
        }));
        QCOMPARE(caption, QStringLiteral("Заведение данных нового работника"));
        QCOMPARE(editorMode, 1);
        QVERIFY(nameWasEmpty);
        QVERIFY(nameHasFocus);
        QVERIFY(editorClosed);
        QVERIFY(recorder.shown.isEmpty());
        QCOMPARE(workerCount(), 2);
        const SqlRun::Result stored = dm()->select(QStringLiteral("select fio, s_staffpos_hl from accounts_dep.person where fio<>'Абрамов А.А.'"));
        QCOMPARE(stored.rows.size(), 1);
        QCOMPARE(stored.rows[0].value(0).toString(), fio);
        QCOMPARE(stored.rows[0].value(1).toString(), position);
        QVERIFY(listed.contains(fio));
    }

    void saveRefusesABadName_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty") << "" << "ФИО нужно заполнить!";
        QTest::newRow("blanks only") << "    " << "ФИО нужно заполнить!";
        QTest::newRow("255 characters") << QString(WorkersStore::kMaxText + 1, QChar(u'Щ'))
                                        << "ФИО не может быть длиннее 254 знаков!";
    }
    void saveRefusesABadName()
    {
        QFETCH(QString, typed);
        QFETCH(QString, message);
        setWorkers({"Абрамов А.А."});
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
        QCOMPARE(recorder.shown.size(), 1);
        QCOMPARE(recorder.shown[0].text, message);
        QCOMPARE(recorder.shown[0].caption, QStringLiteral("Ошибка"));
        QVERIFY(recorder.shown[0].icon == Messages::Icon::Error);
        QCOMPARE(storedNames(), QStringList{QStringLiteral("Абрамов А.А.")});
    }

    void changeRewritesTheWorker_data()
    {
        QTest::addColumn<QString>("stored");      // position stored before
        QTest::addColumn<QString>("department");  // chosen in the editor; empty: untouched
        QTest::addColumn<QString>("expected");
        QTest::newRow("name only keeps the department") << "Цех №2" << "" << "Цех №2";
        QTest::newRow("name only keeps a position text") << "Слесарь 5 разряда" << "" << "Слесарь 5 разряда";
        QTest::newRow("name only, no position") << "" << "" << "";
        QTest::newRow("another department") << "Цех №2" << "Цех №7" << "Цех №7";
        QTest::newRow("a department for a position text") << "Слесарь" << "Цех №1" << "Цех №1";
    }
    void changeRewritesTheWorker()
    {
        QFETCH(QString, stored);
        QFETCH(QString, department);
        QFETCH(QString, expected);
        setWorkerRows({{QStringLiteral("Абрамов А.А."), QStringLiteral("Цех №9")},
                    {QStringLiteral("Борисов Б.Б.  "), stored},
                    {QStringLiteral("Васильев В.В."), QStringLiteral("Цех №9")}});
        const int id = db->scalar(QStringLiteral("select id from accounts_dep.person where fio like 'Борисов%'")).toInt();
        // The department chosen last for another worker must not leak into this one.
        editor->prepareChange(0, QString(), QString());
        control<QComboBox>(editor, "LCB_department")->setCurrentIndex(8);

        Messages::Recorder recorder;
        QString caption, nameShown;
        int editorMode = 0, editorId = 0, currentAfter = 0;
        QVERIFY(whileShown([&] { list->showDirectory(); }, [&](QDialog* w) {
            pressKey(edit(w, "Edit1"), Qt::Key_Down);
            whileShown([&] { button(w, "Button2")->click(); }, [&](QDialog* e) {
                caption = e->windowTitle();
                editorMode = editor->mode();
                editorId = editor->workerId();
                nameShown = edit(e, "Edit1")->text();
                if (!department.isEmpty()) {
                    QComboBox* departments = control<QComboBox>(e, "LCB_department");
                    departments->setCurrentIndex(departments->findText(department));
                }
                edit(e, "Edit1")->setText(QStringLiteral("  Яковлев Я.Я. "));
                button(e, "Button1")->click();
            });
            currentAfter = dm()->Workers->recNo();
        }));
        QCOMPARE(caption, QStringLiteral("Изменение данных работника"));
        QCOMPARE(editorMode, 2);
        QCOMPARE(editorId, id);
        QCOMPARE(nameShown, QStringLiteral("Борисов Б.Б."));
        QCOMPARE(currentAfter, 2);
        QVERIFY(recorder.shown.isEmpty());
        QCOMPARE(workerCount(), 3);
        const SqlRun::Result row = dm()->select(QStringLiteral("select fio, s_staffpos_hl from accounts_dep.person where id=%1").arg(id));
        QCOMPARE(row.rows[0].value(0).toString(), QStringLiteral("Яковлев Я.Я."));
        QCOMPARE(row.rows[0].value(1).toString(), expected);
    }

    void changeOnAnEmptyListOpensNothing()
    {
        setWorkers(QStringList{});
        bool editorShown = false;
        QVERIFY(whileShown([&] { list->showDirectory(); }, [&](QDialog* w) {
            button(w, "Button2")->click();
            editorShown = editor->isVisible();
        }));
        QVERIFY(!editorShown);
    }

    void deleteAsksAndKeepsThePlace_data()
    {
        QTest::addColumn<int>("row");      // 0-based row made current
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QStringList>("remaining");
        QTest::addColumn<QString>("current");
        QTest::newRow("No keeps everything") << 1 << false << QStringList{"Антонов", "Борисов", "Васильев"} << "Борисов";
        QTest::newRow("middle row") << 1 << true << QStringList{"Антонов", "Васильев"} << "Васильев";
        QTest::newRow("first row") << 0 << true << QStringList{"Борисов", "Васильев"} << "Борисов";
        QTest::newRow("last row: the first becomes current") << 2 << true << QStringList{"Антонов", "Борисов"} << "Антонов";
    }
    void deleteAsksAndKeepsThePlace()
    {
        QFETCH(int, row);
        QFETCH(bool, answer);
        QFETCH(QStringList, remaining);
        QFETCH(QString, current);
        setWorkers({"Антонов", "Борисов", "Васильев"});
        Messages::Recorder recorder;
        recorder.answers << answer;
        QString selected;
        QStringList listed;
        QVERIFY(whileShown([&] { list->showDirectory(); }, [&](QDialog* w) {
            dm()->Workers->setRecNo(row + 1);
            button(w, "Button3")->click();
            selected = selectedText(grid(w));
            listed = columnTexts(grid(w));
        }));
        QCOMPARE(recorder.shown.size(), 1);
        QCOMPARE(recorder.shown[0].text, QStringLiteral("Удалить работника?"));
        QCOMPARE(recorder.shown[0].caption, QStringLiteral("Удаление"));
        QVERIFY(recorder.shown[0].icon == Messages::Icon::Question);
        QCOMPARE(storedNames(), remaining);
        QCOMPARE(listed, remaining);
        QCOMPARE(selected, current);
    }

    // A worker deleted with journal entries behind him: the entries stay (nothing looks
    // at them), and every list that shows them still shows his name and his figures,
    // since they read the shared person directory, which keeps the worker.
    void aDeletedWorkersEntriesKeepTheirNameAndFigures()
    {
        setWorkers({"Антонов", "Жуков М.А."});
        const int zhukov = db->scalar(QStringLiteral("select id from accounts_dep.person where fio='Жуков М.А.'")).toInt();
        const qint64 bracket = Plant::product(*db, QStringLiteral("КР-100"), QStringLiteral("Кронштейн КР-100"));
        const int bending = Plant::operation(*db, bracket, Plant::kind(*db, QStringLiteral("Гибка")), 0, 10);
        const QDate day(2024, 3, 5);
        Plant::Entry e;
        e.w_id = zhukov; e.i_id = bracket; e.o_id = bending; e.data = day; e.kol_vo = 40; e.time = 8;
        Plant::entry(*db, e);
        e.kol_vo = 15; e.time = 3; e.smena = 2;
        Plant::entry(*db, e);
        PostDayHours(*dm(), zhukov, 1, day, true);
        PostDayHours(*dm(), zhukov, 2, day, true);

        // What the journal, the timesheet and the summaries show of him, line by line.
        auto shown = [&] {
            QStringList lines;
            auto read = [&](Dataset* ds, const QStringList& columns) {
                ds->close();
                ds->open();
                for (int r = 0; r < ds->recordCount(); ++r) {
                    QStringList values;
                    for (const QString& c : columns)
                        values << ds->valueAt(r, c).toString().trimmed();
                    lines << ds->objectName() + u':' + values.join(u'|');
                }
                ds->close();
            };
            for (int shift : {1, 2}) {
                Dataset* journal = dm()->smenaForShift(shift);
                journal->setParam(QStringLiteral("data"), day);
                journal->setParam(QStringLiteral("ok"), QStringLiteral("ta"));
                read(journal, {"fio", "kol_vo", "time"});
                Dataset* timesheet = dm()->hTabelForShift(shift);
                timesheet->setParam(QStringLiteral("mnth"), 3);
                timesheet->setParam(QStringLiteral("yea"), 2024);
                read(timesheet, {"fio", "d5", "summ"});
            }
            QObject owner;
            for (const QString& sql : {SummaryStore::workerSummarySql(), SummaryStore::workerDetailSql()}) {
                Dataset* report = SummaryStore::makeQuery(QStringLiteral("report"), sql, dm(), &owner);
                SummaryStore::setPeriod(*report, QDate(2024, 3, 1), QDate(2024, 4, 1));
                read(report, {"fio", "kolvo", "summa"});
            }
            return lines;
        };
        const QStringList before = shown();
        QCOMPARE(before.size(), 6);
        for (const QString& line : before)
            QVERIFY2(line.contains(QStringLiteral("Жуков М.А.")), qPrintable(line));

        Messages::Recorder recorder;
        recorder.answers << true;
        QVERIFY(whileShown([&] { list->showDirectory(); }, [&](QDialog* w) {
            dm()->Workers->setRecNo(2);
            button(w, "Button3")->click();
        }));
        QCOMPARE(recorder.texts(), QStringList{QStringLiteral("Удалить работника?")});
        QCOMPARE(storedNames(), QStringList{"Антонов"});
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from accounts_dep.smena where w_id=%1").arg(zhukov)).toInt(), 2);
        QCOMPARE(shown(), before);
        db->exec(QStringLiteral("delete from accounts_dep.smena"));
        db->exec(QStringLiteral("delete from accounts_dep.h_tabel"));
    }

    void deleteOnAnEmptyListAsksNothing()
    {
        setWorkers(QStringList{});
        Messages::Recorder recorder;
        QVERIFY(whileShown([&] { list->showDirectory(); }, [&](QDialog* w) { button(w, "Button3")->click(); }));
        QVERIFY(recorder.shown.isEmpty());
    }

    void refusalsOfTheServerAreShown_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("current");   // the list's current row afterwards
        // The list re-reads after the editor closes, so a cancelled add ends on the first
        // row and a cancelled change on its own row; a refused delete re-reads nothing.
        QTest::newRow("add") << "add" << 1;
        QTest::newRow("change") << "change" << 2;
        QTest::newRow("delete") << "delete" << 2;
    }
    void refusalsOfTheServerAreShown()
    {
        QFETCH(QString, action);
        QFETCH(int, current);
        setWorkers({"Антонов", "Борисов"});
        db->exec(QStringLiteral(
            "create function public.refuse_worker() returns trigger language plpgsql as $$ begin "
            "raise exception 'Отказано сервером'; end $$"));
        db->exec(QStringLiteral("create trigger refuse_worker before insert or update or delete on accounts_dep.person "
                                "for each row execute function public.refuse_worker()"));
        Messages::Recorder recorder;
        bool editorOpen = false;
        int currentAfter = 0;
        QVERIFY(whileShown([&] { list->showDirectory(); }, [&](QDialog* w) {
            dm()->Workers->setRecNo(2);
            if (action == QLatin1String("delete")) {
                button(w, "Button3")->click();
            } else {
                whileShown([&] { button(w, action == QLatin1String("add") ? "Button1" : "Button2")->click(); },
                           [&](QDialog* e) {
                               edit(e, "Edit1")->setText(QStringLiteral("Новиков Н.Н."));
                               button(e, "Button1")->click();
                               editorOpen = e->isVisible();
                           });
            }
            currentAfter = dm()->Workers->recNo();
        }));
        db->exec(QStringLiteral("drop trigger refuse_worker on accounts_dep.person"));
        db->exec(QStringLiteral("drop function public.refuse_worker()"));
        QVERIFY(!recorder.shown.isEmpty());
        QVERIFY2(recorder.shown.last().text.contains(QStringLiteral("Отказано сервером")), qPrintable(recorder.shown.last().text));
        QCOMPARE(recorder.shown.last().caption, QStringLiteral("Ошибка"));
        QCOMPARE(storedNames(), (QStringList{"Антонов", "Борисов"}));
        QCOMPARE(editorOpen, action != QLatin1String("delete"));
        QCOMPARE(currentAfter, current);
    }

    void wheelMovesTheFocusedListOnly()
    {
        setWorkers({"Антонов"});
        int departmentBefore = -1, departmentAfterDialogWheel = -1, departmentAfterWheelOverOther = -1,
            staffposAfter = -2, departmentAfterUp = -1, departmentWithNameFocused = -1;
        QVERIFY(whileShown([&] { list->showDirectory(); }, [&](QDialog* w) {
            whileShown([&] { button(w, "Button1")->click(); }, [&](QDialog* e) {
                QComboBox* departments = control<QComboBox>(e, "LCB_department");
                QComboBox* positions = control<QComboBox>(e, "LCB_staffpos");
                positions->setCurrentIndex(0);
                departments->setCurrentIndex(2);
                departments->setFocus();
                departmentBefore = departments->currentIndex();
                auto wheel = [](QWidget* target, int delta) {
                    QWheelEvent event(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, delta), Qt::NoButton,
                                      Qt::NoModifier, Qt::NoScrollPhase, false);
                    QApplication::sendEvent(target, &event);
                };
                wheel(e, -120);
                departmentAfterDialogWheel = departments->currentIndex();
                wheel(positions, -120);
                departmentAfterWheelOverOther = departments->currentIndex();
                staffposAfter = positions->currentIndex();
                wheel(e, 120);
                wheel(e, 120);
                departmentAfterUp = departments->currentIndex();
                edit(e, "Edit1")->setFocus();
                wheel(e, -120);
                departmentWithNameFocused = departments->currentIndex();
            });
        }));
        QCOMPARE(departmentBefore, 2);
        QCOMPARE(departmentAfterDialogWheel, 3);
        QCOMPARE(departmentAfterWheelOverOther, 4);
        QCOMPARE(staffposAfter, 0);
        QCOMPARE(departmentAfterUp, 2);
        QCOMPARE(departmentWithNameFocused, 2);
    }

    void lookupListsShowWholeTablesAndKeepTheChoice()
    {
        editor->prepareAdd();
        QComboBox* departments = control<QComboBox>(editor, "LCB_department");
        QComboBox* positions = control<QComboBox>(editor, "LCB_staffpos");
        QComboBox* roles = control<QComboBox>(editor, "LCB_roles");
        QCOMPARE(departments->count(), 12);
        QCOMPARE(departments->itemText(0), QStringLiteral("Цех №1"));
        QCOMPARE(departments->maxVisibleItems(), 10);
        QCOMPARE(positions->count(), 3);
        QCOMPARE(roles->count(), 2);
        roles->setCurrentIndex(1);
        departments->setCurrentIndex(6);
        db->exec(QStringLiteral("insert into adm_role.roles(id, s_caption) values (3, 'Кладовщик')"));
        editor->prepareAdd();
        QCOMPARE(roles->count(), 3);
        QCOMPARE(roles->currentText(), QStringLiteral("Рабочий"));
        QCOMPARE(departments->currentText(), QStringLiteral("Цех №7"));
        db->exec(QStringLiteral("delete from adm_role.roles where id=3"));
    }
};

QTEST_MAIN(WorkersTest)
#include "tst_workers.moc"
