#include "directories/operationsstore.h"
#include "export/optest_xlsx.h"
#include "export/spreadsheet.h"
#include "support/testdb.h"
#include "ui/messages.h"

#include <QFile>
#include <QProcess>
#include <QtTest>

// The demo plant that scripts/run loads: it loads into a fresh database, and its price
// list, exported as a real workbook, carries a believable list price for every operation.
class DemoTest : public QObject {
    Q_OBJECT
    std::unique_ptr<TestDatabase> db;

private slots:
    void initTestCase()
    {
        db = std::make_unique<TestDatabase>(QStringLiteral("demo"));
        QProcess psql;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PGPASSWORD"), QStringLiteral("plomvux"));
        psql.setProcessEnvironment(env);
        psql.setProcessChannelMode(QProcess::MergedChannels);
        psql.start(QStringLiteral("psql"), {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                                            QString::number(TestDatabase::port()), QStringLiteral("-U"), QStringLiteral("sys"),
                                            QStringLiteral("-d"), db->name(), QStringLiteral("-X"), QStringLiteral("-q"),
                                            QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-f"),
                                            QStringLiteral(TABEL_SOURCE_DIR "/sql/demo.sql")});
        QVERIFY(psql.waitForFinished(120000));
        QVERIFY2(psql.exitCode() == 0, psql.readAll().constData());
    }
    void cleanupTestCase() { db.reset(); }

    void everyOperationHasItsBaseNormPriceAsListPrice()
    {
        QVERIFY(db->scalar(QStringLiteral("select count(*) from accounts_dep.oper")).toInt() > 20);
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from accounts_dep.oper where cena_new is null or cena_new <= 0")).toInt(), 0);
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from accounts_dep.oper o where cena_new <> "
                                           "(select round(min(price)::numeric, 2) from accounts_dep.norm n where n.o_id = o.id)"))
                     .toInt(),
                 0);
    }

    void thePriceListShowsThePrices()
    {
        QStringList opened;
        Spreadsheet::setViewer([&](const QString& path) {
            opened << path;
            return true;
        });
        Messages::Recorder recorder;
        OperationsStore store(db->dm());
        QTemporaryDir documents;
        Spreadsheet::setFolder(documents.path());
        const auto restore = qScopeGuard([] { Spreadsheet::setFolder(QString()); });
        Spreadsheet excel;
        QVERIFY(store.exportPriceList(excel));
        Spreadsheet::setViewer({});
        QVERIFY(recorder.shown.isEmpty());
        QCOMPARE(opened.size(), 1);
        const QList<QStringList> rows = optest::xlsx2csvRows(opened.first());
        QFile::remove(opened.first());
        QCOMPARE(rows.value(0).value(2), QStringLiteral("Цена"));
        const int operations = db->scalar(QStringLiteral("select count(*) from accounts_dep.oper")).toInt();
        QCOMPARE(rows.size(), operations + 1);
        for (int r = 1; r < rows.size(); ++r) {
            QString price = rows[r].value(2);
            bool ok = false;
            const double value = price.replace(u',', u'.').toDouble(&ok);
            QVERIFY2(ok && value > 0 && value < 100, qPrintable(rows[r].join(u'|')));
        }
    }
};

QTEST_MAIN(DemoTest)
#include "tst_demo.moc"
