#include "windowinspector.h"

#include "pendantwindow.h"

#include <nabuSkald/centerwidget.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QStyle>
#include <QTableView>
#include <QTextDocument>
#include <QTextEdit>

namespace WindowInspector {

namespace {

bool isControl(const QWidget *widget)
{
    return qobject_cast<const QAbstractButton *>(widget) || qobject_cast<const QLineEdit *>(widget)
           || qobject_cast<const QComboBox *>(widget)
           || qobject_cast<const QAbstractSpinBox *>(widget)
           || qobject_cast<const QAbstractItemView *>(widget);
}

// Inside a scrolled view of its own (a list's or a table's cells): that view is the control.
bool insideInnerView(const QWidget *widget, const QWidget *window, const QScrollArea *outer)
{
    for (const QWidget *w = widget->parentWidget(); w && w != window; w = w->parentWidget()) {
        const auto *area = qobject_cast<const QAbstractScrollArea *>(w);
        if (area && area != outer)
            return true;
        if (qobject_cast<const QComboBox *>(w) || qobject_cast<const QScrollBar *>(w))
            return true;
    }
    return false;
}

// The emulator's run log, which stays as written and scrolls as a log does.
bool isLog(const QWidget *widget)
{
    for (const QWidget *w = widget; w; w = w->parentWidget()) {
        if (qobject_cast<const QPlainTextEdit *>(w) || qobject_cast<const QTextEdit *>(w))
            return true;
    }
    return false;
}

// Shown, and not in a side panel folded away by its splitter (opened by dragging its handle).
bool onScreen(const QWidget *widget, const QWidget *window)
{
    if (!widget->isVisibleTo(window) || widget->width() <= 0 || widget->height() <= 0)
        return false;
    for (const QWidget *w = widget; w && w != window; w = w->parentWidget()) {
        const auto *splitter = qobject_cast<const QSplitter *>(w->parentWidget());
        if (splitter && splitter->sizes().value(splitter->indexOf(const_cast<QWidget *>(w))) == 0)
            return false;
    }
    return true;
}

// The cells of a table or list in view whose text the view elides: the text, wrapped where the
// view wraps, against the cell less the margins the item delegate keeps.
QStringList clippedCells(const QAbstractItemView *view)
{
    QStringList found;
    const QAbstractItemModel *model = view->model();
    if (!model)
        return found;
    if (const auto *table = qobject_cast<const QTableView *>(view)) {
        const QHeaderView *header = table->horizontalHeader();
        for (int column = 0; header->isVisible() && column < header->count(); ++column) {
            if (!header->isSectionHidden(column)
                && header->sectionSizeHint(column) > header->sectionSize(column))
                found << QStringLiteral("heading %1 \"%2\" needs %3 px of %4")
                             .arg(column)
                             .arg(model->headerData(column, Qt::Horizontal).toString())
                             .arg(header->sectionSizeHint(column))
                             .arg(header->sectionSize(column));
        }
    }
    const int margin = view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
    const QRect shown = view->viewport()->rect();
    for (int row = 0; row < model->rowCount(view->rootIndex()); ++row) {
        for (int column = 0; column < model->columnCount(view->rootIndex()); ++column) {
            const QModelIndex index = model->index(row, column, view->rootIndex());
            const QRect cell = view->visualRect(index);
            if (!cell.isValid() || !shown.intersects(cell))
                continue;
            const QString text = index.data(Qt::DisplayRole).toString();
            const QVariant font = index.data(Qt::FontRole);
            const QFontMetrics metrics(font.isValid() ? font.value<QFont>() : view->font());
            const int room = cell.width() - 2 * margin;
            // A table that wraps breaks a line at its spaces, if the row is tall enough.
            const auto *table = qobject_cast<const QTableView *>(view);
            const int flags = table && table->wordWrap() ? Qt::TextWordWrap : 0;
            const QRect needs = metrics.boundingRect(QRect(0, 0, room, 1 << 20), flags, text);
            if (needs.width() > room || needs.height() > cell.height())
                found << QStringLiteral("cell %1,%2 \"%3\" needs %4 x %5 px of %6 x %7")
                             .arg(row)
                             .arg(column)
                             .arg(text)
                             .arg(needs.width())
                             .arg(needs.height())
                             .arg(room)
                             .arg(cell.height());
        }
    }
    return found;
}

} // namespace

QString plainText(const QString &text)
{
    if (!Qt::mightBeRichText(text))
        return text;
    QTextDocument document;
    document.setHtml(text);
    return document.toPlainText();
}

QString describe(const QWidget *widget)
{
    const auto *button = qobject_cast<const QAbstractButton *>(widget);
    const auto *label = qobject_cast<const QLabel *>(widget);
    const QString text = button ? button->text() : label ? plainText(label->text()) : QString();
    return QStringLiteral("%1 \"%2\" \"%3\"").arg(QString::fromLatin1(widget->metaObject()->className()),
                                                  widget->objectName(), text.left(30));
}

QStringList problems(PendantWindow *window)
{
    QStringList found;
    for (const QString &problem : sidewaysScrolling(window))
        found << QStringLiteral("scrolls sideways: ") + problem;
    for (const QString &problem : needlessScrolling(window))
        found << QStringLiteral("scrolls needlessly: ") + problem;
    for (const QString &problem : unreachable(window))
        found << QStringLiteral("unreachable: ") + problem;
    for (const QString &problem : cutOff(window))
        found << QStringLiteral("cut off: ") + problem;
    for (const QString &problem : clippedTexts(window))
        found << QStringLiteral("clipped: ") + problem;
    return found;
}

QStringList sidewaysScrolling(PendantWindow *window)
{
    QStringList found;
    const QList<QAbstractScrollArea *> areas = window->findChildren<QAbstractScrollArea *>();
    for (QAbstractScrollArea *area : areas) {
        if (isLog(area) || !onScreen(area, window))
            continue;
        const QScrollBar *bar = area->horizontalScrollBar();
        if (bar->isVisibleTo(window) && bar->maximum() > 0)
            found << describe(area) + QStringLiteral(" by %1 px (%2 px of content in %3 px)")
                                          .arg(bar->maximum())
                                          .arg(bar->maximum() + area->viewport()->width())
                                          .arg(area->viewport()->width());
    }
    return found;
}

QStringList needlessScrolling(PendantWindow *window)
{
    // Another page's height must not make the one on show scroll.
    const QWidget *page = window->centerArea()->currentWidget();
    const QScrollArea *scroll = window->centerScroll();
    if (!page || scroll->verticalScrollBar()->maximum() == 0)
        return {};
    const int width = scroll->viewport()->width();
    const int needed = qMax(page->minimumSizeHint().height(),
                            page->hasHeightForWidth() ? page->heightForWidth(width) : 0);
    if (needed >= scroll->viewport()->height())
        return {};
    return {describe(page) + QStringLiteral(" needs %1 px of %2 px, scrolls by %3 px")
                                 .arg(needed)
                                 .arg(scroll->viewport()->height())
                                 .arg(scroll->verticalScrollBar()->maximum())};
}

QStringList unreachable(PendantWindow *window)
{
    QScrollArea *scroll = window->centerScroll();
    QStringList found;
    const QList<QWidget *> widgets = window->findChildren<QWidget *>();
    for (QWidget *widget : widgets) {
        if (!isControl(widget) || !onScreen(widget, window) || !widget->isEnabled()
            || insideInnerView(widget, window, scroll))
            continue;
        QRect room = window->rect();
        if (scroll->isAncestorOf(widget)) {
            // ensureWidgetVisible() shows only the text cursor of an input; the whole
            // control is wanted.
            scroll->ensureWidgetVisible(widget, 0, 0);
            const QRect inPage(widget->mapTo(scroll->widget(), QPoint()), widget->size());
            scroll->ensureVisible(inPage.center().x(), inPage.center().y(),
                                  inPage.width() / 2 + 1, inPage.height() / 2 + 1);
            // One wider than the room shows from its start.
            scroll->ensureVisible(inPage.left(), inPage.top(), 1, 1);
            room = QRect(scroll->viewport()->mapTo(window, QPoint()), scroll->viewport()->size());
        }
        const QRect place(widget->mapTo(window, QPoint()), widget->size());
        // A control larger than the room must at least show its start.
        const bool fits = place.width() <= room.width() && place.height() <= room.height();
        if (fits ? !room.contains(place) : !room.contains(place.topLeft()))
            found << describe(widget) + QStringLiteral(" at %1,%2 %3x%4")
                                            .arg(place.x())
                                            .arg(place.y())
                                            .arg(place.width())
                                            .arg(place.height());
    }
    scroll->verticalScrollBar()->setValue(0);
    return found;
}

QStringList cutOff(PendantWindow *window)
{
    QStringList found;
    const QList<QWidget *> widgets = window->findChildren<QWidget *>();
    for (QWidget *widget : widgets) {
        QWidget *parent = widget->parentWidget();
        if (!parent || widget->isWindow() || !onScreen(widget, window)
            || insideInnerView(widget, window, nullptr))
            continue;
        if (!parent->rect().contains(widget->geometry()))
            found << describe(widget) + QStringLiteral(" %1x%2 at %3,%4 in %5 of %6x%7")
                                            .arg(widget->width())
                                            .arg(widget->height())
                                            .arg(widget->x())
                                            .arg(widget->y())
                                            .arg(describe(parent))
                                            .arg(parent->width())
                                            .arg(parent->height());
    }
    return found;
}

QStringList clippedTexts(QWidget *window)
{
    QStringList found;
    const QList<QWidget *> widgets = window->findChildren<QWidget *>();
    for (QWidget *widget : widgets) {
        if (isLog(widget) || !onScreen(widget, window))
            continue;
        const QString why = clipping(widget);
        if (!why.isEmpty())
            found << describe(widget) + QStringLiteral(": ") + why;
        if (const auto *view = qobject_cast<const QAbstractItemView *>(widget)) {
            for (const QString &cell : clippedCells(view))
                found << describe(widget) + QStringLiteral(": ") + cell;
        }
    }
    return found;
}

QString clipping(const QWidget *widget)
{
    if (const auto *label = qobject_cast<const QLabel *>(widget)) {
        const QString text = plainText(label->text());
        // A path elided in the middle shows the whole as its tool tip.
        if (text.trimmed().isEmpty() || widget->inherits("ElidedPathLabel")
            || !label->pixmap(Qt::ReturnByValue).isNull())
            return {};
        const QRect room = label->contentsRect().adjusted(label->margin(), label->margin(),
                                                          -label->margin(), -label->margin());
        const QFontMetrics metrics = label->fontMetrics();
        if (label->wordWrap()) {
            if (label->heightForWidth(label->width()) > label->height())
                return QStringLiteral("wraps to %1 px in a height of %2 px")
                    .arg(label->heightForWidth(label->width()))
                    .arg(label->height());
            const QStringList words = text.split(QRegularExpression(QStringLiteral("\\s+")));
            // Chinese breaks between any two characters; only a word of other letters is whole.
            static const QRegularExpression breaksAnywhere(
                QStringLiteral("[\\x{3000}-\\x{9fff}\\x{ff00}-\\x{ffef}]"));
            for (const QString &word : words) {
                if (!word.contains(breaksAnywhere)
                    && metrics.horizontalAdvance(word) > room.width())
                    return QStringLiteral("the word \"%1\" is wider than %2 px")
                        .arg(word)
                        .arg(room.width());
            }
            return {};
        }
        const QStringList lines = text.split(QLatin1Char('\n'));
        for (const QString &line : lines) {
            if (metrics.horizontalAdvance(line) > room.width())
                return QStringLiteral("%1 px of text in %2 px")
                    .arg(metrics.horizontalAdvance(line))
                    .arg(room.width());
            // The last line's descent may touch the border; a cut baseline may not.
            if (lines.size() * metrics.lineSpacing() - metrics.leading() - metrics.descent()
                > room.height() + 1)
                return QStringLiteral("%1 lines in %2 px").arg(lines.size()).arg(room.height());
        }
        return {};
    }
    if (const auto *button = qobject_cast<const QAbstractButton *>(widget)) {
        QString text = button->text();
        text.remove(QLatin1Char('&'));
        if (text.isEmpty())
            return {};
        int needed = button->fontMetrics().horizontalAdvance(text);
        if (!button->icon().isNull())
            needed += button->iconSize().width() + 4;
        if (qobject_cast<const QCheckBox *>(button) || qobject_cast<const QRadioButton *>(button))
            needed += button->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, button)
                      + button->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr,
                                                     button);
        if (needed > button->width())
            return QStringLiteral("%1 px of text in %2 px").arg(needed).arg(button->width());
    }
    return {};
}

} // namespace WindowInspector
