#pragma once
#include "core/gatehost.h"

#include <QDialog>
#include <QFont>
#include <functional>

class QTimer;
namespace Ui { class LoginWindow; }

// The login, "Авторизация": the application's main window. The access code picks a
// role, the role switches off what it may not use, and the journal is shown modally;
// when the journal closes, the program ends.
class LoginWindow : public QDialog, public GateHost {
    Q_OBJECT
public:
    explicit LoginWindow(QWidget* parent = nullptr);
    ~LoginWindow() override;

    QTimer* terminationTimer() const { return timer_; }

    // Runs the build-version gate and shows the build in the caption.
    void onActivated();
    // "Вход".
    void onEnter();
    // "Отмена" or closing the window.
    void onCancel();

    // The gate itself; also run by the journal's timer. An outdated build starts the
    // termination timer, says so and ends the program.
    void runVersionGate() override;
    // Runs a gate run (activation or timer tick) inside the general error handler,
    // unless an earlier gate run is still showing its message: a server that stays
    // away would otherwise stack one more box every 30 s, each in a nested event loop
    // of its own, until the program runs out of stack.
    void runGateGuarded(const std::function<void()>& gateRun) override;

    // "Авторизация (build: …)" for the running build.
    static QString buildCaption();
    // The window width a caption needs: its text in the title font and in the given font,
    // with room for the icon and three title-bar buttons. May be worked out on any thread:
    // the start-up works out the first caption's beside the connection to the server.
    static int captionWidth(const QString& caption, const QFont& plain);

protected:
    bool event(QEvent* e) override;
    void reject() override;

private:
    // 330 x 44 at least; wider when the caption needs it.
    static constexpr int kWidth = 330;
    static constexpr int kHeight = 44;
    void fitCaption(const QString& caption);

    Ui::LoginWindow* ui;
    QTimer* timer_;
    bool gateRunning_ = false;
};
