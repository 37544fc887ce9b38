#include "core/roles.h"
#include "db/connectionstring.h"
#include "db/dberror.h"
#include "db/sqlrun.h"
#include "db/transaction.h"
#include "journal/journalsaves.h"
#include "support/plantfixture.h"
#include "timesheet/hoursposting.h"

#include <QElapsedTimer>
#include <QThread>
#include <QtTest>
#include <atomic>
#include <functional>
#include <optional>
#include <thread>

namespace {

// One statement on a connection of its own, in a thread of its own, so that it may wait
// for a lock the test's connection holds.
class OtherWorkstation {
public:
    OtherWorkstation(const QString& connectionString, const QStringList& statements)
    {
        thread_ = std::thread([this, connectionString, statements] {
            const QString name = QStringLiteral("other_%1").arg(quintptr(this));
            QString error;
            if (!SqlRun::open(name, connectionString, &error)) {
                refusal_ = error;
            } else {
                try {
                    for (const QString& sql : statements)
                        SqlRun::execute(name, sql);
                } catch (const DbError& e) {
                    refusal_ = e.message();
                }
            }
            SqlRun::forget(name);
            done_ = true;
        });
    }
    ~OtherWorkstation()
    {
        if (thread_.joinable())
            thread_.join();
    }
    bool done() const { return done_; }
    // Waits for the statements to end; their refusal, empty when they went through.
    QString finish()
    {
        thread_.join();
        return refusal_;
    }

private:
    std::thread thread_;
    std::atomic<bool> done_{false};
    QString refusal_;
};

enum class Action { Add, AddFirstOfMonth, Change, ChangeWorker, ChangeDate, Remove };

}

Q_DECLARE_METATYPE(Action)

// The journal's writes against the real server: each user action writes its entry and
// every timesheet day it touches in one transaction, whatever statement fails; a month's
// writers and its closing take turns.
class JournalSavesTest : public QObject {
    Q_OBJECT
    using Outcome = JournalSaves::Outcome;
    std::unique_ptr<TestDatabase> db;
    std::unique_ptr<JournalSaves> saves;
    int ivanov = 0, petrov = 0, sidorov = 0;
    qint64 product = 0;
    int operation = 0;
    const QDate march5{2024, 3, 5};
    const QDate today{2024, 3, 6};
    int ivanovsEntry = 0;

