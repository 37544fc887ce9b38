#include "app/windows.h"
#include "db/sqlrun.h"
#include "import/importsteps.h"
#include "import/legacyimport.h"
#include "journal/entrystore.h"
#include "journal/journalwindow.h"
#include "support/testdb.h"
#include "ui/messages.h"
#include "import/privateodbc.h"

#include <QAction>
#include <QScopeGuard>
#include <QLabel>
#include <QShortcut>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

// The legacy import from a real old database (an SQLite file through the SQLite ODBC
// driver, tables and columns in capitals) into the test database, both reached through
// data sources declared in a private odbc.ini. The old journal lies in the test database
// itself, as public.smena, read through the program's main connection.
class ImportTest : public QObject {
    Q_OBJECT
    std::unique_ptr<PrivateOdbc> odbc;
    std::unique_ptr<TestDatabase> db;
    const QString writer = QStringLiteral("legacy_writer");

    void legacy(const QString& sql)
    {
        QSqlQuery q(QSqlDatabase::database(writer));
        if (!q.exec(sql))
            QFAIL(qPrintable(sql + u'\n' + q.lastError().text()));
    }
    QString value(const QString& sql) const { return db->scalar(sql).toString(); }
    int count(const QString& table) const { return db->scalar(QStringLiteral("select count(*) from %1").arg(table)).toInt(); }
    static const ImportSteps::Step& step(const QString& source)
    {
        for (const ImportSteps::Step& s : ImportSteps::all())
            if (s.sourceTable == source)
                return s;
        qFatal("no step %s", qPrintable(source));
    }
    // The rows of every target, as text in key order (the nomenclature without the ids
    // the target numbered itself).
    QString targets() const
    {
        return value(QStringLiteral(
            "select concat_ws(' / ', "
            "(select string_agg(t::text, ';' order by id) from accounts_dep.h_tabel t), "
            "(select string_agg(t::text, ';' order by id) from accounts_dep.izdel t), "
            "(select string_agg(nom || '|' || marka, ';' order by nom) from accounts_dep.nomenkl t), "
            "(select string_agg(t::text, ';' order by id) from accounts_dep.oper t), "
            "(select string_agg(t::text, ';' order by id) from accounts_dep.vid_oper t), "
            "(select string_agg(t::text, ';' order by id) from accounts_dep.workers t), "
            "(select string_agg(t::text, ';' order by id) from accounts_dep.smena t))"));
    }

    // The old database of a small plant.
    void fillLegacy()
    {
        for (const char* table : {"H_TABEL", "IZDEL", "NOMENKL", "OPER", "VID_OPER", "WORKERS"})
            legacy(QStringLiteral("drop table if exists %1").arg(QLatin1String(table)));
        QStringList days;
        for (int d = 1; d <= 31; ++d)
            days << QStringLiteral("D%1 smallint").arg(d);
        legacy(QStringLiteral("create table H_TABEL (ID integer primary key, W_ID integer, MONTH smallint, SMENA smallint, "
                              "YEAR smallint, %1)").arg(days.join(QStringLiteral(", "))));
        legacy(QStringLiteral("create table IZDEL (ID integer primary key, MARKA varchar(50), nom varchar(100), massa decimal(19))"));
        legacy(QStringLiteral("create table NOMENKL (Nom varchar(150), marka varchar(7))"));
        legacy(QStringLiteral("create table OPER (ID integer primary key, VID integer, NAIMEN smallint, CENA decimal(19), I_ID integer)"));
        legacy(QStringLiteral("create table VID_OPER (ID integer primary key, VID varchar(50))"));
        // No key: the old database let twins in.
        legacy(QStringLiteral("create table WORKERS (ID integer, FIO varchar(50), ADDR varchar(100))"));

        legacy(QStringLiteral("insert into H_TABEL (ID, W_ID, MONTH, SMENA, YEAR, D1, D3, D31) values (7, 101, 3, 1, 2024, 8, 11, 4)"));
        legacy(QStringLiteral("insert into H_TABEL (ID, W_ID, MONTH, SMENA, YEAR, D1) values (3, 102, 3, 2, 2024, 4)"));
        legacy(QStringLiteral("insert into IZDEL values (11, 'КР-100 \"У\"', 'Кронштейн \\ усиленный', 0.75)"));
        legacy(QStringLiteral("insert into IZDEL values (12, 'ПР-2', NULL, NULL)"));
        legacy(QStringLiteral("insert into NOMENKL values ('Профиль', 'ПР-1')"));
        legacy(QStringLiteral("insert into NOMENKL values ('Уголок', 'УГ-5')"));
        legacy(QStringLiteral("insert into OPER values (21, 31, 0, 12.5, 11)"));
        legacy(QStringLiteral("insert into OPER values (22, 32, 1, NULL, 12)"));
        legacy(QStringLiteral("insert into VID_OPER values (31, 'Гибка')"));
        legacy(QStringLiteral("insert into VID_OPER values (32, 'Покраска')"));
        legacy(QStringLiteral("insert into WORKERS values (101, 'Иванов И.И.', 'ул. Ленина, 1')"));
        legacy(QStringLiteral("insert into WORKERS values (102, 'Петров П.П.', NULL)"));

        db->exec(QStringLiteral("drop table if exists public.smena"));
        db->exec(QStringLiteral("create table public.smena (\"ID\" integer, \"W_ID\" integer, \"I_ID\" integer, \"O_ID\" integer, "
                                "\"KOL_VO\" integer, \"BRAK\" smallint, \"DATA\" timestamp, \"SMENA\" smallint, \"CENA\" double precision, "
                                "color integer, time integer, ok varchar(255), vvod timestamp)"));
        db->exec(QStringLiteral("insert into public.smena values (41, 101, 11, 21, 100, 2, '2024-03-05', 1, 1.25, 0, 8, 'ok', '2024-03-05 10:00'), "
                                "(42, 102, 12, 22, NULL, NULL, '2024-03-06', 2, NULL, 7035, NULL, 'no', NULL)"));
    }

