#include "support/plantfixture.h"

#include <QtTest>

// The server-side rules the client relies on, checked on a fresh database.
class SchemaTest : public QObject {
    Q_OBJECT
    std::unique_ptr<TestDatabase> db;

    bool refused(const QString& sql) const
    {
        try {
            db->exec(sql);
            return false;
        } catch (const DbError&) {
            return true;
        }
    }

private slots:
    void initTestCase() { db = std::make_unique<TestDatabase>(QStringLiteral("schema")); }
    void cleanupTestCase() { db.reset(); }

    void aWorkerIsListedInTheSharedDirectoryUnderItsId()
    {
        const int id = Plant::worker(*db, QStringLiteral("О'Брайен П.П."));
        QCOMPARE(db->scalar(QStringLiteral("select s_caption from cmn_contractor.person where id=%1 and s_code='%1'").arg(id)).toString(),
                 QStringLiteral("О'Брайен П.П."));
        db->exec(QStringLiteral("update accounts_dep.person set fio='Петров П.П.' where id=%1").arg(id));
        QCOMPARE(db->scalar(QStringLiteral("select s_caption from cmn_contractor.person where id=%1").arg(id)).toString(),
                 QStringLiteral("Петров П.П."));
        // Deleting the worker keeps the name of its old journal rows.
        db->exec(QStringLiteral("delete from accounts_dep.person where id=%1").arg(id));
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from cmn_contractor.person where id=%1").arg(id)).toInt(), 1);
    }

    // Each of these would make a journal row match two persons or break the code casts.
    void personCodesThatWouldBreakTheJournalAreRefused_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::newRow("letters in the code") << "insert into cmn_contractor.person(id, s_caption, s_code) values (800001, 'x', '12a')";
        QTest::newRow("empty code") << "insert into cmn_contractor.person(id, s_caption, s_code) values (800002, 'x', '')";
        QTest::newRow("code taken") << "insert into cmn_contractor.person(id, s_caption, s_code) values (800003, 'x', '700001')";
        QTest::newRow("code is another's id") << "insert into cmn_contractor.person(id, s_caption, s_code) values (800004, 'x', '700002')";
        QTest::newRow("id is another's code") << "insert into cmn_contractor.person(id, s_caption, s_code) values (700001, 'x', '800005')";
    }
    void personCodesThatWouldBreakTheJournalAreRefused()
    {
        QFETCH(QString, sql);
        db->exec(QStringLiteral("delete from cmn_contractor.person where id >= 700000"));
        Plant::person(*db, 700000, QStringLiteral("Свой"), QStringLiteral("700000"));
        Plant::person(*db, 700002, QStringLiteral("Чужой"), QStringLiteral("700001"));
        QVERIFY(refused(sql));
    }

    void aCatalogueRowBecomesAProduct()
    {
        const qint64 id = Plant::product(*db, QStringLiteral("ПРН-40"), QStringLiteral("Профиль"), 2.5);
        const SqlRun::Result r = db->dm()->select(QStringLiteral("select marka, nom, massa from accounts_dep.izdel where id=%1").arg(id));
        QCOMPARE(r.rows.size(), 1);
        QCOMPARE(r.rows[0].value(0).toString(), QStringLiteral("ПРН-40"));
        QCOMPARE(r.rows[0].value(2).toDouble(), 2.5);
    }

    void timesheetRowsDefaultToZeroAndAreNeverTwins()
    {
        db->exec(QStringLiteral("insert into accounts_dep.h_tabel(smena, w_id, month, year, d7) values (1, 5, 2, 2024, 8)"));
        QCOMPARE(db->scalar(QStringLiteral("select d1+d2+d3+d4+d5+d6+d7+d8+d9+d10+d11+d12+d13+d14+d15+d16+d17+d18+d19+d20+d21+d22"
                                           "+d23+d24+d25+d26+d27+d28+d29+d30+d31 from accounts_dep.h_tabel where w_id=5"))
                     .toInt(),
                 8);
        QVERIFY(refused(QStringLiteral("insert into accounts_dep.h_tabel(smena, w_id, month, year, d8) values (1, 5, 2, 2024, 8)")));
    }

    void theBuildStampTableHoldsOneRow()
    {
        db->exec(QStringLiteral("insert into accounts_dep.ver(d, t) values (1, 1)"));
        QVERIFY(refused(QStringLiteral("insert into accounts_dep.ver(d, t) values (2, 2)")));
    }

    void anOperationInUseCannotBeDeleted()
    {
        const qint64 product = Plant::product(*db, QStringLiteral("КР-1"));
        const int op = Plant::operation(*db, product, Plant::kind(*db, QStringLiteral("Гибка")), 0, 1);
        Plant::Entry e;
        e.w_id = Plant::worker(*db, QStringLiteral("Иванов И.И.")); e.i_id = product; e.o_id = op; e.data = QDate(2024, 1, 9);
        Plant::entry(*db, e);
        QVERIFY(refused(QStringLiteral("delete from accounts_dep.oper where id=%1").arg(op)));
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from accounts_dep.norm where o_id=%1").arg(op)).toInt(), 1);
    }
};

QTEST_GUILESS_MAIN(SchemaTest)
#include "tst_schema.moc"
