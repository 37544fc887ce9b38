#include "app/windows.h"
#include "db/dataset.h"
#include "reportengine/report.h"
#include "reportplant.h"
#include "reportrun.h"
#include "reports/productdetaillayout.h"
#include "reports/productsummarylayout.h"
#include "reports/summaryreportswindow.h"
#include "reports/workerdetaillayout.h"
#include "reports/workersummarylayout.h"
#include "ui/messages.h"

#include <QApplication>
#include <QPushButton>
#include <QtTest>
#include <optional>

using pdfwords::Box;
using pdfwords::Column;
using pdfwords::Pdf;

namespace {

// A text expected in a column of one printed line.
struct Cell {
    Column column;
    QString text;
};
using Line = QVector<Cell>;

constexpr auto L = Qt::AlignLeft;
constexpr auto C = Qt::AlignHCenter;

// Columns as the layouts place them, in millimetres from the left margin.
namespace ws {   // worker summary
const Column group{0.3, 100, L}, kind{13.2, 55.3, L}, vid{56.9, 100.0, C}, colour{101.6, 136.3, L},
    kolvo{137.8, 157.1, C}, summa{163.0, 186.5, C}, nomKolvo{137.8, 157.1, C}, nomSumma{163.0, 186.8, C},
    fioSumma{163.0, 186.8, C}, totalLabel{137.8, 160, L}, totalSumma{160.9, 188.9, C};
}
namespace ps {   // product summary
const Column group{0.3, 100, L}, kind{13.2, 53.2, L}, vid{54.8, 91.0, C}, colour{92.6, 132.0, L},
    mass{133.6, 152.9, C}, kolvo{163.0, 186.5, C}, nomMass{133.6, 152.9, C}, nomKolvo{163.0, 186.8, C},
    totalLabel{106.4, 130, L}, totalMass{131.2, 154.7, C}, totalKolvo{160.9, 188.9, C},
    boxes{136.3, 160, L}, amount{165.1, 190, L};
}
namespace wd {   // detailed worker report
const Column group{0.3, 100, L}, marka{0.3, 41.3, L}, vid{42.9, 72.0, C}, colour{73.6, 89.7, C},
    kind{91.3, 121.2, L}, defectsCol{128.1, 137.1, C}, kolvo{146.3, 163.8, C}, summa{169.9, 189.5, C},
    fioBrk{128.3, 137.3, C}, fioKolvo{145.5, 164.8, C}, fioSumma{169.9, 189.5, C}, totalLabel{106.1, 130, L},
    totalBrk{132.0, 143.4, C}, totalKolvo{145.0, 164.3, C}, totalSumma{165.9, 189.4, C},
    defects{124.1, 133, L}, amount{133.3, 157, L}, sum{157.4, 190, L};
}
namespace pd {   // detailed product report
const Column group{0.3, 100, L}, marka{1.1, 53.2, L}, vid{52.9, 80.7, L}, colour{81.2, 97.9, C},
    kind{99.5, 126.5, L}, defectsCol{125.4, 132.0, C}, mass{133.6, 152.4, C}, kolvo{152.1, 168.8, C},
    summa{169.9, 189.0, C}, nomBrk{124.4, 133.1, C}, nomMass{132.8, 151.6, C}, nomKolvo{152.1, 168.8, C},
    nomSumma{169.9, 190.0, C}, totalLabel{99.7, 124, L}, totalBrk{124.4, 132.9, C}, totalMass{132.8, 151.6, C},
    totalKolvo{152.1, 168.8, C}, totalSumma{169.9, 189.0, C}, defects{124.4, 134, L}, boxes{134.9, 153, L},
    amount{153.5, 173, L}, sum{173.8, 190, L};
}
const Column pageNumber{176.2, 190, L};

// A colour printed after a blank: its first letter stands one blank's width to the right.
bool standsInColumn(const Box& box, const Column& c, bool afterBlank)
{
    if (!afterBlank)
        return pdfwords::standsIn(box, c);
    const double x0 = box.x0 - pdfwords::kMargin;
    return x0 >= c.from - 0.5 && x0 <= c.from + 1.5;
}

// The vertical middle of the first line of the page on which every cell stands in its
// column; nothing when there is none.
std::optional<double> findLine(const Pdf& pdf, int page, const Line& line, bool colourAfterBlank = false,
                               const Column* colour = nullptr)
{
    auto fits = [&](const Box& b, const Cell& cell) {
        const bool blankFirst = colourAfterBlank && colour && cell.column.from == colour->from;
        return standsInColumn(b, cell.column, blankFirst);
    };
    for (const Box& first : pdf.find(page, line[0].text)) {
        if (!fits(first, line[0]))
            continue;
        bool all = true;
        for (int i = 1; i < line.size() && all; ++i) {
            bool found = false;
            for (const Box& b : pdf.find(page, line[i].text))
                if (std::abs(b.middle() - first.middle()) < 1 && fits(b, line[i]))
                    found = true;
            all = found;
        }
        if (all)
            return first.middle();
    }
    return std::nullopt;
}

QString describe(const Pdf& pdf, int page)
{
    QStringList out;
    for (const Box& b : pdf.pages.value(page))
        out << QStringLiteral("%1 [%2..%3 @%4]").arg(b.text).arg(b.x0 - pdfwords::kMargin, 0, 'f', 1)
                   .arg(b.x1 - pdfwords::kMargin, 0, 'f', 1).arg(b.middle(), 0, 'f', 1);
    return out.join(u'\n');
}

QString lineText(const Line& line)
{
    QStringList texts;
    for (const Cell& c : line)
        texts << c.text;
    return texts.join(QStringLiteral(" | "));
}

}

