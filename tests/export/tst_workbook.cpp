#include "export/optest_xlsx.h"
#include "export/spreadsheet.h"
#include "ui/messages.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <QtTest>
#include <clocale>
#include <sys/stat.h>

// The spreadsheet layer: the four operations, their results and messages, and the real
// .xlsx file they leave behind.
class WorkbookTest : public QObject {
    Q_OBJECT
    QStringList opened;        // files the viewer was asked to open
    bool viewerAnswer = true;
    QTemporaryDir documents;   // stands in for the user's documents folder

    QString showAndTakeFile(Spreadsheet& excel)
    {
        opened.clear();
        const int shown = excel.ShowExcel(true);
        if (shown != 1 || opened.size() != 1)
            return {};
        return opened.first();
    }

private slots:
    void init()
    {
        opened.clear();
        viewerAnswer = true;
        Spreadsheet::setFolder(documents.path());
        Spreadsheet::setViewer([this](const QString& path) {
            opened << path;
            return viewerAnswer;
        });
    }
    void cleanup()
    {
        for (const QString& f : opened)
            QFile::remove(f);
        Spreadsheet::setViewer({});
        Spreadsheet::setFolder(QString());
    }

    void textsThatReadAsNumbersBecomeNumbersTheRestStrings()
    {
        Messages::Recorder recorder;
        Spreadsheet excel;
        QCOMPARE(excel.OpenWorkbook(QString()), 1);
        const QStringList texts = {QStringLiteral("Марка"), QStringLiteral("0012"), QStringLiteral("12,5"),
                                   QStringLiteral("=1+1"), QStringLiteral("O'Brien <&> \"x\""),
                                   QStringLiteral("100%\\"), QStringLiteral("40"), QStringLiteral("12,50"),
                                   QStringLiteral("-3")};
        for (int i = 0; i < texts.size(); ++i)
            QCOMPARE(excel.WriteCell(1, i + 1, 1, texts[i]), 1);
        QCOMPARE(excel.WriteCell(1, 2, 3, QStringLiteral("Заготовки")), 1);
        QCOMPARE(excel.WriteCell(1, 3, 3, QString()), 1);   // writes nothing

        const QString file = showAndTakeFile(excel);
        QVERIFY(!file.isEmpty());
        QVERIFY(recorder.shown.isEmpty());
        QCOMPARE(excel.lastShownFile(), file);
        QCOMPARE(QFileInfo(file).absolutePath(), QFileInfo(documents.path()).absoluteFilePath());

        const optest::XlsxSheet sheet = optest::readSheet1(file);
        QVERIFY(sheet.ok);
        QCOMPARE(sheet.sheetName, QStringLiteral("Лист1"));
        // ref, stored value, cell type ("s" a string, "" a number), number format code
        const struct {
            const char* ref;
            QString value;
            QString type;
            int numFmtId;
            QString code;
        } expected[] = {
            {"A1", QStringLiteral("Марка"), "s", 0, {}},
            {"B1", QStringLiteral("0012"), "s", 0, {}},
            {"C1", QStringLiteral("12.5"), "", -1, QStringLiteral("0.0")},
            {"D1", QStringLiteral("=1+1"), "s", 0, {}},
            {"E1", QStringLiteral("O'Brien <&> \"x\""), "s", 0, {}},
            {"F1", QStringLiteral("100%\\"), "s", 0, {}},
            {"G1", QStringLiteral("40"), "", 1, {}},
            {"H1", QStringLiteral("12.5"), "", -1, QStringLiteral("0.00")},
            {"I1", QStringLiteral("-3"), "", 1, {}},
        };
        for (const auto& e : expected) {
            const QString ref = QString::fromLatin1(e.ref);
            QCOMPARE(sheet.text(ref), e.value);
            QCOMPARE(sheet.cells.value(ref).type, e.type);
            if (e.numFmtId >= 0)
                QCOMPARE(sheet.styleOf(ref).numFmtId, e.numFmtId);
            else
                QCOMPARE(sheet.styleOf(ref).formatCode, e.code);
        }
        QCOMPARE(sheet.text(QStringLiteral("B3")), QStringLiteral("Заготовки"));
        QVERIFY(!sheet.has(QStringLiteral("C3")));
        QVERIFY(!sheet.isBold(QStringLiteral("A1")));
        QVERIFY(sheet.widths.isEmpty());   // WriteCell sets no width

        // As a spreadsheet program shows them: the numbers with their places.
        const QList<QStringList> csv = optest::xlsx2csvRows(file);
        QVERIFY(csv.size() >= 2);
        QCOMPARE(csv[0].value(0), QStringLiteral("Марка"));
        QCOMPARE(csv[0].value(1), QStringLiteral("0012"));
        QCOMPARE(csv[0].value(3), QStringLiteral("=1+1"));
        QCOMPARE(csv[0].value(6), QStringLiteral("40"));
    }

