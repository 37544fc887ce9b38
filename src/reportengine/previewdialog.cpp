#include "reportengine/previewdialog.h"
#include "ui_previewdialog.h"

#include "reportengine/engine.h"

namespace ReportEngine {

PreviewDialog::PreviewDialog(Job& job, const QString& title, const QString& defaultPdfName, QWidget* parent)
    : QDialog(parent), ui(new Ui::PreviewDialog), job_(job), defaultPdfName_(defaultPdfName)
{
    ui->setupUi(this);
    setWindowTitle(title);
}

PreviewDialog::~PreviewDialog() { delete ui; }
int PreviewDialog::pageCount() const { return job_.readyPages(); }
void PreviewDialog::onFirst() {}
void PreviewDialog::onPrior() {}
void PreviewDialog::onNext() {}
void PreviewDialog::onLast() {}
void PreviewDialog::onWholePage() {}
void PreviewDialog::onPageWidth() {}
void PreviewDialog::onZoomIn() {}
void PreviewDialog::onZoomOut() {}
void PreviewDialog::onPrint() {}
void PreviewDialog::onSavePdf() {}
void PreviewDialog::resizeEvent(QResizeEvent* e) { QDialog::resizeEvent(e); }
void PreviewDialog::showEvent(QShowEvent* e) { QDialog::showEvent(e); }
void PreviewDialog::showPage(int) {}
void PreviewDialog::setZoom(double, Fit) {}
void PreviewDialog::applyFit() {}
void PreviewDialog::layOutMore() {}
void PreviewDialog::updateTexts() {}
void PreviewDialog::finishLayout() {}

}
