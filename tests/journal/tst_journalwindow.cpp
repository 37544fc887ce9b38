#include "app/windows.h"
#include "core/clock.h"
#include "journal/entryeditor.h"
#include "journal/journalstore.h"
#include "journal/journalwindow.h"
#include "reports/summaryreportswindow.h"
#include "support/modal.h"
#include "support/plantfixture.h"
#include "ui/datasetgrid.h"
#include "ui/messages.h"
#include "ui/userguide.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTableView>
#include <QtTest>

// The journal window on the real server: what it lists, and what its actions change.
class JournalWindowTest : public QObject {
    Q_OBJECT
    std::unique_ptr<TestDatabase> db;
    JournalWindow* journal = nullptr;
    SummaryReportsWindow* reports = nullptr;
    const QDate monday{2024, 3, 4};
    const QDate saturday{2024, 3, 9};
    int ivanov = 0, petrov = 0, coded = 0;
    qint64 bracket = 0, profile = 0;
    int bend = 0, paint = 0, profileBend = 0;

    Dataset* shown() const
    {
        auto* model = qobject_cast<DatasetModel*>(journal->findChild<QTableView*>(QStringLiteral("DBGrid2"))->model());
        return model ? model->dataset() : nullptr;
    }
    QStringList column(Dataset* ds, const QString& field) const
    {
        QStringList values;
        for (int row = 0; row < ds->recordCount(); ++row)
            values << ds->valueAt(row, field).toString().trimmed();
        return values;
    }
    int entry(int w, qint64 product, int operation, int shift, const QString& ok, int colour = 0, int hours = 8, QDate d = {})
    {
        Plant::Entry e;
        e.w_id = w; e.i_id = product; e.o_id = operation; e.smena = shift; e.ok = ok; e.color = colour; e.time = hours;
        e.data = d.isValid() ? d : monday;
        return Plant::entry(*db, e);
    }
    void showDate(const QDate& d)
    {
        journal->findChild<QDateEdit*>(QStringLiteral("DateT"))->setDate(d);
        journal->onDateChosen();
    }

private slots:
    void initTestCase()
    {
        db = std::make_unique<TestDatabase>(QStringLiteral("journal"));
        ivanov = Plant::worker(*db, QStringLiteral("Иванов И.И."));
        petrov = Plant::worker(*db, QStringLiteral("Петров П.П."));
        // A person of the shared directory that the journal finds by its code only.
        coded = Plant::person(*db, 900001, QStringLiteral("Абрамов А.А."), QStringLiteral("4711"));
        bracket = Plant::product(*db, QStringLiteral("КР-100"));
        profile = Plant::product(*db, QStringLiteral("ПР-20"));
        bend = Plant::operation(*db, bracket, Plant::kind(*db, QStringLiteral("Гибка")), 0, 10);
        paint = Plant::operation(*db, bracket, Plant::kind(*db, QStringLiteral("Покраска")), 0, 5);
        profileBend = Plant::operation(*db, profile, db->scalar(QStringLiteral("select id from accounts_dep.vid_oper where vid='Гибка'")).toInt(), 1, 7);
        journal = new JournalWindow;
        reports = new SummaryReportsWindow;
        appWindows().journal = journal;
        appWindows().summaryReports = reports;
        appWindows().entryEditor = new EntryEditor;
        for (int shift = 1; shift <= 4; ++shift)
            db->dm()->smenaForShift(shift)->setParam(QStringLiteral("ok"), QStringLiteral("ta"));
        journal->CurrentShift = 1;
        journal->RoleCode = QStringLiteral("0583");
    }
    void cleanupTestCase()
    {
        delete appWindows().entryEditor;
        delete reports;
        delete journal;
        appWindows() = AppWindows();
        Clock::setToday({});
        db.reset();
    }
    void init()
    {
        db->exec(QStringLiteral("delete from accounts_dep.smena"));
        db->exec(QStringLiteral("delete from accounts_dep.h_tabel"));
        journal->findChild<QRadioButton*>(QStringLiteral("RadioButton1"))->setChecked(true);
    }
    void cleanup() { QVERIFY(noTopLevelWindowOpen()); }

