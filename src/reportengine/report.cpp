#include "reportengine/report.h"

#include "reportengine/previewdialog.h"
#include "reportengine/renderer.h"

#include <QApplication>

namespace ReportEngine {

Report::Report(QObject* parent) : QObject(parent)
{
    setObjectName(QStringLiteral("Report1"));
}

Report::~Report() = default;

void Report::prepare(std::shared_ptr<const RowSource> rows)
{
    job_.reset();
    job_ = std::make_unique<Job>(layout_, std::move(rows));
    job_->layOutPages(1);
}

void Report::prepare(const Dataset& dataset)
{
    prepare(std::make_shared<DatasetRows>(dataset));
}

const Document& Report::document()
{
    if (!job_)
        return empty_;
    job_->finish();
    return job_->document();
}

int Report::pageCount()
{
    return document().pageCount();
}

void Report::preview(const QString& title, const QString& defaultPdfName, QWidget* parent)
{
    if (!job_)
        return;
    if (!parent)
        parent = QApplication::activeModalWidget() ? QApplication::activeModalWidget() : QApplication::activeWindow();
    PreviewDialog dialog(*job_, title, defaultPdfName, parent);
    dialog.exec();
}

bool Report::writePdf(const QString& path)
{
    return job_ && ReportEngine::writePdf(document(), path);
}

bool Report::print(QPrinter& printer)
{
    return job_ && ReportEngine::print(document(), printer);
}

}
