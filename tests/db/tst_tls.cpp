#include "core/roles.h"
#include "db/connectionstring.h"
#include "db/datamodule.h"
#include "ownserver.h"
#include "support/testdb.h"

#include <QProcess>
#include <QtTest>

// Encrypted connections: a server of the test's own with TLS switched on by a certificate
// of a certificate authority made here; the workstation's TLS mode decides whether the
// connection is encrypted and whether the server's certificate is checked.
class TlsTest : public QObject {
    Q_OBJECT
    std::unique_ptr<OwnServer> server;
    std::unique_ptr<TestDatabase> db;
    QTemporaryDir files;
    ConnectionString::Account full;

    QString file(const QString& name) const { return files.filePath(name); }
    void openssl(const QStringList& args)
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QStringLiteral("openssl"), args);
        QVERIFY(p.waitForFinished(60000));
        QVERIFY2(p.exitCode() == 0, p.readAll().constData());
    }
    // A certificate authority, and a server certificate it signed for localhost.
    void makeAuthority(const QString& name)
    {
        openssl({QStringLiteral("req"), QStringLiteral("-new"), QStringLiteral("-x509"), QStringLiteral("-days"), QStringLiteral("2"),
                 QStringLiteral("-nodes"), QStringLiteral("-newkey"), QStringLiteral("rsa:2048"), QStringLiteral("-subj"),
                 QStringLiteral("/CN=%1").arg(name), QStringLiteral("-keyout"), file(name + QStringLiteral(".key")),
                 QStringLiteral("-out"), file(name + QStringLiteral(".crt"))});
    }
    QString composed(const QString& server, const QString& mode, const QString& rootCert = {}) const
    {
        return ConnectionString::compose(db->name(), server, server_port(), full, mode, rootCert);
    }
    int server_port() const { return server->port(); }
    // Connects as the full-access login; answers whether the session is encrypted, or
    // the driver's refusal.
    QString encrypted(const QString& connection) const
    {
        DataModule dm;
        if (!dm.connectTo(connection))
            return QStringLiteral("refused: ") + dm.lastError();
        return dm.select(QStringLiteral("select ssl from pg_stat_ssl where pid = pg_backend_pid()")).rows.first().value(0).toBool()
            ? QStringLiteral("encrypted")
            : QStringLiteral("plain");
    }

private slots:
    void initTestCase()
    {
        QVERIFY(files.isValid());
        server = std::make_unique<OwnServer>();
        qputenv("TABEL_TEST_PORT", QByteArray::number(server->port()));
        db = std::make_unique<TestDatabase>(QStringLiteral("tls"));
        DataModule signIn;
        QVERIFY(signIn.connectTo(TestDatabase::connectionStringFor(db->name())));
        full = Roles::signIn(signIn, QStringLiteral("0583")).account;
        QVERIFY(!full.user.isEmpty());

        makeAuthority(QStringLiteral("plant-ca"));
        makeAuthority(QStringLiteral("other-ca"));
        openssl({QStringLiteral("req"), QStringLiteral("-new"), QStringLiteral("-nodes"), QStringLiteral("-newkey"), QStringLiteral("rsa:2048"),
                 QStringLiteral("-subj"), QStringLiteral("/CN=localhost"), QStringLiteral("-keyout"), file(QStringLiteral("server.key")),
                 QStringLiteral("-out"), file(QStringLiteral("server.csr"))});
        QFile ext(file(QStringLiteral("server.ext")));
        QVERIFY(ext.open(QIODevice::WriteOnly));
        ext.write("subjectAltName=DNS:localhost,IP:127.0.0.1\n");
        ext.close();
        openssl({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), file(QStringLiteral("server.csr")),
                 QStringLiteral("-CA"), file(QStringLiteral("plant-ca.crt")), QStringLiteral("-CAkey"), file(QStringLiteral("plant-ca.key")),
                 QStringLiteral("-CAcreateserial"), QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-extfile"),
                 file(QStringLiteral("server.ext")), QStringLiteral("-out"), file(QStringLiteral("server.crt"))});
        // The server's files in its own folder, its key readable by it alone.
        for (const QString& name : {QStringLiteral("server.crt"), QStringLiteral("server.key")}) {
            const QString target = server->folder() + u'/' + name;
            QVERIFY(QFile::copy(file(name), target));
            QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
            server->giveToServer(target);
        }
    }
    void cleanupTestCase()
    {
        db.reset();
        server.reset();
    }

    // Before TLS is on, a workstation that requires it is refused; one that allows it
    // works unencrypted.
    void withoutTlsOnTheServer()
    {
        QCOMPARE(encrypted(composed(QStringLiteral("localhost"), QStringLiteral("allow"))), QStringLiteral("plain"));
        QVERIFY(encrypted(composed(QStringLiteral("localhost"), QStringLiteral("require"))).startsWith(QStringLiteral("refused: ")));
    }

    void withTlsOnTheServer_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("authority");
        QTest::addColumn<QString>("expected");
        QTest::newRow("required") << "localhost" << "require" << "" << "encrypted";
        QTest::newRow("checked against the plant's authority") << "localhost" << "verify-full" << "plant-ca" << "encrypted";
        QTest::newRow("checked, by address") << "127.0.0.1" << "verify-full" << "plant-ca" << "encrypted";
        QTest::newRow("a certificate of another authority") << "localhost" << "verify-full" << "other-ca" << "refused";
        QTest::newRow("switched off by the workstation") << "localhost" << "disable" << "" << "plain";
    }
    void withTlsOnTheServer()
    {
        QFETCH(QString, server);
        QFETCH(QString, mode);
        QFETCH(QString, authority);
        QFETCH(QString, expected);
        const QString folder = this->server->folder();
        this->server->admin(QStringLiteral("postgres"), QStringLiteral("alter system set ssl_cert_file = '%1/server.crt'").arg(folder));
        this->server->admin(QStringLiteral("postgres"), QStringLiteral("alter system set ssl_key_file = '%1/server.key'").arg(folder));
        this->server->admin(QStringLiteral("postgres"), QStringLiteral("alter system set ssl = on"));
        this->server->admin(QStringLiteral("postgres"), QStringLiteral("select pg_reload_conf()"));
        QTest::qWait(300);
        const QString answer = encrypted(composed(server, mode, authority.isEmpty() ? QString() : file(authority + QStringLiteral(".crt"))));
        QVERIFY2(answer.startsWith(expected), qPrintable(answer));
    }

    // The whole sign-in over an encrypted connection, from the installation's setting.
    void theSignInOverTls()
    {
        const auto setting = ConnectionString::parseSetting(
            QStringLiteral("server = localhost\ndatabase = %1\nport = %2\nsslmode = verify-full\nsslrootcert = %3\n")
                .arg(db->name()).arg(server->port()).arg(file(QStringLiteral("plant-ca.crt"))));
        QVERIFY(setting.problems.isEmpty());
        DataModule dm;
        QVERIFY2(dm.connectTo(ConnectionString::installedDefault(setting)), qPrintable(dm.lastError()));
        const Roles::SignInAnswer answer = Roles::signIn(dm, QStringLiteral("quolbin"));
        QCOMPARE(answer.role, Role::Foreman);
        QVERIFY(dm.connectTo(ConnectionString::withAccount(dm.connectionString(), answer.account)));
        QCOMPARE(dm.select(QStringLiteral("select ssl::text || ' ' || accounts_dep.session_role() from pg_stat_ssl "
                                          "where pid = pg_backend_pid()")).rows.first().value(0).toString(),
                 QStringLiteral("true foreman"));
    }
};

QTEST_MAIN(TlsTest)
#include "tst_tls.moc"
