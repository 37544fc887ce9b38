#include "app/windows.h"
#include "closing/closedmonths.h"
#include "core/clock.h"
#include "history/historywindow.h"
#include "journal/entryeditor.h"
#include "journal/journalsaves.h"
#include "journal/journalwindow.h"
#include "support/modal.h"
#include "support/plantfixture.h"
#include "ui/guard.h"
#include "ui/messages.h"

#include <QAction>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableView>
#include <QTableWidget>
#include <QtTest>

const QString kRefusal = QStringLiteral(
    "Месяц 03.2024 закрыт: изменения запрещены. Открыть месяц можно в окне «Табель по времени» (полный доступ).");

// The server's refusal and, below it, what became of the user's action.
QString refusal(const QString& nothingWritten)
{
    return kRefusal + QStringLiteral("\n\n") + nothingWritten;
}

// The journal in a closed month: the mark beside the date, the actions switched off on
// top of the role's rules, and a refusal of the server (a month closed meanwhile at
// another workstation) that loses nothing.
class JournalClosedMonthTest : public QObject {
    Q_OBJECT
    std::unique_ptr<TestDatabase> db;
    JournalWindow* journal = nullptr;
    EntryEditor* editor = nullptr;
    HistoryWindow* history = nullptr;
    const QDate march{2024, 3, 5};
    const QDate april{2024, 4, 2};
    int ivanov = 0;
    qint64 bracket = 0;
    int bend = 0;

    template <class T>
    T* child(QWidget* w, const char* name) const
    {
        T* c = w->findChild<T*>(QString::fromLatin1(name));
        if (!c)
            qFatal("no control %s", name);
        return c;
    }
    int entry(const QDate& d, const QString& ok = QStringLiteral("no"))
    {
        Plant::Entry e;
        e.w_id = ivanov; e.i_id = bracket; e.o_id = bend; e.data = d; e.ok = ok;
        return Plant::entry(*db, e);
    }
    void showDate(const QDate& d)
    {
        child<QDateEdit>(journal, "DateT")->setDate(d);
        journal->onDateChosen();
    }
    QString mark(int id) const
    {
        return db->scalar(QStringLiteral("select trim(ok) from accounts_dep.smena where id=%1").arg(id)).toString();
    }
    // Another workstation closes the month while this one still shows it open.
    void closeElsewhere(int year, int month)
    {
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), QStringLiteral("elsewhere"));
        other.setDatabaseName(db->connectionString());
        QVERIFY(other.open());
        QVERIFY(QSqlQuery(other).exec(QStringLiteral("insert into accounts_dep.closed_month(year, month) values (%1, %2)").arg(year).arg(month)));
        other.close();
        other = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("elsewhere"));
    }

