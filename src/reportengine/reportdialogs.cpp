#include "reportengine/reportdialogs.h"

#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>

namespace ReportDialogs {
namespace {
Script* g_script = nullptr;
}

QString saveFileName(QWidget* parent, const QString& caption, const QString& suggested, const QString& filter)
{
    if (g_script) {
        g_script->suggested << suggested;
        return g_script->saveAnswers.isEmpty() ? QString() : g_script->saveAnswers.takeFirst();
    }
    return QFileDialog::getSaveFileName(parent, caption, suggested, filter);
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

Script::Script()
{
    g_script = this;
}

Script::~Script()
{
    if (g_script == this)
        g_script = nullptr;
}

}
