#include "db/datamodule.h"
#include "db/dataset.h"
#include "db/dberror.h"
#include "db/odbcstatement.h"
#include "db/sqlrun.h"
#include "support/testdb.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>
#include <cmath>

// Statements run prepared and kept, and their rows read a block at a time through bound
// columns, against the real server and driver: every value must come out exactly as
// QSqlQuery reads it, however long, and a kept statement must never hand back stale rows.
class StatementReadingTest : public QObject {
    Q_OBJECT
    std::unique_ptr<TestDatabase> db;

    QString connection() const { return db->dm()->connectionName(); }

    // Statements prepared on the connection whose text holds the words (asked by a text
    // that does not hold them itself).
    int preparedCount(const QString& words)
    {
        QSqlQuery query(QSqlDatabase::database(connection()));
        query.prepare(QStringLiteral("select count(*) from pg_prepared_statements where strpos(statement, ?) > 0"));
        query.addBindValue(words);
        if (!query.exec() || !query.next())
            qFatal("%s", qPrintable(query.lastError().text()));
        return query.value(0).toInt();
    }

    // The rows as QSqlQuery reads them, value by value.
    QVector<QSqlRecord> readByQt(const QString& sql)
    {
        QSqlQuery query(QSqlDatabase::database(connection()));
        query.setForwardOnly(true);
        if (!query.exec(sql))
            qFatal("%s", qPrintable(query.lastError().text()));
        QVector<QSqlRecord> rows;
        while (query.next())
            rows.push_back(query.record());
        return rows;
    }

    void compareWithQt(const SqlRun::Table& table, const QVector<QSqlRecord>& expected, const QSqlRecord& fields)
    {
        QCOMPARE(table.rowCount(), expected.size());
        QCOMPARE(table.columnCount(), fields.count());
        // A real is the one type read differently: QSqlQuery gives it as text in the
        // desktop's number format, here it is a number.
        const int real = fields.indexOf(QStringLiteral("r"));
        for (int r = 0; r < expected.size() && real >= 0; ++r) {
            const QVariant v = table.value(r, real);
            QCOMPARE(v.isNull(), expected[r].value(real).isNull());
            QVERIFY(v.isNull() || v.typeId() == QMetaType::Double);
            if (!v.isNull())
                QCOMPARE(v.toDouble(), expected[r].value(real).toString().replace(u',', u'.').toDouble());
        }
        for (int c = 0; c < fields.count(); ++c) {
            QCOMPARE(table.fields.fieldName(c), fields.fieldName(c));
            if (c == real)
                continue;
            QVERIFY2(table.fields.field(c).metaType() == fields.field(c).metaType(),
                     qPrintable(QStringLiteral("%1: %2 instead of %3").arg(fields.fieldName(c), table.fields.field(c).metaType().name(),
                                                                          fields.field(c).metaType().name())));
        }
        for (int r = 0; r < expected.size(); ++r) {
            for (int c = 0; c < fields.count(); ++c) {
                if (c == real)
                    continue;
                const QVariant want = expected[r].value(c);
                const QVariant got = table.value(r, c);
                const bool bothNaN = got.typeId() == QMetaType::Double && want.typeId() == QMetaType::Double
                    && std::isnan(got.toDouble()) && std::isnan(want.toDouble());
                if (got.isNull() != want.isNull() || got.metaType() != want.metaType() || (got != want && !bothNaN))
                    QFAIL(qPrintable(QStringLiteral("row %1, column %2: %3 (%4) instead of %5 (%6)")
                                         .arg(r).arg(fields.fieldName(c), got.toString().left(40), got.metaType().name(),
                                              want.toString().left(40), want.metaType().name())));
            }
        }
    }

private slots:
    void initTestCase()
    {
        db = std::make_unique<TestDatabase>(QStringLiteral("reading"));
        // Every kind of column the plant's tables use, nulls among them, and rows wide
        // enough that a block holds only a few of them.
        db->exec(QStringLiteral(
            "create table public.kinds(n serial primary key, i int, s smallint, b bigint, num numeric(12,4), "
            "f float8, r real, d date, t time, ts timestamp, tx text, vc varchar(20), ch char(4), bo boolean, by bytea)"));
        db->exec(QStringLiteral(
            "insert into public.kinds(i, s, b, num, f, r, d, t, ts, tx, vc, ch, bo, by) values "
            "(1, 2, 9223372036854775807, 1234.5678, 0.1, 2.5, '29.02.2024', '23:59:58', '2024-03-07 12:34:56.789', "
            " 'Кронштейн КР-100', 'ёлка 😀 краска', 'ab', true, '\\x00ff10'), "
            "(-2147483648, -32768, -9223372036854775807, -0.0001, -1e300, -0.5, '01.01.2007', '00:00:00', '2007-01-01 00:00:00', "
            " '', '', '', false, ''), "
            "(null, null, null, null, null, null, null, null, null, null, null, null, null, null)"));
        // Numbers and dates outside the server's everyday text: not-a-number, infinities,
        // a number longer than its buffer, dates before Christ, fractions of a second.
        db->exec(QStringLiteral(
            "insert into public.kinds(num, f, d, ts) values "
            "('NaN', 'Infinity', 'infinity', 'infinity'), "
            "(12345678.1234, '-Infinity', '-infinity', '-infinity'), "
            "(null, 123456789012345678901234567890123456789012345678901234567890, '0044-03-15 BC', '2024-03-07 12:34:56.7895'), "
            "(0, 1.5e-300, '9999-12-31', '2024-03-07 12:34:56.1'), "
            "(-99999999.9999, 1e15, '0001-01-01', '2024-03-07 23:59:59.999999')"));
        // Values longer than any buffer bound for them, and one exactly at a column's limit.
        db->exec(QStringLiteral(
            "insert into public.kinds(tx, vc, by) select repeat('Ж', 20000) || 'конец', repeat('я', 20), "
            "decode(repeat('ab', 9000), 'hex') from generate_series(1, 3)"));
        db->exec(QStringLiteral(
            "insert into public.kinds(i, tx, d) select g, 'строка ' || g, date '2020-01-01' + g from generate_series(1, 2500) g"));
    }
    void cleanupTestCase() { db.reset(); }

