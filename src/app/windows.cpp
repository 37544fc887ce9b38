#include "app/windows.h"

#include "journal/journalwindow.h"

#include <utility>

AppWindows& appWindows()
{
    static AppWindows windows;
    return windows;
}

JournalContext* journalContext()
{
    return appWindows().journal;
}

namespace {

std::function<void()>& windowsMaker()
{
    static std::function<void()> make;
    return make;
}

}

void setAppWindowsMaker(std::function<void()> make)
{
    windowsMaker() = std::move(make);
}

void ensureAppWindows()
{
    // Taken out first: making the windows must never start making them again.
    if (std::function<void()> make = std::exchange(windowsMaker(), nullptr))
        make();
}
