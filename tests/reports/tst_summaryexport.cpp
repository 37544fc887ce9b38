#include "app/windows.h"
#include "db/dataset.h"
#include "export/optest_xlsx.h"
#include "export/spreadsheet.h"
#include "reportplant.h"
#include "reports/productexport.h"
#include "reports/summaryreportswindow.h"
#include "support/modal.h"
#include "ui/messages.h"

#include <QApplication>
#include <QPushButton>
#include <QtTest>

// "Excel (0 из 0)" of the summary reports window: the per-product summary written into a
// real .xlsx file and read back.
class SummaryExportTest : public QObject {
    Q_OBJECT
    std::unique_ptr<TestDatabase> db;
    SummaryReportsWindow* window = nullptr;
    QStringList exported;
    QTemporaryDir documents;   // the user's documents folder

    QPushButton* excelButton() const { return window->findChild<QPushButton*>(QStringLiteral("Button6")); }

    // Every data row of the last export as "column 1|…|column 5".
    QStringList exportedLines() const
    {
        QStringList lines;
        const QList<QStringList> rows = optest::readSheet1(exported.last()).shownRows();
        for (int r = 1; r < rows.size(); ++r)
            lines << rows[r].join(u'|');
        return lines;
    }

private slots:
    void initTestCase()
    {
        db = std::make_unique<TestDatabase>(QStringLiteral("summaryexport"));
        const reportplant::Plant plant = reportplant::loadDirectories(*db);
        reportplant::loadMarch(*db, plant);
        window = new SummaryReportsWindow;
        appWindows().summaryReports = window;
        Spreadsheet::setViewer([this](const QString& path) {
            exported << path;
            return true;
        });
        Spreadsheet::setFolder(documents.path());
    }
    void cleanupTestCase()
    {
        Spreadsheet::setViewer({});
        Spreadsheet::setFolder(QString());
        appWindows() = AppWindows{};
        delete window;
        db.reset();
    }
    void cleanup() { QVERIFY(noTopLevelWindowOpen()); }

