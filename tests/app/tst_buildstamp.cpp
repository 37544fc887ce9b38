#include "app/buildstamp.h"
#include "db/sqltext.h"

#include <QtTest>
#include <clocale>

// The compile texts read as the build stamp, and the number texts written into statements.
class BuildStampTest : public QObject {
    Q_OBJECT
private slots:
    void dateNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected");
        QTest::newRow("example") << "Nov 21 2022" << 20221121;
        QTest::newRow("Jan") << "Jan  1 2023" << 20230101;
        QTest::newRow("Feb") << "Feb 28 2024" << 20240228;
        QTest::newRow("Mar") << "Mar  5 2024" << 20240305;
        QTest::newRow("Apr") << "Apr 10 2024" << 20240410;
        QTest::newRow("May") << "May 31 2024" << 20240531;
        QTest::newRow("Jun") << "Jun  9 2024" << 20240609;
        QTest::newRow("Jul") << "Jul 14 2024" << 20240714;
        QTest::newRow("Aug") << "Aug 15 2024" << 20240815;
        QTest::newRow("Sep") << "Sep 30 2024" << 20240930;
        QTest::newRow("Oct") << "Oct 31 2024" << 20241031;
        QTest::newRow("Dec") << "Dec 25 2026" << 20261225;
        QTest::newRow("unknown date") << "??? ?? ????" << 19000101;
    }
    void dateNumber()
    {
        QFETCH(QString, text);
        QFETCH(int, expected);
        QCOMPARE(BuildStamp::dateNumber(text), expected);
    }

    void timeNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected");
        QTest::newRow("example") << "20:43:13" << 74593;
        QTest::newRow("midnight") << "00:00:00" << 0;
        QTest::newRow("last second") << "23:59:59" << 86399;
        QTest::newRow("morning") << "07:05:09" << 25509;
    }
    void timeNumber()
    {
        QFETCH(QString, text);
        QFETCH(int, expected);
        QCOMPARE(BuildStamp::timeNumber(text), expected);
    }

    void priceText_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("half") << 12.5 << "12.5";
        QTest::newRow("whole") << 1500.0 << "1500";
        QTest::newRow("four places") << 0.1234 << "0.1234";
        QTest::newRow("rounded") << 10.123456 << "10.1235";
        QTest::newRow("tie to even down") << 0.00005 << "0";
        QTest::newRow("tie to even up") << 0.00015 << "0.0002";
        QTest::newRow("small") << 0.0001 << "0.0001";
        QTest::newRow("shift factor") << 10 * 2.0 * 1.2 << "24";
        QTest::newRow("large") << 123456789012.5 << "123456789012.5";
        QTest::newRow("zero") << 0.0 << "0";
    }
    void priceText()
    {
        QFETCH(double, value);
        QFETCH(QString, expected);
        QCOMPARE(SqlText::price(value), expected);
        // The same under a Russian locale, whose decimal separator is a comma.
        QLocale::setDefault(QLocale(QLocale::Russian));
        std::setlocale(LC_NUMERIC, "ru_RU.UTF-8");
        QCOMPARE(SqlText::price(value), expected);
        std::setlocale(LC_NUMERIC, "C");
        QLocale::setDefault(QLocale::c());
    }

    void dateText()
    {
        QCOMPARE(SqlText::date(QDate(2024, 3, 5)), QStringLiteral("05.03.2024"));
        QCOMPARE(SqlText::date(QDate(987, 12, 31)), QStringLiteral("31.12.0987"));
    }
};

QTEST_GUILESS_MAIN(BuildStampTest)
#include "tst_buildstamp.moc"