    void listsOnlyMarkedRowsOfTheDateAndShift()
    {
        entry(ivanov, bracket, bend, 1, QStringLiteral("no"));
        entry(petrov, bracket, bend, 1, QStringLiteral("ok"));
        entry(ivanov, bracket, paint, 1, QStringLiteral("да"), 1011);
        entry(ivanov, profile, profileBend, 1, QStringLiteral("ta"));
        entry(petrov, profile, profileBend, 1, QString());           // NULL mark
        entry(4711, bracket, bend, 1, QStringLiteral("no"));
        entry(123456, bracket, bend, 1, QStringLiteral("no"));       // nobody's
        entry(ivanov, bracket, bend, 2, QStringLiteral("no"));       // another shift
        entry(ivanov, bracket, bend, 1, QStringLiteral("no"), 0, 8, monday.addDays(1));
        showDate(monday);
        Dataset* ds = shown();
        QCOMPARE(ds, db->dm()->Smena1);
        QCOMPARE(column(ds, QStringLiteral("fio")),
                 QStringList({"Абрамов А.А.", "Иванов И.И.", "Иванов И.И.", "Петров П.П."}));
        QCOMPARE(column(ds, QStringLiteral("ok")), QStringList({"no", "no", "да", "ok"}));
        QCOMPARE(column(ds, QStringLiteral("nmn")).first(), QStringLiteral("Готовая продукция"));
        QCOMPARE(db->dm()->Smena2->recordCount(), 1);
    }

    void amountSubtractsDefects()
    {
        Plant::Entry e;
        e.w_id = ivanov; e.i_id = bracket; e.o_id = bend; e.data = monday; e.kol_vo = 10; e.brak = 3; e.cena = 12.125;
        Plant::entry(*db, e);
        showDate(monday);
        QCOMPARE(shown()->value(QStringLiteral("summa")).toDouble(), 84.88);
        QCOMPARE(shown()->value(QStringLiteral("kol_vo")).toInt(), 10);
    }

    void shiftOneSortsByWorkerProductKindAndColourOthersByWorkerOnly()
    {
        for (int shift : {1, 2}) {
            entry(petrov, profile, profileBend, shift, QStringLiteral("no"));
            entry(ivanov, bracket, paint, shift, QStringLiteral("no"), 7035);
            entry(ivanov, bracket, paint, shift, QStringLiteral("no"), 1);
            entry(ivanov, bracket, bend, shift, QStringLiteral("no"));
        }
        showDate(monday);
        Dataset* first = db->dm()->Smena1;
        QCOMPARE(column(first, QStringLiteral("fio")), QStringList({"Иванов И.И.", "Иванов И.И.", "Иванов И.И.", "Петров П.П."}));
        QCOMPARE(column(first, QStringLiteral("vid")), QStringList({"Гибка", "Покраска", "Покраска", "Гибка"}));
        QCOMPARE(column(first, QStringLiteral("color")), QStringList({"0", "1", "7035", "0"}));
        Dataset* second = db->dm()->Smena2;
        QCOMPARE(column(second, QStringLiteral("fio")), QStringList({"Иванов И.И.", "Иванов И.И.", "Иванов И.И.", "Петров П.П."}));
    }

    void shiftChoiceShowsThatShiftsJournal()
    {
        entry(ivanov, bracket, bend, 3, QStringLiteral("no"));
        showDate(monday);
        journal->findChild<QRadioButton*>(QStringLiteral("RadioButton3"))->setChecked(true);
        QCOMPARE(journal->CurrentShift, 3);
        QCOMPARE(shown(), db->dm()->Smena3);
        QCOMPARE(shown()->recordCount(), 1);
        QVERIFY(journal->findChild<QRadioButton*>(QStringLiteral("RadioButton3"))->styleSheet().contains(QStringLiteral("rgb(0, 128, 0)")));
        QVERIFY(!journal->findChild<QRadioButton*>(QStringLiteral("RadioButton1"))->styleSheet().contains(QStringLiteral("rgb(0, 128, 0)")));
        journal->findChild<QRadioButton*>(QStringLiteral("RadioButton4"))->setChecked(true);
        QCOMPARE(shown(), db->dm()->Smena4);
        QCOMPARE(journal->currentShiftJournal(), db->dm()->Smena4);
    }

