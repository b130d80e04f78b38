#pragma once

#include "mirel_global.h"

#include <nabuSkald/bmodule.h>

#include <QPointer>

class QLabel;

namespace mirel {

// A host page module: a title row over a content widget.
class MIREL_EXPORT BaseSettingPage : public skald::BModule
{
    Q_OBJECT

public:
    BaseSettingPage(const QString &type, const QString &name, QWidget *parentWidget,
                    QObject *owner);
    // The page widget goes with the module unless its parent took it first.
    ~BaseSettingPage() override;

    QString type() const;
    QString name() const override;
    QWidget *titleWgt() const;
    QWidget *contentWgt() const;
    QWidget *wgt() override;

    // Whether `page`, the wgt() of a setting page, has nothing in its content area (a module
    // whose plug-in could not be created keeps such a page); false for any other widget.
    static bool showsNothing(const QWidget *page);

private:
    QString m_type;
    QString m_name;
    QPointer<QWidget> m_page;
    QWidget *m_title;
    QWidget *m_content;
};

} // namespace mirel
