#include "core/clock.h"
#include "app/windows.h"
#include "db/datamodule.h"
#include "journal/brigadeentry.h"
#include "journal/entryprice.h"
#include "journal/journalwindow.h"
#include "support/modal.h"
#include "support/plantfixture.h"
#include "support/testdb.h"
#include "ui/guard.h"
#include "ui/messages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QDateEdit>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

// The brigade window against the real server, driven from the keyboard: a brigade saved
// in one transaction with its days posted, refusals that write nothing and keep the grid,
// and a draft from another shift's journal.
class BrigadeEntryTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDatabase> db;
    JournalWindow* journal = nullptr;
    BrigadeEntry* brigade = nullptr;
    OperationsList* operationsList = nullptr;
    QLocale localeBefore;

    const QDate day{2024, 3, 5};
    const QDate today{2024, 3, 7};
    QVector<int> workers;      // 12, named so that each has a prefix of its own
    QStringList names;
    int cutting = 0, painting = 0;

    DataModule* dm() const { return db->dm(); }
    int count(const QString& sql) const { return db->scalar(sql).toInt(); }
    int entries() const { return count(QStringLiteral("select count(*) from accounts_dep.smena")); }
    int postedHours(int workerId, int shift, const QDate& date) const
    {
        const QVariant v = db->scalar(QStringLiteral("select d%1 from accounts_dep.h_tabel where w_id=%2 and smena=%3 "
                                                     "and month=%4 and year=%5")
                                          .arg(date.day()).arg(workerId).arg(shift).arg(date.month()).arg(date.year()));
        return v.isValid() && !v.isNull() ? v.toInt() : -1;
    }
    OperationsList::Choice operation(int operId) const
    {
        const SqlRun::Result r = dm()->select(QStringLiteral(
            "select o.id, o.i_id, v.vid, o.naimen, (select min(price) from accounts_dep.norm n where n.o_id=o.id) base "
            "from accounts_dep.oper o join accounts_dep.vid_oper v on v.id=o.vid where o.id=%1").arg(operId));
        const QSqlRecord row = r.rows.value(0);
        return {row.value(0).toInt(), row.value(1).toInt(), row.value(2).toString().trimmed(), row.value(3).toInt(),
                row.value(4).toDouble()};
    }
    // Where a key goes: the focused control of the window.
    QWidget* focused() const
    {
        QWidget* w = QApplication::focusWidget();
        if (w && brigade->isAncestorOf(w))
            return w;
        return brigade->focusWidget() ? brigade->focusWidget() : brigade;
    }
    // Lets the queued hand-overs of the grid (an editor closing, the move to the next cell) run.
    static void settle()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }
    // Types into the focused control as a keyboard does, Cyrillic included.
    void type(const QString& text) const
    {
        for (const QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(focused(), &press);
        }
    }
    void key(Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) const
    {
        QTest::keyClick(focused(), k, modifiers);
        settle();
    }
    QString focusName() const { return focused()->objectName(); }
    // The journal at a date and shift, as the brigade window reads it.
    void journalAt(const QDate& date, int shift, bool dayOff)
    {
        journal->findChild<QDateEdit*>(QStringLiteral("DateT"))->setDate(date);
        journal->findChild<QCheckBox*>(QStringLiteral("CBox1"))->setChecked(dayOff);
        journal->CurrentShift = shift;
    }
    void open(int operId)
    {
        brigade->prepare();
        brigade->show();
        QVERIFY(QTest::qWaitForWindowActive(brigade));
        brigade->operationChosen(operation(operId));
        // The offscreen platform keeps a closed popup the active window, so the names are
        // completed in the box itself here instead of in the hints below it.
        brigade->findChild<QLineEdit*>(QStringLiteral("WorkerFind"))->completer()->setCompletionMode(QCompleter::InlineCompletion);
        brigade->findChild<QLineEdit*>(QStringLiteral("WorkerFind"))->setFocus();
    }
    // A worker found by the first letters of his name, his quantity and (on the first row) the hours.
    void addWorker(int i, int quantity, const QString& hours = QString())
    {
        QCOMPARE(focusName(), QStringLiteral("WorkerFind"));
        type(names[i].left(5));
        key(Qt::Key_Return);
        QCOMPARE(focusName(), QStringLiteral("CellEdit"));
        type(QString::number(quantity));
        if (!hours.isEmpty()) {
            key(Qt::Key_Tab);
            type(hours);
        }
        key(Qt::Key_Return);
    }
    int journalRows(const QDate& date, int shift) const
    {
        return count(QStringLiteral("select count(*) from accounts_dep.smena where data='%1' and smena=%2")
                         .arg(date.toString(Qt::ISODate)).arg(shift));
    }

