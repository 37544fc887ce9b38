#pragma once
#include <functional>

// The build-version gate as the journal runs it again: on its timer and after a lost
// connection came back. The login window holds the gate and its termination timer.
class GateHost {
public:
    // The gate itself: an outdated build says so and ends the program.
    virtual void runVersionGate() = 0;
    // A gate run inside the general error handler, unless one is still showing its message.
    virtual void runGateGuarded(const std::function<void()>& gateRun) = 0;

protected:
    ~GateHost() = default;
};
