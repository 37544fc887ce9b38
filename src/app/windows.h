#pragma once
#include <functional>

class JournalWindow;
class LoginWindow;
class WorkerEditor;
class WorkersList;
class ProductsList;
class ProductEditor;
class OperationsList;
class OperationEditor;
class KindsList;
class KindEditor;
class NormsWindow;
class EntryEditor;
class BrigadeEntry;
class SummaryReportsWindow;
class SummaryLayout;
class TimesheetWindow;
class TimesheetLayout;
class HistoryWindow;

// The client's windows. Each is created once at start, hidden, and lives until the
// program ends. Tests fill in the ones they use.
struct AppWindows {
    JournalWindow* journal = nullptr;            // TForm1
    WorkerEditor* workerEditor = nullptr;        // TForm2
    ProductsList* productsList = nullptr;        // TForm3
    OperationsList* operationsList = nullptr;    // TForm4
    WorkersList* workersList = nullptr;          // TForm5
    ProductEditor* productEditor = nullptr;      // TForm7
    KindsList* kindsList = nullptr;              // TForm8
    KindEditor* kindEditor = nullptr;            // TForm9
    OperationEditor* operationEditor = nullptr;  // TForm10
    EntryEditor* entryEditor = nullptr;          // TForm11
    BrigadeEntry* brigadeEntry = nullptr;        // a brigade's entries in one grid
    SummaryLayout* workerSummary = nullptr;      // TForm16, never shown
    SummaryLayout* productSummary = nullptr;     // TForm17, never shown
    SummaryReportsWindow* summaryReports = nullptr;  // TForm18
    SummaryLayout* workerDetail = nullptr;       // TForm20, never shown
    SummaryLayout* productDetail = nullptr;      // TForm21, never shown
    TimesheetWindow* timesheet = nullptr;        // TForm19
    TimesheetLayout* timesheetLayout = nullptr;  // TForm15
    NormsWindow* norms = nullptr;                // TForm22
    LoginWindow* login = nullptr;                // TForm23
    HistoryWindow* history = nullptr;            // "История изменений"
};

// The windows, told to core/windowlookup the first time they are asked for here: the
// windows of the lower folders find each other through that.
AppWindows& appWindows();

// The start-up shows the login first and makes the other windows right after it has been
// drawn; whatever needs them before that makes them now. Without a maker (tests that fill
// in their own windows) nothing happens.
void setAppWindowsMaker(std::function<void()> make);
void ensureAppWindows();