    // "Выходной" follows the date the journal shows, whichever way the date changes; a
    // change by hand holds only while the journal shows the date it was made on.
    void dayOffFollowsTheShownDate_data()
    {
        const QDate friday = saturday.addDays(-1), sunday = saturday.addDays(1), tuesday = monday.addDays(1);
        QTest::addColumn<QDate>("shownFirst");
        QTest::addColumn<int>("hand");   // -1 untouched, 0 cleared, 1 ticked by hand
        QTest::addColumn<bool>("activation");   // else the date is chosen
        QTest::addColumn<QDate>("then");
        QTest::addColumn<bool>("ticked");
        QTest::newRow("Saturday chosen") << friday << -1 << false << saturday << true;
        QTest::newRow("Saturday, then Monday chosen") << saturday << -1 << false << monday << false;
        QTest::newRow("Saturday, back to today, a Friday") << saturday << -1 << true << friday << false;
        QTest::newRow("hand tick on Monday, back to that Monday") << monday << 1 << true << monday << true;
        QTest::newRow("hand tick on Monday, back to today, a Tuesday") << monday << 1 << true << tuesday << false;
        QTest::newRow("hand tick on Monday, Tuesday chosen") << monday << 1 << false << tuesday << false;
        QTest::newRow("hand clear on Saturday, back to that Saturday") << saturday << 0 << true << saturday << false;
        QTest::newRow("Monday, back to today, a Sunday") << monday << -1 << true << sunday << true;
    }
    void dayOffFollowsTheShownDate()
    {
        QFETCH(QDate, shownFirst);
        QFETCH(int, hand);
        QFETCH(bool, activation);
        QFETCH(QDate, then);
        QFETCH(bool, ticked);
        auto* dayOff = journal->findChild<QCheckBox*>(QStringLiteral("CBox1"));
        showDate(shownFirst);
        if (hand >= 0)
            dayOff->setChecked(hand == 1);
        if (activation) {
            Clock::setToday(then);
            journal->onActivated();
            Clock::setToday({});
        } else {
            showDate(then);
        }
        QCOMPARE(journal->date(), then);
        QCOMPARE(dayOff->isChecked(), ticked);
        QCOMPARE(dayOff->styleSheet().contains(QStringLiteral("rgb(255, 0, 0)")), ticked);
    }

    void typingADateWithoutChoosingItReadsNothing()
    {
        entry(ivanov, bracket, bend, 1, QStringLiteral("no"));
        showDate(monday.addDays(1));
        QCOMPARE(shown()->recordCount(), 0);
        journal->findChild<QDateEdit*>(QStringLiteral("DateT"))->setDate(monday);
        QCOMPARE(shown()->recordCount(), 0);
        journal->findChild<QPushButton*>(QStringLiteral("Button8"))->click();   // "Обновить" keeps the parameters
        QCOMPARE(shown()->recordCount(), 0);
        QTest::keyClick(journal->findChild<QDateEdit*>(QStringLiteral("DateT")), Qt::Key_Return);
        QCOMPARE(shown()->recordCount(), 1);
    }

    // A date typed after a click and Ctrl+A, then Enter: that day's journal opens; the
    // reports' period boxes take a typed date the same way.
    void aTypedDateOpensThatDay()
    {
        entry(ivanov, bracket, bend, 1, QStringLiteral("no"));
        showDate(monday.addDays(1));
        auto* box = journal->findChild<QDateEdit*>(QStringLiteral("DateT"));
        QTest::mouseClick(box->findChild<QLineEdit*>(), Qt::LeftButton);
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(box, monday.toString(QStringLiteral("dd.MM.yyyy")));
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(journal->date(), monday);
        QCOMPARE(shown()->recordCount(), 1);

        for (const char* name : {"DTPicker1", "DTPicker2"}) {
            auto* period = reports->findChild<QDateEdit*>(QString::fromLatin1(name));
            period->setDate(monday);
            QTest::keyClick(period, Qt::Key_Home);
            QTest::keyClicks(period, QStringLiteral("30112026"));
            QCOMPARE(period->date(), QDate(2026, 11, 30));
        }
    }

