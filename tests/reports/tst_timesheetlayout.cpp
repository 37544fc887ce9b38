#include "app/windows.h"
#include "core/clock.h"
#include "reportengine/previewdialog.h"
#include "reportengine/report.h"
#include "reportengine/reportdialogs.h"
#include "reports/timesheetlayout.h"
#include "support/modal.h"
#include "support/plantfixture.h"
#include "timesheet/timesheetwindow.h"
#include "ui/messages.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>
#include <cmath>

namespace {

constexpr double kMmPerPt = 25.4 / 72.0;
constexpr double kMargin = 10;

struct Word {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    QString text;
    double centre() const { return (x0 + x1) / 2 - kMargin; }   // from the left margin
    double left() const { return x0 - kMargin; }
    double right() const { return x1 - kMargin; }
    double middle() const { return (y0 + y1) / 2; }
};

struct PdfPage {
    double width = 0, height = 0;
    QVector<Word> words;

    // The words on the line of the first word that reads text.
    QVector<Word> lineOf(const QString& text) const
    {
        QVector<Word> line;
        for (const Word& w : words)
            if (w.text == text) {
                for (const Word& other : words)
                    if (std::abs(other.middle() - w.middle()) < 1)
                        line << other;
                break;
            }
        return line;
    }
    // The words of a line that stand within [from, to] mm from the left margin.
    static QStringList between(const QVector<Word>& line, double from, double to)
    {
        QStringList texts;
        for (const Word& w : line)
            if (w.left() >= from - 0.5 && w.right() <= to + 0.5)
                texts << w.text;
        return texts;
    }
};

// The words of each page of a real PDF, as pdftotext reads them, in millimetres.
QVector<PdfPage> readPdf(const QString& path)
{
    QVector<PdfPage> pages;
    QTemporaryDir dir;
    const QString html = dir.filePath(QStringLiteral("words.html"));
    QProcess tool;
    tool.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox-layout"), path, html});
    if (!tool.waitForFinished(60000) || tool.exitCode() != 0)
        return pages;
    QFile file(html);
    if (!file.open(QIODevice::ReadOnly))
        return pages;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        const auto attr = [&](const char* name) { return xml.attributes().value(QLatin1String(name)).toDouble() * kMmPerPt; };
        if (xml.name() == u"page") {
            PdfPage page;
            page.width = attr("width");
            page.height = attr("height");
            pages << page;
        } else if (xml.name() == u"word" && !pages.isEmpty()) {
            Word w{attr("xMin"), attr("yMin"), attr("xMax"), attr("yMax"), {}};
            w.text = xml.readElementText();
            pages.last().words << w;
        }
    }
    return pages;
}

// One page of a real PDF as pdftoppm draws it, 100 dots per inch.
QImage renderPage(const QString& path, int page)
{
    QTemporaryDir dir;
    const QString prefix = dir.filePath(QStringLiteral("page"));
    QProcess tool;
    tool.start(QStringLiteral("pdftoppm"), {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("100"),
                                             QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                                             QString::number(page), QStringLiteral("-singlefile"), path, prefix});
    if (!tool.waitForFinished(60000) || tool.exitCode() != 0)
        return {};
    return QImage(prefix + QStringLiteral(".png"));
}

// The colour of the drawn page at a point given in millimetres from the left margin and
// from the paper's top.
QColor colourAt(const QImage& page, double fromMargin, double fromTop)
{
    constexpr double dotsPerMm = 100 / 25.4;
    return page.pixelColor(int((fromMargin + kMargin) * dotsPerMm), int(fromTop * dotsPerMm));
}

}

// The printed timesheet: what "Печать" previews, saved as a PDF and read back.
class TimesheetLayoutTest : public QObject {
    Q_OBJECT
    std::unique_ptr<TestDatabase> db;
    TimesheetWindow* window = nullptr;
    TimesheetLayout* layout = nullptr;
    QTemporaryDir dir;
    int ivanov = 0, petrov = 0, sidorov = 0;

    void setDay(int w, int shift, int month, int day, int hours)
    {
        db->exec(QStringLiteral("insert into accounts_dep.h_tabel(w_id, smena, month, year, d%1) values (%2, %3, %4, 2024, %5) "
                                "on conflict (year, month, w_id, smena) do update set d%1=excluded.d%1")
                     .arg(day).arg(w).arg(shift).arg(month).arg(hours));
    }

