#include "reportengine/engine.h"

namespace ReportEngine {

LayoutError::LayoutError(const QString& message) : std::runtime_error(message.toStdString()), message_(message) {}

class Job::Pager {
public:
    Document doc;
};

void check(const Layout&, const QStringList&) {}

Job::Job(const Layout& layout, std::shared_ptr<const RowSource>) : pager_(std::make_unique<Pager>())
{
    pager_->doc.orientation = layout.orientation;
    pager_->doc.pageSizeMm = layout.pageSizeMm();
    pager_->doc.pages.resize(1);
}
Job::~Job() = default;
const Document& Job::document() const { return pager_->doc; }
bool Job::finished() const { return true; }
int Job::readyPages() const { return pager_->doc.pageCount(); }
void Job::layOutPages(int) {}
void Job::finish() {}

Document layOut(const Layout& layout, const RowSource& rows)
{
    Job job(layout, std::shared_ptr<const RowSource>(&rows, [](const RowSource*) {}));
    job.finish();
    return job.document();
}

}
