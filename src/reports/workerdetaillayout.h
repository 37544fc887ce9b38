#pragma once
#include "reports/summarylayout.h"

// The detailed worker report: per worker, pieces made, defects and pay by marka and operation (TForm20): query w_Report, dates data1 <= data < data2.
class WorkerDetailLayout : public SummaryLayout {
    Q_OBJECT
public:
    explicit WorkerDetailLayout(QWidget* parent = nullptr);
    static ReportEngine::Layout layout();
};
