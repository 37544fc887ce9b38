#pragma once
#include <QDialog>
#include <QImage>
#include <QString>
#include <functional>

namespace Ui { class PreviewDialog; }

namespace ReportEngine {

class Job;
class PageView;

// The on-screen preview of a report: pages one at a time, zoom, print, save as PDF.
// Pages still being laid out arrive in the background; the count grows as they do.
class PreviewDialog : public QDialog {
    Q_OBJECT
public:
    // job must outlive the dialog.
    PreviewDialog(Job& job, const QString& title, const QString& defaultPdfName,
                  QWidget* parent = nullptr);
    ~PreviewDialog() override;

    int currentPage() const { return page_; }   // from 0
    int pageCount() const;
    double zoom() const { return zoom_; }       // screen pixels per millimetre

    void onFirst();
    void onPrior();
    void onNext();
    void onLast();
    void onWholePage();
    void onPageWidth();
    void onZoomIn();
    void onZoomOut();
    void onPrint();
    void onSavePdf();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Fit { None, WholePage, PageWidth };
    void showPage(int page);
    void setZoom(double pixelsPerMm, Fit fit);
    void applyFit();
    void layOutMore();
    void updateTexts();
    void finishLayout();
    std::function<bool(int, int)> progress(const QString& text, bool* cancelled);

    Ui::PreviewDialog* ui;
    Job& job_;
    QString defaultPdfName_;
    PageView* view_ = nullptr;
    int page_ = 0;
    double zoom_ = 3;
    Fit fit_ = Fit::WholePage;
};

}
