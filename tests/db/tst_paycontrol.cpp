#include "support/plantfixture.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

namespace {

const QString kMarchClosed = QStringLiteral("Месяц 03.2024 закрыт: изменения запрещены.");

// A second workstation: its own connection through the same driver, as an older client
// build or another program of the plant would have it.
class OtherWorkstation {
public:
    OtherWorkstation(const QString& connectionString, const QString& applicationName)
        : name_(QStringLiteral("other_workstation"))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name_);
        db.setDatabaseName(connectionString);
        if (!db.open())
            qFatal("second connection: %s", qPrintable(db.lastError().text()));
        if (!applicationName.isEmpty())
            QVERIFY2(exec(QStringLiteral("set application_name = '%1'").arg(applicationName)).isEmpty(), "set application_name");
    }
    ~OtherWorkstation()
    {
        QSqlDatabase::database(name_, false).close();
        QSqlDatabase::removeDatabase(name_);
    }
    // Runs a statement as it is; returns the server's refusal, empty when it ran.
    QString exec(const QString& sql) const
    {
        QSqlQuery q(QSqlDatabase::database(name_, false));
        return q.exec(sql) ? QString() : q.lastError().text();
    }

private:
    QString name_;
};

}

// The rules that keep the plant's pay data: a closed month refuses every change of its
// journal entries and timesheet rows whoever sends it, a changed accepted entry loses
// its acceptance, and every change of the pay tables is written into the history.
class PayControlTest : public QObject {
    Q_OBJECT
    std::unique_ptr<TestDatabase> db;
    int ivanov = 0, petrov = 0, sidorov = 0;
    qint64 bracket = 0;
    int bending = 0;
    int march = 0, april = 0;   // one journal entry in each month

    QString refusal(const QString& sql) const
    {
        try {
            db->exec(sql);
            return {};
        } catch (const DbError& e) {
            return e.message();
        }
    }
    int count(const QString& sql) const { return db->scalar(sql).toInt(); }
    // Every stored pay row, as one text: equal before and after means nothing was written.
    QString payRows() const
    {
        return db->scalar(QStringLiteral(
                              "select md5(coalesce(string_agg(t, '|' order by t), '')) from ("
                              "select s::text t from accounts_dep.smena s union all select h::text from accounts_dep.h_tabel h) x"))
            .toString();
    }
    QString withKeys(QString sql) const
    {
        return sql.replace(QStringLiteral("%MARCH%"), QString::number(march))
            .replace(QStringLiteral("%APRIL%"), QString::number(april))
            .replace(QStringLiteral("%IVANOV%"), QString::number(ivanov))
            .replace(QStringLiteral("%PETROV%"), QString::number(petrov))
            .replace(QStringLiteral("%SIDOROV%"), QString::number(sidorov))
            .replace(QStringLiteral("%PRODUCT%"), QString::number(bracket))
            .replace(QStringLiteral("%OPER%"), QString::number(bending));
    }

    // March 2024 and April 2024 with one entry and one timesheet row each (Ivanov), and
    // Petrov's March entry; no month closed.
    void seed()
    {
        db->exec(QStringLiteral("delete from accounts_dep.closed_month"));
        db->exec(QStringLiteral("delete from accounts_dep.smena"));
        db->exec(QStringLiteral("delete from accounts_dep.h_tabel"));
        Plant::Entry e;
        e.w_id = ivanov; e.i_id = bracket; e.o_id = bending; e.data = QDate(2024, 3, 5); e.time = 8;
        march = Plant::entry(*db, e);
        e.data = QDate(2024, 4, 2); e.time = 6;
        april = Plant::entry(*db, e);
        e.w_id = petrov; e.data = QDate(2024, 3, 6); e.time = 4; e.kol_vo = 7;
        Plant::entry(*db, e);
        db->exec(withKeys(QStringLiteral("insert into accounts_dep.h_tabel(smena, w_id, month, year, d5, d6) values "
                                         "(1, %IVANOV%, 3, 2024, 8, 0), (1, %PETROV%, 3, 2024, 0, 4), (1, %IVANOV%, 4, 2024, 6, 0), "
                                         "(1, %SIDOROV%, 4, 2024, 0, 0)")));
    }
    void closeMarch() { db->exec(QStringLiteral("insert into accounts_dep.closed_month(year, month) values (2024, 3)")); }

