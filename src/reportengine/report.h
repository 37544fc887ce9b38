#pragma once
#include "reportengine/engine.h"
#include "reportengine/layout.h"

#include <QObject>
#include <QString>
#include <memory>

class Dataset;
class QPrinter;
class QWidget;

namespace ReportEngine {

// The report object of a layout window ("Report1"): holds the layout, is prepared from
// rows, and previews, prints or saves what it laid out.
class Report : public QObject {
    Q_OBJECT
public:
    explicit Report(QObject* parent = nullptr);   // objectName "Report1"
    ~Report() override;

    Layout& layout() { return layout_; }
    const Layout& layout() const { return layout_; }
    void setLayout(const Layout& layout) { layout_ = layout; }

    // Compiles the layout (throws LayoutError) and lays out the first page; the other
    // pages come as they are needed. The dataset version takes a snapshot of its visible rows, so
    // the dataset may be closed right after.
    void prepare(std::shared_ptr<const RowSource> rows);
    void prepare(const Dataset& dataset);
    bool prepared() const { return bool(job_); }

    // The whole document (finishes the layout). Empty before prepare().
    const Document& document();
    int pageCount();

    // The preview dialog, modal; returns when the user closes it.
    void preview(const QString& title, const QString& defaultPdfName, QWidget* parent = nullptr);
    bool writePdf(const QString& path);
    bool print(QPrinter& printer);

    Job* job() { return job_.get(); }

private:
    Layout layout_;
    std::unique_ptr<Job> job_;
    Document empty_;
};

}
