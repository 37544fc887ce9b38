#include "ui/messages.h"

#include <QApplication>
#include <QMessageBox>
#include <QStringList>

namespace Messages {
namespace {

Recorder* g_recorder = nullptr;

QMessageBox::StandardButton show(QMessageBox::Icon icon, const QString& text, const QString& caption,
                                 QMessageBox::StandardButtons buttons,
                                 QMessageBox::StandardButton defaultButton = QMessageBox::Yes)
{
    QWidget* parent = QApplication::activeModalWidget();
    if (!parent)
        parent = QApplication::activeWindow();
    QMessageBox box(icon, caption, text, buttons, parent);
    if (buttons & QMessageBox::No)
        box.setDefaultButton(defaultButton);
    return QMessageBox::StandardButton(box.exec());
}

bool record(const QString& text, const QString& caption, Icon icon)
{
    if (!g_recorder)
        return false;
    g_recorder->shown.push_back({text, caption, icon});
    return true;
}

}

void error(const QString& text, const QString& caption)
{
    if (!record(text, caption, Icon::Error))
        show(QMessageBox::Critical, text, caption, QMessageBox::Ok);
}

void warning(const QString& text, const QString& caption)
{
    if (!record(text, caption, Icon::Warning))
        show(QMessageBox::Warning, text, caption, QMessageBox::Ok);
}

void information(const QString& text, const QString& caption)
{
    if (!record(text, caption, Icon::Information))
        show(QMessageBox::Information, text, caption, QMessageBox::Ok);
}

bool question(const QString& text, const QString& caption)
{
    if (record(text, caption, Icon::Question))
        return g_recorder->answers.isEmpty() ? g_recorder->defaultAnswer : g_recorder->answers.takeFirst();
    return show(QMessageBox::Question, text, caption, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

bool questionDefaultNo(const QString& text, const QString& caption)
{
    if (record(text, caption, Icon::Question))
        return g_recorder->answers.isEmpty() ? g_recorder->defaultAnswer : g_recorder->answers.takeFirst();
    return show(QMessageBox::Question, text, caption, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
}

Recorder::Recorder(bool defaultAnswer) : defaultAnswer(defaultAnswer)
{
    g_recorder = this;
}

Recorder::~Recorder()
{
    if (g_recorder == this)
        g_recorder = nullptr;
}

QStringList Recorder::texts() const
{
    QStringList list;
    for (const Shown& s : shown)
        list << s.text;
    return list;
}

}
