#include "app/windows.h"

#include "app/loginwindow.h"
#include "core/windowlookup.h"
#include "journal/journalwindow.h"

#include <utility>

namespace {

// Where the windows that look for others find them: here, in whatever the start-up or
// a test has put.
void tellWhereWindowsAre()
{
    using WindowLookup::tell;
    tell<JournalWindow>([] { return appWindows().journal; });
    tell<JournalContext>([]() -> JournalContext* { return appWindows().journal; });
    tell<GateHost>([]() -> GateHost* { return appWindows().login; });
    tell<WorkerEditor>([] { return appWindows().workerEditor; });
    tell<ProductsList>([] { return appWindows().productsList; });
    tell<OperationsList>([] { return appWindows().operationsList; });
    tell<WorkersList>([] { return appWindows().workersList; });
    tell<ProductEditor>([] { return appWindows().productEditor; });
    tell<KindsList>([] { return appWindows().kindsList; });
    tell<KindEditor>([] { return appWindows().kindEditor; });
    tell<OperationEditor>([] { return appWindows().operationEditor; });
    tell<EntryEditor>([] { return appWindows().entryEditor; });
    tell<BrigadeEntry>([] { return appWindows().brigadeEntry; });
    tell<SummaryLayout>([] { return appWindows().workerSummary; }, "workerSummary");
    tell<SummaryLayout>([] { return appWindows().productSummary; }, "productSummary");
    tell<SummaryLayout>([] { return appWindows().workerDetail; }, "workerDetail");
    tell<SummaryLayout>([] { return appWindows().productDetail; }, "productDetail");
    tell<SummaryReportsWindow>([] { return appWindows().summaryReports; });
    tell<TimesheetWindow>([] { return appWindows().timesheet; });
    tell<TimesheetLayout>([] { return appWindows().timesheetLayout; });
    tell<NormsWindow>([] { return appWindows().norms; });
    tell<HistoryWindow>([] { return appWindows().history; });
}

}

AppWindows& appWindows()
{
    static AppWindows windows;
    static const bool told = (tellWhereWindowsAre(), true);
    (void)told;
    return windows;
}

namespace {

std::function<void()>& windowsMaker()
{
    static std::function<void()> make;
    return make;
}

}

void setAppWindowsMaker(std::function<void()> make)
{
    windowsMaker() = std::move(make);
}

void ensureAppWindows()
{
    // Taken out first: making the windows must never start making them again.
    if (std::function<void()> make = std::exchange(windowsMaker(), nullptr))
        make();
}
