#include "basesettingpage.h"

#include <QLabel>
#include <QVBoxLayout>

namespace mirel {

BaseSettingPage::BaseSettingPage(const QString &type, const QString &name, QWidget *parentWidget,
                                 QObject *owner)
    : skald::BModule(owner)
    , m_type(type)
    , m_name(name)
    , m_page(new QWidget(parentWidget))
{
    m_page->setObjectName(type + QLatin1Char('.') + name);
    auto *layout = new QVBoxLayout(m_page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_title = new QLabel(name, m_page);
    m_title->setObjectName(QStringLiteral("titleWgt"));
    m_content = new QWidget(m_page);
    m_content->setObjectName(QStringLiteral("contentWgt"));
    layout->addWidget(m_title);
    layout->addWidget(m_content, 1);
}

BaseSettingPage::~BaseSettingPage()
{
    delete m_page.data();
}

QString BaseSettingPage::type() const
{
    return m_type;
}

QString BaseSettingPage::name() const
{
    return m_name;
}

QWidget *BaseSettingPage::titleWgt() const
{
    return m_title;
}

QWidget *BaseSettingPage::contentWgt() const
{
    return m_content;
}

QWidget *BaseSettingPage::wgt()
{
    return m_page.data();
}

bool BaseSettingPage::showsNothing(const QWidget *page)
{
    const auto *content =
        page ? page->findChild<const QWidget *>(QStringLiteral("contentWgt"),
                                                Qt::FindDirectChildrenOnly)
             : nullptr;
    return content && content->findChildren<const QWidget *>().isEmpty();
}

} // namespace mirel
