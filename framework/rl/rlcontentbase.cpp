#include "rlcontentbase.h"

namespace tessel {

RLContentBase::RLContentBase(QWidget *parent)
    : QWidget(parent)
{
}

RLContentBase::~RLContentBase() = default;

void RLContentBase::FillWith(const QString &text)
{
    Q_UNUSED(text)
}

QString RLContentBase::ToString()
{
    return QString();
}

// An editor that says nothing about its instruction lets the host insert nothing.
bool RLContentBase::CheckInsert()
{
    return false;
}

bool RLContentBase::CheckReplace()
{
    return false;
}

QString &RLContentBase::getType()
{
    return type;
}

void RLContentBase::setType(const QString &type)
{
    this->type = type;
}

} // namespace tessel