// The four printed summaries on the real server: the report buttons of "Отчеты", the
// preview, its PDF read back with the positions of the words.
class SummaryLayoutsTest : public QObject {
    Q_OBJECT
    std::unique_ptr<TestDatabase> db;
    reportplant::Plant plant;
    SummaryReportsWindow* window = nullptr;
    QTemporaryDir dir;

    QPushButton* button(const char* name) const { return window->findChild<QPushButton*>(QLatin1String(name)); }

    reportrun::Run run(const char* buttonName, int kind, const QDate& from, const QDate& to)
    {
        window->setPeriod(from, to);
        window->selectProductKind(kind);
        Messages::Recorder recorder;
        const QMap<QString, SummaryLayout*> layouts = {{"Button4", appWindows().workerSummary},
                                                       {"Button2", appWindows().productSummary},
                                                       {"Button1", appWindows().workerDetail},
                                                       {"Button3", appWindows().productDetail}};
        reportrun::Run r = reportrun::clickAndSave(button(buttonName), layouts.value(QLatin1String(buttonName)), dir);
        [&] { QVERIFY2(recorder.shown.isEmpty(), qPrintable(recorder.texts().join(u'\n'))); }();
        return r;
    }

    static void expectLines(const Pdf& pdf, const QVector<Line>& lines, const Column* colour = nullptr)
    {
        for (const Line& line : lines)
            QVERIFY2(findLine(pdf, 0, line, colour != nullptr, colour).has_value(),
                     qPrintable(QStringLiteral("not printed as expected: %1\n%2").arg(lineText(line), describe(pdf, 0))));
    }
    static double yOf(const Pdf& pdf, const Line& line, const Column* colour = nullptr)
    {
        const std::optional<double> y = findLine(pdf, 0, line, colour != nullptr, colour);
        return y ? *y : -1;
    }
    static int count(const Pdf& pdf, int page, const QString& text)
    {
        return int(pdf.find(page, text).size());
    }
    // The page footer of every page carries its number at 176.2 mm, near the bottom.
    static void expectPageNumbers(const Pdf& pdf)
    {
        for (int page = 0; page < pdf.pageCount(); ++page) {
            const std::optional<double> y = findLine(pdf, page, {{pageNumber, QString::number(page + 1)}});
            QVERIFY2(y && *y > 270 && *y < 287, qPrintable(QStringLiteral("page %1:\n%2").arg(page + 1).arg(describe(pdf, page))));
        }
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        db = std::make_unique<TestDatabase>(QStringLiteral("summarylayouts"));
        plant = reportplant::loadDirectories(*db);
        reportplant::loadMarch(*db, plant);
        AppWindows& w = appWindows();
        w.workerSummary = new WorkerSummaryLayout;
        w.productSummary = new ProductSummaryLayout;
        w.workerDetail = new WorkerDetailLayout;
        w.productDetail = new ProductDetailLayout;
        window = new SummaryReportsWindow;
        w.summaryReports = window;
    }
    void cleanupTestCase()
    {
        AppWindows& w = appWindows();
        delete window;
        delete w.workerSummary;
        delete w.productSummary;
        delete w.workerDetail;
        delete w.productDetail;
        w = AppWindows{};
        db.reset();
    }
    void cleanup() { QVERIFY(noTopLevelWindowOpen()); }

