#include "reportengine/reportdialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHeaderView>
#include <QPrintDialog>
#include <QPrinter>
#include <QSettings>
#include <QStandardPaths>
#include <QTreeView>

namespace ReportDialogs {
namespace {
Script* g_script = nullptr;

const QString kFolderKey = QStringLiteral("pdf/folder");

// The user's settings of the program: one small file in the user's configuration folder.
QString settingsFile()
{
    if (g_script)
        return g_script->settingsFile;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/tabel/tabel.ini");
}

// The "Type" column in Russian: Qt's own file dialog takes these words from a context
// the Russian translation does not have, and would show "Folder".
class RussianFileTypes : public QFileIconProvider {
public:
    QString type(const QFileInfo& info) const override
    {
        if (info.isRoot())
            return QStringLiteral("Диск");
        if (info.isDir())
            return QStringLiteral("Папка");
        if (info.isSymLink() && !info.exists())
            return QStringLiteral("Ярлык");
        const QString suffix = info.suffix();
        return suffix.isEmpty() ? QStringLiteral("Файл") : QStringLiteral("Файл %1").arg(suffix.toUpper());
    }
};

QString runFileDialog(QWidget* parent, const QString& caption, const QString& start, const QString& filter)
{
    static RussianFileTypes types;
    QFileDialog dialog(parent, caption, start, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // Qt's own dialog, whatever the desktop: its words and columns are ours to set.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setIconProvider(&types);
    dialog.setViewMode(QFileDialog::Detail);
    dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("Папка:"));
    dialog.setLabelText(QFileDialog::FileName, QStringLiteral("Имя файла:"));
    dialog.setLabelText(QFileDialog::FileType, QStringLiteral("Тип файла:"));
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("Сохранить"));
    dialog.setLabelText(QFileDialog::Reject, QStringLiteral("Отмена"));
    dialog.selectFile(QFileInfo(start).fileName());
    // Size, type and date as wide as their texts, the name takes the rest.
    if (auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* header = view->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
        for (int column = 1; column < header->count(); ++column)
            header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
    dialog.resize(qMax(dialog.width(), 760), qMax(dialog.height(), 460));
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

}

QString startPath(const QString& suggested)
{
    const QSettings settings(settingsFile(), QSettings::IniFormat);
    const QString folder = settings.value(kFolderKey).toString();
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return suggested;
    return QDir(folder).filePath(QFileInfo(suggested).fileName());
}

void rememberFolder(const QString& chosenFile)
{
    QSettings settings(settingsFile(), QSettings::IniFormat);
    settings.setValue(kFolderKey, QFileInfo(chosenFile).absolutePath());
}

QString saveFileName(QWidget* parent, const QString& caption, const QString& suggested, const QString& filter)
{
    const QString start = startPath(suggested);
    QString chosen;
    if (g_script) {
        g_script->suggested << start;
        chosen = g_script->saveAnswers.isEmpty() ? QString() : g_script->saveAnswers.takeFirst();
    } else {
        chosen = runFileDialog(parent, caption, start, filter);
    }
    if (!chosen.isEmpty())
        rememberFolder(chosen);
    return chosen;
}

bool choosePrinter(QPrinter& printer, QWidget* parent, int pageCount)
{
    if (g_script) {
        ++g_script->printDialogs;
        return g_script->printAnswer ? g_script->printAnswer(printer) : false;
    }
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("Печать"));
    if (pageCount > 0) {
        dialog.setMinMax(1, pageCount);
        dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    }
    return dialog.exec() == QDialog::Accepted;
}

Script::Script() : settingsDir_(std::make_unique<QTemporaryDir>())
{
    settingsFile = settingsDir_->filePath(QStringLiteral("tabel.ini"));
    g_script = this;
}

Script::~Script()
{
    if (g_script == this)
        g_script = nullptr;
}

}
