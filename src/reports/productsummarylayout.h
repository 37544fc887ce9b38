#pragma once
#include "reports/summarylayout.h"

// The product summary: per product, the good pieces and boxes of each operation (TForm17): query t_Report, dates data1 <= data < data2.
class ProductSummaryLayout : public SummaryLayout {
    Q_OBJECT
public:
    explicit ProductSummaryLayout(QWidget* parent = nullptr);
    static ReportEngine::Layout layout();
};