    void layoutWindowsAreHiddenAndNamed()
    {
        const AppWindows& w = appWindows();
        const QList<QPair<SummaryLayout*, QStringList>> expected = {
            {w.workerSummary, {"TForm16", "t_Report"}}, {w.productSummary, {"TForm17", "t_Report"}},
            {w.workerDetail, {"TForm20", "w_Report"}}, {w.productDetail, {"TForm21", "i_Report"}}};
        for (const auto& [layout, names] : expected) {
            QCOMPARE(layout->objectName(), names[0]);
            QCOMPARE(layout->query()->name(), names[1]);
            QCOMPARE(layout->report()->objectName(), QStringLiteral("Report1"));
            QVERIFY(layout->report()->layout().field(QStringLiteral("QRLabel1")));
            QVERIFY(!layout->isVisible());
        }
    }

    void reportButtonsTitleAndNameTheirReports_data()
    {
        QTest::addColumn<QString>("buttonName");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("report");
        QTest::newRow("worker summary") << "Button4" << "   Отчет по рабочим за период с 01.03.2024 по 01.04.2024" << "Отчет по рабочим";
        QTest::newRow("product summary") << "Button2" << "   Отчет по продукции за период с 01.03.2024 по 01.04.2024" << "Отчет по продукции";
        QTest::newRow("worker detail") << "Button1" << "   Детальный отчет по рабочим за период с 01.03.2024 по 01.04.2024"
                                       << "Детальный отчет по рабочим";
        QTest::newRow("product detail") << "Button3" << "   Детальный отчет по продукции за период с 01.03.2024 по 01.04.2024"
                                        << "Детальный отчет по продукции";
    }
    void reportButtonsTitleAndNameTheirReports()
    {
        QFETCH(QString, buttonName);
        QFETCH(QString, title);
        QFETCH(QString, report);
        const reportrun::Run r = run(qPrintable(buttonName), 0, reportplant::kMarch, reportplant::kApril);
        QVERIFY(r.previewShown);
        QCOMPARE(r.pdf.pageCount(), 1);
        QCOMPARE(r.previewPages, 1);
        // The preview saves what it shows.
        QCOMPARE(r.savedPdf.allWords(), r.pdf.allWords());
        QVERIFY(r.previewTitle.contains(report));
        QVERIFY2(r.suggestedPdfName.endsWith(report + QStringLiteral(" с 01.03.2024 по 01.04.2024.pdf")),
                 qPrintable(r.suggestedPdfName));
        // The title label, three blanks first, on the grey header at the top of the page.
        const QVector<Box> printed = r.pdf.find(0, title.trimmed());
        QCOMPARE(printed.size(), 1);
        QVERIFY(printed.first().y0 < 20);
        QVERIFY(printed.first().x0 - pdfwords::kMargin > 0.5);
        SummaryLayout* layouts[] = {appWindows().workerSummary, appWindows().productSummary, appWindows().workerDetail,
                                    appWindows().productDetail};
        bool titled = false;
        for (SummaryLayout* layout : layouts) {
            titled = titled || layout->title() == title;
            QVERIFY(!layout->query()->isOpen());
        }
        QVERIFY(titled);
        expectPageNumbers(r.pdf);
    }