    void deleteAsksThenRepostsTheDay_data()
    {
        QTest::addColumn<bool>("answer");
        QTest::addColumn<int>("rowsLeft");
        QTest::addColumn<int>("hoursLeft");
        QTest::newRow("yes") << true << 1 << 3;
        QTest::newRow("no") << false << 2 << 11;
    }
    void deleteAsksThenRepostsTheDay()
    {
        QFETCH(bool, answer);
        QFETCH(int, rowsLeft);
        QFETCH(int, hoursLeft);
        entry(ivanov, bracket, bend, 1, QStringLiteral("no"), 0, 8);
        entry(ivanov, bracket, paint, 1, QStringLiteral("no"), 5, 3);
        db->exec(QStringLiteral("insert into accounts_dep.h_tabel(w_id, smena, month, year, d4) values (%1, 1, 3, 2024, 11)").arg(ivanov));
        showDate(monday);
        QCOMPARE(shown()->value(QStringLiteral("vid")).toString(), QStringLiteral("Гибка"));
        Messages::Recorder recorder;
        recorder.answers << answer;
        journal->onDelete();
        QCOMPARE(recorder.shown.size(), 1);
        QCOMPARE(recorder.shown[0].text, QStringLiteral("Удалить позицию из списка?"));
        QCOMPARE(recorder.shown[0].caption, QStringLiteral("Удаление"));
        QVERIFY(recorder.shown[0].icon == Messages::Icon::Question);
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from accounts_dep.smena")).toInt(), rowsLeft);
        QCOMPARE(shown()->recordCount(), rowsLeft);
        QCOMPARE(db->scalar(QStringLiteral("select d4 from accounts_dep.h_tabel where w_id=%1").arg(ivanov)).toInt(), hoursLeft);
    }

    void deletePostsTheDeletedEntrysDayEvenIfThePickerMoved()
    {
        entry(ivanov, bracket, bend, 1, QStringLiteral("no"), 0, 8);
        db->exec(QStringLiteral("insert into accounts_dep.h_tabel(w_id, smena, month, year, d4) values (%1, 1, 3, 2024, 8)").arg(ivanov));
        showDate(monday);
        journal->findChild<QDateEdit*>(QStringLiteral("DateT"))->setDate(monday.addDays(2));   // typed, not chosen
        Messages::Recorder recorder;
        journal->onDelete();
        QCOMPARE(db->scalar(QStringLiteral("select d4 from accounts_dep.h_tabel where w_id=%1").arg(ivanov)).toInt(), 0);
    }

    void actionsOnAnEmptyListDoNothing()
    {
        showDate(monday);
        QVERIFY(shown()->isEmpty());
        Messages::Recorder recorder;
        journal->onDelete();
        journal->onChange();
        journal->onAccept();
        QVERIFY(recorder.shown.isEmpty());
        QVERIFY(noTopLevelWindowOpen());
    }

