#include "import/legacyimport.h"
#include "import/privateodbc.h"
#include "db/dberror.h"
#include "support/testdb.h"

#include <QFile>
#include <QtTest>

// The import on a workstation where the old database's data source is not declared:
// it does not start, and says which name is missing and where it is declared, with the
// driver's own words below. (unixODBC reads its ini files once per process, so this
// odbc.ini is written before the process's first connection.)
class ImportSourcesTest : public QObject {
    Q_OBJECT
    std::unique_ptr<PrivateOdbc> odbc;
    std::unique_ptr<TestDatabase> db;

private slots:
    void initTestCase()
    {
        const QString target = QStringLiteral("importsources_%1_1").arg(QCoreApplication::applicationPid());
        odbc = std::make_unique<PrivateOdbc>(target);
        // Only the new database is declared.
        QFile ini(odbc->path(QStringLiteral("odbc.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ini.write(QStringLiteral("[Tabel_PgSQL]\nDriver=PostgreSQL Unicode\nServername=127.0.0.1\nPort=%1\n"
                                 "Database=%2\nUsername=sys\nPassword=plomvux\n")
                      .arg(TestDatabase::port())
                      .arg(target)
                      .toUtf8());
        ini.close();
        db = std::make_unique<TestDatabase>(QStringLiteral("importsources"));
    }
    void cleanupTestCase() { db.reset(); }

    void aMissingDataSourceIsNamed()
    {
        db->exec(QStringLiteral("insert into accounts_dep.vid_oper(vid) values ('Гибка')"));
        LegacyImport import(db->dm());
        QString message;
        try {
            import.run();
        } catch (const DbError& e) {
            message = e.message();
        }
        QVERIFY2(message.startsWith(QStringLiteral("Перенос данных не начат: не объявлен источник данных ODBC «Tabel».\n")),
                 qPrintable(message));
        QVERIFY(!message.contains(QStringLiteral("«Tabel_PgSQL»")));
        QVERIFY(message.contains(QStringLiteral("odbc.ini")));
        QVERIFY(message.contains(QStringLiteral("«Перенос данных из старой базы»")));
        // The driver manager's own words below.
        QVERIFY2(message.contains(QStringLiteral("Data source name not found"), Qt::CaseInsensitive), qPrintable(message));
        // Nothing was touched.
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from accounts_dep.vid_oper")).toInt(), 1);
    }
};

QTEST_MAIN(ImportSourcesTest)
#include "tst_importsources.moc"
