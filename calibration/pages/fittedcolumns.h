#pragma once

#include <QObject>
#include <QVector>

class QTableView;
class QWidget;

// Shares a table's width among its columns by what they hold, for a page that never scrolls
// sideways (where equal shares cut a date to "2026-12-..." beside a column of short figures, and
// a tool tip is out of reach on a touch screen). Cells wrap at spaces and rows grow to fit, so
// a column needs at least its longest word; room left goes to the columns whose lines are
// longer than that. Only when even the longest words do not fit is the widest column elided.
class FittedColumns : public QObject
{
    Q_OBJECT

public:
    // Fits `view` now and whenever its width or its model's contents change.
    explicit FittedColumns(QTableView *view);

    // The widths of columns that need `least` (their longest words) and `whole` (their longest
    // lines) in `room` pixels.
    static QVector<int> share(const QVector<int> &least, const QVector<int> &whole, int room);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fit();

    QTableView *m_view;
    // Kept rather than asked of the view: a view being destroyed still sends events here after
    // its table part is gone.
    QWidget *m_viewport;
};
