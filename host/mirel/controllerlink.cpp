#include "controllerlink.h"

namespace mirel {

ControllerLink::ControllerLink(QObject *parent)
    : QObject(parent)
{
}

ControllerLink::~ControllerLink() = default;

bool ControllerLink::isRemote() const
{
    return false;
}

} // namespace mirel