    struct Printed {
        bool previewShown = false;
        bool rowsOpenWhileShown = false;
        QString period;
        int reportPages = 0;
        QString title;
        QString suggestedPdf;
        QString path;
        QVector<PdfPage> pages;
    };
    // "Печать" for the month, as a user: the preview comes up; what it shows is saved.
    Printed print(int month)
    {
        window->selectPeriod(QDate(2024, month, 1));
        Printed printed;
        const QString path = dir.filePath(QStringLiteral("timesheet-%1.pdf").arg(month));
        onNextModal([&](QWidget* modal) {
            printed.previewShown = qobject_cast<ReportEngine::PreviewDialog*>(modal) != nullptr;
            printed.rowsOpenWhileShown = layout->H_Tabel->isOpen();
            printed.period = layout->period();
            if (auto* preview = qobject_cast<ReportEngine::PreviewDialog*>(modal)) {
                printed.title = preview->windowTitle();
                ReportDialogs::Script script;   // "Сохранить в PDF…" answered with the path
                script.saveAnswers << path;
                preview->onSavePdf();
                printed.suggestedPdf = script.suggested.value(0);
                printed.reportPages = preview->pageCount();
            }
            modal->close();
        });
        Messages::Recorder messages;
        window->findChild<QPushButton*>(QStringLiteral("Button6"))->click();
        if (!messages.shown.isEmpty())
            qWarning() << messages.texts();
        printed.pages = readPdf(path);
        printed.path = path;
        return printed;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        db = std::make_unique<TestDatabase>(QStringLiteral("tslayout"));
        ivanov = Plant::worker(*db, QStringLiteral("Иванов И.И."));
        petrov = Plant::worker(*db, QStringLiteral("Петров П.П."));
        sidorov = Plant::worker(*db, QStringLiteral("Сидоров С.С."));
        Clock::setToday(QDate(2026, 12, 10));
        layout = new TimesheetLayout;
        appWindows().timesheetLayout = layout;
        window = new TimesheetWindow;
        appWindows().timesheet = window;
    }
    void cleanupTestCase()
    {
        delete window;
        delete layout;
        appWindows() = AppWindows();
        Clock::setToday({});
        db.reset();
    }
    void init() { db->exec(QStringLiteral("delete from accounts_dep.h_tabel")); }
    void cleanup() { QVERIFY(noTopLevelWindowOpen()); }

    void theLayoutWindow()
    {
        QCOMPARE(layout->objectName(), QStringLiteral("TForm15"));
        QCOMPARE(layout->Report1->objectName(), QStringLiteral("Report1"));
        QCOMPARE(layout->H_Tabel->name(), QStringLiteral("H_Tabel"));
        QVERIFY(layout->H_Tabel->sql().startsWith(QStringLiteral("select person.s_caption fio,sum(d1) as sd1,")));
        QVERIFY(layout->H_Tabel->sql().endsWith(QStringLiteral("\nyear=:yea group by fio order by fio")));
        QCOMPARE(layout->period(), QStringLiteral("Данные за:"));
        QVERIFY(layout->isHidden());
    }

