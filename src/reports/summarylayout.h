#pragma once
#include <QString>
#include <QWidget>

class Dataset;

// A printed summary: a hidden window, created at start and never shown, that holds the
// layout's query, its title and its report. The caller sets the query's parameters and
// filter, opens it, sets the title and has the report previewed.
class SummaryLayout : public QWidget {
    Q_OBJECT
public:
    SummaryLayout(const QString& windowName, Dataset* query, QWidget* parent = nullptr);
    ~SummaryLayout() override;

    Dataset* query() const { return query_; }
    void setTitle(const QString& text);
    QString title() const;
    // Lays the opened query's rows out and shows the preview, modal to parent.
    void preview(const QString& pdfFileName, QWidget* parent);

private:
    Dataset* query_;
    QString title_;
};
