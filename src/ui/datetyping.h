#pragma once
#include <QDate>
#include <QObject>
#include <QString>

class QDateEdit;
class QLineEdit;

// Typing a date into a date box. Qt's own box types into the part under the cursor, so
// a date typed after a click, after Ctrl+A or after Home came out as another date
// (30.11.2026 as 11.11.2026) or not at all. Installed on a box, whatever is typed starts
// the box's text afresh: a whole date ("30.11.2026", "1.3.2026", "30112026") becomes the
// box's date as soon as it is whole; Enter, Tab or leaving the box also take "30.11.26"
// and "301126"; a date that cannot be read is refused with a message and never replaced
// by another. Escape gives the box its date back.
class DateTyping : public QObject {
    Q_OBJECT
public:
    enum class Kind { Incomplete, Whole, Unreadable };
    struct Reading {
        Kind kind;
        QDate date;
    };
    // What a typed text says; `finished` when the typing ends (Enter, Tab, leaving).
    static Reading read(const QString& typed, bool finished);

    // Installs it on the box; it lives as long as the box. Install it after any other
    // filter of the box that reacts to Enter or Tab, so the date is taken before them.
    static void install(QDateEdit* box);

    static const QString kUnreadable;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    explicit DateTyping(QDateEdit* box);
    QLineEdit* line() const;
    void setText(const QString& text);
    // Shows the typed text and takes the date once it is whole; false when refused.
    // `staying`: the focus stays in the box (not leaving it).
    bool show(bool finished, bool staying);
    void refuse(bool staying);
    void stop();

    QDateEdit* box_;
    QString typed_;
    bool typing_ = false;
    bool refusing_ = false;
    bool taking_ = false;
};
