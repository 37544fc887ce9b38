#pragma once
#include "reportengine/layout.h"

#include <QString>
#include <QWidget>

class Dataset;
namespace ReportEngine { class Report; }

// A printed summary: a hidden window, created at start and never shown, that holds the
// layout's query, its report "Report1" and the report's title label "QRLabel1". The
// caller sets the query's parameters and filter, opens it, sets the title and has the
// report previewed; the layouts themselves are data (see the four subclasses).
class SummaryLayout : public QWidget {
    Q_OBJECT
public:
    SummaryLayout(const QString& windowName, Dataset* query, const ReportEngine::Layout& layout,
                  QWidget* parent = nullptr);
    ~SummaryLayout() override;

    Dataset* query() const { return query_; }
    ReportEngine::Report* report() const { return report_; }

    // The text of the title label QRLabel1.
    void setTitle(const QString& text);
    QString title() const;

    // Takes the opened query's rows (its filter applied) for the report; the query may be
    // closed afterwards. Throws ReportEngine::LayoutError for a layout the engine refuses.
    void prepare();
    // Prepares and shows the preview, modal to parent, until the user closes it.
    void preview(const QString& caption, const QString& pdfFileName, QWidget* parent);

private:
    Dataset* query_;
    ReportEngine::Report* report_;
};

// The pieces the four summaries share: the grey title band with QRLabel1 and its column
// labels, the thin child under it, group headers, total fields, the framed grand total
// and the page footer with the page number.
namespace SummaryBands {

inline const QColor kTitleGrey{244, 244, 244};
inline const QColor kGroupGrey{224, 224, 224};
inline const QColor kGrandTotalGrey{220, 220, 220};
inline const QColor kTotalField{239, 239, 239};

// A bold label on a white ground.
ReportEngine::Field label(const QString& text, double left);
// A detail field from..to mm on a white ground.
ReportEngine::Field detail(ReportEngine::Field::Kind kind, const QString& text, double from, double to,
                           Qt::Alignment align, const QString& mask = {});
// A bold, centred sum on the total fields' grey.
ReportEngine::Field total(const QString& expression, double from, double to, const QString& mask = {});

// The header without expression: QRLabel1 at titleLeft and the column labels, then the
// empty 0.5 mm child band under it.
QVector<ReportEngine::Band> titleBands(double titleLeft, const QVector<ReportEngine::Field>& labels);
// A group header printing field at 0.3 mm, bold; grey for the outer groups; kept on the
// page of its footer when keepWithFooter.
ReportEngine::Band groupHeader(const QString& name, const QString& expression, const QString& field, bool grey,
                               bool keepWithFooter);
ReportEngine::Band groupFooter(const QString& header, const QVector<ReportEngine::Field>& fields);
ReportEngine::Band detailBand(const QVector<ReportEngine::Field>& fields);
// The grand total: grey, framed on all four sides, "Итого:" at labelLeft and the sums.
ReportEngine::Band grandTotal(double labelLeft, const QVector<ReportEngine::Field>& sums);
// The page number at 176.2 mm on every page.
ReportEngine::Band pageFooter();

// The two expressions the summaries share.
QString productKindExpression();
QString colourExpression();

}