private slots:
    void initTestCase()
    {
        localeBefore = QLocale();
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        db = std::make_unique<TestDatabase>(QStringLiteral("brigade"));
        const QStringList surnames{"Абрамов", "Белов", "Васильев", "Григорьев", "Дмитриев", "Егоров",
                                   "Жуков", "Зайцев", "Ильин", "Кузнецов", "Лебедев", "Морозов"};
        for (const QString& surname : surnames) {
            names.append(surname + QStringLiteral(" Иван Петрович"));
            workers.append(Plant::worker(*db, names.last()));
        }
        const qint64 bracket = Plant::product(*db, QStringLiteral("КР-100"));
        const qint64 profile = Plant::product(*db, QStringLiteral("ПН-60"));
        cutting = Plant::operation(*db, bracket, Plant::kind(*db, QStringLiteral("Резка")), 0, 10);
        painting = Plant::operation(*db, profile, Plant::kind(*db, QStringLiteral("Порошковая покраска")), 1, 12.5);
        // The rule's price is the lowest norm price, not the first.
        db->exec(QStringLiteral("insert into accounts_dep.norm(o_id, norma, prize, price) values (%1, 120, 5, 11)").arg(cutting));

        journal = new JournalWindow;
        brigade = new BrigadeEntry;
        operationsList = new OperationsList;
        appWindows().journal = journal;
        appWindows().brigadeEntry = brigade;
        appWindows().operationsList = operationsList;
    }

    void cleanupTestCase()
    {
        appWindows() = AppWindows();
        delete operationsList;
        delete brigade;
        delete journal;
        db.reset();
        Clock::setToday(QDate());
        QLocale::setDefault(localeBefore);
    }

    void init()
    {
        db->exec(QStringLiteral("delete from accounts_dep.smena"));
        db->exec(QStringLiteral("delete from accounts_dep.h_tabel"));
        db->exec(QStringLiteral("delete from accounts_dep.closed_month"));
        Clock::setToday(today);
        journalAt(day, 1, false);
    }

    void cleanup()
    {
        if (brigade->isVisible()) {
            Messages::Recorder yes(true);
            brigade->reject();
        }
        QVERIFY(noTopLevelWindowOpen());
    }

    // Twelve workers typed in and saved in one go: every entry at the rule's price, every
    // worker's day posted with the hours typed once on the first row.
    void brigadeOfTwelveSavedAtOnce_data()
    {
        QTest::addColumn<int>("shift");
        QTest::addColumn<bool>("dayOff");
        QTest::addColumn<double>("price");
        QTest::newRow("shift 1") << 1 << false << 10.0;
        QTest::newRow("shift 3, day off") << 3 << true << 24.0;
    }
    void brigadeOfTwelveSavedAtOnce()
    {
        QFETCH(int, shift);
        QFETCH(bool, dayOff);
        QFETCH(double, price);
        Messages::Recorder recorder;
        journalAt(day, shift, dayOff);
        open(cutting);
        for (int i = 0; i < 12; ++i)
            addWorker(i, 10 + i, i == 0 ? QStringLiteral("8") : QString());
        QCOMPARE(brigade->rowCount(), 12);
        QCOMPARE(brigade->cell(11, BrigadeEntry::Hours), QStringLiteral("8"));
        QCOMPARE(brigade->cell(3, BrigadeEntry::Price), EntryPrice::shown(price));
        QCOMPARE(brigade->cell(3, BrigadeEntry::Amount), EntryPrice::shown(13 * price));
        // 10 + 11 + ... + 21 pieces
        QVERIFY2(brigade->totalText().contains(EntryPrice::shown(186 * price)), qPrintable(brigade->totalText()));

        key(Qt::Key_Return, Qt::ControlModifier);
        QVERIFY2(recorder.shown.isEmpty(), qPrintable(recorder.texts().join(u'\n')));
        QVERIFY(!brigade->isVisible());
        QCOMPARE(journalRows(day, shift), 12);
        for (int i = 0; i < 12; ++i) {
            const SqlRun::Result r = dm()->select(QStringLiteral("select cena, kol_vo, brak, time, o_id from accounts_dep.smena "
                                                                 "where w_id=%1").arg(workers[i]));
            QCOMPARE(r.rows.size(), 1);
            QCOMPARE(r.rows[0].value(0).toDouble(), price);
            QCOMPARE(r.rows[0].value(1).toInt(), 10 + i);
            QCOMPARE(r.rows[0].value(2).toInt(), 0);
            QCOMPARE(r.rows[0].value(3).toInt(), 8);
            QCOMPARE(r.rows[0].value(4).toInt(), cutting);
            QCOMPARE(postedHours(workers[i], shift, day), 8);
        }
    }

    // Every input rule of the editor holds in every cell: letters never get in, an empty
    // quantity is named with its worker, more than a day's hours asks and "Нет" writes nothing.
    void inputRulesOfEveryCell()
    {
        Plant::Entry morning;
        morning.w_id = workers[1];
        morning.o_id = painting;
        morning.i_id = operation(painting).productId;
        morning.data = day;
        morning.time = 8;
        morning.cena = 12.5;
        Plant::entry(*db, morning);
        const int before = entries();
        open(cutting);
        addWorker(0, 5, QStringLiteral("8"));
        QCOMPARE(focusName(), QStringLiteral("WorkerFind"));
        type(names[1].left(5));
        key(Qt::Key_Return);
        type(QStringLiteral("1а2"));   // the letter is dropped, nothing else
        key(Qt::Key_Tab);
        type(QStringLiteral("20"));
        key(Qt::Key_Return);
        QCOMPARE(brigade->cell(1, BrigadeEntry::Quantity), QStringLiteral("12"));
        QCOMPARE(brigade->cell(1, BrigadeEntry::Hours), QStringLiteral("20"));   // typed over the 8 taken over

        Messages::Recorder no(false);
        brigade->onSave();
        QCOMPARE(no.shown.size(), 1);
        QCOMPARE(no.shown[0].icon, Messages::Icon::Question);
        QVERIFY2(no.lastText().contains(names[1]), qPrintable(no.lastText()));
        QCOMPARE(entries(), before);
        QCOMPARE(focusName(), QStringLiteral("CellEdit"));

        // An empty quantity: the editor's own message, with the worker.
        key(Qt::Key_Escape);
        auto* grid = brigade->findChild<QTableWidget*>(QStringLiteral("Grid"));
        grid->item(1, BrigadeEntry::Hours)->setText(QStringLiteral("8"));
        grid->item(0, BrigadeEntry::Quantity)->setText(QString());
        no.clear();
        brigade->onSave();
        QCOMPARE(no.lastText(), QStringLiteral("Рабочий %1: Все поля должны быть заполнены!").arg(names[0]));
        QCOMPARE(grid->currentRow(), 0);
        QCOMPARE(grid->currentColumn(), int(BrigadeEntry::Quantity));
        QCOMPARE(entries(), before);

        // A day the timesheet cannot hold is refused, as in the entry editor: no question.
        grid->item(0, BrigadeEntry::Quantity)->setText(QStringLiteral("5"));
        db->exec(QStringLiteral("update accounts_dep.smena set time=2147483000 where w_id=%1").arg(workers[1]));
        grid->item(1, BrigadeEntry::Hours)->setText(QStringLiteral("1000"));
        no.clear();
        brigade->onSave();
        QCOMPARE(no.shown.size(), 1);
        QCOMPARE(no.shown[0].icon, Messages::Icon::Error);
        QVERIFY2(no.lastText().contains(QStringLiteral("такое число часов не записать")), qPrintable(no.lastText()));
        QCOMPARE(entries(), before);
    }

    // A name taken from the hints below the box with the arrows: his row is added and the
    // box is empty again for the next name (the hints write the name back as they close).
    void nameChosenFromTheHints()
    {
        Messages::Recorder recorder;
        open(cutting);
        auto* box = brigade->findChild<QLineEdit*>(QStringLiteral("WorkerFind"));
        box->completer()->setCompletionMode(QCompleter::PopupCompletion);
        // The open hints take the keys, as on a desktop.
        auto hintKey = [&](Qt::Key k) {
            QWidget* hints = QApplication::activePopupWidget();
            QTest::keyClick(hints ? hints : focused(), k);
            settle();
        };
        for (const int i : {2, 7}) {
            type(names[i].left(2));
            QVERIFY(box->completer()->popup()->isVisible());
            hintKey(Qt::Key_Down);
            QCOMPARE(box->text(), names[i]);
            hintKey(Qt::Key_Return);
            QCOMPARE(focusName(), QStringLiteral("CellEdit"));
            QCOMPARE(box->text(), QString());
            type(QStringLiteral("5"));
            key(Qt::Key_Return);
            QCOMPARE(focusName(), QStringLiteral("WorkerFind"));
        }
        QVERIFY2(recorder.shown.isEmpty(), qPrintable(recorder.texts().join(u'\n')));
        QCOMPARE(brigade->rowCount(), 2);
        QCOMPARE(brigade->cell(0, BrigadeEntry::Worker), names[2]);
        QCOMPARE(brigade->cell(1, BrigadeEntry::Worker), names[7]);
    }

    // Another shift's journal as a draft: its workers and hours of the operation, the
    // quantities typed down the column, today's price of the rule.
    void draftFromPreviousShift()
    {
        const QDate yesterday = day.addDays(-1);
        const int hours[] = {7, 8, 8, 6, 9};
        for (int i = 0; i < 5; ++i) {
            Plant::Entry e;
            e.w_id = workers[i + 3];
            e.o_id = cutting;
            e.i_id = operation(cutting).productId;
            e.data = yesterday;
            e.smena = 2;
            e.cena = 99;   // an old price: the draft takes today's
            e.time = hours[i];
            Plant::entry(*db, e);
        }
        Plant::Entry other;   // another operation: not in this draft
        other.w_id = workers[0];
        other.o_id = painting;
        other.i_id = operation(painting).productId;
        other.data = yesterday;
        other.smena = 2;
        other.cena = 12.5;
        Plant::entry(*db, other);

        Messages::Recorder recorder;
        open(cutting);
        QCOMPARE(brigade->findChild<QDateEdit*>(QStringLiteral("DraftDate"))->date(), yesterday);
        brigade->findChild<QComboBox*>(QStringLiteral("DraftShift"))->setCurrentIndex(1);
        brigade->findChild<QPushButton*>(QStringLiteral("CopyDraft"))->click();
        settle();
        QVERIFY2(recorder.shown.isEmpty(), qPrintable(recorder.texts().join(u'\n')));
        QCOMPARE(brigade->rowCount(), 5);
        QCOMPARE(journalRows(day, 1), 0);   // nothing written by the draft
        QCOMPARE(focusName(), QStringLiteral("CellEdit"));
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(brigade->cell(i, BrigadeEntry::Worker), names[i + 3]);
            QCOMPARE(brigade->cell(i, BrigadeEntry::Quantity), QString());
            QCOMPARE(brigade->cell(i, BrigadeEntry::Hours), QString::number(hours[i]));
            type(QString::number(20 + i));
            key(Qt::Key_Return);
        }
        QCOMPARE(focusName(), QStringLiteral("WorkerFind"));
        key(Qt::Key_Return, Qt::ControlModifier);
        QVERIFY2(recorder.shown.isEmpty(), qPrintable(recorder.texts().join(u'\n')));
        QCOMPARE(journalRows(day, 1), 5);
        for (int i = 0; i < 5; ++i) {
            const SqlRun::Result r = dm()->select(QStringLiteral("select cena, kol_vo, time from accounts_dep.smena "
                                                                 "where w_id=%1 and data='%2'")
                                                      .arg(workers[i + 3]).arg(day.toString(Qt::ISODate)));
            QCOMPARE(r.rows.size(), 1);
            QCOMPARE(r.rows[0].value(0).toDouble(), 10.0);
            QCOMPARE(r.rows[0].value(1).toInt(), 20 + i);
            QCOMPARE(r.rows[0].value(2).toInt(), hours[i]);
            QCOMPARE(postedHours(workers[i + 3], 1, day), hours[i]);
        }
    }

    // The journal's menu item opens the window for a role that may add, in an open month.
    void openedFromJournalMenu()
    {
        QAction* item = journal->findChild<QAction*>(QStringLiteral("BrigadeItem"));
        QVERIFY(item);
        QCOMPARE(item->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_B));
        bool opened = false;
        onNextModal([&](QWidget* w) {
            opened = w == brigade;
            brigade->reject();
        });
        journal->onBrigade();
        QVERIFY(opened);
    }

    // Last: the server keeps a closed month closed.
    // A refusal in the middle writes nothing: neither the journal nor the timesheet, and
    // the grid keeps every row as typed, the worker named.
    void refusalWritesNothingAndKeepsGrid_data()
    {
        QTest::addColumn<bool>("closedMonth");
        QTest::addColumn<QString>("named");
        QTest::newRow("duplicate of the sixth worker") << false << QStringLiteral("Егоров");
        QTest::newRow("month closed meanwhile") << true << QStringLiteral("Абрамов");
    }
    void refusalWritesNothingAndKeepsGrid()
    {
        QFETCH(bool, closedMonth);
        QFETCH(QString, named);
        Plant::Entry existing;
        existing.w_id = workers[5];
        existing.o_id = cutting;
        existing.i_id = operation(cutting).productId;
        existing.data = day;
        Plant::entry(*db, existing);
        const int before = entries();
        open(cutting);
        for (int i = 0; i < 12; ++i)
            addWorker(i, 10 + i, i == 0 ? QStringLiteral("4") : QString());
        if (closedMonth)
            db->exec(QStringLiteral("insert into accounts_dep.closed_month(year, month) values (2024, 3)"));

        Messages::Recorder recorder;
        guarded([&] { brigade->onSave(); });
        QCOMPARE(recorder.shown.size(), 1);
        QVERIFY2(recorder.lastText().contains(QStringLiteral("Рабочий: ") + named), qPrintable(recorder.lastText()));
        QVERIFY(brigade->isVisible());
        QCOMPARE(entries(), before);
        QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.h_tabel")), 0);
        QCOMPARE(brigade->rowCount(), 12);
        for (int i = 0; i < 12; ++i) {
            QCOMPARE(brigade->cell(i, BrigadeEntry::Worker), names[i]);
            QCOMPARE(brigade->cell(i, BrigadeEntry::Quantity), QString::number(10 + i));
            QCOMPARE(brigade->cell(i, BrigadeEntry::Hours), QStringLiteral("4"));
        }
        if (!closedMonth) {
            // The duplicate row taken out, the rest goes through.
            brigade->findChild<QTableWidget*>(QStringLiteral("Grid"))->setCurrentCell(5, BrigadeEntry::Worker);
            brigade->onRemoveRow();
            brigade->onSave();
            QCOMPARE(recorder.shown.size(), 1);
            QCOMPARE(entries(), before + 11);
        }
    }
};

QTEST_MAIN(BrigadeEntryTest)
#include "tst_brigadeentry.moc"
