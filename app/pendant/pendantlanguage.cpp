#include "pendantlanguage.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

// The emulator's catalogue lives in a static library: without a reference the linker drops it.
static void initPendantTranslations()
{
    Q_INIT_RESOURCE(pendant_i18n);
}

PendantLanguage::PendantLanguage(QObject *parent)
    : QObject(parent)
{
    initPendantTranslations();
}

QString PendantLanguage::fromLocale(const QLocale &locale)
{
    // Containers and fresh machines run in the C locale: English unless the system is Chinese.
    return locale.language() == QLocale::Chinese ? QStringLiteral("zh") : QStringLiteral("en");
}

QLocale PendantLanguage::localeOf(const QString &language)
{
    return language == QLatin1String("en") ? QLocale(QLocale::English, QLocale::UnitedStates)
                                           : QLocale(QLocale::Chinese, QLocale::China);
}

bool PendantLanguage::apply(const QString &language)
{
    m_language = language.isEmpty() ? fromLocale(QLocale::system()) : language;
    QLocale::setDefault(localeOf(m_language));
    if (m_language == QLatin1String("en")) {
        // Qt and the emulator are written in English: no catalogue needed.
        replace(m_qt, QString(), QString());
        replace(m_own, QString(), QString());
        return true;
    }
    const bool qt = replace(m_qt, QStringLiteral("qtbase_zh_CN"),
                            QLibraryInfo::location(QLibraryInfo::TranslationsPath));
    const bool own = replace(m_own, QStringLiteral("pendant_zh"), QStringLiteral(":/i18n"));
    return qt && own;
}

QString PendantLanguage::language() const
{
    return m_language;
}

bool PendantLanguage::replace(QTranslator *&slot, const QString &file, const QString &folder)
{
    if (slot) {
        QCoreApplication::removeTranslator(slot);
        delete slot;
        slot = nullptr;
    }
    if (file.isEmpty())
        return true;
    auto *translator = new QTranslator(this);
    if (!translator->load(file, folder)) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    slot = translator;
    return true;
}
