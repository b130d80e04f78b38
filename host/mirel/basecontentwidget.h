#pragma once

#include "mirel_global.h"

#include <QJsonValue>
#include <QWidget>

namespace mirel {

// The program editor's widget for one robot-language instruction.
class MIREL_EXPORT BaseContentWidget : public QWidget
{
    Q_OBJECT

public:
    explicit BaseContentWidget(QWidget *parent = nullptr);
    ~BaseContentWidget() override;

    // Fills the editor from an instruction's text.
    virtual void SetContent(const QString &text);
    virtual QString ToString();
    virtual QJsonValue ToJsonValue();
    // May the edited instruction be inserted, or replace the selected one?
    virtual bool InsertCheck();
    virtual bool ReplaceCheck();
    virtual void RefreshProgramData();
    virtual QString GetLabel();
};

} // namespace mirel