    void whatReadsAsANumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("number");
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("places");
        QTest::newRow("zero") << "0" << true << 0.0 << 0;
        QTest::newRow("whole") << "1417" << true << 1417.0 << 0;
        QTest::newRow("negative") << "-8" << true << -8.0 << 0;
        QTest::newRow("decimal comma") << "12,345" << true << 12.345 << 3;
        QTest::newRow("trailing zero kept as a place") << "0,50" << true << 0.5 << 2;
        QTest::newRow("fifteen digits") << "123456789012345" << true << 123456789012345.0 << 0;
        QTest::newRow("sixteen digits") << "1234567890123456" << false << 0.0 << 0;
        QTest::newRow("leading zero") << "0012" << false << 0.0 << 0;
        QTest::newRow("minus zero") << "-0" << false << 0.0 << 0;
        QTest::newRow("point") << "12.5" << false << 0.0 << 0;
        QTest::newRow("exponent") << "1e5" << false << 0.0 << 0;
        QTest::newRow("grouped") << "1 000" << false << 0.0 << 0;
        QTest::newRow("plus sign") << "+5" << false << 0.0 << 0;
        QTest::newRow("blank around") << " 5" << false << 0.0 << 0;
        QTest::newRow("comma alone") << "5," << false << 0.0 << 0;
        QTest::newRow("text") << "КР-100" << false << 0.0 << 0;
        QTest::newRow("formula") << "=1+1" << false << 0.0 << 0;
    }
    void whatReadsAsANumber()
    {
        QFETCH(QString, text);
        QFETCH(bool, number);
        QFETCH(double, value);
        QFETCH(int, places);
        double read = -1;
        int readPlaces = -1;
        QCOMPARE(Workbook::readsAsNumber(text, &read, &readPlaces), number);
        if (number) {
            QCOMPARE(read, value);
            QCOMPARE(readPlaces, places);
        }
    }

    void cellsMarkedAsTextStayStringsBoldNumbersStayNumbers()
    {
        Messages::Recorder recorder;
        Spreadsheet excel;
        QCOMPARE(excel.OpenWorkbook(QString()), 1);
        QCOMPARE(excel.WriteCellFormatted(1, 1, 1, QStringLiteral("2021"), true, true, true), 1);
        QCOMPARE(excel.WriteCellFormatted(1, 2, 1, QStringLiteral("31"), false, true, true), 1);
        QCOMPARE(excel.WriteCellFormatted(1, 3, 1, QStringLiteral("8"), false, true, false), 1);
        const QString file = showAndTakeFile(excel);
        const optest::XlsxSheet sheet = optest::readSheet1(file);
        QVERIFY(sheet.ok);
        QCOMPARE(sheet.cells.value(QStringLiteral("A1")).type, QStringLiteral("s"));
        QVERIFY(sheet.isTextFormat(QStringLiteral("A1")));
        QCOMPARE(sheet.cells.value(QStringLiteral("B1")).type, QString());
        QVERIFY(sheet.isBold(QStringLiteral("B1")));
        QCOMPARE(sheet.styleOf(QStringLiteral("B1")).numFmtId, 1);
        QCOMPARE(sheet.text(QStringLiteral("C1")), QStringLiteral("8"));
        QVERIFY(!sheet.isBold(QStringLiteral("C1")));
    }

    void theFileIsNamedAfterItsTitleAndReadableLikeTheUsersFiles()
    {
        Messages::Recorder recorder;
        Spreadsheet excel;
        QStringList files;
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(excel.OpenWorkbook(QString()), 1);
            excel.setTitle(QStringLiteral("Отчет по продукции с 01.03.2021 по 01.04.2021"));
            excel.WriteCell(1, 1, 1, QString::number(i));
            files << showAndTakeFile(excel);
        }
        QCOMPARE(excel.OpenWorkbook(QString()), 1);
        excel.WriteCell(1, 1, 1, QStringLiteral("x"));
        files << showAndTakeFile(excel);
        QCOMPARE(excel.OpenWorkbook(QString()), 1);
        excel.setTitle(QStringLiteral("a/b"));
        files << showAndTakeFile(excel);
        opened = files;   // removed by cleanup()
        QVERIFY(recorder.shown.isEmpty());
        QStringList names;
        for (const QString& f : files)
            names << QFileInfo(f).fileName();
        QCOMPARE(names, (QStringList{QStringLiteral("Отчет по продукции с 01.03.2021 по 01.04.2021.xlsx"),
                                     QStringLiteral("Отчет по продукции с 01.03.2021 по 01.04.2021 (2).xlsx"),
                                     QStringLiteral("Отчет по продукции с 01.03.2021 по 01.04.2021 (3).xlsx"),
                                     QStringLiteral("Книга.xlsx"), QStringLiteral("a_b.xlsx")}));
        // An earlier export is never overwritten.
        QCOMPARE(optest::readSheet1(files[0]).text(QStringLiteral("A1")), QStringLiteral("0"));
        QCOMPARE(optest::readSheet1(files[2]).text(QStringLiteral("A1")), QStringLiteral("2"));
        // The file gets the permissions of any new file of the user, as the umask says.
        const mode_t mask = umask(0);
        umask(mask);
        QFile probe(documents.filePath(QStringLiteral("probe")));
        QVERIFY(probe.open(QIODevice::WriteOnly));
        probe.close();
        QCOMPARE(QFileInfo(files[0]).permissions(), QFileInfo(probe.fileName()).permissions());
        probe.remove();
        if ((mask & 040) == 0)
            QVERIFY(QFileInfo(files[0]).permissions() & QFileDevice::ReadGroup);
    }

    void formattedCellsCarryTextFormatBoldAndWidth()
    {
        Messages::Recorder recorder;
        Spreadsheet excel;
        QCOMPARE(excel.OpenWorkbook(QString()), 1);
        QCOMPARE(excel.ShowExcel(false), 1);   // hidden while written
        QVERIFY(opened.isEmpty());
        QCOMPARE(excel.WriteCellFormatted(1, 1, 1, QStringLiteral("Табель за март"), false, false, true), 1);
        QCOMPARE(excel.WriteCellFormatted(1, 2, 2, QStringLiteral("01"), true, true, false), 1);
        QCOMPARE(excel.WriteCellFormatted(1, 2, 3, QStringLiteral("Иванов Иван Иванович"), true, true, true), 1);
        QCOMPARE(excel.WriteCellFormatted(1, 3, 2, QStringLiteral("7"), false, true, false), 1);
        // A later plain write keeps the cell's format, as a spreadsheet keeps it.
        QCOMPARE(excel.WriteCell(1, 2, 2, QStringLiteral("02")), 1);
        // Bold is always set: false clears it.
        QCOMPARE(excel.WriteCellFormatted(1, 4, 4, QStringLiteral("жирный"), false, false, true), 1);
        QCOMPARE(excel.WriteCellFormatted(1, 4, 4, QStringLiteral("обычный"), false, false, false), 1);

        QCOMPARE(excel.workbook()->columnWidth(1, 2),
                 Workbook::widthForText(QStringLiteral("Иванов Иван Иванович"), true));
        QVERIFY(excel.workbook()->columnWidth(1, 3) < excel.workbook()->columnWidth(1, 2));
        QCOMPARE(excel.workbook()->columnWidth(1, 1), 0.0);   // no autofit asked

        const QString file = showAndTakeFile(excel);
        QVERIFY(!file.isEmpty());
        QVERIFY(recorder.shown.isEmpty());
        const optest::XlsxSheet sheet = optest::readSheet1(file);
        QVERIFY(sheet.ok);
        QVERIFY(sheet.isBold(QStringLiteral("A1")));
        QVERIFY(!sheet.isTextFormat(QStringLiteral("A1")));
        QCOMPARE(sheet.text(QStringLiteral("B2")), QStringLiteral("02"));
        QVERIFY(sheet.isTextFormat(QStringLiteral("B2")));
        QVERIFY(!sheet.isBold(QStringLiteral("B2")));
        QVERIFY(sheet.isTextFormat(QStringLiteral("B3")));
        QVERIFY(sheet.isBold(QStringLiteral("B3")));
        QVERIFY(!sheet.isTextFormat(QStringLiteral("C2")));
        QCOMPARE(sheet.text(QStringLiteral("D4")), QStringLiteral("обычный"));
        QVERIFY(!sheet.isBold(QStringLiteral("D4")));
        // The width follows the longest text of the column, wide enough for all of it.
        QVERIFY(!sheet.widths.contains(1));
        // (the file keeps Excel's own rounding of a width, a fraction of a character more)
        QVERIFY(sheet.widths.value(2) >= excel.workbook()->columnWidth(1, 2));
        QVERIFY(sheet.widths.value(2) < excel.workbook()->columnWidth(1, 2) + 1);
        QVERIFY(sheet.widths.value(2) >= QStringLiteral("Иванов Иван Иванович").size());
        QVERIFY(sheet.widths.value(3) >= 1 && sheet.widths.value(3) < 5);
    }

    // The desktop's locale must not reach the file: whatever the process's numeric locale,
    // the sheet's widths are written with a point and read back as the width fitted.
    void widthsAreWrittenWithAPointWhateverTheLocale_data()
    {
        QTest::addColumn<QByteArray>("locale");
        QTest::newRow("C") << QByteArray("C");
        QTest::newRow("Russian") << QByteArray("ru_RU.UTF-8");
    }
    void widthsAreWrittenWithAPointWhateverTheLocale()
    {
        QFETCH(QByteArray, locale);
        const QByteArray before = std::setlocale(LC_ALL, nullptr);
        const auto restore = qScopeGuard([&] { std::setlocale(LC_ALL, before.constData()); });
        QVERIFY2(std::setlocale(LC_ALL, locale.constData()), "the locale is not generated on this machine");
        QVERIFY(locale == "C" || QByteArray(localeconv()->decimal_point) == ",");

        Messages::Recorder recorder;
        Spreadsheet excel;
        QCOMPARE(excel.OpenWorkbook(QString()), 1);
        QCOMPARE(excel.WriteCellFormatted(1, 1, 1, QStringLiteral("Иванов Иван Иванович"), true, true, true), 1);
        QCOMPARE(excel.WriteCellFormatted(1, 2, 1, QStringLiteral("12"), true, true, false), 1);
        const QString file = showAndTakeFile(excel);
        QVERIFY(!file.isEmpty());
        QVERIFY(recorder.shown.isEmpty());

        const QString xml = QString::fromUtf8(optest::unzipPart(file, QStringLiteral("xl/worksheets/sheet1.xml")));
        QStringList widths;
        const QRegularExpression width(QStringLiteral("width=\"([^\"]*)\""));
        for (auto it = width.globalMatch(xml); it.hasNext();)
            widths << it.next().captured(1);
        QCOMPARE(widths.size(), 2);
        for (const QString& w : widths)
            QVERIFY2(QRegularExpression(QStringLiteral("^[0-9]+(\\.[0-9]+)?$")).match(w).hasMatch(), qPrintable(w));
        const optest::XlsxSheet sheet = optest::readSheet1(file);
        QVERIFY(sheet.widths.value(1) >= excel.workbook()->columnWidth(1, 1));
        QVERIFY(sheet.widths.value(1) < excel.workbook()->columnWidth(1, 1) + 1);
        // The writer leaves the process's locale as it found it.
        QCOMPARE(QByteArray(std::setlocale(LC_ALL, nullptr)), locale);
    }

    void refusedWritesSayWhereAndAnswerMinusOne_data()
    {
        QTest::addColumn<int>("sheet");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("caption");
        const QString sheetCaption = QStringLiteral("Ошибочный номер листа Microsoft Excel");
        const QString excelCaption = QStringLiteral("Ошибка Microsoft Excel");
        QTest::newRow("sheet 1 fine") << 1 << 3 << 7 << 5 << 1 << QString();
        QTest::newRow("last cell of a sheet") << 1 << 16384 << 1048576 << 5 << 1 << QString();
        QTest::newRow("sheet 0") << 0 << 1 << 1 << 5 << -1 << sheetCaption;
        QTest::newRow("sheet 2 does not exist") << 2 << 1 << 1 << 5 << -1 << sheetCaption;
        QTest::newRow("column 0") << 1 << 0 << 1 << 5 << -1 << excelCaption;
        QTest::newRow("row 0") << 1 << 1 << 0 << 5 << -1 << excelCaption;
        QTest::newRow("column past the sheet") << 1 << 16385 << 1 << 5 << -1 << excelCaption;
        QTest::newRow("row past the sheet") << 1 << 1 << 1048577 << 5 << -1 << excelCaption;
        QTest::newRow("text longer than a cell holds") << 1 << 1 << 1 << 32768 << -1 << excelCaption;
        QTest::newRow("longest text a cell holds") << 1 << 1 << 1 << 32767 << 1 << QString();
        QTest::newRow("empty text on a bad sheet") << 9 << 0 << 0 << 0 << 1 << QString();
    }
    void refusedWritesSayWhereAndAnswerMinusOne()
    {
        QFETCH(int, sheet);
        QFETCH(int, column);
        QFETCH(int, row);
        QFETCH(int, length);
        QFETCH(int, result);
        QFETCH(QString, caption);
        const QString text(length, u'ж');
        for (bool formatted : {false, true}) {
            Messages::Recorder recorder;
            Spreadsheet excel;
            QCOMPARE(excel.OpenWorkbook(QString()), 1);
            const int answer = formatted ? excel.WriteCellFormatted(sheet, column, row, text, true, true, true)
                                         : excel.WriteCell(sheet, column, row, text);
            QCOMPARE(answer, result);
            if (caption.isEmpty()) {
                QVERIFY(recorder.shown.isEmpty());
                continue;
            }
            QCOMPARE(recorder.shown.size(), 1);
            QCOMPARE(recorder.shown[0].text, QStringLiteral("Ошибка при записи: лист %1, столбец %2, строка %3")
                                                 .arg(sheet).arg(column).arg(row));
            QCOMPARE(recorder.shown[0].caption, caption);
            QVERIFY(recorder.shown[0].icon == Messages::Icon::Error);
            QVERIFY(!excel.workbook()->findCell(1, 1, 1));   // nothing written
        }
    }

    void withoutAWorkbookWritesFailAndShowingDoesNothing()
    {
        Messages::Recorder recorder;
        Spreadsheet excel;
        QCOMPARE(excel.ShowExcel(true), 1);
        QVERIFY(opened.isEmpty());
        QVERIFY(recorder.shown.isEmpty());
        QCOMPARE(excel.WriteCell(1, 1, 1, QStringLiteral("x")), -1);
        QCOMPARE(recorder.shown.size(), 1);
        QCOMPARE(recorder.shown[0].caption, QStringLiteral("Ошибочный номер листа Microsoft Excel"));
        QCOMPARE(recorder.shown[0].text, QStringLiteral("Ошибка при записи: лист 1, столбец 1, строка 1"));
    }

    void workbooksAreOnlyMadeNew()
    {
        Messages::Recorder recorder;
        Spreadsheet excel;
        QCOMPARE(excel.OpenWorkbook(QStringLiteral("/tmp/prices.xlsx")), -1);
        QCOMPARE(recorder.shown.size(), 1);
        QCOMPARE(recorder.shown[0].text, QStringLiteral("Ошибка открытия файла Microsoft Excel."));
        QCOMPARE(recorder.shown[0].caption, QStringLiteral("Ошибка"));
        QVERIFY(recorder.shown[0].icon == Messages::Icon::Error);
        QVERIFY(!excel.workbook());
    }

    void eachOpeningStartsAnEmptyWorkbookAndEachShowingANewFile()
    {
        Messages::Recorder recorder;
        Spreadsheet excel;
        QCOMPARE(excel.OpenWorkbook(QString()), 1);
        excel.WriteCell(1, 1, 1, QStringLiteral("первая"));
        const QString first = showAndTakeFile(excel);
        QStringList files{first};
        QCOMPARE(excel.OpenWorkbook(QString()), 1);
        excel.WriteCell(1, 2, 2, QStringLiteral("вторая"));
        const QString second = showAndTakeFile(excel);
        files << second;
        opened = files;   // removed by cleanup()
        QVERIFY(!first.isEmpty() && !second.isEmpty());
        QVERIFY(first != second);
        QVERIFY(QFileInfo::exists(first));
        const optest::XlsxSheet sheet = optest::readSheet1(second);
        QVERIFY(sheet.ok);
        QVERIFY(!sheet.has(QStringLiteral("A1")));
        QCOMPARE(sheet.text(QStringLiteral("B2")), QStringLiteral("вторая"));
        QCOMPARE(optest::readSheet1(first).text(QStringLiteral("A1")), QStringLiteral("первая"));
    }

    void aWorkbookNothingCanShowIsKeptAndItsFileNamed()
    {
        Messages::Recorder recorder;
        viewerAnswer = false;
        Spreadsheet excel;
        QCOMPARE(excel.OpenWorkbook(QString()), 1);
        excel.WriteCell(1, 1, 1, QStringLiteral("цены"));
        QCOMPARE(excel.ShowExcel(true), -1);
        QCOMPARE(opened.size(), 1);
        QCOMPARE(recorder.shown.size(), 1);
        QVERIFY(recorder.shown[0].text.startsWith(QStringLiteral("Невозможно открыть Microsoft Excel.")));
        QVERIFY(recorder.shown[0].text.contains(opened.first()));
        QCOMPARE(recorder.shown[0].caption, QStringLiteral("Ошибка"));
        QCOMPARE(optest::readSheet1(opened.first()).text(QStringLiteral("A1")), QStringLiteral("цены"));
    }

    void aFolderThatCannotTakeTheFileFailsTheOpening()
    {
        Messages::Recorder recorder;
        QTemporaryDir base;
        QFile blocker(base.filePath(QStringLiteral("file")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        // A folder below a plain file can never be made, not even by root.
        Spreadsheet::setFolder(blocker.fileName() + QStringLiteral("/Документы"));
        Spreadsheet excel;
        QCOMPARE(excel.OpenWorkbook(QString()), -1);
        QCOMPARE(recorder.texts(), QStringList{QStringLiteral("Ошибка открытия файла Microsoft Excel.")});
    }

    void aMissingDocumentsFolderIsMade()
    {
        Messages::Recorder recorder;
        QTemporaryDir base;
        Spreadsheet::setFolder(base.filePath(QStringLiteral("Документы")));
        Spreadsheet excel;
        QCOMPARE(excel.OpenWorkbook(QString()), 1);
        excel.setTitle(QStringLiteral("Прайс-лист"));
        QCOMPARE(excel.ShowExcel(true), 1);
        QVERIFY(recorder.shown.isEmpty());
        QCOMPARE(opened, QStringList{base.filePath(QStringLiteral("Документы/Прайс-лист.xlsx"))});
    }

    void theExportsHaveTwoHandles()
    {
        QVERIFY(&Spreadsheet::reports() != &Spreadsheet::timesheet());
        QCOMPARE(&Spreadsheet::reports(), &Spreadsheet::reports());
    }
};

QTEST_MAIN(WorkbookTest)
#include "tst_workbook.moc"