    // The statements every client build sends (the entry editor, the journal's delete and
    // acceptance, the hours posting, the month rebuild), aimed at the closed March.
    void closedMonthStatements()
    {
        QTest::addColumn<QString>("sql");
        QTest::newRow("add an entry") << QStringLiteral(
            "insert into accounts_dep.SMENA(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, vvod,ok, prize, "
            "id_doc, id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use) values(%SIDOROV%, %PRODUCT%, %OPER%, 12.5,10, 0, "
            "to_date('07.03.2024', 'DD.MM.YYYY HH24:MI:SS'), 1, 0, 8, '07.03.2024', 'no', 0, 0, 0, 0, 0, 0)");
        QTest::newRow("change an entry") << QStringLiteral(
            "update accounts_dep.SMENA set w_id=%IVANOV%, i_id=%PRODUCT%, o_id=%OPER%, cena=12.5, kol_vo=30, brak=0, "
            "data=to_date('05.03.2024', 'DD.MM.YYYY'), smena=1, color=0, time=8, vvod='10.04.2024', prize=0, id_doc=0, "
            "id_doc_item=0, f_gds_qty_use=0, id_gds_use=0, id_cons_use=0 where id=%MARCH%");
        QTest::newRow("move an entry into the month") << QStringLiteral(
            "update accounts_dep.SMENA set data=to_date('29.03.2024', 'DD.MM.YYYY') where id=%APRIL%");
        QTest::newRow("move an entry out of the month") << QStringLiteral(
            "update accounts_dep.SMENA set data=to_date('01.04.2024', 'DD.MM.YYYY') where id=%MARCH%");
        QTest::newRow("delete an entry") << QStringLiteral("delete from accounts_dep.smena where id=%MARCH%");
        QTest::newRow("accept an entry") << QStringLiteral("update accounts_dep.smena set ok='ok' where id=%MARCH%");
        QTest::newRow("one statement over both months") << QStringLiteral("update accounts_dep.smena set time=time+1");
        QTest::newRow("posting creates a row") << QStringLiteral(
            "insert into accounts_dep.h_tabel(smena, w_id, month, year, d7) values(1, %SIDOROV%, 3, 2024, 8)");
        QTest::newRow("posting sets a day") << QStringLiteral(
            "update accounts_dep.h_tabel set d5=7 where w_id=%IVANOV% and smena=1 and month=3 and year=2024");
        QTest::newRow("rebuild sets a day") << QStringLiteral(
            "update accounts_dep.h_tabel set d6='5' where w_id=%PETROV% and smena=1 and month=3 and year=2024");
        QTest::newRow("rebuild deletes the month") << QStringLiteral("delete from accounts_dep.h_tabel where month=3 and year=2024");
        QTest::newRow("rebuild writes the month") << QStringLiteral(
            "insert into accounts_dep.h_tabel(smena, w_id, month, year, d1) "
            "select smena, w_id + 1000, 3, 2024, sum(time) from accounts_dep.smena where data < '01.04.2024' group by smena, w_id");
        QTest::newRow("timesheet row moved into the month") << QStringLiteral(
            "update accounts_dep.h_tabel set month=3 where w_id=%SIDOROV% and month=4 and year=2024");
        QTest::newRow("timesheet row moved out of the month") << QStringLiteral(
            "update accounts_dep.h_tabel set year=2023 where w_id=%PETROV% and month=3 and year=2024");
        QTest::newRow("journal emptied") << QStringLiteral("truncate accounts_dep.smena");
        QTest::newRow("timesheet emptied") << QStringLiteral("truncate accounts_dep.h_tabel");
    }

private slots:
    void initTestCase()
    {
        db = std::make_unique<TestDatabase>(QStringLiteral("paycontrol"));
        db->exec(QStringLiteral("set application_name = 'Tabel 20240410.3600 full'"));
        ivanov = Plant::worker(*db, QStringLiteral("Иванов И.И."));
        petrov = Plant::worker(*db, QStringLiteral("Петров П.П."));
        sidorov = Plant::worker(*db, QStringLiteral("Сидоров С.С."));
        bracket = Plant::product(*db, QStringLiteral("КР-1"), QStringLiteral("Кронштейн"));
        bending = Plant::operation(*db, bracket, Plant::kind(*db, QStringLiteral("Гибка")), 0, 10);
    }
    void cleanupTestCase() { db.reset(); }

