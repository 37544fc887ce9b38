#include "db/connectionstring.h"

#include <QFile>
#include <QRegularExpression>
#include <QtDebug>

#ifndef TABEL_DEFAULT_SERVER
#define TABEL_DEFAULT_SERVER "localhost"
#endif
#ifndef TABEL_SETTING_FILE
#define TABEL_SETTING_FILE "/etc/tabel/tabel.conf"
#endif

namespace ConnectionString {

namespace {
const int kPlantPort = 5432;
const char* const kDefaultDatabase = "kesta_erp";

// What is wrong with the parts of a server list; empty when nothing is.
QString serverListProblem(const QStringList& parts)
{
    static const QRegularExpression unsafe(QStringLiteral("[;{}=\\s,]"));
    for (const QString& part : parts) {
        if (part.isEmpty())
            return QStringLiteral("пустое имя сервера в списке");
        const Server s = parseServer(part);
        if (s.host.isEmpty())
            return QStringLiteral("порт сервера должен быть числом от 1 до 65535");
        if (s.host.contains(unsafe))
            return QStringLiteral("недопустимое значение");
    }
    return {};
}

// The installation's TLS mode; "allow" when its setting file names none.
QString sslModeOf(const InstallationSetting& setting)
{
    return setting.sslMode.isEmpty() ? QStringLiteral("allow") : setting.sslMode;
}

// A server that does not answer within this time is passed over for the next one.
const int kConnectTimeoutSeconds = 10;

// The servers of a list "db1, db2:5433", each with its port (the given one when the
// part names none). The setting file's reader has checked the parts already.
QList<Server> serverList(const QString& text, int port)
{
    QList<Server> servers;
    for (const QString& part : text.split(u',', Qt::SkipEmptyParts)) {
        const Server s = parseServer(part.trimmed());
        if (!s.host.isEmpty())
            servers << Server{s.host, s.port > 0 ? s.port : port};
    }
    if (servers.isEmpty())
        servers << Server{text.trimmed(), port};
    return servers;
}

// The string for the servers: with one server, the driver's own SERVER and PORT; with
// several, their names in SERVER and their ports (when they differ) handed with the other
// options to the server's library, which alone knows lists of ports.
QString composeFor(const QString& database, const QList<Server>& servers, const Account& account,
                   const QString& sslMode, const QString& sslRootCert, const QString& libraryOptions)
{
    QStringList hosts, ports;
    for (const Server& s : servers) {
        hosts << s.host;
        ports << QString::number(s.port);
    }
    const bool samePort = ports.count(ports.first()) == ports.size();
    QStringList options;
    if (!samePort)
        options << QStringLiteral("port=%1").arg(ports.join(u','));
    if (!libraryOptions.isEmpty())
        options << libraryOptions;
    // The driver hands options it does not know itself to the server's library.
    if (!sslRootCert.isEmpty())
        options << QStringLiteral("sslrootcert=%1").arg(sslRootCert);
    const QString portOption = samePort ? QStringLiteral("PORT=%1;").arg(ports.first()) : QString();
    const QString libraryPart = options.isEmpty() ? QString() : QStringLiteral("pqopt={%1};").arg(options.join(u' '));
    return QStringLiteral("DRIVER={PostgreSQL UNICODE};DATABASE=%1;SERVER=%2;%3UID=%4;PWD=%5;SSLmode=%6;%7")
               .arg(database, hosts.join(u','), portOption, account.user, account.password, sslMode, libraryPart)
        + QStringLiteral("ReadOnly=0;Protocol=7.4;FakeOidIndex=0;ShowOidColumn=0;RowVersioning=0;"
                         "ShowSystemTables=0;Fetch=100;UnknownSizes=0;MaxVarcharSize=255;MaxLongVarcharSize=8190;")
        + QStringLiteral("Debug=0;CommLog=0;UseDeclareFetch=0;TextAsLongVarchar=1;UnknownsAsLongVarchar=0;"
                         "BoolsAsChar=1;Parse=0;ExtraSysTablePrefixes=;LFConversion=1;UpdatableCursors=1;")
        + QStringLiteral("TrueIsMinus1=0;BI=0;ByteaAsLongVarBinary=1;UseServerSidePrepare=1;"
                         "LowerCaseIdentifier=0;D6=-101;OptionalErrors=0;XaOpt=1");
}
}

Server parseServer(const QString& text)
{
    // "host:port"; an address with more than one colon is an IPv6 address without a port.
    static const QRegularExpression withPort(QStringLiteral("^([^:]+):(\\d{1,5})$"));
    const QRegularExpressionMatch m = withPort.match(text);
    if (!m.hasMatch())
        return {text, 0};
    const int port = m.captured(2).toInt();
    return port >= 1 && port <= 65535 ? Server{m.captured(1), port} : Server{};
}

Account signInAccount()
{
    return {QStringLiteral("tabel_signin"), QStringLiteral("tabel-vhod")};
}

QString compose(const QString& database, const QString& server, int port)
{
    return compose(database, server, port, signInAccount());
}

QString compose(const QString& database, const QString& server, int port, const Account& account,
                const QString& sslMode, const QString& sslRootCert)
{
    // Several servers: the server's library tries them in turn and keeps the one that
    // accepts writes, so a workstation finds the primary after a failover by itself.
    const QList<Server> servers = serverList(server, port);
    const bool several = servers.size() > 1;
    return composeFor(database, servers, account, sslMode, sslRootCert,
                      several ? QStringLiteral("target_session_attrs=read-write connect_timeout=%1").arg(kConnectTimeoutSeconds)
                              : QString());
}

QString composeForReports(const QString& database, const QString& servers, int port, const Account& account,
                          const QString& sslMode, const QString& sslRootCert)
{
    // Only a hot standby will do, and even one promoted while the connection stays open
    // refuses writes: reports never write.
    return composeFor(database, serverList(servers, port), account, sslMode, sslRootCert,
                      QStringLiteral("target_session_attrs=standby connect_timeout=%1 "
                                     "options='-c default_transaction_read_only=on'")
                          .arg(kConnectTimeoutSeconds));
}

QString withAccount(const QString& connectionString, const Account& account)
{
    static const QRegularExpression credentials(QStringLiteral(";UID=[^;]*;PWD=[^;]*;"));
    QString changed = connectionString;
    return changed.replace(credentials, QStringLiteral(";UID=%1;PWD=%2;").arg(account.user, account.password));
}

Account accountOf(const QString& connectionString)
{
    static const QRegularExpression credentials(QStringLiteral(";UID=([^;]*);PWD=([^;]*);"));
    const QRegularExpressionMatch m = credentials.match(connectionString);
    return m.hasMatch() ? Account{m.captured(1), m.captured(2)} : Account{};
}

QString builtInDefault()
{
    return compose(QString::fromLatin1(kDefaultDatabase), QStringLiteral(TABEL_DEFAULT_SERVER));
}

QString fromArguments(const QStringList& args)
{
    return fromArguments(args, InstallationSetting());
}

InstallationSetting parseSetting(const QString& text)
{
    InstallationSetting setting;
    // A value goes into the connection string as it is: the string's own separators
    // and braces would change other options, so such a value is refused.
    static const QRegularExpression unsafe(QStringLiteral("[;{}=\\s]"));
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) || line.startsWith(QLatin1Char(';')))
            continue;
        const QString where = QStringLiteral("строка %1").arg(i + 1);
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq < 0) {
            setting.problems << QStringLiteral("%1: нет знака «=»: %2").arg(where, line);
            continue;
        }
        const QString key = line.left(eq).trimmed().toLower();
        QString value = line.mid(eq + 1);
        static const QRegularExpression trailingComment(QStringLiteral("\\s#.*$"));
        value = value.remove(trailingComment).trimmed();
        if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
            value = value.mid(1, value.size() - 2).trimmed();
        static const QStringList known{QStringLiteral("server"), QStringLiteral("database"), QStringLiteral("port"),
                                       QStringLiteral("sslmode"), QStringLiteral("sslrootcert"),
                                       QStringLiteral("report_server")};
        if (!known.contains(key)) {
            setting.problems << QStringLiteral("%1: неизвестный параметр «%2»").arg(where, key);
            continue;
        }
        const bool serverList = key == QLatin1String("server") || key == QLatin1String("report_server");
        if (serverList) {
            // "db1, db2:5433": the names go into the string separated by commas alone.
            QStringList parts;
            for (const QString& part : value.split(u','))
                parts << part.trimmed();
            const QString problem = value.isEmpty() ? QString() : serverListProblem(parts);
            if (!problem.isEmpty()) {
                setting.problems << QStringLiteral("%1: %2: «%3»").arg(where, problem, value);
                continue;
            }
            value = value.isEmpty() ? QString() : parts.join(u',');
        }
        if (value.contains(unsafe)) {
            setting.problems << QStringLiteral("%1: недопустимое значение «%2»").arg(where, value);
            continue;
        }
        if (key == QLatin1String("port")) {
            bool ok = false;
            const int port = value.toInt(&ok);
            if (!value.isEmpty() && (!ok || port < 1 || port > 65535)) {
                setting.problems << QStringLiteral("%1: порт должен быть числом от 1 до 65535: «%2»").arg(where, value);
                continue;
            }
            setting.port = value.isEmpty() ? 0 : port;
        } else if (key == QLatin1String("sslmode")) {
            static const QStringList modes{QStringLiteral("disable"), QStringLiteral("allow"), QStringLiteral("prefer"),
                                           QStringLiteral("require"), QStringLiteral("verify-ca"), QStringLiteral("verify-full")};
            if (!value.isEmpty() && !modes.contains(value)) {
                setting.problems << QStringLiteral("%1: sslmode может быть %2: «%3»").arg(where, modes.join(QStringLiteral(", ")), value);
                continue;
            }
            setting.sslMode = value;
        } else if (key == QLatin1String("sslrootcert")) {
            setting.sslRootCert = value;
        } else if (key == QLatin1String("server")) {
            setting.server = value;
        } else if (key == QLatin1String("report_server")) {
            setting.reportServer = value;
        } else {
            setting.database = value;
        }
    }
    return setting;
}

