#pragma once
#include "directories/kindsstore.h"

#include <QDialog>
#include <QString>

namespace Ui { class KindEditor; }

// The operation kind editor (TForm9): one kind name. Opened by the kinds list, which
// sets its caption and mode.
class KindEditor : public QDialog {
    Q_OBJECT
public:
    // The editor's tag: 1 adds a kind, any other value changes one.
    enum Mode { AddMode = 1, ChangeMode = 2 };

    explicit KindEditor(QWidget* parent = nullptr);
    ~KindEditor() override;

    int mode() const { return mode_; }
    int kindId() const { return kindId_; }

    // "Добавить": an empty box, the caption of a new kind, add mode.
    void prepareAdd();
    // "Изменить": the kind's name, change mode.
    void prepareChange(int id, const QString& vid);

    // "Записать".
    void onSave();

protected:
    bool event(QEvent* e) override;

private:
    Ui::KindEditor* ui;
    KindsStore store_;
    int mode_ = AddMode;
    int kindId_ = 0;
};
