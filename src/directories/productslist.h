#pragma once
#include <QDialog>
#include <QString>
#include <optional>

// Изделия — placeholder until the directory is built.
class ProductsList : public QDialog {
    Q_OBJECT
public:
    explicit ProductsList(QWidget* parent = nullptr);
    // Directory mode, opened from the journal's menu: shows the list modally.
    void showDirectory();

    struct Choice {
        qint64 id = 0;     // izdel.id
        QString marka;     // trimmed
    };
    // Choose mode for the operation editor: opens Izdel, shows the list modally, closes
    // Izdel; the chosen product, or nothing when closed otherwise or empty.
    std::optional<Choice> choose();
};
