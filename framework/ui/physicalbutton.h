#pragma once

#include <tessel/tessel_global.h>

#include <QString>

#include <functional>

namespace tessel {

/// A button on the pendant's frame, as a plug-in describes it for CreatePhyButtonList().
struct TESSEL_EXPORT PhysicalButton
{
    /// What the button does; run by the host on the GUI thread when it is pressed.
    using Action = std::function<void()>;

    /// The button's text as the host shows it.
    QString text;
    /// File or resource path of the first icon; empty for none.
    QString iconPath;
    /// File or resource path of the second icon (the host's choice when to show it); empty for
    /// none.
    QString iconPath2;
    /// Run by the host; the framework only copies it. It must not outlive what it captures.
    Action action;
};

} // namespace tessel
