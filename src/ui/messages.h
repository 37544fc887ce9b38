#pragma once
#include <QList>
#include <QString>

// Every message box of the client goes through here, so tests can record them and
// answer questions instead of a user.
namespace Messages {

enum class Icon { Error, Question, Information, Warning };

// An error box with an OK button.
void error(const QString& text, const QString& caption = QStringLiteral("Ошибка"));
// A warning box with an OK button.
void warning(const QString& text, const QString& caption);
// An information box with an OK button.
void information(const QString& text, const QString& caption);
// A question with the buttons Yes and No and a question icon; true for Yes.
bool question(const QString& text, const QString& caption);
// The same question with No as the default button, for a slip that Enter must not let by.
bool questionDefaultNo(const QString& text, const QString& caption);

struct Shown {
    QString text;
    QString caption;
    Icon icon;
};

// While one exists, boxes are recorded instead of shown and questions are answered
// from the script (then with the default answer).
class Recorder {
public:
    explicit Recorder(bool defaultAnswer = true);
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    QList<Shown> shown;
    QList<bool> answers;
    bool defaultAnswer;

    void clear() { shown.clear(); }
    QStringList texts() const;
    QString lastText() const { return shown.isEmpty() ? QString() : shown.last().text; }
};

}
