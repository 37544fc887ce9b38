#include "ui/messages.h"

#include "db/datamodule.h"

#include <QApplication>
#include <QMessageBox>
#include <QStringList>

namespace Messages {
namespace {

Recorder* g_recorder = nullptr;

// The data module's duplicate guard shows its message as an error box of this service
// (or to the recorder). Told as the program starts: this file is in every program that
// shows a message.
const bool kDataModuleTold = [] {
    DataModule::setMessageShown([](const QString& text, const QString& caption) { error(text, caption); });
    return true;
}();

QMessageBox::StandardButton show(QMessageBox::Icon icon, const QString& text, const QString& caption,
                                 QMessageBox::StandardButtons buttons, Default enterAnswers = Default::Yes)
{
    QWidget* parent = QApplication::activeModalWidget();
    if (!parent)
        parent = QApplication::activeWindow();
    QMessageBox box(icon, caption, text, buttons, parent);
    if (buttons & QMessageBox::No)
        box.setDefaultButton(enterAnswers == Default::No ? QMessageBox::No : QMessageBox::Yes);
    return QMessageBox::StandardButton(box.exec());
}

bool record(const QString& text, const QString& caption, Icon icon, Default enterAnswers = Default::Yes)
{
    if (!g_recorder)
        return false;
    g_recorder->shown.push_back({text, caption, icon, enterAnswers});
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

bool question(const QString& text, const QString& caption, Default enterAnswers)
{
    if (record(text, caption, Icon::Question, enterAnswers))
        return g_recorder->answers.isEmpty() ? g_recorder->defaultAnswer : g_recorder->answers.takeFirst();
    return show(QMessageBox::Question, text, caption, QMessageBox::Yes | QMessageBox::No, enterAnswers) == QMessageBox::Yes;
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
