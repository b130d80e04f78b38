#pragma once

#include <QLabel>

// A label for a file path that may be longer than its room: it draws the path elided in the
// middle (drive and file name stay readable), keeps the whole path as its text and shows it as
// tool tip when none is set. It asks for little width, so a long path never widens its card.
class ElidedPathLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ElidedPathLabel(QWidget *parent = nullptr);

    // The path as drawn in the label's present width.
    QString shownText() const;
    bool isElided() const;

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

};