    int scalar(const QString& sql) const { return db->scalar(sql).toInt(); }
    int drift() const { return scalar(HoursPosting::driftStatement()); }
    // Everything the actions may touch, row by row.
    QString state() const
    {
        return db->scalar(QStringLiteral(
                              "select coalesce(string_agg(r, ' | ' order by r), '') from ("
                              "select format('smena %s %s %s %s %s %s', id, w_id, smena, data, kol_vo, time) r "
                              "from accounts_dep.smena union all "
                              "select format('h_tabel %s %s %s %s %s', w_id, smena, year, month, "
                              "array[d1, d2, d3, d4, d5, d6, d7, d8, d9, d10]) from accounts_dep.h_tabel) x"))
            .toString();
    }
    EntryRow row(int worker, const QDate& date, int hours, int colour = 0) const
    {
        EntryRow r;
        r.w_id = worker;
        r.i_id = int(product);
        r.o_id = operation;
        r.cena = 10;
        r.quantity = 5;
        r.hours = hours;
        r.date = date;
        r.shift = 1;
        r.colour = colour;
        return r;
    }
    // A statement of the given table and event that fails: raised by the server, or with
    // the connection killed under it.
    void failAt(const QString& table, const QString& event, const QString& condition, const QString& how)
    {
        db->exec(QStringLiteral("create trigger fail_here before %1 on accounts_dep.%2 for each row %3 "
                                "execute function public.fail_here('%4')")
                     .arg(event, table, condition.isEmpty() ? QString() : QStringLiteral("when (%1)").arg(condition),
                          how));
    }
    Outcome run(Action action)
    {
        switch (action) {
        case Action::Add: return saves->add(row(ivanov, march5, 3, 1), today);
        case Action::AddFirstOfMonth: return saves->add(row(sidorov, march5, 3), today);
        case Action::Change: return saves->change(row(ivanov, march5, 6), ivanovsEntry, today);
        case Action::ChangeWorker: return saves->change(row(petrov, march5, 8), ivanovsEntry, today);
        case Action::ChangeDate: return saves->change(row(ivanov, march5.addDays(1), 8), ivanovsEntry, today);
        case Action::Remove: return saves->remove(ivanovsEntry);
        }
        return Outcome::Gone;
    }
private slots:
    void initTestCase()
    {
        db = std::make_unique<TestDatabase>(QStringLiteral("saves"));
        ivanov = Plant::worker(*db, QStringLiteral("Иванов И.И."));
        petrov = Plant::worker(*db, QStringLiteral("Петров П.П."));
        sidorov = Plant::worker(*db, QStringLiteral("Сидоров С.С."));
        product = Plant::product(*db, QStringLiteral("КР-100"));
        operation = Plant::operation(*db, product, Plant::kind(*db, QStringLiteral("Гибка")), 0, 10);
        db->exec(QStringLiteral(
            "create function public.fail_here() returns trigger language plpgsql as $$ begin "
            "if tg_argv[0] = 'kill' then perform pg_terminate_backend(pg_backend_pid()); end if; "
            "raise exception 'сбой для проверки'; end $$"));
        saves = std::make_unique<JournalSaves>(*db->dm());
    }
    void cleanupTestCase()
    {
        saves.reset();
        db.reset();
    }
    // Ivanov and Petrov each have an entry of 5 March, posted; Sidorov has none.
    void init()
    {
        db->exec(QStringLiteral("drop trigger if exists fail_here on accounts_dep.smena"));
        db->exec(QStringLiteral("drop trigger if exists fail_here on accounts_dep.h_tabel"));
        db->exec(QStringLiteral("delete from accounts_dep.closed_month"));
        db->exec(QStringLiteral("delete from accounts_dep.smena"));
        db->exec(QStringLiteral("delete from accounts_dep.h_tabel"));
        QCOMPARE(saves->add(row(ivanov, march5, 8), today), Outcome::Saved);
        QCOMPARE(saves->add(row(petrov, march5, 4, 2), today), Outcome::Saved);
        ivanovsEntry = scalar(QStringLiteral("select id from accounts_dep.smena where w_id=%1").arg(ivanov));
        QCOMPARE(drift(), 0);
    }

    // Each action done whole: the journal and the timesheet agree afterwards.
    void actionsPostEveryDayTheyTouch_data()
    {
        QTest::addColumn<Action>("action");
        QTest::addColumn<QString>("ivanovsDays");   // d4, d5, d6 of his shift-1 row
        QTest::addColumn<QString>("petrovsDays");
        QTest::newRow("add") << Action::Add << "0 11 0" << "0 4 0";
        QTest::newRow("add the month's first") << Action::AddFirstOfMonth << "0 8 0" << "0 4 0";
        QTest::newRow("change the hours") << Action::Change << "0 6 0" << "0 4 0";
        QTest::newRow("change the worker") << Action::ChangeWorker << "0 0 0" << "0 12 0";
        QTest::newRow("change the date") << Action::ChangeDate << "0 0 8" << "0 4 0";
        QTest::newRow("delete") << Action::Remove << "0 0 0" << "0 4 0";
    }
    void actionsPostEveryDayTheyTouch()
    {
        QFETCH(Action, action);
        QFETCH(QString, ivanovsDays);
        QFETCH(QString, petrovsDays);
        QCOMPARE(run(action), Outcome::Saved);
        const QString days = QStringLiteral("select d4 || ' ' || d5 || ' ' || d6 from accounts_dep.h_tabel "
                                            "where w_id=%1 and smena=1 and month=3 and year=2024");
        QCOMPARE(db->scalar(days.arg(ivanov)).toString(), ivanovsDays);
        QCOMPARE(db->scalar(days.arg(petrov)).toString(), petrovsDays);
        QCOMPARE(drift(), 0);
    }

