#include "basecontentwidget.h"

#include <QJsonObject>

namespace mirel {

BaseContentWidget::BaseContentWidget(QWidget *parent)
    : QWidget(parent)
{
}

BaseContentWidget::~BaseContentWidget() = default;

void BaseContentWidget::SetContent(const QString &text)
{
    Q_UNUSED(text)
}

QString BaseContentWidget::ToString()
{
    return QString();
}

QJsonValue BaseContentWidget::ToJsonValue()
{
    return QJsonObject{{QStringLiteral("text"), ToString()}};
}

bool BaseContentWidget::InsertCheck()
{
    return true;
}

bool BaseContentWidget::ReplaceCheck()
{
    return true;
}

void BaseContentWidget::RefreshProgramData() {}

QString BaseContentWidget::GetLabel()
{
    return objectName();
}

} // namespace mirel
