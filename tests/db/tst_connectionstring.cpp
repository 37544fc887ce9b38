#include "db/connectionstring.h"

#include <QtTest>

// The connection chosen at start: the command line first, then the installation's
// setting file, then the built-in default.
class ConnectionStringTest : public QObject {
    Q_OBJECT

    static QString settingText(const QString& server, const QString& database, const QString& port)
    {
        return QStringLiteral("# the plant's server\nserver = %1\ndatabase = %2\nport = %3\n").arg(server, database, port);
    }

private slots:
    void commandLineThenSettingThenBuiltIn_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("expected");
        const QString builtIn = ConnectionString::builtInDefault();
        const QString full = settingText(QStringLiteral("db.plant.local"), QStringLiteral("zavod"), QStringLiteral("5433"));
        QTest::newRow("nothing anywhere") << QStringList{} << QString() << builtIn;
        QTest::newRow("setting without values") << QStringList{} << QStringLiteral("# server = x\n\n") << builtIn;
        QTest::newRow("setting") << QStringList{} << full
                                 << ConnectionString::compose(QStringLiteral("zavod"), QStringLiteral("db.plant.local"), 5433);
        QTest::newRow("setting with only the server") << QStringList{} << QStringLiteral("server=db7\n")
                                                      << ConnectionString::compose(QStringLiteral("kesta_erp"), QStringLiteral("db7"));
        QTest::newRow("empty values keep the built-in parts") << QStringList{} << QStringLiteral("server =\ndatabase=\nport=\n") << builtIn;
        QTest::newRow("command line before the setting") << QStringList{QStringLiteral("other"), QStringLiteral("srv2")} << full
                                                         << ConnectionString::compose(QStringLiteral("other"), QStringLiteral("srv2"));
        QTest::newRow("a database alone on the command line is ignored") << QStringList{QStringLiteral("other")} << full
                                                  << ConnectionString::compose(QStringLiteral("zavod"), QStringLiteral("db.plant.local"), 5433);
        QTest::newRow("empty database and a server on the command line") << QStringList{QString(), QStringLiteral("srv2")} << full
                                                          << ConnectionString::compose(QString(), QStringLiteral("srv2"));
        QTest::newRow("CRLF, quotes and capital keys") << QStringList{} << QStringLiteral("SERVER = \"db9\"\r\nPort=6000\r\n")
                                                       << ConnectionString::compose(QStringLiteral("kesta_erp"), QStringLiteral("db9"), 6000);
        QTest::newRow("comments after the values") << QStringList{} << QStringLiteral("server = db9   # the plant's\nport = 5433 #\n")
                                                   << ConnectionString::compose(QStringLiteral("kesta_erp"), QStringLiteral("db9"), 5433);
        QTest::newRow("the last line of a key counts") << QStringList{} << QStringLiteral("server=a\nserver=b\n")
                                                       << ConnectionString::compose(QStringLiteral("kesta_erp"), QStringLiteral("b"));
    }
    void commandLineThenSettingThenBuiltIn()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, setting);
        QFETCH(QString, expected);
        const auto parsed = ConnectionString::parseSetting(setting);
        QVERIFY2(parsed.problems.isEmpty(), qPrintable(parsed.problems.join(QLatin1Char('\n'))));
        QCOMPARE(ConnectionString::fromArguments(args, parsed), expected);
    }

    void theDocumentedTextStays()
    {
        const QString s = ConnectionString::installedDefault(ConnectionString::parseSetting(settingText(
            QStringLiteral("db.plant.local"), QStringLiteral("zavod"), QStringLiteral("5433"))));
        QCOMPARE(s, QStringLiteral("DRIVER={PostgreSQL UNICODE};DATABASE=zavod;SERVER=db.plant.local;PORT=5433;UID=tabel_signin;PWD=tabel-vhod;SSLmode=allow;"
                                   "ReadOnly=0;Protocol=7.4;FakeOidIndex=0;ShowOidColumn=0;RowVersioning=0;ShowSystemTables=0;Fetch=100;UnknownSizes=0;MaxVarcharSize=255;MaxLongVarcharSize=8190;"
                                   "Debug=0;CommLog=0;UseDeclareFetch=0;TextAsLongVarchar=1;UnknownsAsLongVarchar=0;BoolsAsChar=1;Parse=0;ExtraSysTablePrefixes=;LFConversion=1;UpdatableCursors=1;"
                                   "TrueIsMinus1=0;BI=0;ByteaAsLongVarBinary=1;UseServerSidePrepare=1;LowerCaseIdentifier=0;D6=-101;OptionalErrors=0;XaOpt=1"));
        QCOMPARE(ConnectionString::fromArguments({}), ConnectionString::builtInDefault());
    }

    // The installation's TLS mode goes into the string, for a server of the setting and
    // one of the command line alike; without one the documented "allow" stays.
    void theTlsModeOfTheSetting_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("expected");
        QTest::newRow("none") << QStringLiteral("server = db\n") << QStringList{} << QStringLiteral(";SSLmode=allow;ReadOnly=0;");
        QTest::newRow("require") << QStringLiteral("server = db\nsslmode = require\n") << QStringList{}
                                 << QStringLiteral(";SSLmode=require;ReadOnly=0;");
        QTest::newRow("verify-full with the plant's authority")
            << QStringLiteral("server = db\nsslmode = verify-full\nsslrootcert = /etc/tabel/server.crt\n") << QStringList{}
            << QStringLiteral(";SSLmode=verify-full;pqopt={sslrootcert=/etc/tabel/server.crt};ReadOnly=0;");
        QTest::newRow("command line") << QStringLiteral("sslmode = require\n") << QStringList{QStringLiteral("b"), QStringLiteral("s")}
                                      << QStringLiteral("DATABASE=b;SERVER=s;PORT=5432;UID=tabel_signin;PWD=tabel-vhod;SSLmode=require;ReadOnly=0;");
    }
    void theTlsModeOfTheSetting()
    {
        QFETCH(QString, setting);
        QFETCH(QStringList, args);
        QFETCH(QString, expected);
        const auto parsed = ConnectionString::parseSetting(setting);
        QVERIFY2(parsed.problems.isEmpty(), qPrintable(parsed.problems.join(QLatin1Char('\n'))));
        const QString s = ConnectionString::fromArguments(args, parsed);
        QVERIFY2(s.contains(expected), qPrintable(s));
    }

    // Several servers: the driver names them all and the server's library keeps the one
    // that accepts writes; ports that differ go to the library, which alone knows lists of
    // them. One server keeps the documented text.
    void severalServers_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("expected");
        const QString attrs = QStringLiteral("target_session_attrs=read-write connect_timeout=10");
        QTest::newRow("two servers, one port")
            << QStringLiteral("server = db1, db2\n")
            << QStringLiteral("SERVER=db1,db2;PORT=5432;UID=tabel_signin;PWD=tabel-vhod;SSLmode=allow;pqopt={%1};ReadOnly=0;").arg(attrs);
        QTest::newRow("the port line for both")
            << QStringLiteral("server = db1,db2\nport = 5433\n")
            << QStringLiteral("SERVER=db1,db2;PORT=5433;UID=");
        QTest::newRow("ports of their own")
            << QStringLiteral("server = db1:5433, db2\n")
            << QStringLiteral("SERVER=db1,db2;UID=tabel_signin;PWD=tabel-vhod;SSLmode=allow;pqopt={port=5433,5432 %1};ReadOnly=0;").arg(attrs);
        QTest::newRow("with the plant's authority")
            << QStringLiteral("server = db1, db2\nsslmode = verify-full\nsslrootcert = /etc/tabel/server.crt\n")
            << QStringLiteral(";SSLmode=verify-full;pqopt={%1 sslrootcert=/etc/tabel/server.crt};ReadOnly=0;").arg(attrs);
        QTest::newRow("one server with its port")
            << QStringLiteral("server = db1:5433\n")
            << QStringLiteral("SERVER=db1;PORT=5433;UID=tabel_signin;PWD=tabel-vhod;SSLmode=allow;ReadOnly=0;");
    }
    void severalServers()
    {
        QFETCH(QString, setting);
        QFETCH(QString, expected);
        const auto parsed = ConnectionString::parseSetting(setting);
        QVERIFY2(parsed.problems.isEmpty(), qPrintable(parsed.problems.join(QLatin1Char('\n'))));
        const QString s = ConnectionString::installedDefault(parsed);
        QVERIFY2(s.contains(expected), qPrintable(s));
        // The role's account goes in as into a string of one server.
        const QString role = ConnectionString::withAccount(s, {QStringLiteral("tabel_full"), QStringLiteral("x")});
        QCOMPARE(role, QString(s).replace(QStringLiteral("UID=tabel_signin;PWD=tabel-vhod;"), QStringLiteral("UID=tabel_full;PWD=x;")));
    }

    // The reports read on a hot standby: the report server of the setting, else any
    // standby among several servers; none with one server or a server on the command line.
    void theReportServer_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("expected");
        const QString attrs = QStringLiteral("pqopt={target_session_attrs=standby connect_timeout=10 "
                                             "options='-c default_transaction_read_only=on'};");
        QTest::newRow("report server named") << QStringLiteral("server = db1, db2\nreport_server = db2\n") << QStringList{}
                                             << QStringLiteral("DATABASE=kesta_erp;SERVER=db2;PORT=5432;UID=tabel_signin;PWD=tabel-vhod;SSLmode=allow;") + attrs;
        QTest::newRow("any standby of the list") << QStringLiteral("server = db1, db2:5433\ndatabase = zavod\n") << QStringList{}
                                                 << QStringLiteral("DATABASE=zavod;SERVER=db1,db2;UID=tabel_signin;PWD=tabel-vhod;SSLmode=allow;"
                                                                   "pqopt={port=5432,5433 target_session_attrs=standby");
        QTest::newRow("one server") << QStringLiteral("server = db1\n") << QStringList{} << QString();
        QTest::newRow("the command line's server") << QStringLiteral("server = db1, db2\nreport_server = db2\n")
                                                   << QStringList{QStringLiteral("b"), QStringLiteral("s")} << QString();
    }
    void theReportServer()
    {
        QFETCH(QString, setting);
        QFETCH(QStringList, args);
        QFETCH(QString, expected);
        const auto parsed = ConnectionString::parseSetting(setting);
        QVERIFY2(parsed.problems.isEmpty(), qPrintable(parsed.problems.join(QLatin1Char('\n'))));
        const QString s = ConnectionString::reportsFor(args, parsed);
        if (expected.isEmpty())
            QVERIFY2(s.isEmpty(), qPrintable(s));
        else
            QVERIFY2(s.contains(expected), qPrintable(s));
    }

    // Another account replaces the sign-in account and nothing else.
    void anotherAccountChangesOnlyTheAccount()
    {
        const QString signIn = ConnectionString::compose(QStringLiteral("zavod"), QStringLiteral("db"), 5433, ConnectionString::signInAccount(),
                                                         QStringLiteral("require"));
        const QString role = ConnectionString::withAccount(signIn, {QStringLiteral("tabel_full_zavod"), QStringLiteral("0a1b")});
        QCOMPARE(role, QString(signIn).replace(QStringLiteral("UID=tabel_signin;PWD=tabel-vhod;"),
                                               QStringLiteral("UID=tabel_full_zavod;PWD=0a1b;")));
        QVERIFY(!role.contains(QStringLiteral("tabel-vhod")));
    }

    // A line that cannot be used is left out and described; the good lines still count.
    void unusableLinesAreLeftOut_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("problem");
        QTest::newRow("no equals sign") << "server db2" << "нет знака «=»";
        QTest::newRow("unknown key") << "sever = db2" << "неизвестный параметр «sever»";
        QTest::newRow("port not a number") << "port = пять" << "порт должен быть числом";
        QTest::newRow("port out of range") << "port = 70000" << "порт должен быть числом";
        QTest::newRow("port zero") << "port = 0" << "порт должен быть числом";
        QTest::newRow("server with an option after it") << "server = db2;UID=postgres" << "недопустимое значение";
        QTest::newRow("database with a brace") << "database = a}b" << "недопустимое значение";
        QTest::newRow("server with a blank") << "server = db 2" << "недопустимое значение";
        QTest::newRow("empty name in a list") << "server = db1,,db2" << "пустое имя сервера в списке";
        QTest::newRow("port of a server out of range") << "server = db1, db2:70000" << "порт сервера должен быть числом";
        QTest::newRow("report server with an option after it") << "report_server = db2;UID=postgres" << "недопустимое значение: «db2;UID=postgres»";
        QTest::newRow("unknown TLS mode") << "sslmode = always" << "sslmode может быть";
        QTest::newRow("TLS mode in capitals") << "sslmode = REQUIRE" << "sslmode может быть";
        QTest::newRow("certificate file with an option after it") << "sslrootcert = /etc/ca.crt;UID=postgres" << "недопустимое значение";
    }
    void unusableLinesAreLeftOut()
    {
        QFETCH(QString, line);
        QFETCH(QString, problem);
        const auto parsed = ConnectionString::parseSetting(QStringLiteral("database = good\n") + line + QStringLiteral("\n"));
        QCOMPARE(parsed.problems.size(), 1);
        QVERIFY2(parsed.problems.first().startsWith(QStringLiteral("строка 2: ")), qPrintable(parsed.problems.first()));
        QVERIFY2(parsed.problems.first().contains(problem), qPrintable(parsed.problems.first()));
        QCOMPARE(parsed.database, QStringLiteral("good"));
        QCOMPARE(ConnectionString::installedDefault(parsed),
                 ConnectionString::compose(QStringLiteral("good"), QStringLiteral(TABEL_DEFAULT_SERVER)));
    }

    // The file itself: found through TABEL_CONFIG, read as UTF-8, missing means empty.
    void theSettingFileIsRead()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("tabel.conf"));
        qputenv("TABEL_CONFIG", path.toUtf8());
        QCOMPARE(ConnectionString::settingFilePath(), path);
        QCOMPARE(ConnectionString::forThisWorkstation({}), ConnectionString::builtInDefault());

        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("server = сервер-цеха\nport = 5440\n").toUtf8());
        file.close();
        QCOMPARE(ConnectionString::readSetting(path).server, QStringLiteral("сервер-цеха"));
        QCOMPARE(ConnectionString::forThisWorkstation({}),
                 ConnectionString::compose(QStringLiteral("kesta_erp"), QStringLiteral("сервер-цеха"), 5440));
        QCOMPARE(ConnectionString::forThisWorkstation({QStringLiteral("b"), QStringLiteral("s")}),
                 ConnectionString::compose(QStringLiteral("b"), QStringLiteral("s")));

        // A path that cannot be read as a file: described, and the built-in default used.
        qputenv("TABEL_CONFIG", dir.path().toUtf8());
        QCOMPARE(ConnectionString::readSetting(dir.path()).problems.size(), 1);
        QVERIFY(ConnectionString::readSetting(dir.path()).problems.first().startsWith(QStringLiteral("файл не читается")));
        QCOMPARE(ConnectionString::forThisWorkstation({}), ConnectionString::builtInDefault());
        qunsetenv("TABEL_CONFIG");
        QCOMPARE(ConnectionString::settingFilePath(), QStringLiteral("/etc/tabel/tabel.conf"));
    }
};

QTEST_GUILESS_MAIN(ConnectionStringTest)
#include "tst_connectionstring.moc"
