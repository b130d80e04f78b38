#pragma once

#include <tessel/tessel_global.h>

#include <QString>

#include <functional>

namespace tessel {

// A button on the pendant's frame, as a plug-in describes it.
struct TESSEL_EXPORT PhysicalButton
{
    using Action = std::function<void()>;

    QString text;
    QString iconPath;
    QString iconPath2;
    Action action; // run by the host; the framework only copies it
};

} // namespace tessel
