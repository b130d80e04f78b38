#include "rlbasewidget.h"

#include "log/tessellog_p.h"
#include "rlcontentbase.h"

#include <QDebug>
#include <QHBoxLayout>

#include <exception>

namespace tessel {

namespace {

// The editor is the plug-in's code: what it throws must not unwind through the host, which
// gets `fallback` instead.
template<typename Result, typename Call>
Result guarded(const char *what, Result fallback, Call call)
{
    try {
        return call();
    } catch (const std::exception &e) {
        TESSEL_LOG(Error, "tessel::RLBaseWidget")
            << what << " of the plug-in's editor failed: " << QString::fromLocal8Bit(e.what());
    } catch (...) {
        TESSEL_LOG(Error, "tessel::RLBaseWidget") << what << " of the plug-in's editor failed";
    }
    return fallback;
}

} // namespace

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
        guarded("FillWith", false, [&] {
            content->FillWith(text);
            return true;
        });
}

QString RLBaseWidget::ToString()
{
    qDebug() << "<tessel>" << "RLBaseWidget::ToString()";
    return content ? guarded("ToString", QString(), [&] { return content->ToString(); })
                   : QString();
}

// An editor that failed its check lets nothing be inserted or replaced.
bool RLBaseWidget::InsertCheck()
{
    return content ? guarded("CheckInsert", false, [&] { return content->CheckInsert(); }) : true;
}

bool RLBaseWidget::ReplaceCheck()
{
    return content ? guarded("CheckReplace", false, [&] { return content->CheckReplace(); })
                   : true;
}

} // namespace tessel
