#pragma once
#include <QDialog>
#include <QObject>
#include <QString>
#include <stdexcept>

class Dataset;
class QLineEdit;
class QPushButton;

// Pieces the directory list windows share: the two opening modes, the search box over
// the listed dataset and the re-read of a list with the hourglass cursor.
namespace ListWindow {

// A list window's tag: what it was opened for.
enum Mode { DirectoryMode = 0, ChooseMode = 1 };

// The buttons a list window switches between its modes.
struct Buttons {
    QPushButton* add;      // "Добавить"
    QPushButton* change;   // "Изменить" / "Выбрать"
    QPushButton* remove;   // "Удалить"
};

// Directory mode: the change button reads "Изменить" and is not the default (the add
// button is, so Enter adds); add and delete are shown.
void setDirectoryMode(const Buttons& buttons);
// Choose mode: the change button reads "Выбрать" and is the default; add and delete
// are hidden. The change button's visibility is left as it is.
void setChooseMode(const Buttons& buttons);

// A window that start-up creates and a list needs (an editor it opens); throws, for the
// general error handler to show, when it has not been created.
template <class W>
W* required(W* window, const char* what)
{
    if (!window)
        throw std::runtime_error(what);
    return window;
}

// Closes and opens the dataset under the hourglass cursor, then makes row recNo current
// when there is such a row (0 keeps the first row current).
void reload(Dataset* dataset, int recNo = 0);

// A search box that narrows the rows already loaded into a dataset to those whose field
// begins with the box's text. The text is compared as plain text, ignoring letter case;
// it never reaches the server. Up and Down in the box move the current row. While the
// box is hidden no filter applies. When its window is shown or activated the box, if
// shown, gets the focus.
class SearchBox : public QObject {
    Q_OBJECT
public:
    // How keys other than Up and Down act in the box.
    enum class OtherKeys {
        Normal,      // as in any text box
        TypingOnly,  // only what types or deletes backwards reaches the box: characters,
                     // Backspace and the clipboard keys; Delete, Home, End and the
                     // arrows do nothing. Enter, Esc and Tab still reach the window.
    };

    SearchBox(QLineEdit* box, Dataset* dataset, const QString& field, OtherKeys otherKeys,
              QObject* parent = nullptr);

    // Applies the box's current text to the dataset (none while the box is hidden).
    void apply();
    // Shows the box and empties it.
    void showEmpty();
    // Hides the box; the filter goes with it.
    void hide();
    // Takes the filter off the dataset, leaving the box as it is (for when the list closes).
    void release();

    // Whether a row's field value passes the search text (case ignored, prefix match).
    static bool matches(const QString& value, const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* box_;
    Dataset* dataset_;
    QString field_;
    OtherKeys otherKeys_;
};

// A list window whose search box belongs to choose mode: in directory mode (from the
// journal's menu) it adds, changes and deletes; in choose mode it hands a row back to the
// editor that opened it. The dataset is open only while the list is shown.
class ChooserList : public QDialog {
    Q_OBJECT
public:
    using QDialog::QDialog;

    // The list's tag: DirectoryMode or ChooseMode.
    int mode() const { return mode_; }

    // Directory mode: opens the dataset, shows the list modally, closes the dataset. A
    // search left from choose mode does not narrow the directory.
    void showDirectory();

protected:
    // Once, after setupUi: the dataset listed, the mode buttons and the search box.
    void setUpList(Dataset* dataset, const Buttons& buttons, SearchBox* search);
    // Choose mode: opens the dataset, shows the search box emptied, shows the list
    // modally; afterwards the change button is no longer the default, the search box is
    // hidden again and the dataset closed.
    void showChooser();

private:
    int mode_ = DirectoryMode;
    Dataset* dataset_ = nullptr;
    Buttons buttons_{};
    SearchBox* search_ = nullptr;
};

}