    void exportsTheFilteredPeriod_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<QStringList>("lines");
        const QString bendLine = QStringLiteral("Кронштейн КР-100|Гибка|Готовая продукция|4|16");
        const QString cutLine = QStringLiteral("Кронштейн КР-100|Резка|Готовая продукция|4,5|18");
        const QString ralLine = QStringLiteral("Кронштейн КР-100|Покраска КРАСКА (цвет: 1013)|Готовая продукция|1|4");
        const QString primerLine = QStringLiteral("Кронштейн КР-100|Покраска КРАСКА (грунт)|Готовая продукция|1,5|6");
        const QString profileLine = QStringLiteral("Профиль ПР-20|Резка|Заготовки|10,5|7");
        const QString slideLine = QStringLiteral("Салазка СК-5|Гибка|Заготовки|0,3|3");
        QTest::newRow("every kind, March") << 0 << reportplant::kMarch << reportplant::kApril
                                           << QStringList{bendLine, cutLine, ralLine, primerLine, profileLine, slideLine};
        QTest::newRow("finished products") << 1 << reportplant::kMarch << reportplant::kApril
                                           << QStringList{bendLine, cutLine, ralLine, primerLine};
        QTest::newRow("blanks only") << 2 << reportplant::kMarch << reportplant::kApril
                                     << QStringList{profileLine, slideLine};
        QTest::newRow("same day both ends") << 0 << reportplant::kMarch << reportplant::kMarch << QStringList{};
        QTest::newRow("the day before March") << 0 << QDate(2024, 2, 29) << reportplant::kMarch
                                              << QStringList{QStringLiteral("Кронштейн КР-100|Гибка|Готовая продукция|25|100")};
        QTest::newRow("the day after March") << 0 << reportplant::kApril << QDate(2024, 4, 2)
                                             << QStringList{QStringLiteral("Кронштейн КР-100|Гибка|Готовая продукция|250|1000")};
    }
    void exportsTheFilteredPeriod()
    {
        QFETCH(int, kind);
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(QStringList, lines);
        Messages::Recorder recorder;
        window->setPeriod(from, to);
        window->selectProductKind(kind);
        exported.clear();
        excelButton()->click();
        QVERIFY2(recorder.shown.isEmpty(), qPrintable(recorder.texts().join(u'\n')));
        QCOMPARE(exported.size(), 1);
        const optest::XlsxSheet sheet = optest::readSheet1(exported.first());
        QVERIFY(sheet.ok);
        QCOMPARE((QStringList{sheet.text("A1"), sheet.text("B1"), sheet.text("C1"), sheet.text("D1"), sheet.text("E1")}),
                 (QStringList{"Наименование", "Операция", "Вид продукции", "Коробки", "Кол-во"}));
        // Named after the period, in the documents folder.
        const QString name = QStringLiteral("Отчет по продукции с %1 по %2")
                                 .arg(from.toString(QStringLiteral("dd.MM.yyyy")), to.toString(QStringLiteral("dd.MM.yyyy")));
        QCOMPARE(QFileInfo(exported.first()).dir(), QDir(documents.path()));
        QVERIFY2(QFileInfo(exported.first()).fileName().startsWith(name), qPrintable(exported.first()));
        // Boxes and pieces are numbers a spreadsheet adds up; names and kinds stay strings.
        for (int r = 2; r <= lines.size() + 1; ++r) {
            const QString row = QString::number(r);
            QVERIFY(!sheet.isNumber("A" + row) && !sheet.isNumber("B" + row) && !sheet.isNumber("C" + row));
            QVERIFY(sheet.isNumber("D" + row));
            QVERIFY(sheet.isNumber("E" + row));
        }
        QStringList got = exportedLines();
        // Rows come in product-name order; within a product the order is the server's.
        QStringList names;
        for (const QString& line : got)
            names << line.section(u'|', 0, 0);
        QStringList sortedNames = names;
        std::sort(sortedNames.begin(), sortedNames.end());
        QCOMPARE(names, sortedNames);
        got.sort();
        lines.sort();
        QCOMPARE(got, lines);
        QCOMPARE(excelButton()->text(), QStringLiteral("Excel (%1 из %1)").arg(lines.size()));
        QVERIFY(!window->XLS_Rep()->isOpen());
        QVERIFY(!QApplication::overrideCursor());
    }

    void captionCountsRecordsAsTheyAreWritten()
    {
        // The window shows each of these captions in turn; they are noted here from the
        // export itself, since nothing paints the button while the export writes.
        Dataset* rows = window->XLS_Rep();
        rows->setParam(QStringLiteral("data1"), reportplant::kMarch);
        rows->setParam(QStringLiteral("data2"), reportplant::kApril);
        rows->clearFilter();
        rows->open();
        QStringList captions;
        exported.clear();
        QVERIFY(ProductExport::write(*rows, Spreadsheet::reports(),
                                     [&](int written, int total) { captions << ProductExport::caption(written, total); }));
        rows->close();
        QCOMPARE(captions, (QStringList{"Excel (0 из 6)", "Excel (1 из 6)", "Excel (2 из 6)", "Excel (3 из 6)",
                                        "Excel (4 из 6)", "Excel (5 из 6)", "Excel (6 из 6)"}));
        QCOMPARE(exported.size(), 1);
        QCOMPARE(optest::xlsx2csvRows(exported.first()).size(), 7);
    }

    void workbookThatCannotOpenWritesNothing()
    {
        window->setPeriod(reportplant::kMarch, reportplant::kApril);
        window->selectProductKind(0);
        excelButton()->setText(QStringLiteral("Excel (0 из 0)"));
        // A folder below a plain file can never be made.
        Spreadsheet::setFolder(QStringLiteral("/dev/null/Документы"));
        Messages::Recorder recorder;
        exported.clear();
        excelButton()->click();
        Spreadsheet::setFolder(documents.path());
        QCOMPARE(recorder.texts(), QStringList{QStringLiteral("Ошибка открытия файла Microsoft Excel.")});
        QVERIFY(exported.isEmpty());
        QCOMPARE(excelButton()->text(), QStringLiteral("Excel (0 из 0)"));
        QVERIFY(!window->XLS_Rep()->isOpen());
        QVERIFY(!QApplication::overrideCursor());
    }

    void refusedQueryGoesToTheErrorHandler()
    {
        window->setPeriod(reportplant::kMarch, reportplant::kApril);
        db->exec(QStringLiteral("alter table accounts_dep.vid_oper rename to vid_oper_away"));
        Messages::Recorder recorder;
        exported.clear();
        excelButton()->click();
        db->exec(QStringLiteral("alter table accounts_dep.vid_oper_away rename to vid_oper"));
        QCOMPARE(recorder.shown.size(), 1);
        QVERIFY2(recorder.lastText().contains(QStringLiteral("vid_oper")), qPrintable(recorder.lastText()));
        QCOMPARE(recorder.shown.first().caption, QStringLiteral("Ошибка"));
        QVERIFY(exported.isEmpty());
        QVERIFY(!window->XLS_Rep()->isOpen());
        QVERIFY(!QApplication::overrideCursor());
    }

    void operationCarriesItsColour_data()
    {
        QTest::addColumn<int>("color");
        QTest::addColumn<QString>("text");
        QTest::newRow("none") << 0 << QStringLiteral("Покраска");
        QTest::newRow("negative") << -5 << QStringLiteral("Покраска");
        QTest::newRow("primer") << 1 << QStringLiteral("Покраска (грунт)");
        QTest::newRow("RAL 2") << 2 << QStringLiteral("Покраска (цвет: 2)");
        QTest::newRow("RAL 1013") << 1013 << QStringLiteral("Покраска (цвет: 1013)");
    }
    void operationCarriesItsColour()
    {
        QFETCH(int, color);
        QFETCH(QString, text);
        QCOMPARE(ProductExport::operationText(QStringLiteral("Покраска"), color), text);
    }

    void numbersAreWrittenAsThePlannerReadsThem_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("mass");
        QTest::addColumn<QString>("pieces");
        QTest::newRow("whole") << 16.0 << "16" << "16";
        QTest::newRow("half up") << 2.5 << "2,5" << "3";
        QTest::newRow("half of a negative") << -2.5 << "-2,5" << "-3";
        QTest::newRow("below half") << 7.4999 << "7,4999" << "7";
        QTest::newRow("sum of tenths") << 0.1 + 0.2 << "0,3" << "0";
        QTest::newRow("no group separator") << 1234567.125 << "1234567,125" << "1234567";
        QTest::newRow("zero") << 0.0 << "0" << "0";
    }
    void numbersAreWrittenAsThePlannerReadsThem()
    {
        QFETCH(double, value);
        QFETCH(QString, mass);
        QFETCH(QString, pieces);
        QCOMPARE(ProductExport::massText(value), mass);
        QCOMPARE(ProductExport::piecesText(value), pieces);
    }
};

QTEST_MAIN(SummaryExportTest)
#include "tst_summaryexport.moc"
