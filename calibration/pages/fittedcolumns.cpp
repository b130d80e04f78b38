#include "fittedcolumns.h"

#include <QEvent>
#include <QHeaderView>
#include <QRegularExpression>
#include <QStyle>
#include <QTableView>

#include <algorithm>
#include <numeric>

namespace {

// A text's width as a cell lays it out, the overhang of its first and last letters included.
int widthOf(const QString &text, const QFontMetrics &metrics)
{
    return metrics.boundingRect(QRect(0, 0, 1 << 20, 1 << 20), Qt::TextSingleLine, text).width();
}

// The widest line of `text`, and its widest word (where a cell that wraps can break it).
void measure(const QString &text, const QFontMetrics &metrics, int *line, int *word)
{
    static const QRegularExpression space(QStringLiteral("\\s+"));
    for (const QString &l : text.split(QLatin1Char('\n'))) {
        *line = std::max(*line, widthOf(l, metrics));
        for (const QString &w : l.split(space, Qt::SkipEmptyParts))
            *word = std::max(*word, widthOf(w, metrics));
    }
}

int sum(const QVector<int> &v)
{
    return std::accumulate(v.begin(), v.end(), 0);
}

} // namespace

FittedColumns::FittedColumns(QTableView *view)
    : QObject(view)
    , m_view(view)
    , m_viewport(view->viewport())
{
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    view->setWordWrap(true);
    view->installEventFilter(this);
    m_viewport->installEventFilter(this);
    if (QAbstractItemModel *model = view->model()) {
        connect(model, &QAbstractItemModel::modelReset, this, &FittedColumns::fit);
        connect(model, &QAbstractItemModel::rowsInserted, this, &FittedColumns::fit);
        connect(model, &QAbstractItemModel::rowsRemoved, this, &FittedColumns::fit);
        connect(model, &QAbstractItemModel::dataChanged, this, &FittedColumns::fit);
        connect(model, &QAbstractItemModel::headerDataChanged, this, &FittedColumns::fit);
    }
    fit();
}

bool FittedColumns::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    // A style sheet or a language applied later changes the font the cells are measured in.
    if ((watched == m_viewport && type == QEvent::Resize)
        || (watched == m_view
            && (type == QEvent::FontChange || type == QEvent::StyleChange
                || type == QEvent::Polish)))
        fit();
    return QObject::eventFilter(watched, event);
}

QVector<int> FittedColumns::share(const QVector<int> &least, const QVector<int> &whole, int room)
{
    QVector<int> widths = whole;
    if (widths.isEmpty())
        return widths;
    if (sum(whole) <= room) {
        // Everything fits on one line: the rest is shared evenly.
        const int extra = (room - sum(whole)) / widths.size();
        for (int &w : widths)
            w += extra;
    } else if (sum(least) <= room) {
        // Every word fits: the rest goes to the columns that wrap, by how much they wrap.
        const double spare = room - sum(least);
        const double wrapped = sum(whole) - sum(least);
        for (int c = 0; c < widths.size(); ++c)
            widths[c] = least.at(c) + int(spare * (whole.at(c) - least.at(c)) / wrapped);
    } else {
        // Even the words do not fit: the widest columns give way, down to a common width.
        QVector<int> sorted = least;
        std::sort(sorted.begin(), sorted.end());
        int cap = room / widths.size();
        int below = 0;
        for (int i = 0; i < sorted.size(); ++i) {
            const int left = int(sorted.size()) - i;
            if (sorted.at(i) * left + below > room) {
                cap = (room - below) / left;
                break;
            }
            below += sorted.at(i);
        }
        for (int c = 0; c < widths.size(); ++c)
            widths[c] = std::min(least.at(c), cap);
    }
    // Rounding leaves a few pixels: the last column takes them, so no gap shows at the edge.
    widths.last() += std::max(0, room - sum(widths));
    return widths;
}

void FittedColumns::fit()
{
    const QAbstractItemModel *model = m_view->model();
    if (!model)
        return;
    const int columns = model->columnCount();
    QHeaderView *header = m_view->horizontalHeader();
    const QStyle *style = m_view->style();
    // The delegate's margins, and the grid line a cell gives up.
    const int cellPad = 2 * (style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_view) + 1)
                        + (m_view->showGrid() ? 1 : 0);
    QVector<int> least(columns, 0);
    QVector<int> whole(columns, 0);
    for (int c = 0; c < columns; ++c) {
        // A heading does not wrap; its size comes from the style, which knows a style sheet's
        // font and margins for the sections.
        least[c] = whole[c] = std::max(0, header->sectionSizeHint(c));
        int line = 0;
        int word = 0;
        for (int r = 0; r < model->rowCount(); ++r) {
            const QModelIndex index = model->index(r, c);
            const QVariant font = index.data(Qt::FontRole);
            measure(index.data().toString(),
                    font.isValid() ? QFontMetrics(font.value<QFont>()) : m_view->fontMetrics(),
                    &line, &word);
        }
        least[c] = std::max(least.at(c), word + cellPad);
        whole[c] = std::max(whole.at(c), line + cellPad);
    }
    const QVector<int> widths = share(least, whole, m_viewport->width());
    for (int c = 0; c < columns; ++c)
        header->resizeSection(c, widths.at(c));
}
