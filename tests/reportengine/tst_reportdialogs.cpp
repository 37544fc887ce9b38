#include "app/startup.h"
#include "reportengine/reportdialogs.h"
#include "support/modal.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

// The save dialog of the report preview: the folder it opens in, remembered between
// runs, and the dialog itself, Russian throughout with its dates whole.
class ReportDialogsTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void initTestCase()
    {
        // The user's settings stay untouched: Qt's test folders stand in for them.
        QStandardPaths::setTestModeEnabled(true);
        // Qt's standard texts in Russian, as the program loads them at start.
        Startup::loadRussianStandardTexts(*static_cast<QApplication*>(QCoreApplication::instance()));
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("Отчеты/Март")));
    }
    void cleanup() { QVERIFY(noTopLevelWindowOpen()); }

    // The first time the dialog opens at the suggestion (the documents folder); after a
    // save it opens in that save's folder, also in the next run, with the new name.
    void opensWhereTheLastFileWasSaved()
    {
        const QString settings = dir.filePath(QStringLiteral("tabel.ini"));
        const QString documents = dir.filePath(QStringLiteral("Документы/Табель Март 2021.pdf"));
        const QString march = dir.filePath(QStringLiteral("Отчеты/Март"));
        {
            ReportDialogs::Script firstRun;
            firstRun.settingsFile = settings;
            firstRun.saveAnswers << QDir(march).filePath(QStringLiteral("табель.pdf")) << QString();
            QCOMPARE(ReportDialogs::saveFileName(nullptr, QStringLiteral("Сохранить"), documents, QString()),
                     QDir(march).filePath(QStringLiteral("табель.pdf")));
            // A cancelled dialog changes nothing.
            QCOMPARE(ReportDialogs::saveFileName(nullptr, QStringLiteral("Сохранить"),
                                                 dir.filePath(QStringLiteral("Документы/Отчет.pdf")), QString()),
                     QString());
            QCOMPARE(firstRun.suggested, (QStringList{documents, QDir(march).filePath(QStringLiteral("Отчет.pdf"))}));
        }
        {
            ReportDialogs::Script nextRun;
            nextRun.settingsFile = settings;
            ReportDialogs::saveFileName(nullptr, QStringLiteral("Сохранить"),
                                        dir.filePath(QStringLiteral("Документы/Отчет по рабочим.pdf")), QString());
            QCOMPARE(nextRun.suggested, QStringList{QDir(march).filePath(QStringLiteral("Отчет по рабочим.pdf"))});
        }
        {
            // A remembered folder that is gone: the suggestion again.
            QVERIFY(QDir(march).removeRecursively());
            ReportDialogs::Script laterRun;
            laterRun.settingsFile = settings;
            ReportDialogs::saveFileName(nullptr, QStringLiteral("Сохранить"), documents, QString());
            QCOMPARE(laterRun.suggested, QStringList{documents});
            QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("Отчеты/Март")));
        }
        {
            // Each script has settings of its own unless told otherwise.
            ReportDialogs::Script other;
            ReportDialogs::saveFileName(nullptr, QStringLiteral("Сохранить"), documents, QString());
            QCOMPARE(other.suggested, QStringList{documents});
        }
    }

    // The real dialog: Russian words for folders and buttons, the dates as wide as they are.
    void theDialogIsRussianAndShowsDatesWhole()
    {
        const QString folder = dir.filePath(QStringLiteral("Отчеты"));
        QFile pdf(QDir(folder).filePath(QStringLiteral("старый отчет.pdf")));
        QVERIFY(pdf.open(QIODevice::WriteOnly));
        pdf.write("%PDF-1.4\n");
        pdf.close();
        QStringList types;
        QStringList buttons;
        QStringList labels;
        QStringList headers;
        bool datesWhole = false;
        QString title;
        onNextModal([&](QWidget* w) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            QVERIFY(dialog);
            title = dialog->windowTitle();
            auto* view = dialog->findChild<QTreeView*>(QStringLiteral("treeView"));
            QVERIFY(view);
            QAbstractItemModel* model = view->model();
            // The model reads the folder in the background.
            QTRY_VERIFY(model->rowCount(view->rootIndex()) >= 2);
            for (int r = 0; r < model->rowCount(view->rootIndex()); ++r)
                types << model->index(r, 2, view->rootIndex()).data().toString();
            for (int c = 0; c < model->columnCount(view->rootIndex()); ++c)
                headers << model->headerData(c, Qt::Horizontal).toString();
            const QString date = model->index(0, 3, view->rootIndex()).data().toString();
            QHeaderView* header = view->header();
            datesWhole = !date.isEmpty()
                && header->sectionSize(3) >= view->fontMetrics().horizontalAdvance(date)
                && header->sectionSize(3) >= header->sectionSizeHint(3);
            for (QPushButton* b : dialog->findChildren<QPushButton*>())
                if (b->isVisible())
                    buttons << b->text();
            for (QLabel* l : dialog->findChildren<QLabel*>())
                if (l->isVisible() && !l->text().isEmpty())
                    labels << l->text();
            dialog->reject();
        });
        const QString chosen = ReportDialogs::saveFileName(nullptr, QStringLiteral("Сохранить отчет в PDF"),
                                                           QDir(folder).filePath(QStringLiteral("новый.pdf")),
                                                           QStringLiteral("Файлы PDF (*.pdf)"));
        QCOMPARE(chosen, QString());
        QCOMPARE(title, QStringLiteral("Сохранить отчет в PDF"));
        types.sort();
        QCOMPARE(types, (QStringList{QStringLiteral("Папка"), QStringLiteral("Файл PDF")}));
        QVERIFY(datesWhole);
        QCOMPARE(headers, (QStringList{QStringLiteral("Имя"), QStringLiteral("Размер"), QStringLiteral("Тип"),
                                       QStringLiteral("Дата изменения")}));
        QVERIFY2(buttons.contains(QStringLiteral("Сохранить")) && buttons.contains(QStringLiteral("Отмена")),
                 qPrintable(buttons.join(u',')));
        QVERIFY2(labels.contains(QStringLiteral("Папка:")) && labels.contains(QStringLiteral("Имя файла:"))
                     && labels.contains(QStringLiteral("Тип файла:")),
                 qPrintable(labels.join(u',')));
        for (const QString& text : buttons + labels + headers)
            QVERIFY2(!text.contains(QRegularExpression(QStringLiteral("[A-Za-z]"))), qPrintable(text));
    }
};

QTEST_MAIN(ReportDialogsTest)
#include "tst_reportdialogs.moc"
