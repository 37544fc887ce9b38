#include "core/roles.h"
#include "db/connectionstring.h"
#include "db/datamodule.h"
#include "support/testdb.h"

#include <QCoreApplication>
#include <QProcess>
#include <QtTest>
#include <memory>

// What the server itself enforces, on a database loaded from sql/schema.sql as a plant's
// is: the sign-in with its codes and its count of wrong ones, the sign-in account that
// opens nothing, and each role's statements allowed or refused by the server.
class AccessTest : public QObject {
    Q_OBJECT
    QString name;
    std::unique_ptr<DataModule> admin;      // the test server's superuser: fixtures, fingerprints
    QMap<QString, ConnectionString::Account> logins;
    int worker = 0, operation = 0, secondOperation = 0, product = 0, entry = 0;

    QString signInString() const { return ConnectionString::compose(name, QStringLiteral("127.0.0.1"), TestDatabase::port()); }
    QString adminScalar(const QString& sql) const
    {
        try {
            const SqlRun::Result r = admin->select(sql);
            return r.rows.isEmpty() ? QString() : r.rows.first().value(0).toString();
        } catch (const DbError& e) {
            throw std::runtime_error((sql + QStringLiteral(": ") + e.message()).toStdString());
        }
    }
    std::unique_ptr<DataModule> connectAs(const ConnectionString::Account& account) const
    {
        auto dm = std::make_unique<DataModule>();
        if (!dm->connectTo(ConnectionString::withAccount(signInString(), account)))
            throw std::runtime_error(("cannot connect as " + account.user + ": " + dm->lastError()).toStdString());
        return dm;
    }
    Roles::SignInAnswer signIn(const QString& code) const
    {
        DataModule dm;
        if (!dm.connectTo(signInString()))
            throw std::runtime_error(("the sign-in account cannot connect: " + dm.lastError()).toStdString());
        return Roles::signIn(dm, code);
    }
    void forgetWrongCodes() const
    {
        admin->execute(QStringLiteral("delete from accounts_dep.signin_failure"));
        admin->execute(QStringLiteral("delete from accounts_dep.signin_lock"));
    }
    // Everything a refused statement might have touched: rows, history, rights, triggers.
    QString fingerprint() const
    {
        return adminScalar(QStringLiteral(
            "select md5(concat_ws('|', "
            "(select string_agg(s::text, ',' order by id) from accounts_dep.smena s), "
            "(select string_agg(h::text, ',' order by id) from accounts_dep.h_tabel h), "
            "(select string_agg(v::text, ',' order by id) from accounts_dep.vid_oper v), "
            "(select string_agg(c::text, ',' order by period) from accounts_dep.closed_month c), "
            "(select count(*) from accounts_dep.change_log), "
            "(select string_agg(relname || coalesce(relacl::text, '') || relnatts, ',' order by relname) from pg_class "
            "  where relnamespace = 'accounts_dep'::regnamespace), "
            "(select string_agg(tgname::text || tgenabled::text, ',' order by tgname) from pg_trigger where not tgisinternal), "
            "(select string_agg(rolname, ',' order by rolname) from pg_roles)))"));
    }

private slots:
    void initTestCase()
    {
        name = QStringLiteral("access_%1").arg(QCoreApplication::applicationPid());
        admin = std::make_unique<DataModule>();
        QVERIFY2(admin->connectTo(TestDatabase::adminConnectionStringFor(QStringLiteral("postgres"))), qPrintable(admin->lastError()));
        admin->execute(QStringLiteral("drop database if exists %1").arg(name));
        admin->execute(QStringLiteral("create database %1 template template0 encoding 'UTF8' locale_provider icu icu_locale 'ru-RU'").arg(name));
        // Loaded as a plant's database is: the whole schema by a superuser.
        QProcess psql;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PGPASSWORD"), QStringLiteral("plomvux"));
        psql.setProcessEnvironment(env);
        psql.setProcessChannelMode(QProcess::MergedChannels);
        psql.start(QStringLiteral("psql"), {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                                            QString::number(TestDatabase::port()), QStringLiteral("-U"), QStringLiteral("sys"),
                                            QStringLiteral("-d"), name, QStringLiteral("-X"), QStringLiteral("-q"),
                                            QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-f"),
                                            qEnvironmentVariable("TABEL_SOURCE_DIR") + QStringLiteral("/sql/schema.sql")});
        QVERIFY(psql.waitForFinished(120000));
        QVERIFY2(psql.exitCode() == 0, psql.readAll().constData());
        QVERIFY(admin->connectTo(TestDatabase::adminConnectionStringFor(name)));

        worker = admin->select(QStringLiteral("insert into accounts_dep.person(fio, s_staffpos_hl) values ('Иванов И.И.', '') returning id"))
                     .rows.first().value(0).toInt();
        admin->execute(QStringLiteral("insert into cmn_gds_and_srv.gds_and_srv(s_caption, s_description, id_msm_bs, massa) values ('КР-1', '', 6, 1)"));
        product = adminScalar(QStringLiteral("select id from accounts_dep.izdel where marka = 'КР-1'")).toInt();
        const int kind = admin->select(QStringLiteral("insert into accounts_dep.vid_oper(vid) values ('Гибка') returning id")).rows.first().value(0).toInt();
        operation = admin->select(QStringLiteral("insert into accounts_dep.oper(vid, naimen, i_id, cena_new) values (%1, 0, %2, 0) returning id")
                                      .arg(kind).arg(product)).rows.first().value(0).toInt();
        // The operation's lowest norm price is 1.25: 2.5 on a day off, 1.5 in shift 3, 1.875 in shift 4.
        admin->execute(QStringLiteral("insert into accounts_dep.norm(o_id, norma, prize, price) values (%1, 100, 0, 1.25), (%1, 200, 5, 1.4)")
                           .arg(operation));
        // Another operation of the product, its price 7.
        secondOperation = admin->select(QStringLiteral("insert into accounts_dep.oper(vid, naimen, i_id, cena_new) values (%1, 1, %2, 0) returning id")
                                            .arg(kind).arg(product)).rows.first().value(0).toInt();
        admin->execute(QStringLiteral("insert into accounts_dep.norm(o_id, norma, prize, price) values (%1, 100, 0, 7)").arg(secondOperation));
        entry = admin->select(QStringLiteral("insert into accounts_dep.smena(w_id, i_id, o_id, kol_vo, brak, data, smena, cena, color, time, ok, vvod, prize) "
                                             "values (%1, %2, %3, 10, 0, '2024-04-02', 1, 2.5, 0, 8, 'no', now(), 0) returning id")
                                  .arg(worker).arg(product).arg(operation)).rows.first().value(0).toInt();
        admin->execute(QStringLiteral("insert into accounts_dep.h_tabel(w_id, smena, month, year, d2) values (%1, 1, 4, 2024, 8)").arg(worker));

        for (const auto& [word, code] : {std::pair{"planner", "brivel"}, {"foreman", "quolbin"}, {"storekeeper", "fumpo"}, {"full", "0583"}}) {
            const Roles::SignInAnswer answer = signIn(QString::fromLatin1(code));
            QCOMPARE(answer.role, Roles::fromWord(QString::fromLatin1(word)));
            logins.insert(QString::fromLatin1(word), answer.account);
        }
    }
    void cleanupTestCase()
    {
        if (!admin)
            return;
        admin->connectTo(TestDatabase::adminConnectionStringFor(QStringLiteral("postgres")));
        admin->execute(QStringLiteral("drop database if exists %1").arg(name));
    }
    void init() { forgetWrongCodes(); }

