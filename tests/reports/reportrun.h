#pragma once
// Runs a report of the summary reports window as a user does: the button, then in the
// modal preview "save as PDF" into a file, then the preview closed. The PDF is read back.
#include "pdfwords.h"
#include "reportengine/previewdialog.h"
#include "reportengine/report.h"
#include "reports/summarylayout.h"
#include "reportengine/reportdialogs.h"
#include "support/modal.h"

#include <QAbstractButton>
#include <QTemporaryDir>
#include <QtTest>

namespace reportrun {

struct Run {
    bool previewShown = false;
    QString previewTitle;
    QString suggestedPdfName;
    int previewPages = 0;
    pdfwords::Pdf pdf;      // what the report holds while its preview is open
    pdfwords::Pdf savedPdf; // what the preview's "save as PDF" wrote
};

// Clicks button; while the preview of layout is open, writes the report into a PDF and
// saves it through the preview's own "save as PDF" too; then closes the preview.
inline Run clickAndSave(QAbstractButton* button, SummaryLayout* layout, const QTemporaryDir& dir)
{
    Run run;
    static int serial = 0;
    ++serial;
    const QString path = dir.filePath(QStringLiteral("report-%1.pdf").arg(serial));
    const QString savedPath = dir.filePath(QStringLiteral("saved-%1.pdf").arg(serial));
    onNextModal([&](QWidget* modal) {
        auto* preview = qobject_cast<ReportEngine::PreviewDialog*>(modal);
        if (preview) {
            run.previewShown = true;
            run.previewTitle = preview->windowTitle();
            ReportDialogs::Script script;
            script.saveAnswers << savedPath;
            preview->onSavePdf();
            run.suggestedPdfName = script.suggested.value(0);
            run.previewPages = preview->pageCount();
            layout->report()->writePdf(path);
        }
        modal->close();
    });
    button->click();
    if (run.previewShown) {
        run.pdf = pdfwords::read(path);
        run.savedPdf = pdfwords::read(savedPath);
    }
    return run;
}

}
