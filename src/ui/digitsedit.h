#pragma once
#include <QLineEdit>
#include <optional>

// A number-only box: a whole number that fits its column or, once decimals are allowed,
// a number with a decimal comma. Nothing but a number gets in, and nothing is ever
// changed into another number:
// - a typed character that is not a digit (nor the one comma), or one that would make
//   the number too large, is dropped with a brief hint beside the box and the system
//   beep;
// - pasted or dropped text replaces the box's text when it is a number the box takes
//   ("1 417" and "2.5" included), and is refused whole, with a message, when it is
//   anything else ("12,5" in a whole-number box, "1e5", "3 руб.").
class DigitsEdit : public QLineEdit {
    Q_OBJECT
public:
    // The largest number of an integer column.
    static constexpr qint64 kIntegerColumn = 2147483647;
    // The hints beside the box.
    static const QString kDigitsOnly;       // "Только цифры"
    static const QString kDigitsAndComma;   // "Только цифры и запятая"

    explicit DigitsEdit(QWidget* parent = nullptr);

    // Whole numbers up to maximum (the default: an integer column).
    void setMaximum(qint64 maximum);
    qint64 maximum() const { return maximum_; }
    // Numbers with a decimal comma ("." typed becomes ","): at most wholeDigits digits
    // before it and decimals after it, as a numeric column keeps them.
    void allowDecimals(int wholeDigits, int decimals);

    // Whether the box may hold this text as it stands (while typing: "", "2," too).
    bool takes(const QString& text) const;
    // A pasted text as the number the box would hold ("1 417,5" -> "1417,5"); nothing
    // when it is no number of this box's kind.
    std::optional<QString> pastedNumber(const QString& text) const;

    // Puts a pasted or dropped text in place of the box's text, or refuses it whole with
    // a message.
    void pasteWhole(const QString& text);

    // Whether an item of a line edit's standard context menu is its paste item.
    static bool isPasteItem(const QAction* action);

    // The last hint shown beside the box (empty before the first).
    QString lastHint() const { return lastHint_; }

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    void hint(const QString& text);
    QString tooLargeHint() const;

    qint64 maximum_ = kIntegerColumn;
    int wholeDigits_ = 0;   // with decimals: digits before the comma
    int decimals_ = 0;      // 0: whole numbers only
    QString lastHint_;
};
