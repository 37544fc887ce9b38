#include "db/connectionstring.h"

#ifndef TABEL_DEFAULT_SERVER
#define TABEL_DEFAULT_SERVER "localhost"
#endif

namespace ConnectionString {

QString compose(const QString& database, const QString& server, int port)
{
    return QStringLiteral("DRIVER={PostgreSQL UNICODE};DATABASE=") + database
        + QStringLiteral(";SERVER=") + server
        + QStringLiteral(";PORT=") + QString::number(port)
        + QStringLiteral(";UID=sys;PWD=plomvux;SSLmode=allow;")
        + QStringLiteral("ReadOnly=0;Protocol=7.4;FakeOidIndex=0;ShowOidColumn=0;RowVersioning=0;"
                         "ShowSystemTables=0;Fetch=100;UnknownSizes=0;MaxVarcharSize=255;MaxLongVarcharSize=8190;")
        + QStringLiteral("Debug=0;CommLog=0;UseDeclareFetch=0;TextAsLongVarchar=1;UnknownsAsLongVarchar=0;"
                         "BoolsAsChar=1;Parse=0;ExtraSysTablePrefixes=;LFConversion=1;UpdatableCursors=1;")
        + QStringLiteral("TrueIsMinus1=0;BI=0;ByteaAsLongVarBinary=1;UseServerSidePrepare=1;"
                         "LowerCaseIdentifier=0;D6=-101;OptionalErrors=0;XaOpt=1");
}

QString builtInDefault()
{
    return compose(QStringLiteral("kesta_erp"), QStringLiteral(TABEL_DEFAULT_SERVER));
}

QString fromArguments(const QStringList& args)
{
    const QString database = args.value(0);
    const QString server = args.value(1);
    return server.isEmpty() ? builtInDefault() : compose(database, server);
}

}