    void aClosedMonthRefusesEveryChange_data() { closedMonthStatements(); }
    void aClosedMonthRefusesEveryChange()
    {
        QFETCH(QString, sql);
        seed();
        closeMarch();
        const QString before = payRows();
        const int history = count(QStringLiteral("select count(*) from accounts_dep.change_log"));
        const QString message = refusal(withKeys(sql));
        QVERIFY2(message.contains(kMarchClosed), qPrintable(message));
        QCOMPARE(payRows(), before);
        QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.change_log")), history);
    }

    // The refusal carries its own SQLSTATE, so a client can tell it from other errors.
    void theRefusalCarriesItsOwnCode_data() { closedMonthStatements(); }
    void theRefusalCarriesItsOwnCode()
    {
        QFETCH(QString, sql);
        seed();
        closeMarch();
        // The block ends without error only when the statement was refused with TBM01.
        const QString block = QStringLiteral(
            "do $b$ begin %1; raise exception 'not refused'; exception when sqlstate 'TBM01' then null; end $b$");
        QCOMPARE(refusal(block.arg(withKeys(sql))), QString());
    }

    void reopeningTheMonthLiftsTheRefusal_data() { closedMonthStatements(); }
    void reopeningTheMonthLiftsTheRefusal()
    {
        QFETCH(QString, sql);
        seed();
        closeMarch();
        db->exec(QStringLiteral("delete from accounts_dep.closed_month where year=2024 and month=3"));
        const QString before = payRows();
        QCOMPARE(refusal(withKeys(sql)), QString());
        QVERIFY(payRows() != before);
    }

