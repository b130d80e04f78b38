#pragma once

#include <QLocale>
#include <QObject>
#include <QString>

class QTranslator;

// The language of the emulator's window, of Qt's own dialogs and of the plug-ins. The plug-ins
// and tessel follow QLocale(), which this sets; each loads its own embedded catalogue.
class PendantLanguage : public QObject
{
    Q_OBJECT

public:
    explicit PendantLanguage(QObject *parent = nullptr);

    // "zh" for a Chinese locale, "en" for any other, the C locale of containers among them.
    static QString fromLocale(const QLocale &locale);
    static QLocale localeOf(const QString &language);

    // Makes `language` ("en" or "zh"; empty for the system's) the one of the whole process.
    // False when a catalogue it needs is missing; the texts stay in their source language then.
    bool apply(const QString &language);
    QString language() const;

private:
    bool replace(QTranslator *&slot, const QString &file, const QString &folder);

    QString m_language;
    QTranslator *m_qt = nullptr;
    QTranslator *m_own = nullptr;
};
