#pragma once

#include <QString>
#include <QStringList>

class PendantWindow;
class QWidget;

// What a user of a pendant-sized screen cannot see: a page that scrolls sideways, a widget cut
// off by its parent, a control that cannot be scrolled into view, a text wider than its room.
// Each finding names the widget by class, object name and text.
namespace WindowInspector {

// Everything below, for the window as it is now.
QStringList problems(PendantWindow *window);

QStringList sidewaysScrolling(PendantWindow *window);
// The page on show scrolls down although it fits.
QStringList needlessScrolling(PendantWindow *window);
QStringList unreachable(PendantWindow *window);
QStringList cutOff(PendantWindow *window);
QStringList clippedTexts(QWidget *window);

// Why a shown label or button does not show all of its text; empty when it does, and for a
// label that elides on purpose (a long path).
QString clipping(const QWidget *widget);
QString describe(const QWidget *widget);
// A label's text as shown: rich text without its markup.
QString plainText(const QString &text);

} // namespace WindowInspector
