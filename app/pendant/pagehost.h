#pragma once

#include <QWidget>

class QStackedWidget;

// Holds the centre area inside its scroll area and speaks for the page on show only. A stacked
// layout answers heightForWidth() with the tallest of all its pages, shown or not: in a scroll
// area that made every page as tall as the tallest plug-in's.
class PageHost : public QWidget
{
    Q_OBJECT

public:
    PageHost(QStackedWidget *pages, QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;

    // Call when another page is shown or a page changed its needs.
    void followCurrentPage();

protected:
    bool event(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QStackedWidget *m_pages;
};