    // A failure at any statement of any action, raised by the server or with the
    // connection killed, leaves the journal and the timesheet exactly as they were, and
    // says that nothing was written; the same action once the failure is gone goes through.
    void aFailureAnywhereWritesNothing_data()
    {
        QTest::addColumn<Action>("action");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("event");
        QTest::addColumn<QString>("condition");
        QTest::addColumn<QString>("note");
        const struct {
            const char* name;
            Action action;
            const char* table;
            const char* event;
            QString condition;
            QString note;
        } cases[] = {
            {"add: the entry", Action::Add, "smena", "insert", {}, JournalSaves::kNotAdded},
            {"add: its day", Action::Add, "h_tabel", "update", {}, JournalSaves::kNotAdded},
            {"add: the month's first row", Action::AddFirstOfMonth, "h_tabel", "insert", {}, JournalSaves::kNotAdded},
            {"change: the entry", Action::Change, "smena", "update", {}, JournalSaves::kNotChanged},
            {"change: its day", Action::Change, "h_tabel", "update", {}, JournalSaves::kNotChanged},
            {"change of worker: the new worker's day", Action::ChangeWorker, "h_tabel", "update",
             QStringLiteral("new.w_id=%1").arg(petrov), JournalSaves::kNotChanged},
            {"change of worker: the day he left", Action::ChangeWorker, "h_tabel", "update",
             QStringLiteral("new.w_id=%1").arg(ivanov), JournalSaves::kNotChanged},
            {"change of date: the day it left", Action::ChangeDate, "h_tabel", "update",
             QStringLiteral("old.d5 <> new.d5"), JournalSaves::kNotChanged},
            {"delete: the entry", Action::Remove, "smena", "delete", {}, JournalSaves::kNotDeleted},
            {"delete: its day", Action::Remove, "h_tabel", "update", {}, JournalSaves::kNotDeleted},
        };
        for (const auto& c : cases)
            for (const char* how : {"raise", "kill"})
                QTest::addRow("%s (%s)", c.name, how)
                    << c.action << QString::fromLatin1(c.table) << QString::fromLatin1(c.event)
                    << c.condition << c.note;
    }
    void aFailureAnywhereWritesNothing()
    {
        QFETCH(Action, action);
        QFETCH(QString, table);
        QFETCH(QString, event);
        QFETCH(QString, condition);
        QFETCH(QString, note);
        const bool kill = QString::fromLatin1(QTest::currentDataTag()).endsWith(QLatin1String("(kill)"));
        const QString before = state();
        failAt(table, event, condition, kill ? QStringLiteral("kill") : QStringLiteral("raise"));
        try {
            run(action);
            QFAIL("the failing statement went through");
        } catch (const DbError& e) {
            QCOMPARE(e.isConnectionLoss(), kill);
            QVERIFY(!e.outcomeUnknown());
            QVERIFY2(e.message().endsWith(note), qPrintable(e.message()));
        }
        QCOMPARE(state(), before);   // reconnects after a kill
        QCOMPARE(drift(), 0);

        db->exec(QStringLiteral("drop trigger fail_here on accounts_dep.%1").arg(table));
        QCOMPARE(run(action), Outcome::Saved);
        QVERIFY(state() != before);
        QCOMPARE(drift(), 0);
    }

