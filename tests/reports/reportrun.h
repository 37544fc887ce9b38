#pragma once
// Runs a report of the summary reports window as a user does: the button, then in the
// modal preview "save as PDF" into a file, then the preview closed. The PDF is read back.
#include "pdfwords.h"
#include "reportengine/previewdialog.h"
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
    pdfwords::Pdf pdf;
};

// Clicks button and saves what the preview shows; the preview is closed again.
inline Run clickAndSave(QAbstractButton* button, const QTemporaryDir& dir)
{
    Run run;
    const QString path = dir.filePath(QStringLiteral("report-%1.pdf").arg(QDateTime::currentMSecsSinceEpoch()));
    onNextModal([&](QWidget* modal) {
        auto* preview = qobject_cast<ReportEngine::PreviewDialog*>(modal);
        if (preview) {
            run.previewShown = true;
            run.previewTitle = preview->windowTitle();
            ReportDialogs::Script script;
            script.saveAnswers << path;
            preview->onSavePdf();
            run.suggestedPdfName = script.suggested.value(0);
            run.previewPages = preview->pageCount();
        }
        modal->close();
    });
    button->click();
    if (run.previewShown)
        run.pdf = pdfwords::read(path);
    return run;
}

}
