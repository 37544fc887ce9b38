#include "enginetest_helpers.h"

#include "reportengine/previewdialog.h"
#include "reportengine/report.h"
#include "reportengine/reportdialogs.h"
#include "support/modal.h"
#include "ui/messages.h"

#include <QLabel>
#include <QPrinter>
#include <QPushButton>
#include <QScrollArea>
#include <QScopeGuard>
#include <QScrollBar>
#include <QWheelEvent>
#include <QTemporaryDir>
#include <QtTest>

using namespace ReportEngine;
using namespace EngineTest;

// The preview a user gets from a report: paging, zoom, saving and printing, closing.
class PreviewDialogTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

    static QVector<QVector<QVariant>> rows(int count)
    {
        QVector<QVector<QVariant>> list;
        for (int i = 0; i < count; ++i)
            list.push_back({i < count / 2 ? "Аникин" : "Борисов", QString("К-%1").arg(i + 1), 0, 0, 1, 2.5});
        return list;
    }

    // Runs act on the preview of report, then closes the preview if act left it open.
    static void withPreview(Report& report, const std::function<void(PreviewDialog*)>& act,
                            const QString& title = "Отчет по рабочим", const QString& pdfName = "Отчет")
    {
        bool reached = false;
        onNextModal([&](QWidget* w) {
            reached = true;
            auto* dialog = qobject_cast<PreviewDialog*>(w);
            if (dialog)
                act(dialog);
            if (w->isVisible())
                w->close();
        });
        report.preview(title, pdfName);
        QVERIFY(reached);
    }

    static QString label(PreviewDialog* d, const char* name)
    {
        return d->findChild<QLabel*>(name)->text();
    }

    static int pdfPages(const QString& path)
    {
        int pages = 0;
        for (const PdfWord& w : pdfWords(path))
            pages = std::max(pages, w.page + 1);
        return pages;
    }