private slots:
    void initTestCase()
    {
        db = std::make_unique<TestDatabase>(QStringLiteral("journalclosed"));
        ivanov = Plant::worker(*db, QStringLiteral("Иванов И.И."));
        bracket = Plant::product(*db, QStringLiteral("КР-100"));
        bend = Plant::operation(*db, bracket, Plant::kind(*db, QStringLiteral("Гибка")), 0, 10);
        journal = new JournalWindow;
        editor = new EntryEditor;
        history = new HistoryWindow;
        appWindows().journal = journal;
        appWindows().entryEditor = editor;
        appWindows().history = history;
        for (int shift = 1; shift <= 4; ++shift)
            db->dm()->smenaForShift(shift)->setParam(QStringLiteral("ok"), QStringLiteral("ta"));
        journal->CurrentShift = 1;
        journal->RoleCode = QStringLiteral("0583");
        Clock::setToday(april);
    }
    void cleanupTestCase()
    {
        delete history;
        delete editor;
        delete journal;
        appWindows() = AppWindows();
        Clock::setToday({});
        db.reset();
    }
    void init()
    {
        db->exec(QStringLiteral("delete from accounts_dep.closed_month"));
        db->exec(QStringLiteral("delete from accounts_dep.smena"));
        db->exec(QStringLiteral("delete from accounts_dep.h_tabel"));
        journal->RoleCode = QStringLiteral("0583");
    }
    void cleanup() { QVERIFY(noTopLevelWindowOpen()); }

    // Which buttons a role has in an open and in a closed month.
    void buttonsByRoleAndMonth_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<QList<bool>>("enabled");   // Добавить, Изменить, Удалить
        QTest::newRow("full access, open") << "0583" << false << QList<bool>{true, true, true};
        QTest::newRow("full access, closed") << "0583" << true << QList<bool>{false, false, false};
        QTest::newRow("foreman, open") << "quolbin" << false << QList<bool>{true, false, false};
        QTest::newRow("foreman, closed") << "quolbin" << true << QList<bool>{false, false, false};
        QTest::newRow("storekeeper, open") << "fumpo" << false << QList<bool>{false, false, false};
    }
    void buttonsByRoleAndMonth()
    {
        QFETCH(QString, code);
        QFETCH(bool, closed);
        QFETCH(QList<bool>, enabled);
        journal->RoleCode = code;
        if (closed)
            ClosedMonths(*db->dm()).close(2024, 3);
        showDate(march);
        QLabel* closedMark = child<QLabel>(journal, "ClosedMark");
        QCOMPARE(closedMark->isVisibleTo(journal), closed);
        if (closed) {
            QCOMPARE(closedMark->text(), QStringLiteral("Месяц 03.2024 закрыт"));
            QVERIFY(closedMark->toolTip().contains(QStringLiteral("Изменения журнала и табеля этого месяца запрещены")));
        }
        QCOMPARE((QList<bool>{child<QPushButton>(journal, "Button1")->isEnabled(), child<QPushButton>(journal, "Button2")->isEnabled(),
                              child<QPushButton>(journal, "Button3")->isEnabled()}),
                 enabled);
        QCOMPARE(journal->isMonthClosed(), closed);
        // Another date of an open month: back as the role allows.
        showDate(april);
        QVERIFY(!closedMark->isVisibleTo(journal));
        QCOMPARE(child<QPushButton>(journal, "Button1")->isEnabled(), code != QLatin1String("fumpo"));
    }

    // In a closed month the handlers themselves do nothing: no editor, no question, no
    // statement; the acceptance double click changes no mark.
    void actionsDoNothingInAClosedMonth()
    {
        const int id = entry(march);
        ClosedMonths(*db->dm()).close(2024, 3);
        showDate(march);
        Messages::Recorder recorder;
        journal->onAdd();
        journal->onChange();
        journal->onDelete();
        journal->onAccept();
        QCOMPARE(recorder.texts(), QStringList{});
        QVERIFY(!editor->isVisible());
        QCOMPARE(mark(id), QStringLiteral("no"));
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from accounts_dep.smena")).toInt(), 1);
        // The delete key is the button's shortcut: a switched-off button takes no key.
        QVERIFY(!child<QPushButton>(journal, "Button3")->isEnabled());
    }

    // The month was closed at another workstation after this one showed the date: the
    // server refuses, the general error handler says why, nothing is deleted.
    void aRefusedDeleteDeletesNothing()
    {
        const int id = entry(march);
        showDate(march);
        QVERIFY(!journal->isMonthClosed());
        closeElsewhere(2024, 3);
        Messages::Recorder recorder(true);
        QVERIFY(!guarded([this] { journal->onDelete(); }));
        QCOMPARE(recorder.shown.size(), 2);   // the question, then the refusal
        QCOMPARE(recorder.shown[1].text, refusal(JournalSaves::kNotDeleted));
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from accounts_dep.smena where id=%1").arg(id)).toInt(), 1);
        // After the refusal the journal learns the month's state on the next reading.
        journal->onRefresh();
        QVERIFY(journal->isMonthClosed());
    }

    void aRefusedAcceptanceChangesNothing()
    {
        const int id = entry(march);
        showDate(march);
        closeElsewhere(2024, 3);
        Messages::Recorder recorder;
        QVERIFY(!guarded([this] { journal->onAccept(); }));
        QCOMPARE(recorder.texts(), QStringList{refusal(JournalSaves::kMarkNotChanged)});
        QCOMPARE(mark(id), QStringLiteral("no"));
    }

    // A refused save keeps the editor open with everything typed.
    void aRefusedSaveKeepsTheEditorOpenWithItsInput()
    {
        const int id = entry(march);
        showDate(march);
        journal->CurrentJournal = db->dm()->Smena1;
        QVERIFY(db->dm()->Smena1->locate(QStringLiteral("id"), id));
        editor->prepareChange(db->dm()->Smena1->currentRecord());
        child<QLineEdit>(editor, "Edit3")->setText(QStringLiteral("77"));
        editor->show();
        closeElsewhere(2024, 3);
        Messages::Recorder recorder;
        const auto closeEditor = qScopeGuard([this] { editor->reject(); });
        QVERIFY(!guarded([this] { editor->onSave(); }));
        QCOMPARE(recorder.texts(), QStringList{refusal(JournalSaves::kNotChanged)});
        QVERIFY(editor->isVisible());
        QCOMPARE(child<QLineEdit>(editor, "Edit3")->text(), QStringLiteral("77"));
        QCOMPARE(db->scalar(QStringLiteral("select kol_vo from accounts_dep.smena where id=%1").arg(id)).toInt(), 10);
    }

    // The entry's history: the context-menu item (full access only) and Ctrl with the
    // double click open it on the current entry.
    void theEntrysHistoryOpensOnTheCurrentEntry()
    {
        const int id = entry(april);
        db->exec(QStringLiteral("update accounts_dep.smena set kol_vo=12 where id=%1").arg(id));
        showDate(april);
        QAction* item = journal->findChild<QAction*>(QStringLiteral("N14"));
        QVERIFY(item);
        QVERIFY(child<QTableView>(journal, "DBGrid2")->actions().contains(item));
        QString title;
        int rows = -1;
        onNextModal([&](QWidget* w) {
            title = w->windowTitle();
            rows = w->findChild<QTableWidget*>(QStringLiteral("Grid"))->rowCount();
            static_cast<QDialog*>(w)->reject();
        });
        item->trigger();
        QCOMPARE(title, QStringLiteral("История записи журнала № %1").arg(id));
        QCOMPARE(rows, 2);
        // A switched-off item (every role but full access) opens nothing.
        item->setEnabled(false);
        journal->onEntryHistory();
        QVERIFY(!history->isVisible());
        item->setEnabled(true);
    }
};

QTEST_MAIN(JournalClosedMonthTest)
#include "tst_journalclosedmonth.moc"