    void valuesAndTypesAreThoseQtReads_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::newRow("every kind, nulls, long values, many blocks") << QStringLiteral("select * from public.kinds order by n");
        QTest::newRow("expressions and casts")
            << QStringLiteral("select n, i::numeric * 1.5 as x, (case when i > 0 then 'Да' else 'Нет' end) as word, "
                              "round(num, 2) as rounded, count(*) over () as total from public.kinds order by n");
        // A text equal to the row before's is shared, not read again: equal, changed to
        // one of the same length, empty, null, and runs across the blocks' borders.
        QTest::newRow("texts repeating row after row")
            << QStringLiteral("select n, tx from (values (1, 'Иванов'), (2, 'Иванов'), (3, ''), (4, ''), (5, null), "
                              "(6, 'Иванов'), (7, 'Иванова'), (8, 'Иванов'), (9, null), (10, ''), (11, 'Кот'), "
                              "(12, 'Кит'), (13, 'Кит')) v(n, tx) order by n");
        QTest::newRow("repeated texts over many blocks")
            << QStringLiteral("select n, 'строка ' || (i / 700) as tx, (case when i % 5 = 0 then null else 'ёж' end) as e "
                              "from public.kinds where i is not null order by n");
        QTest::newRow("no rows") << QStringLiteral("select * from public.kinds where false");
    }
    // The first run sends the text whole, the second prepares it, the third runs the kept
    // statement with its columns still bound: all three read the same.
    void valuesAndTypesAreThoseQtReads()
    {
        QFETCH(QString, sql);
        const QVector<QSqlRecord> expected = readByQt(sql);
        QSqlQuery header(QSqlDatabase::database(connection()));
        QVERIFY(header.exec(sql));
        const QSqlRecord fields = header.record();
        for (int run = 1; run <= 3; ++run) {
            compareWithQt(SqlRun::selectTable(connection(), sql), expected, fields);
            if (QTest::currentTestFailed())
                QFAIL(qPrintable(QStringLiteral("run %1 of the same text").arg(run)));
        }
        // The records of SqlRun::select carry the same values.
        const SqlRun::Result result = SqlRun::select(connection(), sql);
        QCOMPARE(result.rows.size(), expected.size());
        const int real = fields.indexOf(QStringLiteral("r"));
        for (int c = 0; c < fields.count() && !expected.isEmpty(); ++c)
            if (c != real)
                QCOMPARE(result.rows.last().value(c), expected.last().value(c));   // the last row has no NaN
    }

    void longValuesComeWhole()
    {
        const SqlRun::Table table = SqlRun::selectTable(
            connection(), QStringLiteral("select tx, vc, by from public.kinds where length(tx) > 10000 order by n"));
        QCOMPARE(table.rowCount(), 3);
        for (int r = 0; r < 3; ++r) {
            const QString text = table.value(r, 0).toString();
            QCOMPARE(text.size(), 20005);
            QVERIFY(text.endsWith(QStringLiteral("конец")));
            QCOMPARE(table.value(r, 1).toString(), QString(20, QChar(u'я')));
            QCOMPARE(table.value(r, 2).toByteArray(), QByteArray::fromHex(QByteArray("ab").repeated(9000)));
        }
    }

    void keptStatementsGiveFreshRowsForNewValues()
    {
        db->exec(QStringLiteral("create table public.counts(k int, v text)"));
        const QString sql = QStringLiteral("select v from public.counts where k = :k order by v");
        auto texts = [&](int k) {
            QStringList list;
            const SqlRun::Table t = SqlRun::selectTable(connection(), sql, {{QStringLiteral("k"), k}});
            for (int r = 0; r < t.rowCount(); ++r)
                list << t.value(r, 0).toString();
            return list;
        };
        QCOMPARE(texts(1), QStringList());
        db->exec(QStringLiteral("insert into public.counts values (1, 'а'), (2, 'б')"));
        for (int run = 0; run < 8; ++run) {   // past the runs after which a server would switch plans
            QCOMPARE(texts(1), QStringList{QStringLiteral("а")});
            QCOMPARE(texts(2), QStringList{QStringLiteral("б")});
        }
        SqlRun::execute(connection(), QStringLiteral("insert into public.counts values (:k, :v)"),
                        {{QStringLiteral("k"), 1}, {QStringLiteral("v"), QStringLiteral("в")}});
        SqlRun::execute(connection(), QStringLiteral("insert into public.counts values (:k, :v)"),
                        {{QStringLiteral("k"), 1}, {QStringLiteral("v"), QString()}});   // a null text is NULL
        QCOMPARE(texts(1), (QStringList{QStringLiteral("а"), QStringLiteral("в"), QString()}));
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from public.counts where v is null")).toInt(), 1);
    }

    void aChangedTableIsReadWithItsNewColumns()
    {
        db->exec(QStringLiteral("create table public.grows(a int)"));
        db->exec(QStringLiteral("insert into public.grows values (1)"));
        Dataset ds(QStringLiteral("Grows"), connection());
        ds.setSql(QStringLiteral("select * from public.grows"));
        ds.open();
        ds.reopen();   // prepared and kept from here on
        QCOMPARE(preparedCount(QStringLiteral("public.grows")), 1);
        ds.reopen();
        QCOMPARE(ds.fieldNames(), QStringList{QStringLiteral("a")});
        db->exec(QStringLiteral("alter table public.grows add column b text default 'новое'"));
        ds.reopen();
        QCOMPARE(ds.fieldNames(), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
        QCOMPARE(ds.value(QStringLiteral("b")).toString(), QStringLiteral("новое"));
    }

    // Texts that carry their values run once; preparing each would cost round trips and
    // push the statements that do come again out of the kept ones.
    void textsWithoutParametersArePreparedWhenTheyComeAgain()
    {
        const QString once = QStringLiteral("select count(*) from public.kinds where i = 1717");
        QCOMPARE(SqlRun::selectTable(connection(), once).value(0, 0).toInt(), 1);
        QCOMPARE(preparedCount(QStringLiteral("i = 1717")), 0);
        QCOMPARE(SqlRun::selectTable(connection(), once).value(0, 0).toInt(), 1);
        QCOMPARE(preparedCount(QStringLiteral("i = 1717")), 1);
        QCOMPARE(SqlRun::selectTable(connection(), once).value(0, 0).toInt(), 1);
        QCOMPARE(preparedCount(QStringLiteral("i = 1717")), 1);

        // A text with parameters is prepared at once: sent whole, the driver would write
        // casts of its own into it.
        const QString withValue = QStringLiteral("select count(*) from public.kinds where i = :i and 1818 = 1818");
        QCOMPARE(SqlRun::selectTable(connection(), withValue, {{QStringLiteral("i"), 1818}}).value(0, 0).toInt(), 1);
        QCOMPARE(preparedCount(QStringLiteral("1818 = 1818")), 1);

        // Inside a transaction a text without parameters always goes whole, and what it
        // reads is the transaction's own.
        const QString inside = QStringLiteral("select count(*) from public.inside where v = 'в транзакции 1919'");
        db->exec(QStringLiteral("create table public.inside(v text)"));
        SqlRun::begin(connection());
        SqlRun::execute(connection(), QStringLiteral("insert into public.inside values (:v)"),
                        {{QStringLiteral("v"), QStringLiteral("в транзакции 1919")}});
        for (int run = 0; run < 3; ++run)
            QCOMPARE(SqlRun::selectTable(connection(), inside).value(0, 0).toInt(), 1);
        SqlRun::rollback(connection());
        QCOMPARE(preparedCount(QStringLiteral("1919")), 0);
        QCOMPARE(SqlRun::selectTable(connection(), inside).value(0, 0).toInt(), 0);
    }

    void theObserverIsToldEveryStatementInOrder()
    {
        QStringList told;
        SqlRun::setObserver([&told](const QString& sql, const SqlRun::Params& params) {
            told << (params.isEmpty() ? sql : QStringLiteral("%1 [%2]").arg(sql, params.value(QStringLiteral("v")).toString()));
        });
        SqlRun::begin(connection());
        SqlRun::execute(connection(), QStringLiteral("create temporary table told(v text)"));
        SqlRun::execute(connection(), QStringLiteral("insert into told values (:v)"), {{QStringLiteral("v"), QStringLiteral("а")}});
        SqlRun::selectTable(connection(), QStringLiteral("select v from told"));
        SqlRun::commit(connection());
        SqlRun::setObserver({});
        SqlRun::selectTable(connection(), QStringLiteral("select 1"));
        QCOMPARE(told, (QStringList{QStringLiteral("BEGIN"), QStringLiteral("create temporary table told(v text)"),
                                    QStringLiteral("insert into told values (:v) [а]"), QStringLiteral("select v from told"),
                                    QStringLiteral("COMMIT")}));
    }

    void aRefusalLeavesTheStatementUsable()
    {
        const QString sql = QStringLiteral("select 10 / :d as q");
        QCOMPARE(SqlRun::selectTable(connection(), sql, {{QStringLiteral("d"), 2}}).value(0, 0).toInt(), 5);
        try {
            SqlRun::selectTable(connection(), sql, {{QStringLiteral("d"), 0}});
            QFAIL("division by zero was not refused");
        } catch (const DbError& e) {
            QCOMPARE(e.sqlState(), QStringLiteral("22012"));
            QVERIFY(e.detail().contains(QStringLiteral("division by zero")) || e.detail().contains(QStringLiteral("деление на ноль")));
        }
        QCOMPARE(SqlRun::selectTable(connection(), sql, {{QStringLiteral("d"), 5}}).value(0, 0).toInt(), 2);
    }

    void sessionPlansForTheValuesGiven()
    {
        QCOMPARE(db->scalar(QStringLiteral("show plan_cache_mode")).toString(), QStringLiteral("force_custom_plan"));
    }

    void placeholdersOutsideQuotesAndCasts_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("positional");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("plain") << "a = :data and b <> :ok" << "a = ? and b <> ?" << QStringList{"data", "ok"};
        QTest::newRow("cast") << "x::numeric = :v" << "x::numeric = ?" << QStringList{"v"};
        QTest::newRow("quoted text") << "t = 'a:b' and u = :u" << "t = 'a:b' and u = ?" << QStringList{"u"};
        QTest::newRow("quoted name") << "\"c:d\" = :e" << "\"c:d\" = ?" << QStringList{"e"};
        QTest::newRow("twice") << ":k + :k" << "? + ?" << QStringList{"k", "k"};
        QTest::newRow("time literal") << "'10:30'::time" << "'10:30'::time" << QStringList{};
        QTest::newRow("cyrillic name") << "w = :рабочий" << "w = ?" << QStringList{"рабочий"};
    }
    void placeholdersOutsideQuotesAndCasts()
    {
        QFETCH(QString, sql);
        QFETCH(QString, positional);
        QFETCH(QStringList, names);
        QStringList found;
        QCOMPARE(OdbcStatement::positional(sql, &found), positional);
        QCOMPARE(found, names);
    }

    void parametersOfEveryTypeReachTheServer_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("cast");
        QTest::addColumn<QString>("expected");
        QTest::newRow("date") << QVariant(QDate(2024, 2, 29)) << "date" << "2024-02-29";
        QTest::newRow("int") << QVariant(-7) << "int" << "-7";
        QTest::newRow("bigint") << QVariant(qlonglong(9000000000LL)) << "bigint" << "9000000000";
        QTest::newRow("double") << QVariant(2.675) << "float8" << "2.675";
        QTest::newRow("text") << QVariant(QStringLiteral("Гибка 'кавычка'")) << "text" << "Гибка 'кавычка'";
        QTest::newRow("long text") << QVariant(QString(300, QChar(u'ы'))) << "text" << QString(300, QChar(u'ы'));
        QTest::newRow("timestamp") << QVariant(QDateTime(QDate(2024, 3, 7), QTime(12, 34, 56, 789))) << "timestamp"
                                   << "2024-03-07 12:34:56.789";
        QTest::newRow("null") << QVariant() << "text" << "NULL";
    }
    void parametersOfEveryTypeReachTheServer()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, cast);
        QFETCH(QString, expected);
        const SqlRun::Table t = SqlRun::selectTable(
            connection(), QStringLiteral("select coalesce((:v)::%1::text, 'NULL') as v").arg(cast), {{QStringLiteral("v"), value}});
        QCOMPARE(t.value(0, 0).toString(), expected);
    }
};

QTEST_MAIN(StatementReadingTest)
#include "tst_statementreading.moc"
