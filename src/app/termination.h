#pragma once
#include <functional>

// Ends the program: every event loop, the modal ones included, is left. Tests replace
// the action to see that termination was requested without ending the test.
namespace Termination {
void request();
void setHandler(std::function<void()> handler);   // empty: back to ending the program
}
