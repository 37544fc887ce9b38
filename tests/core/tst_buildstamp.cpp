#include "core/buildstamp.h"
#include "db/sqltext.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
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

    // The stamp changes only when the program does: a small program built with the
    // project's stamp rule, each build at another SOURCE_DATE_EPOCH, keeps its stamp
    // through builds without changes and takes the new one when its code changed.
    void stampChangesOnlyWithTheProgram_data()
    {
        QTest::addColumn<QString>("changed");   // file changed before the third build, or none
        QTest::addColumn<bool>("renewed");
        QTest::newRow("nothing changed") << QString() << false;
        QTest::newRow("the core changed") << "core.cpp" << true;
        QTest::newRow("the entry point changed") << "main.cpp" << true;
        QTest::newRow("a file outside the program changed") << "notes.txt" << false;
    }
    void stampChangesOnlyWithTheProgram()
    {
        QFETCH(QString, changed);
        QFETCH(bool, renewed);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString src = dir.filePath(QStringLiteral("src"));
        const QString build = dir.filePath(QStringLiteral("build"));
        QVERIFY(QDir().mkpath(src));
        const auto write = [&](const QString& name, const QByteArray& text) {
            QFile f(src + u'/' + name);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(text);
        };
        write(QStringLiteral("CMakeLists.txt"),
              "cmake_minimum_required(VERSION 3.25)\n"
              "project(stamp CXX)\n"
              "include(" TABEL_SOURCE_DIR "/cmake/BuildStamp.cmake)\n"
              "add_library(core STATIC core.cpp)\n"
              "tabel_build_stamp(TEXTS " TABEL_SOURCE_DIR "/src/app/buildtexts.cpp core ${CMAKE_SOURCE_DIR}/main.cpp)\n"
              "add_executable(prog main.cpp ${TEXTS})\n"
              "target_link_libraries(prog core)\n");
        write(QStringLiteral("core.cpp"), "int core() { return 1; }\n");
        write(QStringLiteral("main.cpp"),
              "#include <cstdio>\n"
              "extern const char* const kBuildDateText;\n"
              "extern const char* const kBuildTimeText;\n"
              "int core();\n"
              "int main() { std::printf(\"%s %s\", kBuildDateText, kBuildTimeText); return core() - 1; }\n");
        write(QStringLiteral("notes.txt"), "first\n");

        const auto run = [&](const QString& program, const QStringList& args, qint64 epoch) {
            QProcess p;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("SOURCE_DATE_EPOCH"), QString::number(epoch));
            p.setProcessEnvironment(env);
            p.setProcessChannelMode(QProcess::MergedChannels);
            p.start(program, args);
            const bool done = p.waitForFinished(240000);
            const QString out = QString::fromLocal8Bit(p.readAll());
            return done && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0 ? out : QStringLiteral("FAILED: ") + out;
        };
        const QString cmake = QStringLiteral(TABEL_CMAKE);
        const auto buildAndStamp = [&](qint64 epoch) {
            const QString built = run(cmake, {QStringLiteral("--build"), build}, epoch);
            if (built.startsWith(QStringLiteral("FAILED")))
                return built;
            return run(build + QStringLiteral("/prog"), {}, epoch);
        };
        const QString configured = run(cmake, {QStringLiteral("-S"), src, QStringLiteral("-B"), build, QStringLiteral("-G"),
                                               QStringLiteral("Ninja"), QStringLiteral("-DCMAKE_CXX_COMPILER=" TABEL_CXX)},
                                       0);
        QVERIFY2(!configured.startsWith(QStringLiteral("FAILED")), qPrintable(configured));

        // 9 September 2001 01:46:40 UTC, then 14 November 2023 22:13:20 UTC.
        const QString first = buildAndStamp(1000000000);
        QCOMPARE(first, QStringLiteral("Sep  9 2001 01:46:40"));
        QCOMPARE(buildAndStamp(1700000000), first);   // nothing changed
        if (!changed.isEmpty()) {
            QFile f(src + u'/' + changed);
            QVERIFY(f.open(QIODevice::Append));
            f.write("// changed\n");
        }
        const QString third = buildAndStamp(1700000000);
        QCOMPARE(third, renewed ? QStringLiteral("Nov 14 2023 22:13:20") : first);
        const BuildStamp::Stamp stamp = BuildStamp::fromTexts(third.left(11), third.mid(12));
        QCOMPARE(stamp.date, renewed ? 20231114 : 20010909);
    }
};

QTEST_GUILESS_MAIN(BuildStampTest)
#include "tst_buildstamp.moc"
