#pragma once
#include <QDialog>

// Операции — placeholder until the directory is built.
class KindsList : public QDialog {
    Q_OBJECT
public:
    explicit KindsList(QWidget* parent = nullptr);
    // Directory mode, opened from the journal's menu: shows the list modally.
    void showDirectory();
};