    void workerSummaryGroupsWorkersAndProducts()
    {
        const reportrun::Run r = run("Button4", 0, reportplant::kMarch, reportplant::kApril);
        const Pdf& pdf = r.pdf;
        using namespace ws;
        const QString finished = QStringLiteral("Готовая продукция"), blank = QStringLiteral("Заготовки");
        expectLines(pdf, {
            {{group, "Абрамов А.А."}}, {{group, "Иванов И.И."}}, {{group, "Петров П.П."}},
            {{kind, finished}, {vid, "Гибка"}, {kolvo, "2"}, {summa, "20,000"}},
            {{kind, finished}, {vid, "Гибка"}, {kolvo, "14"}, {summa, "140,000"}},
            {{kind, finished}, {vid, "Резка"}, {kolvo, "18"}, {summa, "90,000"}},
            {{kind, finished}, {vid, "Покраска КРАСКА"}, {colour, "(RAL: 1013)"}, {kolvo, "4"}, {summa, "12,000"}},
            {{kind, blank}, {vid, "Резка"}, {kolvo, "7"}, {summa, "14,000"}},
            {{kind, finished}, {vid, "Покраска КРАСКА"}, {colour, "(грунт)"}, {kolvo, "6"}, {summa, "18,000"}},
            {{kind, blank}, {vid, "Гибка"}, {kolvo, "3"}, {summa, "4,500"}},
            {{nomKolvo, "36"}, {nomSumma, "242,000"}}, {{nomKolvo, "7"}, {nomSumma, "14,000"}},
            {{fioSumma, "256,00"}}, {{fioSumma, "20,00"}}, {{fioSumma, "22,50"}},
            {{totalLabel, "Итого:"}, {totalSumma, "298,50"}},
        }, &colour);
        // Colour 0 prints nothing after the operation.
        const double bendY = yOf(pdf, {{vid, "Гибка"}, {kolvo, "14"}});
        for (const Box& b : pdf.line(0, bendY))
            QVERIFY2(!(b.x0 - pdfwords::kMargin > 100.5 && b.x1 - pdfwords::kMargin < 137.5), qPrintable(b.text));
        // Two operations of one product for one worker: one product group inside the
        // worker's group, its two lines, then the subtotal.
        const double ivanov = yOf(pdf, {{group, "Иванов И.И."}}), petrov = yOf(pdf, {{group, "Петров П.П."}});
        QVector<double> brackets;
        for (const Box& b : pdf.find(0, QStringLiteral("Кронштейн КР-100")))
            if (b.middle() > ivanov && b.middle() < petrov)
                brackets << b.middle();
        QCOMPARE(brackets.size(), 1);
        const double cut = yOf(pdf, {{vid, "Резка"}, {kolvo, "18"}}), subtotal = yOf(pdf, {{nomKolvo, "36"}});
        QVERIFY(brackets[0] < bendY && brackets[0] < cut);
        QVERIFY(bendY < subtotal && cut < subtotal && subtotal < petrov);
        QVERIFY(yOf(pdf, {{fioSumma, "256,00"}}) < petrov);
        QCOMPARE(count(pdf, 0, QStringLiteral("Итого:")), 1);
    }