    void theCodesOfANewDatabaseGiveTheirRoles_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("word");
        QTest::newRow("planner") << "brivel" << "planner";
        QTest::newRow("foreman, blanks around") << "  quolbin " << "foreman";
        QTest::newRow("storekeeper") << "fumpo" << "storekeeper";
        QTest::newRow("full access") << "61370327" << "full";
        QTest::newRow("full access, short code") << "0583" << "full";
        QTest::newRow("capitals") << "BRIVEL" << "";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("blanks") << "   " << "";
        QTest::newRow("unknown") << "12345" << "";
        QTest::newRow("inner blank") << "quol bin" << "";
        QTest::newRow("a quote") << "0583' or '1'='1" << "";
    }
    void theCodesOfANewDatabaseGiveTheirRoles()
    {
        QFETCH(QString, code);
        QFETCH(QString, word);
        const Roles::SignInAnswer answer = signIn(code);
        QVERIFY(answer.refusal.isEmpty());
        QCOMPARE(answer.role, Roles::fromWord(word));
        if (word.isEmpty()) {
            QVERIFY(answer.account.user.isEmpty() && answer.account.password.isEmpty());
            return;
        }
        // The login handed back carries its role, and the server knows it.
        auto dm = connectAs(answer.account);
        QCOMPARE(dm->select(QStringLiteral("select accounts_dep.session_role()")).rows.first().value(0).toString(), word);
        QCOMPARE(dm->select(QStringLiteral("select rolsuper from pg_roles where rolname = session_user")).rows.first().value(0).toBool(), false);
    }

    // The codes are stored as salted hashes, never as they are typed.
    void theCodesAreStoredAsSaltedHashes()
    {
        QCOMPARE(adminScalar(QStringLiteral("select count(*) from accounts_dep.access_code where code_hash in "
                                            "('brivel', 'quolbin', 'fumpo', '61370327', '0583') or code_hash not like '$2a$%'")),
                 QStringLiteral("0"));
        QCOMPARE(adminScalar(QStringLiteral("select count(distinct substr(code_hash, 1, 29)) from accounts_dep.access_code")),
                 QStringLiteral("5"));
    }

    void fiveWrongCodesCloseTheSignInForAMinute()
    {
        for (int i = 0; i < 5; ++i) {
            const Roles::SignInAnswer wrong = signIn(QStringLiteral("wrong%1").arg(i));
            QCOMPARE(wrong.role, Role::None);
            QVERIFY(wrong.refusal.isEmpty());
        }
        // Now even the right code is refused, with a message of its own.
        const Roles::SignInAnswer refused = signIn(QStringLiteral("0583"));
        QCOMPARE(refused.role, Role::None);
        QVERIFY(refused.account.password.isEmpty());
        QCOMPARE(refused.refusal, QStringLiteral("Слишком много неверных кодов доступа с этого компьютера. Вход закрыт на минуту, попробуйте позже."));
        const QString until = adminScalar(QStringLiteral("select round(extract(epoch from until - now())) from accounts_dep.signin_lock"));
        QVERIFY2(until.toInt() >= 55 && until.toInt() <= 60, qPrintable(until));
        // A minute later (the lock moved back instead of waiting) the right code gets in.
        admin->execute(QStringLiteral("update accounts_dep.signin_lock set until = now() - interval '1 second'"));
        QCOMPARE(signIn(QStringLiteral("0583")).role, Role::FullAccess);
    }

    void aRightCodeStartsTheCountAgain()
    {
        for (int i = 0; i < 4; ++i)
            QCOMPARE(signIn(QStringLiteral("wrong")).role, Role::None);
        QCOMPARE(signIn(QStringLiteral("fumpo")).role, Role::Storekeeper);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(signIn(QStringLiteral("wrong")).role, Role::None);
        QCOMPARE(signIn(QStringLiteral("brivel")).role, Role::Planner);
        // Wrong codes older than a minute no longer count.
        for (int i = 0; i < 4; ++i)
            QCOMPARE(signIn(QStringLiteral("wrong")).role, Role::None);
        admin->execute(QStringLiteral("update accounts_dep.signin_failure set at = now() - interval '61 seconds'"));
        QCOMPARE(signIn(QStringLiteral("wrong")).role, Role::None);
        QCOMPARE(signIn(QStringLiteral("quolbin")).role, Role::Foreman);
    }

    // Knowing the sign-in account's password opens nothing without a code.
    void theSignInAccountAloneOpensNothing_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::newRow("journal") << "select * from accounts_dep.smena";
        QTest::newRow("timesheet") << "select * from accounts_dep.h_tabel";
        QTest::newRow("workers") << "select * from accounts_dep.person";
        QTest::newRow("persons") << "select * from cmn_contractor.person";
        QTest::newRow("history") << "select * from accounts_dep.change_log";
        QTest::newRow("codes") << "select * from accounts_dep.access_code";
        QTest::newRow("logins") << "select * from accounts_dep.role_login";
        QTest::newRow("an entry") << "insert into accounts_dep.smena(w_id, data, smena, ok) values (1, '2024-04-03', 1, 'no')";
        QTest::newRow("a code") << "select accounts_dep.set_access_code('full', 'mine')";
        QTest::newRow("a role") << "set role tabel_full";
        QTest::newRow("the owner") << "set role tabel_owner";
        QTest::newRow("a table") << "create table public.mine (id integer)";
    }
    void theSignInAccountAloneOpensNothing()
    {
        QFETCH(QString, sql);
        DataModule dm;
        QVERIFY(dm.connectTo(signInString()));
        const QString before = fingerprint();
        QVERIFY_THROWS_EXCEPTION(DbError, dm.execute(sql));
        QCOMPARE(fingerprint(), before);
        // The build stamp is all it reads: every client raises it before a code is typed.
        QCOMPARE(dm.select(QStringLiteral("select count(*) from accounts_dep.ver")).rows.size(), 1);
    }

    // Each role's statements: allowed ones succeed (rolled back after), forbidden ones
    // are refused by the server with nothing changed.
    void eachRoleMayDoWhatItsWindowsDoAndNothingElse_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("allowed");
        const QStringList all{"planner", "foreman", "storekeeper", "full"};
        const QStringList none;
        QTest::newRow("read the journal") << "select count(*) from accounts_dep.smena s join cmn_contractor.person p on p.id = s.w_id" << all;
        QTest::newRow("read the timesheet") << "select count(*) from accounts_dep.h_tabel" << all;
        QTest::newRow("read the closed months") << "select count(*) from accounts_dep.closed_month" << all;
        QTest::newRow("raise the build stamp") << "insert into accounts_dep.ver(d, t) values (20240101, 1) on conflict do nothing" << all;
        QTest::newRow("read the history") << "select count(*) from accounts_dep.change_log" << QStringList{"full"};
        QTest::newRow("read the codes") << "select count(*) from accounts_dep.access_code" << none;
        QTest::newRow("read the logins") << "select count(*) from accounts_dep.role_login" << none;
        // A journal row's price is the rule's (the lowest norm price, x2 on a day off, x1.2 in
        // shift 3, x1.5 in shift 4), its mark "no": whoever writes it.
        const QString addEntry = "insert into accounts_dep.smena(w_id, i_id, o_id, kol_vo, brak, data, smena, cena, color, time, ok, vvod, prize) "
                                 "values (%W, %P, %O, 5, 0, '2024-04-03', %1, %2, 0, 4, '%3', now(), 0)";
        const QStringList adders{"foreman", "full"};
        QTest::newRow("add an entry") << addEntry.arg(1).arg("1.25").arg("no") << adders;
        QTest::newRow("add an entry, day off") << addEntry.arg(1).arg("2.5").arg("no") << adders;
        QTest::newRow("add an entry, shift 3") << addEntry.arg(3).arg("1.5").arg("no") << adders;
        QTest::newRow("add an entry, shift 4, day off") << addEntry.arg(4).arg("3.75").arg("no") << adders;
        QTest::newRow("price x1000") << addEntry.arg(1).arg("1250").arg("no") << none;
        QTest::newRow("price x0.5") << addEntry.arg(1).arg("0.625").arg("no") << none;
        QTest::newRow("shift 3's factor in shift 4") << addEntry.arg(4).arg("1.5").arg("no") << none;
        QTest::newRow("another norm's price") << addEntry.arg(1).arg("1.4").arg("no") << none;
        QTest::newRow("no price") << addEntry.arg(1).arg("null").arg("no") << none;
        QTest::newRow("added already accepted") << addEntry.arg(1).arg("1.25").arg("ok") << none;
        QTest::newRow("added hidden") << addEntry.arg(1).arg("1.25").arg("ta") << none;
        QTest::newRow("change the price") << "update accounts_dep.smena set cena = 99 where id = %E" << none;
        QTest::newRow("change the price to the rule's") << "update accounts_dep.smena set cena = 1.25 where id = %E" << QStringList{"full"};
        QTest::newRow("keep the price, another operation") << "update accounts_dep.smena set o_id = %O2 where id = %E" << none;
        QTest::newRow("the rule's price of another operation") << "update accounts_dep.smena set o_id = %O2, cena = 7 where id = %E"
                                                              << QStringList{"full"};
        // The timesheet's hours are the server's sums of the journal.
        QTest::newRow("post hours") << "update accounts_dep.h_tabel set d2 = 4 where w_id = %W" << none;
        QTest::newRow("post a new month") << "insert into accounts_dep.h_tabel(w_id, smena, month, year, d1) values (%W, 1, 5, 2024, 8)"
                                          << none;
        QTest::newRow("delete timesheet rows") << "delete from accounts_dep.h_tabel where month = 4" << none;
        QTest::newRow("empty the timesheet") << "truncate accounts_dep.h_tabel" << none;
        QTest::newRow("post a day by the rule") << "select accounts_dep.post_day_hours(%W, 1, '2024-04-02', true)" << adders;
        QTest::newRow("rebuild a month") << "select accounts_dep.rebuild_month(4, 2024)" << QStringList{"full"};
        QTest::newRow("accept an entry") << "update accounts_dep.smena set ok = 'ok' where id = %E" << QStringList{"storekeeper", "full"};
        QTest::newRow("change an entry") << "update accounts_dep.smena set kol_vo = 50 where id = %E" << QStringList{"full"};
        QTest::newRow("accept and change") << "update accounts_dep.smena set ok = 'ok', kol_vo = 50 where id = %E" << QStringList{"full"};
        QTest::newRow("delete an entry") << "delete from accounts_dep.smena where id = %E" << QStringList{"full"};
        QTest::newRow("a kind") << "insert into accounts_dep.vid_oper(vid) values ('Сварка')" << QStringList{"full"};
        QTest::newRow("a product") << "insert into cmn_gds_and_srv.gds_and_srv(s_caption, s_description, id_msm_bs, massa) values ('КР-2', '', 6, 1)"
                                   << QStringList{"full"};
        QTest::newRow("a worker") << "insert into accounts_dep.person(fio, s_staffpos_hl) values ('Петров П.П.', '')" << QStringList{"full"};
        QTest::newRow("close a month") << "insert into accounts_dep.closed_month(year, month) values (2024, 4)" << QStringList{"full"};
        QTest::newRow("empty the journal") << "truncate accounts_dep.smena" << QStringList{"full"};
        QTest::newRow("reference checks off") << "set session_replication_role = replica" << none;
        QTest::newRow("the import's rights") << "set role tabel_import" << QStringList{"full"};
        QTest::newRow("alter a table") << "alter table accounts_dep.smena add column extra integer" << none;
        QTest::newRow("triggers off") << "alter table accounts_dep.smena disable trigger user" << none;
        QTest::newRow("one trigger off") << "alter table accounts_dep.change_log disable trigger change_log_guard" << none;
        QTest::newRow("drop a trigger") << "drop trigger smena_track_upd on accounts_dep.smena" << none;
        QTest::newRow("write history") << "insert into accounts_dep.change_log(table_name, operation) values ('smena', 'D')" << none;
        QTest::newRow("change history") << "update accounts_dep.change_log set db_user = 'nobody'" << none;
        QTest::newRow("delete history") << "delete from accounts_dep.change_log" << none;
        // A grant of what one may not grant is not an error for the server, only a warning:
        // it must change nothing (the rights are in the fingerprint).
        QTest::newRow("grant on history") << "grant delete on accounts_dep.change_log to public" << QStringList{"without effect"};
        QTest::newRow("grant on the journal") << "grant update on accounts_dep.smena to tabel_planner" << QStringList{"without effect"};
        QTest::newRow("grant a group") << "grant tabel_full to tabel_signin" << none;
        QTest::newRow("another group's rights") << "set role tabel_full" << QStringList{"full"};
        QTest::newRow("the owner's rights") << "set role tabel_owner" << none;
        QTest::newRow("a table of one's own") << "create table public.mine (id integer)" << none;
        QTest::newRow("a code of one's own") << "select accounts_dep.set_access_code('full', 'mine')" << none;
        QTest::newRow("a function in the schema") << "create function accounts_dep.mine() returns int language sql as 'select 1'" << none;
    }
    void eachRoleMayDoWhatItsWindowsDoAndNothingElse()
    {
        QFETCH(QString, sql);
        QFETCH(QStringList, allowed);
        sql.replace(QStringLiteral("%W"), QString::number(worker))
            .replace(QStringLiteral("%P"), QString::number(product))
            .replace(QStringLiteral("%O2"), QString::number(secondOperation))
            .replace(QStringLiteral("%O"), QString::number(operation))
            .replace(QStringLiteral("%E"), QString::number(entry));
        for (const QString& role : {QStringLiteral("planner"), QStringLiteral("foreman"), QStringLiteral("storekeeper"), QStringLiteral("full")}) {
            auto dm = connectAs(logins.value(role));
            const QString before = fingerprint();
            if (allowed.contains(role)) {
                SqlRun::begin(dm->connectionName());
                try {
                    dm->execute(sql);
                } catch (const DbError& e) {
                    SqlRun::rollback(dm->connectionName());
                    QFAIL(qPrintable(QStringLiteral("%1 was refused: %2").arg(role, e.message())));
                }
                SqlRun::rollback(dm->connectionName());
            } else if (allowed.contains(QStringLiteral("without effect"))) {
                try {
                    dm->execute(sql);
                } catch (const DbError&) {
                }
            } else {
                bool refused = false;
                try {
                    dm->execute(sql);
                } catch (const DbError&) {
                    refused = true;
                }
                QVERIFY2(refused, qPrintable(QStringLiteral("%1 was allowed").arg(role)));
            }
            QCOMPARE(fingerprint(), before);
        }
    }

    // Each history row names the role the server knows the session has, whatever name
    // the program gives itself.
    void theHistoryNamesTheRoleTheServerKnows()
    {
        auto foreman = connectAs(logins.value(QStringLiteral("foreman")));
        foreman->execute(QStringLiteral("set application_name = 'Tabel 20240101.1 full'"));
        foreman->execute(QStringLiteral("select accounts_dep.post_day_hours(%1, 1, '2024-05-02', true)").arg(worker));
        auto storekeeper = connectAs(logins.value(QStringLiteral("storekeeper")));
        storekeeper->execute(QStringLiteral("update accounts_dep.smena set ok = 'ok' where id = %1").arg(entry));
        QCOMPARE(adminScalar(QStringLiteral("select string_agg(db_role || ':' || table_name, ',' order by id) "
                                            "from accounts_dep.change_log where db_role is not null and db_role <> 'admin'")),
                 QStringLiteral("foreman:h_tabel,storekeeper:smena"));
        QCOMPARE(adminScalar(QStringLiteral("select app_name from accounts_dep.change_log where db_role = 'foreman'")),
                 QStringLiteral("Tabel 20240101.1 full"));
        QCOMPARE(adminScalar(QStringLiteral("select count(*) from accounts_dep.change_log where db_role = 'admin'")).toInt() > 0, true);
    }

    // A changed code replaces the role's old codes; the new one gets in.
    void aChangedCodeReplacesTheOldOnes()
    {
        admin->execute(QStringLiteral("select accounts_dep.set_access_code('full', 'новый-код')"));
        QCOMPARE(signIn(QStringLiteral("0583")).role, Role::None);
        QCOMPARE(signIn(QStringLiteral("61370327")).role, Role::None);
        QCOMPARE(signIn(QStringLiteral("новый-код")).role, Role::FullAccess);
        QVERIFY_THROWS_EXCEPTION(DbError, admin->execute(QStringLiteral("select accounts_dep.set_access_code('planner', 'новый-код')")));
        QVERIFY_THROWS_EXCEPTION(DbError, admin->execute(QStringLiteral("select accounts_dep.set_access_code('planner', ' ')")));
        admin->execute(QStringLiteral("select accounts_dep.set_access_code('full', '0583')"));
        QCOMPARE(signIn(QStringLiteral("0583")).role, Role::FullAccess);
    }

    // Nothing of the schema belongs to an account that can log in.
    void theOwnerCannotLogIn()
    {
        QCOMPARE(adminScalar(QStringLiteral("select rolcanlogin::text || rolsuper::text from pg_roles where rolname = 'tabel_owner'")),
                 QStringLiteral("falsefalse"));
        QCOMPARE(adminScalar(QStringLiteral(
                     "select count(*) from (select relowner o from pg_class where relnamespace in "
                     "  (select oid from pg_namespace where nspname in ('accounts_dep', 'cmn_contractor', 'cmn_gds_and_srv')) "
                     " union all select proowner from pg_proc where pronamespace = 'accounts_dep'::regnamespace "
                     " union all select datdba from pg_database where datname = current_database()) x "
                     "where pg_get_userbyid(o) <> 'tabel_owner'")),
                 QStringLiteral("0"));
    }
};

QTEST_MAIN(AccessTest)
#include "tst_access.moc"