    // Shifts 1, 2 and 4 summed into one row per name; positions within half a millimetre.
    void theMonthPrintsOneRowPerWorkerUnderItsDays()
    {
        setDay(ivanov, 1, 6, 3, 8);
        setDay(ivanov, 2, 6, 3, 4);
        setDay(ivanov, 2, 6, 4, 9);
        setDay(petrov, 4, 6, 5, 3);   // overtime: no page in the window, but printed
        setDay(sidorov, 1, 6, 31, 5); // June has no 31st; the column prints what the row holds
        setDay(sidorov, 1, 7, 2, 6);  // another month
        const Printed printed = print(6);
        QVERIFY(printed.previewShown);
        QVERIFY(printed.rowsOpenWhileShown);
        QVERIFY(!layout->H_Tabel->isOpen());
        QCOMPARE(printed.period, QStringLiteral("Июнь 2024 г."));
        QCOMPARE(printed.title, QStringLiteral("Табель по времени"));
        QVERIFY2(printed.suggestedPdf.endsWith(QStringLiteral("Табель Июнь 2024.pdf")), qPrintable(printed.suggestedPdf));
        QCOMPARE(printed.pages.size(), 1);
        const PdfPage& page = printed.pages.first();
        QVERIFY(std::abs(page.width - 297) < 1 && std::abs(page.height - 210) < 1);   // landscape A4

        const QVector<Word> header = page.lineOf(QStringLiteral("Итого"));
        QVERIFY(!header.isEmpty());
        QCOMPARE(PdfPage::between(header, 0, 81), QStringList({"Июнь", "2024", "г."}));
        for (const Word& w : header) {
            if (w.text == u"Июнь")
                QVERIFY2(std::abs(w.left()) <= 0.5, qPrintable(QString::number(w.left())));
            if (w.text == u"Итого")
                QVERIFY2(std::abs(w.left() - 264.6) <= 0.5, qPrintable(QString::number(w.left())));
        }
        for (int day = 1; day <= 31; ++day) {
            const QStringList inColumn = PdfPage::between(header, TimesheetLayout::dayLeft(day), TimesheetLayout::dayLeft(day) + 5.3);
            QCOMPARE(inColumn, QStringList{QString::number(day)});
        }

        struct Row { QString name; QMap<int, int> hours; int total; };
        const QVector<Row> rows = {
            {QStringLiteral("Иванов"), {{3, 12}, {4, 9}}, 21},
            {QStringLiteral("Петров"), {{5, 3}}, 3},
            {QStringLiteral("Сидоров"), {{31, 5}}, 5},
        };
        double previousY = 0;
        for (const Row& row : rows) {
            const QVector<Word> line = page.lineOf(row.name);
            QVERIFY2(!line.isEmpty(), qPrintable(row.name));
            QVERIFY(line.first().middle() > previousY);   // in name order
            previousY = line.first().middle();
            QCOMPARE(PdfPage::between(line, 0, 80.4).join(u' '), row.name + QStringLiteral(" ") + (row.name == u"Иванов" ? "И.И." : row.name == u"Петров" ? "П.П." : "С.С."));
            QVERIFY(std::abs(line.first().left()) <= 0.5);
            for (int day = 1; day <= 31; ++day) {
                const double left = TimesheetLayout::dayLeft(day);
                const QStringList inColumn = PdfPage::between(line, left, left + 5.3);
                QCOMPARE(inColumn, QStringList{QString::number(row.hours.value(day, 0))});
                for (const Word& w : line)
                    if (w.left() >= left - 0.5 && w.right() <= left + 5.8)
                        QVERIFY2(std::abs(w.centre() - (left + 2.65)) <= 0.5, qPrintable(QStringLiteral("day %1").arg(day)));
            }
            const QStringList total = PdfPage::between(line, 264.6, 264.6 + 10.3);
            QCOMPARE(total, QStringList{QString::number(row.total)});
            for (const Word& w : line)
                if (w.left() >= 264.1)
                    QVERIFY(std::abs(w.centre() - (264.6 + 10.3 / 2)) <= 0.5);
        }
        // The row total is bold, the day sums are not (the day numbers of the header are).
        const ReportEngine::Document& document = layout->Report1->document();
        int totals = 0, sums = 0;
        for (const ReportEngine::Item* item : document.find(0, QStringLiteral("21")))
            if (std::abs(item->x - kMargin - 264.6) < 0.1) {
                QVERIFY(item->bold);
                ++totals;
            }
        for (const ReportEngine::Item* item : document.find(0, QStringLiteral("12")))
            if (std::abs(item->x - kMargin - TimesheetLayout::dayLeft(3)) < 0.1 && item->y > kMargin + 1) {
                QVERIFY(!item->bold);
                ++sums;
            }
        QCOMPARE(totals, 1);
        QCOMPARE(sums, 1);

        // The page number, right-aligned to 252.7 + 25.7 mm.
        bool numbered = false;
        for (const Word& w : page.words)
            if (w.text == u"1" && w.middle() > 190)
                numbered = std::abs(w.right() - (252.7 + 25.7)) <= 0.5;
        QVERIFY(numbered);
    }

