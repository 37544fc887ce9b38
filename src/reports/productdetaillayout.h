#pragma once
#include "reports/summarylayout.h"

// The detailed product report: per product, pieces made, defects, boxes and pay by marka and operation (TForm21): query i_Report, dates data1 <= data < data2.
class ProductDetailLayout : public SummaryLayout {
    Q_OBJECT
public:
    explicit ProductDetailLayout(QWidget* parent = nullptr);
    static ReportEngine::Layout layout();
};
