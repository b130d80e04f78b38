#include "rlbasewidget.h"

#include "rlcontentbase.h"

#include <QDebug>
#include <QHBoxLayout>

namespace tessel {

RLBaseWidget::RLBaseWidget(RLContentBase *content, QWidget *parent)
    : mirel::BaseContentWidget(parent)
{
    if (!content)
        return;
    content->setParent(this);
    this->content = content;
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(content);
}

RLBaseWidget::~RLBaseWidget() = default;

void RLBaseWidget::SetContent(const QString &text)
{
    if (content)
        content->FillWith(text);
}

QString RLBaseWidget::ToString()
{
    qDebug() << "<tessel>" << "RLBaseWidget::ToString()";
    return content ? content->ToString() : QString();
}

bool RLBaseWidget::InsertCheck()
{
    return content ? content->CheckInsert() : true;
}

bool RLBaseWidget::ReplaceCheck()
{
    return content ? content->CheckReplace() : true;
}

} // namespace tessel
