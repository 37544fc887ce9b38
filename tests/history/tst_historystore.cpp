#include "history/historystore.h"
#include "support/plantfixture.h"

#include <QtTest>

// The history as the client reads it: pages newest first, the filters, and the changed
// values in the user's words.
class HistoryStoreTest : public QObject {
    Q_OBJECT
    std::unique_ptr<TestDatabase> db;
    int ivanov = 0, petrov = 0;
    qint64 bracket = 0;
    int bending = 0;

    Plant::Entry entryOf(int worker, const QDate& day) const
    {
        Plant::Entry e;
        e.w_id = worker; e.i_id = bracket; e.o_id = bending; e.data = day;
        return e;
    }
    History::Store store() const { return History::Store(*db->dm()); }

private slots:
    void initTestCase()
    {
        db = std::make_unique<TestDatabase>(QStringLiteral("historystore"));
        db->exec(QStringLiteral("set application_name = 'Tabel 20240410.3600 full'"));
        ivanov = Plant::worker(*db, QStringLiteral("Иванов И.И."));
        petrov = Plant::worker(*db, QStringLiteral("Петров П.П."));
        bracket = Plant::product(*db, QStringLiteral("КР-1"), QStringLiteral("Кронштейн"));
        bending = Plant::operation(*db, bracket, Plant::kind(*db, QStringLiteral("Гибка")), 0, 10);
    }
    void cleanupTestCase() { db.reset(); }

    // Pages follow one another without gaps or repeats, newest first.
    void pagesRunNewestFirstWithoutGaps()
    {
        for (int i = 0; i < 7; ++i)
            Plant::entry(*db, entryOf(ivanov, QDate(2024, 5, 1 + i)));
        const int total = db->scalar(QStringLiteral("select count(*) from accounts_dep.change_log")).toInt();
        QList<qint64> seen;
        History::Cursor cursor;
        for (;;) {
            const QVector<History::Row> page = store().page({}, cursor, 3);
            QVERIFY(page.size() <= 3);
            if (page.isEmpty())
                break;
            for (const History::Row& row : page)
                seen << row.id;
            cursor = {page.last().at, page.last().id};
        }
        QCOMPARE(seen.size(), total);
        QList<qint64> sorted = seen;
        std::sort(sorted.begin(), sorted.end(), std::greater<>());
        QCOMPARE(seen, sorted);
        QCOMPARE(QSet<qint64>(seen.begin(), seen.end()).size(), total);
    }

    void filters_data()
    {
        QTest::addColumn<int>("fromDays");     // days before today; -1: no bound
        QTest::addColumn<int>("toDays");
        QTest::addColumn<bool>("byPetrov");
        QTest::addColumn<int>("expected");     // Petrov's rows, or -1: every row of the day
        QTest::newRow("today") << 0 << 0 << false << -1;
        QTest::newRow("from yesterday on") << 1 << -1 << false << -1;
        QTest::newRow("up to yesterday") << -1 << 1 << false << 0;
        QTest::newRow("last week") << 7 << 2 << false << 0;
        QTest::newRow("Petrov") << -1 << -1 << true << 3;
        QTest::newRow("Petrov today") << 0 << 0 << true << 3;
        QTest::newRow("Petrov last week") << 7 << 1 << true << 0;
    }
    void filters()
    {
        QFETCH(int, fromDays);
        QFETCH(int, toDays);
        QFETCH(bool, byPetrov);
        QFETCH(int, expected);
        // Petrov's traces so far (his own addition as a worker) are set aside.
        db->exec(QStringLiteral("alter table accounts_dep.change_log disable trigger change_log_guard"));
        db->exec(QStringLiteral("delete from accounts_dep.change_log where worker_id=%1").arg(petrov));
        db->exec(QStringLiteral("alter table accounts_dep.change_log enable trigger change_log_guard"));
        const int id = Plant::entry(*db, entryOf(petrov, QDate(2024, 6, 3)));
        db->exec(QStringLiteral("update accounts_dep.smena set kol_vo=11 where id=%1").arg(id));
        db->exec(QStringLiteral("delete from accounts_dep.smena where id=%1").arg(id));
        const QDate today = db->scalar(QStringLiteral("select current_date")).toDate();
        History::Filter f;
        if (fromDays >= 0) f.from = today.addDays(-fromDays);
        if (toDays >= 0) f.to = today.addDays(-toDays);
        if (byPetrov) f.workerId = petrov;
        const QVector<History::Row> rows = store().page(f, {}, 10000);
        const int all = db->scalar(QStringLiteral("select count(*) from accounts_dep.change_log")).toInt();
        QCOMPARE(rows.size(), expected < 0 ? all : expected);
        for (const History::Row& row : rows) {
            if (byPetrov) {
                QCOMPARE(row.workerId, petrov);
                QCOMPARE(row.worker, QStringLiteral("Петров П.П."));
            }
        }
    }