    // Another month, open, is not touched by the closing of March.
    void otherMonthsStayOpen_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::newRow("add") << QStringLiteral(
            "insert into accounts_dep.smena(w_id, i_id, o_id, kol_vo, brak, data, smena, cena, color, time, ok) "
            "values(%SIDOROV%, %PRODUCT%, %OPER%, 1, 0, '01.04.2024', 1, 1, 0, 1, 'no')");
        QTest::newRow("change") << QStringLiteral("update accounts_dep.smena set kol_vo=99 where id=%APRIL%");
        QTest::newRow("delete") << QStringLiteral("delete from accounts_dep.smena where id=%APRIL%");
        QTest::newRow("posting") << QStringLiteral("update accounts_dep.h_tabel set d2=9 where month=4 and year=2024");
        QTest::newRow("rebuild") << QStringLiteral("delete from accounts_dep.h_tabel where month=4 and year=2024");
    }
    void otherMonthsStayOpen()
    {
        QFETCH(QString, sql);
        seed();
        closeMarch();
        const QString before = payRows();
        QCOMPARE(refusal(withKeys(sql)), QString());
        QVERIFY(payRows() != before);
    }

    // What a closed month's reports read still reads.
    void aClosedMonthIsStillRead()
    {
        seed();
        closeMarch();
        DataModule* dm = db->dm();
        dm->Smena1->setParam(QStringLiteral("data"), QDate(2024, 3, 5));
        dm->Smena1->setParam(QStringLiteral("ok"), QStringLiteral("ta"));
        dm->Smena1->open();
        QCOMPARE(dm->Smena1->recordCount(), 1);
        dm->Smena1->close();
        dm->H_Tabel_1->setParam(QStringLiteral("mnth"), 3);
        dm->H_Tabel_1->setParam(QStringLiteral("yea"), 2024);
        dm->H_Tabel_1->open();
        QCOMPARE(dm->H_Tabel_1->recordCount(), 2);
        QCOMPARE(dm->H_Tabel_1->valueAt(0, QStringLiteral("summ")).toInt() + dm->H_Tabel_1->valueAt(1, QStringLiteral("summ")).toInt(), 12);
        dm->H_Tabel_1->close();
        QCOMPARE(count(QStringLiteral("select sum(kol_vo) from accounts_dep.smena where data >= '01.03.2024' and data < '01.04.2024'")), 17);
    }

    // An older build knows nothing of closed months: its own statements, sent as they
    // are from another workstation, meet the same refusal. Its direct writes of timesheet
    // hours are refused in any month: the hours are the server's sums of the journal.
    void anOlderBuildIsRefusedToo_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("editor's insert") << QStringLiteral(
            "insert into accounts_dep.SMENA(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, vvod,ok, prize, "
            "id_doc, id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use) values(%PETROV%, %PRODUCT%, %OPER%, 10,5, 0, "
            "to_date('20.03.2024', 'DD.MM.YYYY HH24:MI:SS'), 2, 0, 4, '20.03.2024', 'no', 0, 0, 0, 0, 0, 0)") << kMarchClosed;
        QTest::newRow("journal's delete") << QStringLiteral("delete from accounts_dep.smena where id=%MARCH%") << kMarchClosed;
        QTest::newRow("posting's update") << QStringLiteral(
            "update accounts_dep.h_tabel set d5=12 where w_id=%IVANOV% and smena=1 and month=3 and year=2024")
                                          << QStringLiteral("permission denied for table h_tabel");
        QTest::newRow("rebuild's update") << QStringLiteral(
            "update accounts_dep.h_tabel set d5='12' where w_id=%IVANOV% and smena=1 and month=3 and year=2024")
                                          << QStringLiteral("permission denied for table h_tabel");
        QTest::newRow("today's posting") << QStringLiteral("select accounts_dep.post_day_hours(%IVANOV%, 1, '2024-03-05', true)")
                                         << kMarchClosed;
    }
    void anOlderBuildIsRefusedToo()
    {
        QFETCH(QString, sql);
        QFETCH(QString, refusal);
        seed();
        closeMarch();
        const QString before = payRows();
        OtherWorkstation older(db->connectionString(), QString());
        const QString message = older.exec(withKeys(sql));
        QVERIFY2(message.contains(refusal), qPrintable(message));
        QCOMPARE(payRows(), before);
    }

    // A session that switches ordinary triggers off (as the legacy import does to copy
    // tables in the old order) still meets the closed month, and is still traced.
    void switchingTriggersOffDoesNotGetAround()
    {
        seed();
        closeMarch();
        const QString before = payRows();
        const QString block = QStringLiteral(
            "do $b$ begin set local session_replication_role = replica; %1; end $b$");
        QVERIFY(refusal(block.arg(withKeys(QStringLiteral("delete from accounts_dep.h_tabel where month=3 and year=2024"))))
                    .contains(kMarchClosed));
        QVERIFY(refusal(block.arg(withKeys(QStringLiteral("delete from accounts_dep.smena where id=%MARCH%"))))
                    .contains(kMarchClosed));
        QCOMPARE(payRows(), before);
        const qint64 last = db->scalar(QStringLiteral("select max(id) from accounts_dep.change_log")).toLongLong();
        QCOMPARE(refusal(block.arg(withKeys(QStringLiteral("update accounts_dep.h_tabel set d2=3 where month=4 and year=2024 and w_id=%IVANOV%")))),
                 QString());
        QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.change_log where id > %1 and table_name='h_tabel'").arg(last)), 1);
        QVERIFY(!refusal(QStringLiteral("do $b$ begin set local session_replication_role = replica; "
                                        "delete from accounts_dep.change_log; end $b$")).isEmpty());
    }

    // Who closed a month is the server's record, not what the client says.
    void closingIsStampedByTheServer()
    {
        seed();
        db->exec(QStringLiteral("insert into accounts_dep.closed_month(year, month, closed_by, db_user, workstation) "
                                "values (2024, 3, 'someone else', 'nobody', '10.0.0.1')"));
        const SqlRun::Result r = db->dm()->select(QStringLiteral(
            "select closed_by, db_user, host(workstation), closed_at > now() - interval '1 hour' from accounts_dep.closed_month"));
        QCOMPARE(r.rows.size(), 1);
        QCOMPARE(r.rows[0].value(0).toString(), QStringLiteral("Tabel 20240410.3600 full"));
        QCOMPARE(r.rows[0].value(1).toString(), db->scalar(QStringLiteral("select session_user")).toString());
        QCOMPARE(r.rows[0].value(2).toString(), QStringLiteral("127.0.0.1"));
        QVERIFY(r.rows[0].value(3).toBool());
        QVERIFY(refusal(QStringLiteral("insert into accounts_dep.closed_month(year, month) values (2024, 3)"))
                    .contains(QStringLiteral("Месяц 03.2024 уже закрыт.")));
        QVERIFY(!refusal(QStringLiteral("update accounts_dep.closed_month set closed_by='x'")).isEmpty());
        QVERIFY(!refusal(QStringLiteral("insert into accounts_dep.closed_month(year, month) values (2024, 13)")).isEmpty());
        QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.closed_month where closed_by='Tabel 20240410.3600 full'")), 1);
    }

    // What the storekeeper accepted goes back to "no" when the work changes; setting the
    // mark itself, or saving the entry unchanged, keeps what is set.
    void aChangeOfAnAcceptedEntryWithdrawsItsAcceptance_data()
    {
        QTest::addColumn<QString>("mark");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("expected");
        const QString editorSave = QStringLiteral(
            "update accounts_dep.SMENA set w_id=%IVANOV%, i_id=%PRODUCT%, o_id=%OPER%, cena=10, kol_vo=%1, brak=0, "
            "data=to_date('02.04.2024', 'DD.MM.YYYY'), smena=1, color=0, time=6, vvod='11.04.2024', prize=0, id_doc=0, "
            "id_doc_item=0, f_gds_qty_use=0, id_gds_use=0, id_cons_use=0 where id=%APRIL%");
        QTest::newRow("editor changes the quantity of ok") << "ok" << editorSave.arg(11) << "no";
        QTest::newRow("editor changes the quantity of да") << "да" << editorSave.arg(11) << "no";
        QTest::newRow("editor saves it unchanged") << "ok" << editorSave.arg(10) << "ok";
        QTest::newRow("date moved") << "да" << "update accounts_dep.smena set data='03.04.2024' where id=%APRIL%" << "no";
        QTest::newRow("worker changed") << "ok" << "update accounts_dep.smena set w_id=%PETROV% where id=%APRIL%" << "no";
        QTest::newRow("hours changed") << "ok" << "update accounts_dep.smena set time=7 where id=%APRIL%" << "no";
        QTest::newRow("price changed") << "ok" << "update accounts_dep.smena set cena=10.5 where id=%APRIL%" << "no";
        QTest::newRow("bonus changed") << "ok" << "update accounts_dep.smena set prize=5 where id=%APRIL%" << "no";
        QTest::newRow("document link only") << "ok" << "update accounts_dep.smena set id_doc=77 where id=%APRIL%" << "ok";
        QTest::newRow("storekeeper accepts") << "no" << "update accounts_dep.smena set ok='ok' where id=%APRIL%" << "ok";
        QTest::newRow("storekeeper withdraws") << "ok" << "update accounts_dep.smena set ok='no' where id=%APRIL%" << "no";
        QTest::newRow("storekeeper re-marks да as ok") << "да" << "update accounts_dep.smena set ok='ok' where id=%APRIL%" << "ok";
        QTest::newRow("change that sets its own mark") << "да"
                                                       << "update accounts_dep.smena set kol_vo=3, ok='ok' where id=%APRIL%" << "ok";
        QTest::newRow("not accepted stays") << "no" << "update accounts_dep.smena set kol_vo=3 where id=%APRIL%" << "no";
        QTest::newRow("hidden mark stays") << "ta" << "update accounts_dep.smena set kol_vo=3 where id=%APRIL%" << "ta";
    }
    void aChangeOfAnAcceptedEntryWithdrawsItsAcceptance()
    {
        QFETCH(QString, mark);
        QFETCH(QString, sql);
        QFETCH(QString, expected);
        seed();
        db->dm()->execute(QStringLiteral("update accounts_dep.smena set ok=:ok where id=:id"),
                          {{QStringLiteral("ok"), mark}, {QStringLiteral("id"), april}});
        QCOMPARE(db->scalar(QStringLiteral("select trim(ok) from accounts_dep.smena where id=%1").arg(april)).toString(), mark);
        db->exec(withKeys(sql));
        QCOMPARE(db->scalar(QStringLiteral("select trim(ok) from accounts_dep.smena where id=%1").arg(april)).toString(), expected);
    }

    // The journal's own acceptance statement, with bound values, is the storekeeper's.
    void theJournalsAcceptanceStatementStillAccepts()
    {
        seed();
        for (const QString& mark : {QStringLiteral("ok"), QStringLiteral("no"), QStringLiteral("да")}) {
            db->dm()->execute(QStringLiteral("update accounts_dep.smena set ok=:ok where id=:id"),
                              {{QStringLiteral("ok"), mark}, {QStringLiteral("id"), april}});
            QCOMPARE(db->scalar(QStringLiteral("select trim(ok) from accounts_dep.smena where id=%1").arg(april)).toString(), mark);
        }
    }

    // Each traced table: an insert, a change and a delete, each one history row with
    // the values before and after, the key, the worker and who did it.
    void everyChangeIsTraced_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("insert");
        QTest::addColumn<QString>("update");
        QTest::addColumn<QString>("remove");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::addColumn<bool>("byWorker");
        QTest::newRow("journal") << "smena"
                                 << "insert into accounts_dep.smena(w_id, i_id, o_id, kol_vo, brak, data, smena, cena, color, time, ok) "
                                    "values(%SIDOROV%, %PRODUCT%, %OPER%, 10, 0, '09.04.2024', 1, 2.5, 0, 8, 'no') returning id"
                                 << "update accounts_dep.smena set kol_vo=12 where id=%KEY%"
                                 << "delete from accounts_dep.smena where id=%KEY%" << "kol_vo" << "10" << "12" << true;
        QTest::newRow("timesheet") << "h_tabel"
                                   << "insert into accounts_dep.h_tabel(smena, w_id, month, year, d9) values(2, %SIDOROV%, 4, 2024, 8) returning id"
                                   << "update accounts_dep.h_tabel set d9=11 where id=%KEY%"
                                   << "delete from accounts_dep.h_tabel where id=%KEY%" << "d9" << "8" << "11" << true;
        QTest::newRow("operations") << "oper"
                                    << "insert into accounts_dep.oper(vid, naimen, i_id) select vid, 1, i_id from accounts_dep.oper where id=%OPER% returning id"
                                    << "update accounts_dep.oper set cena_new=3.5 where id=%KEY%"
                                    << "delete from accounts_dep.oper where id=%KEY%" << "cena_new" << "0.0000" << "3.5000" << false;
        QTest::newRow("norms") << "norm"
                               << "insert into accounts_dep.norm(o_id, norma, prize, price) values(%OPER%, 120, 5, 11) returning id"
                               << "update accounts_dep.norm set price=11.5 where id=%KEY%"
                               << "delete from accounts_dep.norm where id=%KEY%" << "price" << "11" << "11.5" << false;
        QTest::newRow("products") << "izdel"
                                  << "insert into cmn_gds_and_srv.gds_and_srv(s_caption, s_description, id_msm_bs, massa) "
                                     "values('ПРН-40', '', 6, 2) returning id"
                                  << "update accounts_dep.izdel set nom='Профиль' where id=%KEY%"
                                  << "delete from accounts_dep.izdel where id=%KEY%" << "nom" << "" << "Профиль" << false;
        QTest::newRow("operation kinds") << "vid_oper"
                                         << "insert into accounts_dep.vid_oper(vid) values('Резка') returning id"
                                         << "update accounts_dep.vid_oper set vid='Рубка' where id=%KEY%"
                                         << "delete from accounts_dep.vid_oper where id=%KEY%" << "vid" << "Резка" << "Рубка" << false;
        QTest::newRow("workers") << "person"
                                 << "insert into accounts_dep.person(fio, s_staffpos_hl) values('Кузнецов К.К.', 'Цех 1') returning id"
                                 << "update accounts_dep.person set fio='Кузнецова К.К.' where id=%KEY%"
                                 << "delete from accounts_dep.person where id=%KEY%" << "fio" << "Кузнецов К.К." << "Кузнецова К.К." << true;
        QTest::newRow("older workers") << "workers"
                                       << "insert into accounts_dep.workers(id, fio, addr) values(900001, 'Орлов О.О.', '') returning id"
                                       << "update accounts_dep.workers set addr='Тула' where id=%KEY%"
                                       << "delete from accounts_dep.workers where id=%KEY%" << "addr" << "" << "Тула" << true;
        QTest::newRow("closed months") << "closed_month"
                                       << "insert into accounts_dep.closed_month(year, month) values(2023, 11) returning period"
                                       << "" << "delete from accounts_dep.closed_month where period=%KEY%" << "month" << "11" << "11" << false;
    }
    void everyChangeIsTraced()
    {
        QFETCH(QString, table);
        QFETCH(QString, insert);
        QFETCH(QString, update);
        QFETCH(QString, remove);
        QFETCH(QString, column);
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(bool, byWorker);
        seed();
        const qint64 last = db->scalar(QStringLiteral("select coalesce(max(id), 0) from accounts_dep.change_log")).toLongLong();
        const qint64 key = db->scalar(withKeys(insert)).toLongLong();
        QVERIFY(key > 0);
        auto withKey = [&](const QString& sql) { return withKeys(sql).replace(QStringLiteral("%KEY%"), QString::number(key)); };
        if (!update.isEmpty())
            db->exec(withKey(update));
        db->exec(withKey(remove));

        const SqlRun::Result r = db->dm()->select(
            QStringLiteral("select operation, row_key, worker_id, old_values ->> '%1', new_values ->> '%1', app_name, db_user, "
                           "host(client_addr), changed_at > now() - interval '1 hour' "
                           "from accounts_dep.change_log where id > %2 and table_name = '%3' order by id")
                .arg(column).arg(last).arg(table));
        const QStringList operations = update.isEmpty() ? QStringList{"I", "D"} : QStringList{"I", "U", "D"};
        QCOMPARE(r.rows.size(), operations.size());
        for (int i = 0; i < r.rows.size(); ++i) {
            const QSqlRecord& row = r.rows[i];
            const QString op = row.value(0).toString();
            QCOMPARE(op, operations[i]);
            QCOMPARE(row.value(1).toLongLong(), key);
            if (byWorker)
                QVERIFY(row.value(2).toInt() > 0);
            else
                QVERIFY(row.value(2).isNull());
            const QString stored = update.isEmpty() ? before : (op == QLatin1String("I") ? before : after);
            QCOMPARE(row.value(3).isNull(), op == QLatin1String("I"));
            QCOMPARE(row.value(4).isNull(), op == QLatin1String("D"));
            if (op == QLatin1String("I"))
                QCOMPARE(row.value(4).toString(), before);
            if (op == QLatin1String("U")) {
                QCOMPARE(row.value(3).toString(), before);
                QCOMPARE(row.value(4).toString(), after);
            }
            if (op == QLatin1String("D"))
                QCOMPARE(row.value(3).toString(), stored);
            QCOMPARE(row.value(5).toString(), QStringLiteral("Tabel 20240410.3600 full"));
            QCOMPARE(row.value(6).toString(), db->scalar(QStringLiteral("select session_user")).toString());
            QCOMPARE(row.value(7).toString(), QStringLiteral("127.0.0.1"));
            QVERIFY(row.value(8).toBool());
        }
    }

    void aJournalEntryIsTracedUnderItsWorker()
    {
        seed();
        const qint64 last = db->scalar(QStringLiteral("select max(id) from accounts_dep.change_log")).toLongLong();
        db->exec(withKeys(QStringLiteral("update accounts_dep.smena set w_id=%PETROV% where id=%APRIL%")));
        const SqlRun::Result r = db->dm()->select(
            QStringLiteral("select worker_id, (old_values->>'w_id')::int, (new_values->>'w_id')::int, row_key "
                           "from accounts_dep.change_log where id > %1 and table_name='smena'").arg(last));
        QCOMPARE(r.rows.size(), 1);
        QCOMPARE(r.rows[0].value(0).toInt(), petrov);
        QCOMPARE(r.rows[0].value(1).toInt(), ivanov);
        QCOMPARE(r.rows[0].value(2).toInt(), petrov);
        QCOMPARE(r.rows[0].value(3).toInt(), april);
    }

    // Another program's change is traced under that program's own name.
    void aChangeFromAnotherWorkstationIsTracedUnderItsName()
    {
        seed();
        const qint64 last = db->scalar(QStringLiteral("select max(id) from accounts_dep.change_log")).toLongLong();
        {
            OtherWorkstation other(db->connectionString(), QStringLiteral("Sklad 2.1"));
            QCOMPARE(other.exec(withKeys(QStringLiteral("update accounts_dep.smena set kol_vo=44, time=5 where id=%APRIL%"))), QString());
            QCOMPARE(other.exec(withKeys(QStringLiteral("select accounts_dep.post_day_hours(%IVANOV%, 1, '2024-04-02', false)"))), QString());
        }
        const SqlRun::Result r = db->dm()->select(QStringLiteral(
            "select table_name, app_name, old_values->>'kol_vo', new_values->>'kol_vo', old_values->>'d2', new_values->>'d2' "
            "from accounts_dep.change_log where id > %1 order by id").arg(last));
        QCOMPARE(r.rows.size(), 2);
        QCOMPARE(r.rows[0].value(0).toString(), QStringLiteral("smena"));
        QCOMPARE(r.rows[0].value(1).toString(), QStringLiteral("Sklad 2.1"));
        QCOMPARE(r.rows[0].value(2).toString(), QStringLiteral("10"));
        QCOMPARE(r.rows[0].value(3).toString(), QStringLiteral("44"));
        QCOMPARE(r.rows[1].value(0).toString(), QStringLiteral("h_tabel"));
        QCOMPARE(r.rows[1].value(1).toString(), QStringLiteral("Sklad 2.1"));
        QCOMPARE(r.rows[1].value(4).toString(), QStringLiteral("0"));
        QCOMPARE(r.rows[1].value(5).toString(), QStringLiteral("5"));
    }

    // A statement over many rows writes one history row per row it changed, and an
    // update that changed nothing writes none.
    void aStatementIsTracedRowByRowAndNoChangeLeavesNoTrace()
    {
        seed();
        const qint64 last = db->scalar(QStringLiteral("select max(id) from accounts_dep.change_log")).toLongLong();
        db->exec(QStringLiteral("update accounts_dep.smena set time=time"));
        db->exec(QStringLiteral("update accounts_dep.h_tabel set d5=d5"));
        QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.change_log where id > %1").arg(last)), 0);
        db->exec(QStringLiteral("update accounts_dep.smena set time=time+1"));
        QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.change_log where id > %1 and operation='U'").arg(last)), 3);
        QCOMPARE(count(QStringLiteral("select count(distinct row_key) from accounts_dep.change_log where id > %1").arg(last)), 3);
        QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.change_log where id > %1 "
                                      "and (new_values->>'time')::int <> (old_values->>'time')::int + 1").arg(last)),
                 0);
    }

    // The history is the server's: no statement of a client writes, changes or removes it.
    void theHistoryCannotBeChanged_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::newRow("write") << "insert into accounts_dep.change_log(table_name, operation, row_key) values ('smena', 'D', 1)";
        QTest::newRow("change") << "update accounts_dep.change_log set app_name='nobody'";
        QTest::newRow("delete") << "delete from accounts_dep.change_log";
        QTest::newRow("empty") << "truncate accounts_dep.change_log";
    }
    void theHistoryCannotBeChanged()
    {
        QFETCH(QString, sql);
        seed();
        const QString before = db->scalar(QStringLiteral("select md5(string_agg(c::text, '|' order by id)) from accounts_dep.change_log c")).toString();
        QVERIFY(!before.isEmpty());
        QVERIFY(!refusal(sql).isEmpty());
        OtherWorkstation other(db->connectionString(), QStringLiteral("Other"));
        QVERIFY(!other.exec(sql).isEmpty());
        QCOMPARE(db->scalar(QStringLiteral("select md5(string_agg(c::text, '|' order by id)) from accounts_dep.change_log c")).toString(), before);
    }
};

QTEST_GUILESS_MAIN(PayControlTest)
#include "tst_paycontrol.moc"
