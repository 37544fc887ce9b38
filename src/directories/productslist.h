#pragma once
#include <QDialog>

// Изделия — placeholder until the directory is built.
class ProductsList : public QDialog {
    Q_OBJECT
public:
    explicit ProductsList(QWidget* parent = nullptr);
    // Directory mode, opened from the journal's menu: shows the list modally.
    void showDirectory();
};
