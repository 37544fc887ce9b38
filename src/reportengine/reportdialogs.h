#pragma once
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class QPrinter;
class QWidget;

// The file and print dialogs of the report preview go through here, so tests can answer
// them instead of a user (as ui/messages does for message boxes).
namespace ReportDialogs {

// The save-file dialog; empty when the user cancelled.
QString saveFileName(QWidget* parent, const QString& caption, const QString& suggested,
                     const QString& filter);
// The system print dialog on printer, offering pages 1..pageCount; true when the user
// chose to print.
bool choosePrinter(QPrinter& printer, QWidget* parent, int pageCount = 0);

// While one exists, the dialogs are not shown: file names come from saveAnswers (an
// empty string cancels; none left cancels), print dialogs are answered by printAnswer,
// which may set the printer up (e.g. to print into a PDF file) and returns the choice.
class Script {
public:
    Script();
    ~Script();
    Script(const Script&) = delete;
    Script& operator=(const Script&) = delete;

    QStringList saveAnswers;
    std::function<bool(QPrinter&)> printAnswer;

    // What was asked: the suggested file names, and how many print dialogs.
    QStringList suggested;
    int printDialogs = 0;
};

}
