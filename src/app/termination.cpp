#include "app/termination.h"

#include <QCoreApplication>

namespace Termination {
namespace {
std::function<void()> g_handler;
}

void request()
{
    if (g_handler)
        g_handler();
    else
        QCoreApplication::exit(0);
}

void setHandler(std::function<void()> handler)
{
    g_handler = std::move(handler);
}

}
