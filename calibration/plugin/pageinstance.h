#pragma once

#include <QPointer>
#include <QWidget>

// The one instance of a page class. The first call makes it; a later call with a parent moves
// it there. The instance is forgotten when Qt destroys it, so a plug-in made again after the
// host destroyed its page gets fresh pages instead of dangling ones.
template <typename Page, typename Make>
Page *pageInstance(QPointer<Page> &page, QWidget *parent, Make make)
{
    if (!page) {
        page = make(parent);
        return page;
    }
    if (parent && page->parentWidget() != parent)
        page->setParent(parent);
    return page;
}
