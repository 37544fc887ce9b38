#pragma once
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>

class QPrinter;
class QWidget;

// The file and print dialogs of the report preview go through here, so tests can answer
// them instead of a user (as ui/messages does for message boxes).
namespace ReportDialogs {

// The save-file dialog, Russian throughout, its dates shown whole; empty when the user
// cancelled. It opens in the folder a file was last saved into (remembered between runs)
// with the suggested file's name, or at the suggested path the first time.
QString saveFileName(QWidget* parent, const QString& caption, const QString& suggested,
                     const QString& filter);
// Where the dialog would open for this suggestion, and remembering the folder of a
// chosen file for the next time.
QString startPath(const QString& suggested);
void rememberFolder(const QString& chosenFile);
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

    // What was asked: the paths the save dialogs would have opened at, and how many
    // print dialogs.
    QStringList suggested;
    int printDialogs = 0;

    // Where the folder is remembered while the script exists: a file of its own, so a
    // test leaves the user's settings alone; two scripts given the same file act as two
    // runs of the program.
    QString settingsFile;

private:
    std::unique_ptr<QTemporaryDir> settingsDir_;
};

}
