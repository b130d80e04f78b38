#pragma once

#include <pendanthome.h>

#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QString>
#include <QWidget>

// Reading the shipped plug-in's pages and files in the end-to-end tests.

// A card of the plug-in's page by object name.
inline QWidget *pageCard(QWidget *page, const char *card)
{
    return page ? page->findChild<QWidget *>(QLatin1String(card)) : nullptr;
}

// A widget by object name inside a card of the page; null when either is missing.
template <typename T>
T *cardChild(QWidget *page, const char *card, const char *name)
{
    QWidget *in = pageCard(page, card);
    return in ? in->findChild<T *>(QLatin1String(name)) : nullptr;
}

// A file of the plug-in's work folder below the current (home) folder.
inline QString workFile(const QString &name)
{
    return QDir::current().absoluteFilePath(PendantHome::workFolder() + '/' + name);
}

// The JSON object in a file; empty when the file cannot be read.
inline QJsonObject readJson(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

// The label shown in a grid cell of a card: the newest visible one placed there, or the one
// inside the cell's widget.
inline QLabel *cellLabel(QWidget *card, const char *layout, int row, int column)
{
    auto *grid = card ? card->findChild<QGridLayout *>(QLatin1String(layout)) : nullptr;
    for (int i = grid ? grid->count() - 1 : -1; i >= 0; --i) {
        int r = 0, c = 0, rs = 0, cs = 0;
        grid->getItemPosition(i, &r, &c, &rs, &cs);
        QWidget *widget = grid->itemAt(i)->widget();
        if (r != row || c != column || !widget || widget->isHidden())
            continue;
        if (auto *label = qobject_cast<QLabel *>(widget))
            return label;
        return widget->findChild<QLabel *>();
    }
    return nullptr;
}

inline QString cellText(QWidget *card, const char *layout, int row, int column)
{
    QLabel *label = cellLabel(card, layout, row, column);
    return label ? label->text() : QStringLiteral("<no label>");
}