    void productKindAndPeriodChooseTheRows_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<QStringList>("workers");
        QTest::addColumn<QString>("total");
        QTest::newRow("every kind") << 0 << reportplant::kMarch << reportplant::kApril
                                    << QStringList{"Абрамов А.А.", "Иванов И.И.", "Петров П.П."} << "298,50";
        QTest::newRow("finished products") << 1 << reportplant::kMarch << reportplant::kApril
                                           << QStringList{"Абрамов А.А.", "Иванов И.И.", "Петров П.П."} << "280,00";
        QTest::newRow("blanks") << 2 << reportplant::kMarch << reportplant::kApril
                                << QStringList{"Иванов И.И.", "Петров П.П."} << "18,50";
        QTest::newRow("the day before, «по» excluded") << 0 << QDate(2024, 2, 29) << reportplant::kMarch
                                                        << QStringList{"Иванов И.И."} << "1000,00";
        QTest::newRow("the first of April, «с» included") << 0 << reportplant::kApril << QDate(2024, 4, 2)
                                                          << QStringList{"Иванов И.И."} << "10000,00";
        QTest::newRow("same day both ends") << 0 << reportplant::kMarch << reportplant::kMarch << QStringList{} << "0,00";
    }
    void productKindAndPeriodChooseTheRows()
    {
        QFETCH(int, kind);
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(QStringList, workers);
        QFETCH(QString, total);
        const reportrun::Run r = run("Button4", kind, from, to);
        QVERIFY(r.previewShown);
        QCOMPARE(r.pdf.pageCount(), 1);
        QStringList printed;
        for (const QString& name : {"Абрамов А.А.", "Иванов И.И.", "Петров П.П."})
            if (findLine(r.pdf, 0, {{ws::group, name}}))
                printed << name;
        QCOMPARE(printed, workers);
        QVERIFY2(findLine(r.pdf, 0, {{ws::totalLabel, "Итого:"}, {ws::totalSumma, total}}), qPrintable(describe(r.pdf, 0)));
        expectPageNumbers(r.pdf);
        if (kind == 2) {
            QCOMPARE(count(r.pdf, 0, QStringLiteral("Кронштейн КР-100")), 0);
            QCOMPARE(count(r.pdf, 0, QStringLiteral("Готовая продукция")), 0);
        }
    }

    // The storekeeper's fixed "Готовая продукция" holds for every report.
    void finishedProductsOnlyInEveryReport_data()
    {
        QTest::addColumn<QString>("buttonName");
        QTest::addColumn<QString>("absentProduct");
        QTest::newRow("worker summary") << "Button4" << "Профиль ПР-20";
        QTest::newRow("product summary") << "Button2" << "Профиль ПР-20";
        QTest::newRow("worker detail") << "Button1" << "ПР-20";
        QTest::newRow("product detail") << "Button3" << "Профиль ПР-20";
    }
    void finishedProductsOnlyInEveryReport()
    {
        QFETCH(QString, buttonName);
        QFETCH(QString, absentProduct);
        const reportrun::Run r = run(qPrintable(buttonName), 1, reportplant::kMarch, reportplant::kApril);
        QVERIFY(r.previewShown);
        const QStringList words = r.pdf.allWords();
        QVERIFY(words.contains(QStringLiteral("Готовая")));
        QVERIFY(!words.contains(QStringLiteral("Заготовки")));
        QCOMPARE(count(r.pdf, 0, absentProduct), 0);
    }

    void productSummaryCountsBoxesAndPieces()
    {
        const reportrun::Run r = run("Button2", 0, reportplant::kMarch, reportplant::kApril);
        const Pdf& pdf = r.pdf;
        using namespace ps;
        const QString finished = QStringLiteral("Готовая продукция"), blank = QStringLiteral("Заготовки");
        expectLines(pdf, {
            {{boxes, "Коробки"}, {amount, "Количество"}},
            {{group, "Кронштейн КР-100"}}, {{group, "Профиль ПР-20"}}, {{group, "Салазка СК-5"}},
            {{kind, finished}, {vid, "Гибка"}, {mass, "4"}, {kolvo, "16"}},
            {{kind, finished}, {vid, "Резка"}, {mass, "4,5"}, {kolvo, "18"}},
            {{kind, finished}, {vid, "Покраска КРАСКА"}, {colour, "(RAL: 1013)"}, {mass, "1"}, {kolvo, "4"}},
            {{kind, finished}, {vid, "Покраска КРАСКА"}, {colour, "(грунт)"}, {mass, "1,5"}, {kolvo, "6"}},
            {{kind, blank}, {vid, "Резка"}, {mass, "10,5"}, {kolvo, "7"}},
            {{kind, blank}, {vid, "Гибка"}, {mass, "0,3"}, {kolvo, "3"}},
            {{nomMass, "11"}, {nomKolvo, "44"}}, {{nomMass, "10,5"}, {nomKolvo, "7"}}, {{nomMass, "0,3"}, {nomKolvo, "3"}},
            {{totalLabel, "Итого:"}, {totalMass, "22"}, {totalKolvo, "54"}},
        }, &colour);
        // Each product once, in name order.
        const double a = yOf(pdf, {{group, "Кронштейн КР-100"}}), b = yOf(pdf, {{group, "Профиль ПР-20"}}),
                     c = yOf(pdf, {{group, "Салазка СК-5"}});
        QVERIFY(a < b && b < c);
        QCOMPARE(count(pdf, 0, QStringLiteral("Кронштейн КР-100")), 1);
        expectPageNumbers(pdf);
    }

    void workerDetailPrintsMarkasColoursAndDefects()
    {
        const reportrun::Run r = run("Button1", 0, reportplant::kMarch, reportplant::kApril);
        const Pdf& pdf = r.pdf;
        using namespace wd;
        const QString finished = QStringLiteral("Готовая продукция"), blank = QStringLiteral("Заготовки");
        expectLines(pdf, {
            {{defects, "Брак"}, {amount, "Количество"}, {sum, "Сумма"}},
            {{group, "Абрамов А.А."}}, {{group, "Иванов И.И."}}, {{group, "Петров П.П."}},
            {{marka, "КР-100"}, {vid, "Гибка"}, {colour, "0"}, {kind, finished}, {defectsCol, "0"}, {kolvo, "2"}, {summa, "20,00"}},
            {{marka, "КР-100"}, {vid, "Гибка"}, {colour, "0"}, {kind, finished}, {defectsCol, "1"}, {kolvo, "15"}, {summa, "140,00"}},
            {{marka, "КР-100"}, {vid, "Покраска КРАСКА"}, {colour, "1013"}, {kind, finished}, {defectsCol, "0"}, {kolvo, "4"}, {summa, "12,00"}},
            {{marka, "КР-100"}, {vid, "Резка"}, {colour, "0"}, {kind, finished}, {defectsCol, "2"}, {kolvo, "20"}, {summa, "90,00"}},
            {{marka, "ПР-20"}, {vid, "Резка"}, {colour, "0"}, {kind, blank}, {defectsCol, "0"}, {kolvo, "7"}, {summa, "14,00"}},
            {{marka, "КР-100"}, {vid, "Покраска КРАСКА"}, {colour, "1"}, {kind, finished}, {defectsCol, "0"}, {kolvo, "6"}, {summa, "18,00"}},
            {{marka, "СК-5"}, {vid, "Гибка"}, {colour, "0"}, {kind, blank}, {defectsCol, "0"}, {kolvo, "3"}, {summa, "4,50"}},
            {{fioBrk, "0"}, {fioKolvo, "2"}, {fioSumma, "20,00"}},
            {{fioBrk, "3"}, {fioKolvo, "46"}, {fioSumma, "256,00"}},
            {{fioBrk, "0"}, {fioKolvo, "9"}, {fioSumma, "22,50"}},
            {{totalLabel, "Итого:"}, {totalBrk, "3"}, {totalKolvo, "57"}, {totalSumma, "298,50"}},
        });
        // In marka and operation order inside the worker.
        const double bend = yOf(pdf, {{vid, "Гибка"}, {kolvo, "15"}}), paint = yOf(pdf, {{vid, "Покраска КРАСКА"}, {kolvo, "4"}}),
                     cut = yOf(pdf, {{vid, "Резка"}, {kolvo, "20"}}), profile = yOf(pdf, {{marka, "ПР-20"}});
        QVERIFY(bend < paint && paint < cut && cut < profile);
        expectPageNumbers(pdf);
    }

    void productDetailPrintsBoxesOfAllPiecesMade()
    {
        const reportrun::Run r = run("Button3", 0, reportplant::kMarch, reportplant::kApril);
        const Pdf& pdf = r.pdf;
        using namespace pd;
        const QString finished = QStringLiteral("Готовая продукция"), blank = QStringLiteral("Заготовки");
        expectLines(pdf, {
            {{defects, "Брак"}, {boxes, "Коробки"}, {amount, "Кол-во"}, {sum, "Сумма"}},
            {{group, "Кронштейн КР-100"}}, {{group, "Профиль ПР-20"}}, {{group, "Салазка СК-5"}},
            {{marka, "КР-100"}, {vid, "Гибка"}, {colour, "0"}, {kind, finished}, {defectsCol, "1"}, {mass, "4,25"}, {kolvo, "17"}, {summa, "160,000"}},
            {{marka, "КР-100"}, {vid, "Покраска КРАСКА"}, {colour, "1"}, {kind, finished}, {defectsCol, "0"}, {mass, "1,5"}, {kolvo, "6"}, {summa, "18,000"}},
            {{marka, "КР-100"}, {vid, "Покраска КРАСКА"}, {colour, "1013"}, {kind, finished}, {defectsCol, "0"}, {mass, "1"}, {kolvo, "4"}, {summa, "12,000"}},
            {{marka, "КР-100"}, {vid, "Резка"}, {colour, "0"}, {kind, finished}, {defectsCol, "2"}, {mass, "5"}, {kolvo, "20"}, {summa, "90,000"}},
            {{marka, "ПР-20"}, {vid, "Резка"}, {colour, "0"}, {kind, blank}, {defectsCol, "0"}, {mass, "10,5"}, {kolvo, "7"}, {summa, "14,000"}},
            {{marka, "СК-5"}, {vid, "Гибка"}, {colour, "0"}, {kind, blank}, {defectsCol, "0"}, {mass, "0,3"}, {kolvo, "3"}, {summa, "4,500"}},
            {{nomBrk, "3"}, {nomMass, "11,75"}, {nomKolvo, "47"}, {nomSumma, "280,00"}},
            {{nomBrk, "0"}, {nomMass, "10,50"}, {nomKolvo, "7"}, {nomSumma, "14,00"}},
            {{nomBrk, "0"}, {nomMass, "0,30"}, {nomKolvo, "3"}, {nomSumma, "4,50"}},
            {{totalLabel, "Итого:"}, {totalBrk, "3"}, {totalMass, "22,55"}, {totalKolvo, "57"}, {totalSumma, "298,50"}},
        });
        expectPageNumbers(pdf);
    }

    void emptyPeriodStillPrintsAPageWithItsFooter_data()
    {
        QTest::addColumn<QString>("buttonName");
        QTest::addColumn<QString>("total");
        QTest::newRow("worker summary") << "Button4" << "0,00";
        QTest::newRow("product summary") << "Button2" << "0";
        QTest::newRow("worker detail") << "Button1" << "0,00";
        QTest::newRow("product detail") << "Button3" << "0,00";
    }
    void emptyPeriodStillPrintsAPageWithItsFooter()
    {
        QFETCH(QString, buttonName);
        QFETCH(QString, total);
        const reportrun::Run r = run(qPrintable(buttonName), 0, reportplant::kMarch, reportplant::kMarch);
        QVERIFY(r.previewShown);
        QCOMPARE(r.pdf.pageCount(), 1);
        QVERIFY(!r.pdf.find(0, QStringLiteral("за период с 01.03.2024 по 01.03.2024")).isEmpty());
        QCOMPARE(count(r.pdf, 0, QStringLiteral("Итого:")), 1);
        QVERIFY(count(r.pdf, 0, total) >= 1);
        expectPageNumbers(r.pdf);
    }

    void longReportNumbersItsPagesAndKeepsGroupsWhole()
    {
        // May 2024: forty more workers with one bend of ten pieces each.
        const QDate may(2024, 5, 1);
        for (int i = 0; i < 40; ++i) {
            const int w = Plant::worker(*db, QStringLiteral("Рабочий %1").arg(i + 10));
            reportplant::entry(*db, w, plant.bracket, plant.bend, may, 10, 0, 1.5);
        }
        const reportrun::Run r = run("Button4", 0, may, may.addMonths(1));
        const Pdf& pdf = r.pdf;
        QVERIFY2(pdf.pageCount() >= 3, qPrintable(QString::number(pdf.pageCount())));
        QCOMPARE(r.previewPages, pdf.pageCount());
        expectPageNumbers(pdf);
        QStringList names;
        int totals = 0;
        for (int page = 0; page < pdf.pageCount(); ++page) {
            // Every product group on this page has its detail line and its subtotal here too.
            const int groups = count(pdf, page, QStringLiteral("Кронштейн КР-100"));
            int tens = 0;
            for (const Box& b : pdf.find(page, QStringLiteral("10")))
                tens += pdfwords::standsIn(b, ws::kolvo) ? 1 : 0;
            QCOMPARE(tens, 2 * groups);
            for (int i = 0; i < 40; ++i)
                if (findLine(pdf, page, {{ws::group, QStringLiteral("Рабочий %1").arg(i + 10)}}))
                    names << QString::number(i + 10);
            totals += count(pdf, page, QStringLiteral("Итого:"));
            for (const Box& b : pdf.pages[page])
                QVERIFY(b.y1 <= 287.5);
        }
        QCOMPARE(names.size(), 40);
        QCOMPARE(totals, 1);
        QVERIFY(findLine(pdf, pdf.pageCount() - 1, {{ws::totalLabel, "Итого:"}, {ws::totalSumma, "600,00"}}));
    }

    void refusedQueryShowsTheErrorAndNoPreview()
    {
        window->setPeriod(reportplant::kMarch, reportplant::kApril);
        db->exec(QStringLiteral("alter table accounts_dep.izdel rename to izdel_away"));
        Messages::Recorder recorder;
        bool shown = false;
        onNextModal([&](QWidget* modal) { shown = true; modal->close(); }, 100);
        button("Button3")->click();
        QTest::qWait(200);
        db->exec(QStringLiteral("alter table accounts_dep.izdel_away rename to izdel"));
        QVERIFY(!shown);
        QCOMPARE(recorder.shown.size(), 1);
        QVERIFY2(recorder.lastText().contains(QStringLiteral("izdel")), qPrintable(recorder.lastText()));
        QVERIFY(!appWindows().productDetail->query()->isOpen());
        QVERIFY(!QApplication::overrideCursor());
    }
};

QTEST_MAIN(SummaryLayoutsTest)
#include "tst_summarylayouts.moc"