InstallationSetting readSetting(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly)) {
        InstallationSetting setting;
        setting.problems << QStringLiteral("файл не читается: %1").arg(file.errorString());
        return setting;
    }
    return parseSetting(QString::fromUtf8(file.readAll()));
}

QString settingFilePath()
{
    const QString chosen = qEnvironmentVariable("TABEL_CONFIG");
    return chosen.isEmpty() ? QStringLiteral(TABEL_SETTING_FILE) : chosen;
}

QString installedDefault(const InstallationSetting& setting)
{
    return compose(setting.database.isEmpty() ? QString::fromLatin1(kDefaultDatabase) : setting.database,
                   setting.server.isEmpty() ? QStringLiteral(TABEL_DEFAULT_SERVER) : setting.server,
                   setting.port > 0 ? setting.port : kPlantPort, signInAccount(),
                   sslModeOf(setting), setting.sslRootCert);
}

QString fromArguments(const QStringList& args, const InstallationSetting& setting)
{
    const QString database = args.value(0);
    const QString server = args.value(1);
    // The installation's TLS mode holds for a server named on the command line too.
    return server.isEmpty() ? installedDefault(setting)
                            : compose(database, server, kPlantPort, signInAccount(),
                                      sslModeOf(setting),
                                      setting.sslRootCert);
}

InstallationSetting readInstalledSetting()
{
    const QString path = settingFilePath();
    const InstallationSetting setting = readSetting(path);
    for (const QString& problem : setting.problems)
        qWarning().noquote() << QStringLiteral("%1: %2 (пропущено)").arg(path, problem);
    return setting;
}

QString forThisWorkstation(const QStringList& args)
{
    return fromArguments(args, readInstalledSetting());
}

QString reportsFor(const QStringList& args, const InstallationSetting& setting)
{
    if (!args.value(1).isEmpty())
        return {};
    const QString servers = !setting.reportServer.isEmpty() ? setting.reportServer
        : setting.server.contains(u',')                     ? setting.server
                                                            : QString();
    if (servers.isEmpty())
        return {};
    return composeForReports(setting.database.isEmpty() ? QString::fromLatin1(kDefaultDatabase) : setting.database,
                             servers, setting.port > 0 ? setting.port : kPlantPort, signInAccount(),
                             sslModeOf(setting), setting.sslRootCert);
}


}