    // Every page starts with the header and ends with its number; every worker once.
    void everyPageHasItsHeader()
    {
        QStringList expected;
        for (int i = 1; i <= 95; ++i) {
            const QString name = QStringLiteral("Рабочий%1").arg(i, 3, 10, QLatin1Char('0'));
            const int id = Plant::worker(*db, name);
            setDay(id, 1 + i % 3, 4, 1 + i % 30, i % 12);
            setDay(id, 1, 4, 31, 1);
            expected << name;
        }
        const Printed printed = print(4);
        QVERIFY(printed.pages.size() >= 3);
        QCOMPARE(printed.pages.size(), printed.reportPages);
        QStringList seen;
        for (int p = 0; p < printed.pages.size(); ++p) {
            const PdfPage& page = printed.pages[p];
            const QVector<Word> header = page.lineOf(QStringLiteral("Итого"));
            QVERIFY2(!header.isEmpty(), qPrintable(QStringLiteral("page %1").arg(p + 1)));
            QCOMPARE(PdfPage::between(header, 0, 81), QStringList({"Апрель", "2024", "г."}));
            for (int day = 1; day <= 31; ++day)
                QCOMPARE(PdfPage::between(header, TimesheetLayout::dayLeft(day), TimesheetLayout::dayLeft(day) + 5.3),
                         QStringList{QString::number(day)});
            const double headerY = header.first().middle();
            bool numbered = false;
            for (const Word& w : page.words) {
                if (w.text.startsWith(QStringLiteral("Рабочий"))) {
                    QVERIFY(w.middle() > headerY);
                    seen << w.text;
                    const int i = w.text.mid(7).toInt();
                    const QVector<Word> line = page.lineOf(w.text);
                    const int day = 1 + i % 30;
                    QCOMPARE(PdfPage::between(line, TimesheetLayout::dayLeft(day), TimesheetLayout::dayLeft(day) + 5.3),
                             QStringList{QString::number(i % 12)});
                    QCOMPARE(PdfPage::between(line, TimesheetLayout::dayLeft(31), TimesheetLayout::dayLeft(31) + 5.3),
                             QStringList{QStringLiteral("1")});
                    QCOMPARE(PdfPage::between(line, 264.6, 274.9), QStringList{QString::number(i % 12 + 1)});
                }
                if (w.middle() > 190 && w.text == QString::number(p + 1) && std::abs(w.right() - 278.4) <= 0.5)
                    numbered = true;
            }
            QVERIFY2(numbered, qPrintable(QStringLiteral("page %1").arg(p + 1)));
        }
        QCOMPARE(seen, expected);
    }

    // The header is light grey and so is its period label; the day numbers stand on white.
    void theHeaderIsGrey()
    {
        setDay(ivanov, 1, 6, 3, 8);
        const Printed printed = print(6);
        QCOMPARE(printed.pages.size(), 1);
        const QVector<Word> header = printed.pages.first().lineOf(QStringLiteral("Итого"));
        QVERIFY(!header.isEmpty());
        const double y = header.first().middle();
        const QImage page = renderPage(printed.path, 1);
        QVERIFY(!page.isNull());
        const QColor grey(244, 244, 244), white(Qt::white);
        QCOMPARE(colourAt(page, 60, y), grey);                                     // the period label, past its text
        QCOMPARE(colourAt(page, TimesheetLayout::dayLeft(31) + 5.3 + 2.5, y), grey);   // the band between day 31 and "Итого"
        QCOMPARE(colourAt(page, TimesheetLayout::dayLeft(1) + 0.8, y), white);     // a day number's label
        // The rows under it stay white.
        const QVector<Word> row = printed.pages.first().lineOf(QStringLiteral("Иванов"));
        QVERIFY(!row.isEmpty());
        QCOMPARE(colourAt(page, 60, row.first().middle()), white);
    }

    void anEmptyMonthPrintsTheHeaderAndThePageNumber()
    {
        const Printed printed = print(2);
        QCOMPARE(printed.pages.size(), 1);
        const PdfPage& page = printed.pages.first();
        QCOMPARE(PdfPage::between(page.lineOf(QStringLiteral("Итого")), 0, 81), QStringList({"Февраль", "2024", "г."}));
        bool numbered = false;
        for (const Word& w : page.words)
            numbered = numbered || (w.text == u"1" && w.middle() > 190);
        QVERIFY(numbered);
    }
};

QTEST_MAIN(TimesheetLayoutTest)
#include "tst_timesheetlayout.moc"