    // What the new database held before: rows the import replaces, and rows with id 0 or
    // below that it keeps.
    void fillTarget()
    {
        for (const char* table : {"smena", "norm", "oper", "vid_oper", "h_tabel", "nomenkl", "workers"})
            db->exec(QStringLiteral("delete from accounts_dep.%1").arg(QLatin1String(table)));
        db->exec(QStringLiteral("delete from cmn_gds_and_srv.gds_and_srv"));
        db->exec(QStringLiteral("alter table accounts_dep.izdel disable trigger izdel_in_use"));
        db->exec(QStringLiteral("delete from accounts_dep.izdel"));
        db->exec(QStringLiteral("alter table accounts_dep.izdel enable trigger izdel_in_use"));
        db->exec(QStringLiteral("insert into accounts_dep.vid_oper(id, vid) values (0, 'Служебная'), (1, 'Старая')"));
        db->exec(QStringLiteral("insert into accounts_dep.izdel(id, marka, nom, massa) values (0, 'СЛ', '', 0), (5, 'СТАРОЕ', '', 1)"));
        db->exec(QStringLiteral("insert into accounts_dep.oper(id, vid, naimen, i_id, cena_new) values (0, 0, 0, 0, 0), (1, 1, 0, 5, 3), (21, 1, 0, 5, 4)"));
        // Norm levels of an operation the old database does not have (1) and of one it has (21).
        db->exec(QStringLiteral("insert into accounts_dep.norm(o_id, norma, prize, price) values (1, 100, 0, 3), (21, 200, 5, 4)"));
        db->exec(QStringLiteral("insert into accounts_dep.h_tabel(id, w_id, smena, month, year, d1) values (-1, 900, 1, 1, 2020, 5), (1, 901, 1, 1, 2020, 5)"));
        db->exec(QStringLiteral("insert into accounts_dep.nomenkl(id, nom, marka) values (0, 'Служебная', 'СЛ'), (1, 'Старая', 'СТ')"));
        db->exec(QStringLiteral("insert into accounts_dep.workers(id, fio, addr) values (0, 'Служебный', ''), (1, 'Старый', '')"));
        db->exec(QStringLiteral("insert into accounts_dep.smena(id, w_id, i_id, o_id, kol_vo, brak, data, smena, cena, color, time, ok) "
                                "values (0, 1, 0, 0, 1, 0, '2020-01-01', 1, 1, 0, 1, 'no'), (1, 1, 5, 1, 1, 0, '2020-01-01', 1, 1, 0, 1, 'no')"));
    }

