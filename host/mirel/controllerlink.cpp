#include "controllerlink.h"

namespace mirel {

ControllerLink::ControllerLink(QObject *parent)
    : QObject(parent)
{
}

ControllerLink::~ControllerLink() = default;

} // namespace mirel