    // The history of one entry follows it when it is moved to another worker.
    void oneEntrysHistory()
    {
        const int id = Plant::entry(*db, entryOf(ivanov, QDate(2024, 7, 1)));
        const int other = Plant::entry(*db, entryOf(ivanov, QDate(2024, 7, 2)));
        db->exec(QStringLiteral("update accounts_dep.smena set w_id=%1 where id=%2").arg(petrov).arg(id));
        db->exec(QStringLiteral("update accounts_dep.smena set kol_vo=kol_vo+1 where id in (%1, %2)").arg(id).arg(other));
        History::Filter f;
        f.table = QStringLiteral("smena");
        f.rowKey = id;
        const QVector<History::Row> rows = store().page(f);
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[0].operation, QStringLiteral("U"));
        QCOMPARE(History::describe(rows[0]), QStringLiteral("Кол-во: 10 → 11"));
        QCOMPARE(History::describe(rows[1]), QStringLiteral("Рабочий: %1 → %2").arg(ivanov).arg(petrov));
        QCOMPARE(History::describe(rows[1], store().names(rows)),
                 QStringLiteral("Рабочий: Иванов И.И. (%1) → Петров П.П. (%2)").arg(ivanov).arg(petrov));
        QCOMPARE(rows[2].operation, QStringLiteral("I"));
        for (const History::Row& row : rows) {
            QCOMPARE(row.rowKey, qint64(id));
            QCOMPARE(row.appName, QStringLiteral("Tabel 20240410.3600 full"));
            QCOMPARE(row.dbUser, db->scalar(QStringLiteral("select session_user")).toString());
            QCOMPARE(row.dbRole, QStringLiteral("full"));
            QCOMPARE(row.clientAddr, QStringLiteral("127.0.0.1"));
        }
    }

    // Values as the user reads them: Russian column names, dates and decimals the Russian
    // way, marks trimmed, zero days of a timesheet row left out of an addition.
    void describe_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("oldValues");
        QTest::addColumn<QString>("newValues");
        QTest::addColumn<QString>("expected");
        QTest::newRow("change of quantity and hours")
            << "smena" << R"({"id": 5, "kol_vo": 10, "time": 8, "ok": "ok"})" << R"({"id": 5, "kol_vo": 12, "time": 9, "ok": "no"})"
            << "Часы: 8 → 9; Кол-во: 10 → 12; Принято: ok → no";
        QTest::newRow("date and price") << "smena" << R"({"data": "2024-03-05", "cena": 12.5})" << R"({"data": "2024-03-06", "cena": 12.75})"
                                        << "Дата: 05.03.2024 → 06.03.2024; Цена: 12,5 → 12,75";
        QTest::newRow("entered time") << "smena" << R"({"vvod": "2024-03-05T00:00:00"})" << R"({"vvod": "2024-03-06T14:30:00"})"
                                      << "Заведен: 05.03.2024 → 06.03.2024 14:30";
        QTest::newRow("accepted mark padded") << "smena" << R"({"ok": "да"})" << R"({"ok": "no"})" << "Принято: да → no";
        QTest::newRow("timesheet row added") << "h_tabel" << ""
                                             << R"({"id": 3, "w_id": 7, "smena": 1, "month": 3, "year": 2024, "d1": 0, "d12": 8, "d5": 4})"
                                             << "Рабочий: → 7; Смена: → 1; Месяц: → 3; Год: → 2024; 5 число: → 4; 12 число: → 8";
        QTest::newRow("timesheet day changed") << "h_tabel" << R"({"d5": 4, "d6": 0})" << R"({"d5": 7, "d6": 0})" << "5 число: 4 → 7";
        QTest::newRow("worker deleted") << "person" << R"({"id": 9, "fio": "Орлов О.О.", "s_staffpos_hl": null})" << ""
                                        << "Фамилия И.О.: Орлов О.О. →";
        QTest::newRow("operation kind renamed") << "vid_oper" << R"({"vid": "Резка"})" << R"({"vid": "Рубка"})" << "Операция: Резка → Рубка";
        QTest::newRow("operation's kind changed") << "oper" << R"({"vid": 1})" << R"({"vid": 2})" << "Вид операции: 1 → 2";
        QTest::newRow("nothing differs") << "norm" << R"({"price": 11})" << R"({"price": 11})" << "";
    }
    void describe()
    {
        QFETCH(QString, table);
        QFETCH(QString, oldValues);
        QFETCH(QString, newValues);
        QFETCH(QString, expected);
        History::Row row;
        row.table = table;
        row.oldValues = oldValues;
        row.newValues = newValues;
        QCOMPARE(History::describe(row), expected);
    }

    // Codes are shown with the names they stand for, before and after; a deleted worker
    // keeps the name the shared directory still holds; an unknown code is shown alone.
    void codesAreShownWithTheirNames()
    {
        const int zhukov = Plant::worker(*db, QStringLiteral("Жуков М.А."));
        const qint64 profile = Plant::product(*db, QStringLiteral("ПР-20"), QStringLiteral("Профиль"));
        const int cutting = Plant::kind(*db, QStringLiteral("Резка"));
        const int profileCutting = Plant::operation(*db, profile, cutting, 1, 5);
        const int id = Plant::entry(*db, entryOf(zhukov, QDate(2024, 8, 1)));
        db->exec(QStringLiteral("update accounts_dep.smena set i_id=%1, o_id=%2 where id=%3").arg(profile).arg(profileCutting).arg(id));
        const int stamping = Plant::kind(*db, QStringLiteral("Штамповка"));
        db->exec(QStringLiteral("update accounts_dep.oper set vid=%1 where id=%2").arg(stamping).arg(profileCutting));
        db->exec(QStringLiteral("update accounts_dep.smena set w_id=%1 where id=%2").arg(ivanov).arg(id));
        db->exec(QStringLiteral("delete from accounts_dep.smena where id=%1").arg(id));
        db->exec(QStringLiteral("delete from accounts_dep.person where id=%1").arg(zhukov));

        History::Filter f;
        f.table = QStringLiteral("smena");
        f.rowKey = id;
        QVector<History::Row> rows = store().page(f);
        QCOMPARE(rows.size(), 4);
        const History::Names names = store().names(rows);
        QCOMPARE(History::describe(rows[1], names), QStringLiteral("Рабочий: Жуков М.А. (%1) → Иванов И.И. (%2)").arg(zhukov).arg(ivanov));
        // (an operation is named as it is now: its kind was changed since)
        QCOMPARE(History::describe(rows[2], names),
                 QStringLiteral("Изделие: КР-1 (%1) → ПР-20 (%2); Операция: Гибка КР-1 (%3) → Штамповка ПР-20 (%4)")
                     .arg(bracket).arg(profile).arg(bending).arg(profileCutting));
        QVERIFY(History::describe(rows[3], names).startsWith(QStringLiteral("Рабочий: → Жуков М.А. (%1); Изделие: → КР-1 (%2)")
                                                                 .arg(zhukov).arg(bracket)));
        // The operation's kind, in the history of the operations.
        const qint64 logId = db->scalar(QStringLiteral("select max(id) from accounts_dep.change_log where table_name='oper'")).toLongLong();
        f.table = QStringLiteral("oper");
        f.rowKey = profileCutting;
        rows = store().page(f);
        QVERIFY(!rows.isEmpty());
        QCOMPARE(rows[0].id, logId);
        QCOMPARE(History::describe(rows[0], store().names(rows)),
                 QStringLiteral("Вид операции: Резка (%1) → Штамповка (%2)").arg(cutting).arg(stamping));
        // A code nothing is known of.
        History::Row unknown;
        unknown.table = QStringLiteral("h_tabel");
        unknown.oldValues = QStringLiteral(R"({"w_id": 987654})");
        unknown.newValues = QStringLiteral(R"({"w_id": 987655})");
        QCOMPARE(History::describe(unknown, store().names({unknown})), QStringLiteral("Рабочий: 987654 → 987655"));
    }

    void titles()
    {
        QCOMPARE(History::tableTitle(QStringLiteral("smena")), QStringLiteral("Журнал"));
        QCOMPARE(History::tableTitle(QStringLiteral("h_tabel")), QStringLiteral("Табель"));
        QCOMPARE(History::operationTitle(QStringLiteral("I")), QStringLiteral("Добавление"));
        QCOMPARE(History::operationTitle(QStringLiteral("U")), QStringLiteral("Изменение"));
        QCOMPARE(History::operationTitle(QStringLiteral("D")), QStringLiteral("Удаление"));
    }

    void workersToFilterBy()
    {
        const QVector<QPair<int, QString>> list = store().workers();
        QCOMPARE(list.size(), 2);
        QCOMPARE(list[0], qMakePair(ivanov, QStringLiteral("Иванов И.И.")));
        QCOMPARE(list[1], qMakePair(petrov, QStringLiteral("Петров П.П.")));
    }
};

QTEST_GUILESS_MAIN(HistoryStoreTest)
#include "tst_historystore.moc"