    // A duplicate and a vanished entry write nothing and say which it was.
    void refusalsOfTheRules()
    {
        const QString before = state();
        QCOMPARE(saves->add(row(ivanov, march5, 8), today), Outcome::Duplicate);
        QCOMPARE(saves->change(row(petrov, march5, 4, 2), ivanovsEntry, today), Outcome::Duplicate);
        QCOMPARE(state(), before);
        db->exec(QStringLiteral("delete from accounts_dep.smena where id=%1").arg(ivanovsEntry));
        const QString gone = state();
        QCOMPARE(saves->change(row(ivanov, march5, 2), ivanovsEntry, today), Outcome::Gone);
        QCOMPARE(saves->remove(ivanovsEntry), Outcome::Gone);
        QCOMPARE(saves->setMark(ivanovsEntry, QStringLiteral("ok")), Outcome::Gone);
        QCOMPARE(state(), gone);
    }

    // Signed in with a role's code, a workstation's saves have that role's rights on the
    // server: the foreman adds entries with their days; the storekeeper changes the mark;
    // what a role's buttons cannot do is refused, whole.
    void eachRoleSavesWhatItMay_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("adds");
        QTest::addColumn<bool>("changes");   // change and delete
        QTest::addColumn<bool>("marks");
        QTest::newRow("foreman") << QStringLiteral("quolbin") << true << false << false;
        QTest::newRow("storekeeper") << QStringLiteral("fumpo") << false << false << true;
        QTest::newRow("planner") << QStringLiteral("brivel") << false << false << false;
        QTest::newRow("full access") << QStringLiteral("0583") << true << true << true;
    }
    void eachRoleSavesWhatItMay()
    {
        QFETCH(QString, code);
        QFETCH(bool, adds);
        QFETCH(bool, changes);
        QFETCH(bool, marks);
        DataModule workstation;
        const QString signIn = TestDatabase::connectionStringFor(db->name());
        QVERIFY(workstation.connectTo(signIn));
        const Roles::SignInAnswer answer = Roles::signIn(workstation, code);
        QVERIFY2(answer.role != Role::None, qPrintable(answer.refusal));
        QVERIFY(workstation.connectTo(ConnectionString::withAccount(signIn, answer.account)));
        JournalSaves its(workstation);

        // Each action either happens whole (and the timesheet agrees) or writes nothing.
        const auto attempt = [&](bool allowed, const std::function<Outcome()>& action) {
            const QString before = state();
            try {
                QCOMPARE(action(), Outcome::Saved);
                QVERIFY2(allowed, "a save the role may not make went through");
            } catch (const DbError& e) {
                QVERIFY2(!allowed, qPrintable(e.message()));
                QCOMPARE(e.kind(), DbError::Kind::Permission);
                QCOMPARE(state(), before);
            }
            QCOMPARE(drift(), 0);
        };
        attempt(marks, [&] { return its.setMark(ivanovsEntry, QStringLiteral("ok")); });
        attempt(changes, [&] { return its.change(row(ivanov, march5, 6), ivanovsEntry, today); });
        attempt(adds, [&] { return its.add(row(sidorov, march5, 3), today); });
        attempt(changes, [&] { return its.remove(ivanovsEntry); });
    }

    // A closed month refuses every action whole, with the server's reason and the note.
    void aClosedMonthRefusesWhole()
    {
        db->exec(QStringLiteral("insert into accounts_dep.closed_month(year, month) values (2024, 3)"));
        const QString before = state();
        for (const Action action : {Action::Add, Action::Change, Action::ChangeWorker, Action::Remove}) {
            try {
                run(action);
                QFAIL("a write into a closed month went through");
            } catch (const DbError& e) {
                QVERIFY2(e.message().startsWith(QStringLiteral("Месяц 03.2024 закрыт")), qPrintable(e.message()));
            }
        }
        // Moving an entry out of the closed month is a change of it too.
        db->exec(QStringLiteral("delete from accounts_dep.closed_month"));
        db->exec(QStringLiteral("insert into accounts_dep.closed_month(year, month) values (2024, 4)"));
        QVERIFY_THROWS_EXCEPTION(DbError, saves->change(row(ivanov, QDate(2024, 4, 1), 8), ivanovsEntry, today));
        QCOMPARE(state(), before);
        QCOMPARE(drift(), 0);
    }

    // A write into a month and the month's closing, on two connections, in every order:
    // no write commits into the month after its closing committed, and neither side
    // waits longer than its bound.
    void closingAndWritingTakeTurns_data()
    {
        QTest::addColumn<bool>("writerFirst");   // which side began its transaction first
        QTest::addColumn<bool>("firstCommits");  // whether that side commits or rolls back
        QTest::newRow("write first, committed") << true << true;
        QTest::newRow("write first, rolled back") << true << false;
        QTest::newRow("close first, committed") << false << true;
        QTest::newRow("close first, rolled back") << false << false;
    }
    void closingAndWritingTakeTurns()
    {
        QFETCH(bool, writerFirst);
        QFETCH(bool, firstCommits);
        const QString write = QStringLiteral("update accounts_dep.smena set time=1 where id=%1").arg(ivanovsEntry);
        const QString close = QStringLiteral("insert into accounts_dep.closed_month(year, month) values (2024, 3)");
        const QString blocked = QStringLiteral("select count(*) from pg_locks where locktype='advisory' and not granted");
        std::optional<Transaction> first(std::in_place, db->dm()->connectionName());
        db->exec(writerFirst ? write : close);
        OtherWorkstation second(db->connectionString(), {writerFirst ? close : write});
        // The second side waits for the first.
        QTRY_COMPARE_WITH_TIMEOUT(scalar(blocked), 1, 5000);
        QVERIFY(!second.done());
        if (firstCommits)
            first->commit();
        first.reset();   // rolls back what was not committed
        const QString refusal = second.finish();

        const bool closed = scalar(QStringLiteral("select count(*) from accounts_dep.closed_month")) == 1;
        const int hours = scalar(QStringLiteral("select time from accounts_dep.smena where id=%1").arg(ivanovsEntry));
        if (writerFirst) {
            // The close waited for the write and then went through.
            QCOMPARE(refusal, QString());
            QVERIFY(closed);
            QCOMPARE(hours, firstCommits ? 1 : 8);
        } else if (firstCommits) {
            // The write waited for the close and then met the closed month.
            QVERIFY2(refusal.startsWith(QStringLiteral("Месяц 03.2024 закрыт")), qPrintable(refusal));
            QVERIFY(closed);
            QCOMPARE(hours, 8);
        } else {
            QCOMPARE(refusal, QString());
            QVERIFY(!closed);
            QCOMPARE(hours, 1);
        }
    }

    // Neither side waits forever: past its lock timeout each is refused with the month
    // named, and nothing of it is written.
    void waitsAreBounded_data()
    {
        QTest::addColumn<bool>("writerHolds");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("a close behind a long write") << true << QStringLiteral("Месяц 03.2024 не закрыт");
        QTest::newRow("a write behind a long close") << false << QStringLiteral("Месяц 03.2024 сейчас закрывают");
    }
    void waitsAreBounded()
    {
        QFETCH(bool, writerHolds);
        QFETCH(QString, refusal);
        const QString write = QStringLiteral("update accounts_dep.smena set time=1 where id=%1").arg(ivanovsEntry);
        const QString close = QStringLiteral("insert into accounts_dep.closed_month(year, month) values (2024, 3)");
        Transaction holder(db->dm()->connectionName());
        db->exec(writerHolds ? write : close);
        OtherWorkstation waiter(db->connectionString(),
                                {QStringLiteral("set lock_timeout = '300ms'"), writerHolds ? close : write});
        const QString said = waiter.finish();
        QVERIFY2(said.startsWith(refusal), qPrintable(said));
        holder.commit();
        QCOMPARE(scalar(QStringLiteral("select count(*) from accounts_dep.closed_month")), writerHolds ? 0 : 1);
        QCOMPARE(scalar(QStringLiteral("select time from accounts_dep.smena where id=%1").arg(ivanovsEntry)),
                 writerHolds ? 1 : 8);
    }
};

QTEST_MAIN(JournalSavesTest)
#include "tst_journalsaves.moc"
