#pragma once
#include <functional>
#include <typeindex>

// How a window finds another of the program's windows without knowing who made it: the
// composition root (app/windows) tells, for each kind of window it makes, where that
// window is; a window asks by the class it needs, and a second name tells apart windows
// of one class. What nobody has told is not found (nullptr), like a window not made.
// (Keyed by the pointer type: the class itself may be only declared where it is told.)
namespace WindowLookup {

using Where = std::function<void*()>;

void tell(std::type_index kind, const char* name, Where where);
void* find(std::type_index kind, const char* name);

template <class W>
void tell(std::function<W*()> where, const char* name = "")
{
    tell(typeid(W*), name, [where = std::move(where)]() -> void* { return where(); });
}

template <class W>
W* find(const char* name = "")
{
    return static_cast<W*>(find(typeid(W*), name));
}

}
