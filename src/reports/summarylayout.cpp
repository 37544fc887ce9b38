#include "reports/summarylayout.h"

#include "db/dataset.h"

SummaryLayout::SummaryLayout(const QString& windowName, Dataset* query, QWidget* parent)
    : QWidget(parent), query_(query)
{
    setObjectName(windowName);
    query_->setParent(this);
}

SummaryLayout::~SummaryLayout() = default;

void SummaryLayout::setTitle(const QString& text)
{
    title_ = text;
}

QString SummaryLayout::title() const
{
    return title_;
}

void SummaryLayout::preview(const QString&, QWidget*)
{
}
