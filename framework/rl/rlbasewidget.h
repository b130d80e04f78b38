#pragma once

#include <mirel/basecontentwidget.h>

#include <QPointer>

namespace tessel {

class RLContentBase;

// Shows a plug-in's instruction editor as the host's editor widget and answers the host's
// questions with the editor's answers. Without an editor it shows nothing and lets the host
// go on.
class RLBaseWidget : public mirel::BaseContentWidget
{
    Q_OBJECT

public:
    RLBaseWidget(RLContentBase *content, QWidget *parent);
    ~RLBaseWidget() override;

    void SetContent(const QString &text) override;
    QString ToString() override;
    bool InsertCheck() override;
    bool ReplaceCheck() override;

private:
    // A child of this widget; QPointer in case the plug-in deletes it first.
    QPointer<RLContentBase> content;
};

} // namespace tessel