    void doubleClickTogglesAcceptance_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("role");
        QTest::addColumn<QString>("after");
        QTest::newRow("да becomes no") << "да" << "0583" << "no";
        QTest::newRow("ok becomes no") << "ok" << "fumpo" << "no";
        QTest::newRow("no becomes ok") << "no" << "0583" << "ok";
        QTest::newRow("other text becomes ok") << "OK" << "61370327" << "ok";
        QTest::newRow("foreman changes nothing") << "no" << "quolbin" << "no";
    }
    void doubleClickTogglesAcceptance()
    {
        QFETCH(QString, before);
        QFETCH(QString, role);
        QFETCH(QString, after);
        entry(ivanov, bracket, bend, 1, QStringLiteral("no"));
        const int id = entry(petrov, bracket, paint, 1, before, 3);
        showDate(monday);
        shown()->setRecNo(2);
        QCOMPARE(shown()->value(QStringLiteral("id")).toInt(), id);
        journal->RoleCode = role;
        journal->onAccept();
        journal->RoleCode = QStringLiteral("0583");
        QCOMPARE(db->scalar(QStringLiteral("select trim(ok) from accounts_dep.smena where id=%1").arg(id)).toString(), after);
        QCOMPARE(shown()->recNo(), 2);   // the list is re-read and stays on the row
        QCOMPARE(shown()->value(QStringLiteral("ok")).toString().trimmed(), after);
    }

    void acceptanceMarks_data()
    {
        QTest::addColumn<QString>("mark");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("ok") << "ok" << true;
        QTest::newRow("да") << "да" << true;
        QTest::newRow("no") << "no" << false;
        QTest::newRow("upper OK") << "OK" << false;
        QTest::newRow("Да") << "Да" << false;
        QTest::newRow("empty") << "" << false;
    }
    void acceptanceMarks()
    {
        QFETCH(QString, mark);
        QFETCH(bool, accepted);
        QCOMPARE(JournalStore::isAccepted(mark), accepted);
    }

    // Ins adds and F2 changes, as the buttons do, and not when the role switched them off.
    void keysOpenTheEditorLikeTheButtons_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("caption");
        QTest::newRow("Ins") << int(Qt::Key_Insert) << "Button1" << "Заведение новой позиции";
        QTest::newRow("F2") << int(Qt::Key_F2) << "Button2" << "Изменение данных о позиции";
    }
    void keysOpenTheEditorLikeTheButtons()
    {
        QFETCH(int, key);
        QFETCH(QString, button);
        QFETCH(QString, caption);
        entry(ivanov, bracket, bend, 1, QStringLiteral("no"));
        Clock::setToday(monday);
        journal->show();
        journal->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(journal));
        QTRY_COMPARE(shown()->recordCount(), 1);
        QString seen;
        onNextModal([&](QWidget* w) {
            seen = w->windowTitle();
            w->close();
        }, 1000);
        QTest::keyClick(journal, Qt::Key(key));
        QTRY_COMPARE(seen, caption);
        auto* pushButton = journal->findChild<QPushButton*>(button);
        pushButton->setEnabled(false);
        seen.clear();
        onNextModal([&](QWidget* w) {
            seen = w->windowTitle();
            w->close();
        }, 300);
        QTest::keyClick(journal, Qt::Key(key));
        QTest::qWait(400);
        QVERIFY(seen.isEmpty());
        pushButton->setEnabled(true);
        journal->hide();
        Clock::setToday({});
    }

    // Delete deletes as the button does, after the same question, and not when the role
    // switched the button off.
    void deleteKeyDeletesLikeTheButton_data()
    {
        QTest::addColumn<bool>("buttonOn");
        QTest::addColumn<bool>("answer");
        QTest::newRow("answered Yes") << true << true;
        QTest::newRow("answered No") << true << false;
        QTest::newRow("button switched off") << false << true;
    }
    void deleteKeyDeletesLikeTheButton()
    {
        QFETCH(bool, buttonOn);
        QFETCH(bool, answer);
        entry(ivanov, bracket, bend, 1, QStringLiteral("no"));
        Clock::setToday(monday);
        auto* deleteButton = journal->findChild<QPushButton*>(QStringLiteral("Button3"));
        deleteButton->setEnabled(buttonOn);
        const auto restore = qScopeGuard([&] {
            deleteButton->setEnabled(true);
            journal->hide();
            Clock::setToday({});
        });
        journal->show();
        journal->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(journal));
        QTRY_COMPARE(shown()->recordCount(), 1);
        Messages::Recorder recorder(answer);
        auto* grid = journal->findChild<QTableView*>(QStringLiteral("DBGrid2"));
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Delete);
        // A key presses its button as a click does: down at once, clicked a moment later.
        QCOMPARE(deleteButton->isDown(), buttonOn);
        if (!buttonOn) {
            QVERIFY(recorder.shown.isEmpty());
            QCOMPARE(db->scalar(QStringLiteral("select count(*) from accounts_dep.smena")).toInt(), 1);
            return;
        }
        QTRY_COMPARE(recorder.texts(), QStringList{QStringLiteral("Удалить позицию из списка?")});
        const int left = db->scalar(QStringLiteral("select count(*) from accounts_dep.smena")).toInt();
        QCOMPARE(recorder.shown[0].caption, QStringLiteral("Удаление"));
        QCOMPARE(left, answer ? 0 : 1);
    }

    // The menus read exactly as the plant knows them; Alt with a menu's first letter opens
    // it, and an item's first letter runs it.
    void menus()
    {
        const QList<std::pair<const char*, const char*>> texts{
            {"N2", "Справочники"}, {"N1", "Рабочие"}, {"N3", "Изделия"}, {"N4", "Цены"}, {"N6", "Операции"},
            {"N8", "Внеурочное"}, {"N11", "Табель по времени"}, {"N7", "Отчеты"}, {"N10", "Сводные отчеты"},
            {"N5", "Выход"}, {"N12", "Импорт"}};
        for (const auto& [name, text] : texts) {
            QAction* action = journal->findChild<QAction*>(QLatin1String(name));
            if (!action)
                action = journal->findChild<QMenu*>(QLatin1String(name))->menuAction();
            QVERIFY2(action, name);
            QCOMPARE(action->text(), QString::fromUtf8(text));
        }
        QVERIFY(!journal->findChild<QAction*>(QStringLiteral("N12"))->isVisible());

        journal->show();
        journal->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(journal));
        for (const char* name : {"N2", "N7"}) {
            auto* menu = journal->findChild<QMenu*>(QLatin1String(name));
            const QChar letter = menu->title().at(0);
            QTest::sendKeyEvent(QTest::Click, journal, Qt::Key(letter.unicode()), QString(letter.toLower()), Qt::AltModifier);
            QTRY_VERIFY2(menu->isVisible(), name);
            QCOMPARE(menu->activeAction(), menu->actions().first());   // on its first item, as from the keyboard
            menu->close();
        }
        // In an open menu an item's first letter runs it.
        auto* directories = journal->findChild<QMenu*>(QStringLiteral("N2"));
        QSignalSpy overtime(journal->findChild<QAction*>(QStringLiteral("N8")), &QAction::triggered);
        QTest::sendKeyEvent(QTest::Click, journal, Qt::Key(u'С'), QStringLiteral("с"), Qt::AltModifier);
        QTRY_VERIFY(directories->isVisible());
        QTest::sendKeyEvent(QTest::Click, directories, Qt::Key(u'В'), QStringLiteral("в"), Qt::NoModifier);
        QCOMPARE(overtime.count(), 1);
        QTRY_VERIFY(!directories->isVisible());
        journal->hide();
    }

    // F1 and "Справка", last on the menu bar, hand the user's guide the build made to the
    // desktop; without a guide the user is told so and nothing is opened.
    void helpOpensTheUserGuide()
    {
        QList<QUrl> opened;
        UserGuide::setViewer([&](const QUrl& url) {
            opened << url;
            return true;
        });
        const auto restore = qScopeGuard([&] {
            UserGuide::setViewer({});
            UserGuide::setPlaces({});
            journal->hide();
        });
        auto* item = journal->findChild<QAction*>(QStringLiteral("HelpItem"));
        QVERIFY(item);
        QCOMPARE(item->text(), QStringLiteral("Справка"));
        QCOMPARE(journal->findChild<QMenuBar*>()->actions().last(), item);
        journal->show();
        journal->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(journal));

        Messages::Recorder recorder;
        QTest::keyClick(journal, Qt::Key_F1);
        item->trigger();
        QCOMPARE(recorder.texts(), QStringList());
        QCOMPARE(opened.size(), 2);
        for (const QUrl& url : opened) {
            QVERIFY2(url.isLocalFile(), qPrintable(url.toString()));
            QVERIFY2(url.toLocalFile().endsWith(QStringLiteral("/doc/user/index.html")), qPrintable(url.toString()));
            QFile page(url.toLocalFile());
            QVERIFY2(page.open(QIODevice::ReadOnly), qPrintable(url.toLocalFile()));
            QVERIFY(page.readLine().startsWith("<!DOCTYPE html>"));
        }

        UserGuide::setPlaces({QStringLiteral("/nonexistent/doc/user/index.html")});
        QTest::keyClick(journal, Qt::Key_F1);
        QCOMPARE(opened.size(), 2);
        QCOMPARE(recorder.shown.size(), 1);
        QCOMPARE(recorder.shown[0].caption, QStringLiteral("Справка"));
        QVERIFY2(recorder.lastText().startsWith(QStringLiteral("Руководство пользователя не найдено")),
                 qPrintable(recorder.lastText()));
    }

    // The status line and the amounts show money the Russian way whatever the desktop's
    // locale.
    void moneyIsShownTheRussianWay_data()
    {
        QTest::addColumn<QLocale>("desktop");
        QTest::newRow("C") << QLocale::c();
        QTest::newRow("English") << QLocale(QLocale::English, QLocale::UnitedStates);
        QTest::newRow("Russian") << QLocale(QLocale::Russian, QLocale::Russia);
    }
    void moneyIsShownTheRussianWay()
    {
        QFETCH(QLocale, desktop);
        const QLocale before;
        QLocale::setDefault(desktop);
        const auto restore = qScopeGuard([&] { QLocale::setDefault(before); });
        Plant::Entry e;
        e.w_id = ivanov; e.i_id = bracket; e.o_id = bend; e.data = monday; e.kol_vo = 2; e.cena = 708.62; e.time = 8;
        Plant::entry(*db, e);
        showDate(monday);
        const QString status = journal->findChild<QLabel*>(QStringLiteral("SummaryLabel"))->text();
        QCOMPARE(status, QStringLiteral("Записей: 1    Часов: 8    Сумма: 1\u00a0417,24 р."));
        auto* grid = journal->findChild<QTableView*>(QStringLiteral("DBGrid2"));
        const int amount = qobject_cast<DatasetModel*>(grid->model())->columnOf(QStringLiteral("summa"));
        QCOMPARE(grid->model()->index(0, amount).data().toString(), QStringLiteral("1\u00a0417,24"));
    }

    // The status line sums the shown shift's journal, whichever journal was read last.
    void theStatusLineFollowsTheShownShift()
    {
        entry(ivanov, bracket, bend, 1, QStringLiteral("no"), 0, 8);
        entry(petrov, bracket, bend, 1, QStringLiteral("no"), 0, 4);
        entry(ivanov, bracket, paint, 2, QStringLiteral("no"), 0, 3);
        showDate(monday);
        auto* status = journal->findChild<QLabel*>(QStringLiteral("SummaryLabel"));
        const QString first = QStringLiteral("Записей: 2    Часов: 12    Сумма: 200,00 р.");
        const QString second = QStringLiteral("Записей: 1    Часов: 3    Сумма: 100,00 р.");
        QCOMPARE(status->text(), first);
        // Shift 4 is read after shift 1 on every date; re-reading it alone changes nothing.
        db->dm()->Smena4->reopen();
        QCOMPARE(status->text(), first);
        journal->findChild<QRadioButton*>(QStringLiteral("RadioButton2"))->setChecked(true);
        QCOMPARE(status->text(), second);
        db->dm()->Smena1->reopen();
        QCOMPARE(status->text(), second);
        // The shown journal re-read with one more entry.
        entry(petrov, bracket, paint, 2, QStringLiteral("no"), 0, 5);
        db->dm()->Smena2->reopen();
        QCOMPARE(status->text(), QStringLiteral("Записей: 2    Часов: 8    Сумма: 200,00 р."));
        journal->findChild<QRadioButton*>(QStringLiteral("RadioButton1"))->setChecked(true);
        QCOMPARE(status->text(), first);
    }

    void summaryReportsProposeThePreviousMonth_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::newRow("January") << QDate(2025, 1, 15) << QDate(2024, 12, 1) << QDate(2025, 1, 1);
        QTest::newRow("March") << QDate(2024, 3, 31) << QDate(2024, 2, 1) << QDate(2024, 3, 1);
    }
    void summaryReportsProposeThePreviousMonth()
    {
        QFETCH(QDate, today);
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        showDate(QDate(2020, 6, 6));   // the period follows today, not the picker
        Clock::setToday(today);
        QDate seenFrom, seenTo;
        onNextModal([&](QWidget* w) {
            seenFrom = reports->periodFrom();
            seenTo = reports->periodTo();
            QCOMPARE(w->objectName(), QStringLiteral("TForm18"));
            w->close();
        });
        journal->onSummaryReports();
        Clock::setToday({});
        QCOMPARE(seenFrom, from);
        QCOMPARE(seenTo, to);
        QCOMPARE(journal->date(), today);   // returning re-activates the journal
    }

    // A full shift scrolls down only: every column stays in sight beside the vertical
    // scroll bar, and the reports window shows each button's whole caption.
    void longListsAndReportButtonsFitTheirWindows()
    {
        for (int i = 0; i < 40; ++i)
            entry(i % 2 ? ivanov : petrov, bracket, bend, 1, QStringLiteral("no"), i + 1);
        const auto hideAll = qScopeGuard([this] {
            journal->hide();
            reports->hide();
            Clock::setToday({});
        });
        Clock::setToday(monday);   // showing the journal re-reads today's entries
        auto* grid = journal->findChild<QTableView*>(QStringLiteral("DBGrid2"));
        journal->show();
        QVERIFY(QTest::qWaitForWindowExposed(journal));
        QTRY_COMPARE(grid->model()->rowCount(), 40);
        Clock::setToday({});
        QTRY_VERIFY(grid->verticalScrollBar()->isVisible());
        QVERIFY2(grid->horizontalHeader()->length() <= grid->viewport()->width(),
                 qPrintable(QStringLiteral("%1 > %2").arg(grid->horizontalHeader()->length()).arg(grid->viewport()->width())));
        journal->hide();

        reports->show();
        QVERIFY(QTest::qWaitForWindowExposed(reports));
        for (QPushButton* button : reports->findChildren<QPushButton*>())
            QVERIFY2(button->width() >= button->sizeHint().width(), qPrintable(button->text()));
        reports->hide();
    }
};

QTEST_MAIN(JournalWindowTest)
#include "tst_journalwindow.moc"
