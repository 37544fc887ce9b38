#pragma once
#include "reports/summarylayout.h"

// The worker summary: per worker and product, the good pieces and their pay of each operation (TForm16): query t_Report, dates data1 <= data < data2.
class WorkerSummaryLayout : public SummaryLayout {
    Q_OBJECT
public:
    explicit WorkerSummaryLayout(QWidget* parent = nullptr);
    static ReportEngine::Layout layout();
};
