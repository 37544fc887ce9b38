#pragma once
#include "directories/workersstore.h"

#include <QDialog>
#include <QString>

class QComboBox;
class DataModule;
namespace Ui { class WorkerEditor; }

// The worker editor (TForm2): a worker's name and the department, position and role
// lists. Opened by the workers list, which sets its caption and mode.
class WorkerEditor : public QDialog {
    Q_OBJECT
public:
    // The editor's tag: 1 adds a worker, any other value changes one.
    enum Mode { AddMode = 1, ChangeMode = 2 };

    explicit WorkerEditor(QWidget* parent = nullptr);
    ~WorkerEditor() override;

    int mode() const { return mode_; }
    int workerId() const { return workerId_; }

    // "Добавить": an empty name, the caption of a new worker, add mode, fresh lookups.
    void prepareAdd();
    // "Изменить": the worker's name and id, change mode, fresh lookups. The department
    // list shows the worker's stored department when it is one of the list's captions.
    void prepareChange(int id, const QString& fio, const QString& position);

    // "Записать".
    void onSave();

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;

private:
    void reloadLookups();
    // The position text to store: the department shown, else (in change mode) the
    // worker's stored text.
    QString positionText() const;
    // Moves the selection of the focused list by the wheel's steps.
    void wheelOverLists(QWheelEvent* e);

    Ui::WorkerEditor* ui;
    WorkersStore store_;
    int mode_ = AddMode;
    int workerId_ = 0;
    QString storedPosition_;
    int wheelRest_ = 0;
};