    void runImport(LegacyImport& import)
    {
        try {
            import.run();
        } catch (const DbError& e) {
            QFAIL(qPrintable(e.message()));
        }
    }

private slots:
    void initTestCase()
    {
        // The data sources are declared before the first connection, with the name the
        // first test database of the process gets.
        const QString target = QStringLiteral("import_%1_1").arg(QCoreApplication::applicationPid());
        odbc = std::make_unique<PrivateOdbc>(target);
        db = std::make_unique<TestDatabase>(QStringLiteral("import"));
        QCOMPARE(db->name(), target);
        QSqlDatabase w = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), writer);
        w.setDatabaseName(odbc->legacyWriter());
        QVERIFY2(w.open(), qPrintable(w.lastError().text()));
    }
    void cleanupTestCase()
    {
        QSqlDatabase::database(writer).close();
        QSqlDatabase::removeDatabase(writer);
        db.reset();
    }
    void init()
    {
        fillLegacy();
        fillTarget();
    }

    void everyValueArrivesInItsForm_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("expected");
        QTest::newRow("timesheet row with its days") << "select concat_ws(',', w_id, month, year, smena, d1, d3, d31) from accounts_dep.h_tabel where id=7" << "101,3,2024,1,8,11,4";
        QTest::newRow("timesheet day left empty is 0") << "select d2 + d30 from accounts_dep.h_tabel where id=7" << "0";
        QTest::newRow("timesheet rows with their own ids") << "select string_agg(id::text, ',' order by id) from accounts_dep.h_tabel" << "-1,3,7";
        QTest::newRow("product texts as they were") << "select marka || '|' || nom from accounts_dep.izdel where id=11" << "КР-100 \"У\"|Кронштейн \\ усиленный";
        QTest::newRow("product mass as a number") << "select massa::text from accounts_dep.izdel where id=11" << "0.750000";
        QTest::newRow("product without mass has 0, without name none") << "select massa::text || '|' || coalesce(nom, 'NULL') from accounts_dep.izdel where id=12" << "0.000000|NULL";
        QTest::newRow("nomenclature rows") << "select string_agg(nom || ' ' || marka, ',' order by nom) from accounts_dep.nomenkl where id>0" << "Профиль ПР-1,Уголок УГ-5";
        QTest::newRow("nomenclature numbered by the target") << "select count(distinct id) from accounts_dep.nomenkl where id>1" << "2";
        QTest::newRow("operation with its references") << "select concat_ws(',', vid, naimen, i_id) from accounts_dep.oper where id=21" << "31,0,11";
        QTest::newRow("old price is the list price") << "select cena_new::text from accounts_dep.oper where id=21" << "12.5000";
        QTest::newRow("operation without price has 0") << "select cena_new::text from accounts_dep.oper where id=22" << "0.0000";
        QTest::newRow("norms stay with an operation that comes back, go with one that does not")
            << "select string_agg(concat_ws(',', o_id, norma, prize), ';' order by o_id) from accounts_dep.norm" << "21,200,5";
        QTest::newRow("kinds") << "select string_agg(id || ' ' || vid, ',' order by id) from accounts_dep.vid_oper" << "0 Служебная,31 Гибка,32 Покраска";
        QTest::newRow("workers") << "select string_agg(concat_ws('|', id, fio, addr), ',' order by id) from accounts_dep.workers" << "0|Служебный|,101|Иванов И.И.|ул. Ленина, 1,102|Петров П.П.";
        QTest::newRow("journal entry whole") << "select concat_ws(',', w_id, i_id, o_id, kol_vo, brak, data, smena, cena, color, time, ok, vvod) from accounts_dep.smena where id=41"
                                             << "101,11,21,100,2,2024-03-05,1,1.25,0,8,ok,2024-03-05 10:00:00";
        QTest::newRow("journal numbers left empty are 0") << "select concat_ws(',', kol_vo, brak, cena) from accounts_dep.smena where id=42" << "0,0,0";
        QTest::newRow("journal texts left empty stay empty") << "select (time is null)::text || (vvod is null)::text from accounts_dep.smena where id=42" << "truetrue";
        QTest::newRow("journal ids") << "select string_agg(id::text, ',' order by id) from accounts_dep.smena" << "0,41,42";
    }
    void everyValueArrivesInItsForm()
    {
        QFETCH(QString, query);
        QFETCH(QString, expected);
        LegacyImport import(db->dm());
        runImport(import);
        QCOMPARE(value(query), expected);
    }

    void rowsWithIdZeroOrBelowSurvive_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("expected");
        QTest::newRow("timesheet") << "select w_id from accounts_dep.h_tabel where id=-1" << "900";
        QTest::newRow("products") << "select marka from accounts_dep.izdel where id=0" << "СЛ";
        QTest::newRow("nomenclature") << "select nom from accounts_dep.nomenkl where id=0" << "Служебная";
        QTest::newRow("operations") << "select count(*) from accounts_dep.oper where id=0" << "1";
        QTest::newRow("kinds") << "select vid from accounts_dep.vid_oper where id=0" << "Служебная";
        QTest::newRow("workers") << "select fio from accounts_dep.workers where id=0" << "Служебный";
        QTest::newRow("journal") << "select o_id from accounts_dep.smena where id=0" << "0";
        QTest::newRow("nothing else of before") << "select (select count(*) from accounts_dep.h_tabel where id=1) + (select count(*) from accounts_dep.izdel where id=5) "
                                                   "+ (select count(*) from accounts_dep.nomenkl where nom='Старая') + (select count(*) from accounts_dep.oper where id=1) "
                                                   "+ (select count(*) from accounts_dep.vid_oper where id=1) + (select count(*) from accounts_dep.workers where id=1) "
                                                   "+ (select count(*) from accounts_dep.smena where id=1)" << "0";
    }
    void rowsWithIdZeroOrBelowSurvive()
    {
        QFETCH(QString, query);
        QFETCH(QString, expected);
        LegacyImport import(db->dm());
        runImport(import);
        QCOMPARE(value(query), expected);
    }

    void emptySourceEmptiesTargetWithoutProgress_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("emptying");
        QTest::newRow("H_TABEL") << "H_TABEL" << "delete from H_TABEL";
        QTest::newRow("IZDEL") << "IZDEL" << "delete from IZDEL";
        QTest::newRow("NOMENKL") << "NOMENKL" << "delete from NOMENKL";
        QTest::newRow("OPER") << "OPER" << "delete from OPER";
        QTest::newRow("VID_OPER") << "VID_OPER" << "delete from VID_OPER";
        QTest::newRow("WORKERS") << "WORKERS" << "delete from WORKERS";
        QTest::newRow("smena") << "smena" << "";
    }
    void emptySourceEmptiesTargetWithoutProgress()
    {
        QFETCH(QString, source);
        QFETCH(QString, emptying);
        if (emptying.isEmpty())
            db->exec(QStringLiteral("delete from public.smena"));
        else
            legacy(emptying);
        const ImportSteps::Step& s = step(source);
        QVERIFY(db->scalar(QStringLiteral("select count(*) from %1 where id>0").arg(s.target)).toInt() > 0);
        LegacyImport import(db->dm());
        QSignalSpy progress(&import, &LegacyImport::progress);
        try {
            import.runStep(s);
        } catch (const DbError& e) {
            QFAIL(qPrintable(e.message()));
        }
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from %1 where id>0").arg(s.target)).toInt(), 0);
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from %1 where id<=0").arg(s.target)).toInt(), 1 );
        QCOMPARE(progress.count(), 0);
    }

    void failingStepLeavesItsTargetAndStops_data()
    {
        QTest::addColumn<QStringList>("legacyChanges");
        QTest::addColumn<QString>("journalChange");
        QTest::addColumn<QString>("failing");
        QTest::addColumn<QStringList>("inMessage");
        QTest::newRow("a day that is no number, past the first batch")
            << QStringList{"insert into H_TABEL (ID, W_ID, MONTH, SMENA, YEAR, D1) "
                           "with recursive g(n) as (select 100 union all select n + 1 from g where n < 6200) "
                           "select n, n, 1, 1, 2023, 8 from g",
                           "update H_TABEL set D5 = 'восемь' where ID = 6000"}
            << QString() << "H_TABEL" << QStringList{"H_TABEL", "ID = 6000", "D5", "«восемь»"};
        QTest::newRow("a twin timesheet row the target's key refuses")
            << QStringList{"insert into H_TABEL (ID, W_ID, MONTH, SMENA, YEAR, D1) values (8, 101, 3, 1, 2024, 1)"}
            << QString() << "H_TABEL" << QStringList{"H_TABEL", "ID = 8", "h_tabel_key"};
        QTest::newRow("a fraction where a whole number belongs")
            << QStringList{"update OPER set NAIMEN = 1.5 where ID = 22"} << QString() << "OPER" << QStringList{"OPER", "ID = 22", "NAIMEN", "не целое"};
        QTest::newRow("a kind name too long for the target")
            << QStringList{"update VID_OPER set VID = 'Очень длинное название вида операции, которое не помещается' where ID = 32"}
            << QString() << "VID_OPER" << QStringList{"VID_OPER", "ID = 32", "character varying(50)"};
        QTest::newRow("twin workers")
            << QStringList{"insert into WORKERS values (101, 'Иванов И.И.', 'ещё раз')"} << QString() << "WORKERS"
            << QStringList{"WORKERS", "ID = 101", "workers_pkey"};
        QTest::newRow("a journal entry of no operation")
            << QStringList{} << "update public.smena set \"O_ID\" = 999 where \"ID\" = 42" << "smena"
            << QStringList{"smena", "ID = 42", "smena_o_id_fkey"};
    }
    void failingStepLeavesItsTargetAndStops()
    {
        QFETCH(QStringList, legacyChanges);
        QFETCH(QString, journalChange);
        QFETCH(QString, failing);
        QFETCH(QStringList, inMessage);
        for (const QString& sql : legacyChanges)
            legacy(sql);
        if (!journalChange.isEmpty())
            db->exec(journalChange);
        const QVector<ImportSteps::Step>& steps = ImportSteps::all();
        QStringList before;
        for (const ImportSteps::Step& s : steps)
            before << value(QStringLiteral("select string_agg(t::text, ';' order by t::text) from %1 t").arg(s.target));

        LegacyImport import(db->dm());
        QString message;
        try {
            import.run();
        } catch (const DbError& e) {
            message = e.message();
        }
        QVERIFY2(message.startsWith(QStringLiteral("Перенос данных остановлен на таблице ") + failing), qPrintable(message));
        for (const QString& part : inMessage)
            QVERIFY2(message.contains(part), qPrintable(part + u'\n' + message));
        bool reached = false;
        for (int i = 0; i < steps.size(); ++i) {
            const QString now = value(QStringLiteral("select string_agg(t::text, ';' order by t::text) from %1 t").arg(steps[i].target));
            if (steps[i].sourceTable == failing)
                reached = true;
            if (reached)
                QVERIFY2(now == before[i], qPrintable(steps[i].target + QStringLiteral(" changed")));
            else
                QVERIFY2(now != before[i], qPrintable(steps[i].target + QStringLiteral(" not replaced")));
        }
    }

    void journalNeverReadFromTheTableItReplaces()
    {
        // The main connection and the target reach the same database. By default the
        // unqualified "smena" there is public.smena, the old journal.
        LegacyImport import(db->dm());
        runImport(import);
        QCOMPARE(value(QStringLiteral("select string_agg(id::text, ',' order by id) from accounts_dep.smena")), QStringLiteral("0,41,42"));

        // With the client's schema first in the search path the same name is the journal
        // the step replaces: the step refuses and the journal stays.
        db->exec(QStringLiteral("insert into accounts_dep.smena(id, w_id, i_id, o_id, kol_vo, brak, data, smena, cena, color, time, ok) "
                                "values (50, 1, 11, 21, 5, 0, '2024-03-07', 1, 1, 0, 1, 'no')"));
        const QString journal = value(QStringLiteral("select string_agg(t::text, ';' order by id) from accounts_dep.smena t"));
        db->exec(QStringLiteral("set search_path = accounts_dep, public"));
        QString message;
        try {
            import.runStep(step(QStringLiteral("smena")));
        } catch (const DbError& e) {
            message = e.message();
        }
        db->exec(QStringLiteral("set search_path = \"$user\", public"));
        QVERIFY2(message.contains(QStringLiteral("сама accounts_dep.smena")), qPrintable(message));
        QCOMPARE(value(QStringLiteral("select string_agg(t::text, ';' order by id) from accounts_dep.smena t")), journal);
    }

    // An old journal that another account made (the old shared one, or the administrator
    // restoring it) is not the full-access login's to read: the import says which table
    // and what the administrator runs, and writes nothing; once allowed, it goes through.
    void anUnreadableOldJournalIsNamedWithItsRemedy()
    {
        // The server's administrator, on a connection of its own (not a data module: the
        // windows keep using the test's).
        QSqlDatabase admin = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), QStringLiteral("import_admin"));
        admin.setDatabaseName(TestDatabase::adminConnectionStringFor(db->name()));
        QVERIFY2(admin.open(), qPrintable(admin.lastError().text()));
        const auto asAdmin = [&](const QString& sql) {
            QSqlQuery q(admin);
            return q.exec(sql) ? QString() : q.lastError().text();
        };
        const auto dropIt = qScopeGuard([&] {
            // The next test's old journal is made by the fixture again.
            asAdmin(QStringLiteral("drop table if exists public.smena"));
            admin.close();
            admin = QSqlDatabase();
            QSqlDatabase::removeDatabase(QStringLiteral("import_admin"));
        });
        QCOMPARE(asAdmin(QStringLiteral("drop table public.smena")), QString());
        QCOMPARE(asAdmin(QStringLiteral("create table public.smena as select * from accounts_dep.smena where false")), QString());
        const QString before = targets();
        LegacyImport import(db->dm());
        QString message;
        try {
            import.runStep(step(QStringLiteral("smena")));
        } catch (const DbError& e) {
            message = e.message();
        }
        QVERIFY2(message.startsWith(QStringLiteral("Перенос данных остановлен на таблице smena: нет права читать старый журнал public.smena.")),
                 qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral("«tabel-setup-server --upgrade --database %1»").arg(db->name())), qPrintable(message));
        QCOMPARE(targets(), before);
        // What the upgrade grants.
        QCOMPARE(asAdmin(QStringLiteral("grant select on public.smena to tabel_full")), QString());
        try {
            import.runStep(step(QStringLiteral("smena")));
        } catch (const DbError& e) {
            QFAIL(qPrintable(e.message()));
        }
    }

    void addingRightAfterTheImportWorks_data()
    {
        QTest::addColumn<QString>("insert");
        QTest::addColumn<QString>("table");
        QTest::newRow("timesheet row") << "insert into accounts_dep.h_tabel(w_id, smena, month, year, d1) values (101, 1, 4, 2024, 8)" << "accounts_dep.h_tabel";
        QTest::newRow("product") << "insert into cmn_gds_and_srv.gds_and_srv(s_caption, s_description, id_msm_bs, massa) values ('НОВОЕ', '', 6, 1)" << "accounts_dep.izdel";
        QTest::newRow("kind") << "insert into accounts_dep.vid_oper(vid) values ('Сверловка')" << "accounts_dep.vid_oper";
        QTest::newRow("operation") << "insert into accounts_dep.oper(vid, naimen, i_id, cena_new) values (31, 0, 11, 0)" << "accounts_dep.oper";
        QTest::newRow("nomenclature") << "insert into accounts_dep.nomenkl(nom, marka) values ('Новая', 'Н')" << "accounts_dep.nomenkl";
    }
    void addingRightAfterTheImportWorks()
    {
        QFETCH(QString, insert);
        QFETCH(QString, table);
        LegacyImport import(db->dm());
        runImport(import);
        const int top = db->scalar(QStringLiteral("select max(id) from %1").arg(table)).toInt();
        try {
            db->exec(insert);
        } catch (const DbError& e) {
            QFAIL(qPrintable(e.message()));
        }
        QVERIFY(db->scalar(QStringLiteral("select max(id) from %1").arg(table)).toInt() > top);
    }

    void journalEntryAddedRightAfterTheImport()
    {
        LegacyImport import(db->dm());
        runImport(import);
        EntryRow row;
        // Operation 21 keeps its norm of 4 roubles: the server takes the rule's price.
        row.w_id = 101; row.i_id = 11; row.o_id = 21; row.cena = 4; row.quantity = 3; row.hours = 8;
        row.date = QDate(2024, 3, 7); row.shift = 1;
        EntryStore store(*db->dm());
        try {
            store.insert(row, QDate(2024, 3, 7));
        } catch (const DbError& e) {
            QFAIL(qPrintable(e.message()));
        }
        QCOMPARE(value(QStringLiteral("select count(*) from accounts_dep.smena where id > 42 and data = '2024-03-07'")), QStringLiteral("1"));
    }

    void runningTwiceGivesTheSameResult()
    {
        LegacyImport first(db->dm());
        runImport(first);
        const QString once = targets();
        runImport(first);
        QCOMPARE(targets(), once);
        LegacyImport second(db->dm());
        runImport(second);
        QCOMPARE(targets(), once);
    }

    void menuItemRunsTheImportWithProgressInTheHiddenLabel()
    {
        Messages::Recorder recorder;
        JournalWindow window;
        auto* label = window.findChild<QLabel*>(QStringLiteral("Label1"));
        auto* item = window.findChild<QAction*>(QStringLiteral("N12"));
        QVERIFY(label && item);
        QVERIFY(!item->isVisible());
        item->trigger();
        QCOMPARE(recorder.texts(), QStringList());
        QCOMPARE(label->text(), QStringLiteral("smena: 2 из 2 записей"));
        QVERIFY(label->isHidden());
        QCOMPARE(value(QStringLiteral("select count(*) from accounts_dep.smena where id>0")), QStringLiteral("2"));

        // A failing import shows the reason in the error box.
        legacy(QStringLiteral("update OPER set VID = 'x' where ID = 21"));
        item->trigger();
        QCOMPARE(recorder.shown.size(), 1);
        QVERIFY2(recorder.lastText().startsWith(QStringLiteral("Перенос данных остановлен на таблице OPER")), qPrintable(recorder.lastText()));
        QCOMPARE(label->text(), QStringLiteral("NOMENKL: 2 из 2 записей"));
    }

    void administratorsKeyAsksUnderFullAccessOnly_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<int>("questions");
        QTest::addColumn<int>("journalRows");
        QTest::newRow("full access, yes") << "0583" << true << 1 << 2;
        QTest::newRow("full access, no") << "0583" << false << 1 << 1;
        QTest::newRow("foreman") << "quolbin" << true << 0 << 1;
        QTest::newRow("planner") << "brivel" << true << 0 << 1;
    }
    void administratorsKeyAsksUnderFullAccessOnly()
    {
        QFETCH(QString, code);
        QFETCH(bool, answer);
        QFETCH(int, questions);
        QFETCH(int, journalRows);
        Messages::Recorder recorder(answer);
        JournalWindow window;
        auto* key = window.findChild<QShortcut*>(QStringLiteral("ImportKey"));
        QVERIFY(key);
        QCOMPARE(key->key(), QKeySequence(QStringLiteral("Ctrl+Shift+I")));
        window.RoleCode = code;
        window.onImportKey();
        QCOMPARE(recorder.shown.size(), questions);
        QCOMPARE(value(QStringLiteral("select count(*) from accounts_dep.smena where id>0")).toInt(), journalRows);
    }

    // Last: the other database's data module stays the last one created.
    void journalFromAnotherDatabaseOfTheMainConnection()
    {
        // The main connection on another database: its accounts_dep.smena is a journal
        // like any other and is copied.
        TestDatabase other(QStringLiteral("import_main"));
        other.exec(QStringLiteral("insert into accounts_dep.vid_oper(id, vid) values (31, 'Гибка')"));
        other.exec(QStringLiteral("insert into accounts_dep.oper(id, vid, naimen, i_id) values (21, 31, 0, 11)"));
        other.exec(QStringLiteral("insert into accounts_dep.smena(id, w_id, i_id, o_id, kol_vo, brak, data, smena, cena, color, time, ok) "
                                  "values (77, 101, 11, 21, 9, 1, '2024-04-01', 3, 2.5, 0, 4, 'да')"));
        other.exec(QStringLiteral("alter role sys in database %1 set search_path = accounts_dep, public").arg(other.name()));
        other.dm()->execute(QStringLiteral("set search_path = accounts_dep, public"));
        LegacyImport import(other.dm());
        runImport(import);
        QCOMPARE(value(QStringLiteral("select string_agg(concat_ws(',', id, kol_vo, brak, smena, cena, ok), ';' order by id) from accounts_dep.smena")),
                 QStringLiteral("0,1,0,1,1,no;77,9,1,3,2.5,да"));
    }
};

QTEST_MAIN(ImportTest)
#include "tst_import.moc"