private slots:
    void init()
    {
        QVERIFY(dir.isValid());
    }

    void cleanup()
    {
        QVERIFY(noTopLevelWindowOpen());
    }

    void pagesWithKeysAndButtons()
    {
        Report report;
        report.setLayout(workerLayout());
        report.prepare(workRows(rows(400)));
        const int pages = layOut(workerLayout(), *workRows(rows(400))).pageCount();
        QVERIFY(pages > 4);
        QStringList seen;
        withPreview(report, [&](PreviewDialog* d) {
            seen << d->windowTitle();
            seen << QString::number(d->currentPage());
            QTest::keyClick(d, Qt::Key_PageDown);
            QTest::keyClick(d, Qt::Key_PageDown);
            seen << QString::number(d->currentPage());
            QTest::keyClick(d, Qt::Key_PageUp);
            seen << QString::number(d->currentPage());
            QTest::keyClick(d, Qt::Key_End);
            seen << QString::number(d->currentPage()) << label(d, "pageLabel");
            QTest::keyClick(d, Qt::Key_PageDown);
            seen << QString::number(d->currentPage());
            QTest::keyClick(d, Qt::Key_Home);
            seen << QString::number(d->currentPage()) << label(d, "pageLabel");
            QTest::mouseClick(d->findChild<QPushButton*>("nextButton"), Qt::LeftButton);
            seen << QString::number(d->currentPage());
            QTest::mouseClick(d->findChild<QPushButton*>("lastButton"), Qt::LeftButton);
            seen << QString::number(d->currentPage());
            QTest::mouseClick(d->findChild<QPushButton*>("firstButton"), Qt::LeftButton);
            seen << QString::number(d->currentPage());
            QTest::keyClick(d, Qt::Key_Escape);
            seen << (d->isVisible() ? "open" : "closed");
        });
        QCOMPARE(seen, QStringList({"Отчет по рабочим", "0", "2", "1",
                                    QString::number(pages - 1), QString("Страница %1 из %1").arg(pages),
                                    QString::number(pages - 1),
                                    "0", QString("Страница 1 из %1").arg(pages),
                                    "1", QString::number(pages - 1), "0", "closed"}));
    }

    void zoomFitsTheWindow()
    {
        Report report;
        report.setLayout(workerLayout());
        report.prepare(workRows(rows(10)));
        double whole = 0, width = 0, larger = 0, smaller = 0;
        QSize image, area;
        withPreview(report, [&](PreviewDialog* d) {
            d->onWholePage();
            whole = d->zoom();
            image = d->findChild<QWidget*>("pageView")->size();
            area = d->findChild<QWidget*>("scrollArea")->size();
            d->onPageWidth();
            width = d->zoom();
            QTest::keyClick(d, Qt::Key_Plus);
            larger = d->zoom();
            QTest::keyClick(d, Qt::Key_Minus);
            QTest::keyClick(d, Qt::Key_Minus);
            smaller = d->zoom();
        });
        QVERIFY(image.width() <= area.width() && image.height() <= area.height());
        QVERIFY2(width > whole, qPrintable(QString("%1 %2").arg(width).arg(whole)));
        QCOMPARE(larger, width * 1.25);
        QCOMPARE(smaller, width / 1.25);
    }

    void wheelTurnsPagesAndZooms()
    {
        Report report;
        report.setLayout(workerLayout());
        report.prepare(workRows(rows(400)));
        QStringList seen;
        withPreview(report, [&](PreviewDialog* d) {
            auto* area = d->findChild<QScrollArea*>("scrollArea");
            auto wheel = [&](int delta, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
                QWheelEvent e(QPointF(50, 50), QPointF(50, 50), QPoint(), QPoint(0, delta), Qt::NoButton, modifiers,
                              Qt::NoScrollPhase, false);
                QApplication::sendEvent(area->viewport(), &e);
            };
            d->onPageWidth();
            QScrollBar* bar = area->verticalScrollBar();
            seen << QString::number(bar->maximum() > 0);
            wheel(-120);                          // scrolls within the page
            seen << QString::number(d->currentPage()) << QString::number(bar->value() > 0);
            bar->setValue(bar->maximum());
            wheel(-120);                          // past its end: the next page, from its top
            seen << QString::number(d->currentPage()) << QString::number(bar->value());
            wheel(120);                           // past its top: back to the end of the first
            seen << QString::number(d->currentPage()) << QString::number(bar->value() == bar->maximum());
            const double zoom = d->zoom();
            wheel(120, Qt::ControlModifier);
            seen << QString::number(d->zoom() > zoom);
        });
        QCOMPARE(seen, QStringList({"1", "0", "1", "1", "0", "0", "1", "1"}));
    }

    void savesPdfThroughTheFileDialog_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("written");
        QTest::newRow("with suffix") << "report.pdf" << "report.pdf";
        QTest::newRow("suffix added") << "отчет март" << "отчет март.pdf";
        QTest::newRow("cancelled") << "" << "";
    }

    void savesPdfThroughTheFileDialog()
    {
        QFETCH(QString, answer);
        QFETCH(QString, written);
        Report report;
        report.setLayout(workerLayout());
        report.prepare(workRows(rows(200)));
        ReportDialogs::Script script;
        script.saveAnswers << (answer.isEmpty() ? QString() : dir.filePath(answer));
        Messages::Recorder messages;
        withPreview(report, [&](PreviewDialog* d) {
            QTest::keyClick(d, Qt::Key_S, Qt::ControlModifier);
        }, "Отчет по рабочим", "Отчет по рабочим 01.03.2021/01.04.2021: итоги");
        QCOMPARE(script.suggested.size(), 1);
        QCOMPARE(QFileInfo(script.suggested.first()).fileName(), QString("Отчет по рабочим 01.03.2021_01.04.2021_ итоги.pdf"));
        QCOMPARE(messages.texts(), QStringList());
        if (written.isEmpty()) {
            QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
            return;
        }
        const QString path = dir.filePath(written);
        QVERIFY(QFile::exists(path));
        QCOMPARE(pdfPages(path), report.pageCount());
        bool total = false;
        for (const PdfWord& w : pdfWords(path))
            total = total || (w.page == report.pageCount() - 1 && w.text == "Итого:");
        QVERIFY(total);
        QFile::remove(path);
    }

    // A new account has no documents folder yet: the first PDF is offered there all the
    // same, the folder made, never the folder the program was started from.
    void firstPdfGoesToANewDocumentsFolder()
    {
        QTemporaryDir home;
        const QByteArray homeBefore = qgetenv("HOME"), configBefore = qgetenv("XDG_CONFIG_HOME");
        auto restore = qScopeGuard([&] {
            qputenv("HOME", homeBefore);
            qputenv("XDG_CONFIG_HOME", configBefore);
        });
        qputenv("HOME", home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral(".config")).toUtf8());
        Report report;
        report.setLayout(workerLayout());
        report.prepare(workRows(rows(3)));
        ReportDialogs::Script script;
        script.settingsFile = home.filePath(QStringLiteral("tabel.ini"));
        withPreview(report, [&](PreviewDialog* d) { QTest::keyClick(d, Qt::Key_S, Qt::ControlModifier); });
        QCOMPARE(script.suggested.size(), 1);
        const QString documents = home.filePath(QStringLiteral("Documents"));
        QCOMPARE(QFileInfo(script.suggested.first()).absolutePath(), documents);
        QVERIFY(QFileInfo(documents).isDir());
    }

    void failedSaveIsReported()
    {
        Report report;
        report.setLayout(workerLayout());
        report.prepare(workRows(rows(3)));
        ReportDialogs::Script script;
        script.saveAnswers << dir.filePath("no such folder/report.pdf");
        Messages::Recorder messages;
        withPreview(report, [&](PreviewDialog* d) {
            QTest::mouseClick(d->findChild<QPushButton*>("pdfButton"), Qt::LeftButton);
        });
        QCOMPARE(messages.shown.size(), 1);
        QCOMPARE(messages.shown.first().caption, QString("Сохранение в PDF"));
        QVERIFY(messages.shown.first().text.contains("report.pdf"));
    }

    void printsThroughThePrintDialog_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<int>("printed");
        QTest::newRow("all pages") << 0 << 0 << -1;
        QTest::newRow("pages 2 to 3") << 2 << 3 << 2;
        QTest::newRow("declined") << -1 << -1 << 0;
    }

    void printsThroughThePrintDialog()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(int, printed);
        Report report;
        report.setLayout(workerLayout());
        report.prepare(workRows(rows(300)));
        const QString path = dir.filePath("printed.pdf");
        QFile::remove(path);
        ReportDialogs::Script script;
        script.printAnswer = [&](QPrinter& printer) {
            if (from < 0)
                return false;
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(path);
            if (from > 0) {
                printer.setPrintRange(QPrinter::PageRange);
                printer.setFromTo(from, to);
            }
            return true;
        };
        withPreview(report, [&](PreviewDialog* d) {
            QTest::mouseClick(d->findChild<QPushButton*>("printButton"), Qt::LeftButton);
        });
        QCOMPARE(script.printDialogs, 1);
        if (printed == 0) {
            QVERIFY(!QFile::exists(path));
            return;
        }
        const int expected = printed < 0 ? report.pageCount() : printed;
        QCOMPARE(pdfPages(path), expected);
        // The first printed page carries its own page number at the bottom right, in
        // place on the paper as in the PDF the engine writes.
        const QString firstNumber = QString::number(from > 0 ? from : 1);
        bool found = false;
        for (const PdfWord& w : pdfWords(path))
            if (w.page == 0 && w.text == firstNumber && qAbs(w.xMax - 200) < 0.5 && w.yMin > 281.5)
                found = true;
        QVERIFY(found);
    }

    void firstPageShownBeforeTheRestIsLaidOut()
    {
        Report report;
        report.setLayout(workerLayout());
        report.prepare(workRows(rows(20000)));
        int readyWhenShown = 0;
        bool finishedWhenShown = true;
        QString labelWhenShown;
        withPreview(report, [&](PreviewDialog* d) {
            readyWhenShown = d->pageCount();
            finishedWhenShown = report.job()->finished();
            labelWhenShown = label(d, "pageLabel");
        });
        QVERIFY(readyWhenShown >= 1);
        QVERIFY(!finishedWhenShown);
        QVERIFY2(labelWhenShown.endsWith("…"), qPrintable(labelWhenShown));
    }
};

QTEST_MAIN(PreviewDialogTest)
#include "tst_previewdialog.moc"
