#include "catalogtranslator.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QPointer>
#include <QTranslator>

#include <utility>

namespace tessel {

namespace {

// Holds its catalogue's bytes: a translator loaded straight from a resource keeps pointing into
// the library's memory, which is gone when the host unloads the plug-in.
class OwnedTranslator : public QTranslator
{
public:
    OwnedTranslator(QByteArray data, QObject *parent)
        : QTranslator(parent)
        , m_data(std::move(data))
    {
    }

    bool loadData()
    {
        return load(reinterpret_cast<const uchar *>(m_data.constData()), m_data.size());
    }

private:
    QByteArray m_data;
};

// "zh-CN" tries zh_CN, then zh, for each language the locale names, as QTranslator does.
QByteArray readCatalogue(const QString &catalog, const QLocale &locale)
{
    const QStringList languages = locale.uiLanguages();
    for (QString language : languages) {
        language.replace(QLatin1Char('-'), QLatin1Char('_'));
        while (!language.isEmpty()) {
            QFile file(QStringLiteral(":/i18n/%1_%2.qm").arg(catalog, language));
            if (file.open(QIODevice::ReadOnly))
                return file.readAll();
            const int cut = language.lastIndexOf(QLatin1Char('_'));
            language.truncate(qMax(cut, 0));
        }
    }
    return {};
}

struct Installed
{
    QPointer<QTranslator> translator;
    QString locale;
};

// One translator per catalogue, so that a second plug-in instance or a language change does
// not stack translators. Used on the GUI thread only: installing one sends events.
QHash<QString, Installed> &installed()
{
    static QHash<QString, Installed> translators;
    return translators;
}

} // namespace

bool CatalogTranslator::install(const QString &catalog, const QLocale &locale)
{
    // Every module a plug-in makes asks again; the same language is already there, and installing
    // anew would send every widget a language change.
    const Installed current = installed().value(catalog);
    if (current.translator && current.locale == locale.name())
        return true;
    remove(catalog);
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || catalog.isEmpty())
        return false;
    QByteArray data = readCatalogue(catalog, locale);
    if (data.isEmpty())
        return false;
    auto *translator = new OwnedTranslator(std::move(data), app);
    if (!translator->loadData()) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    installed().insert(catalog, {translator, locale.name()});
    return true;
}

void CatalogTranslator::remove(const QString &catalog)
{
    const QPointer<QTranslator> translator = installed().take(catalog).translator;
    if (!translator)
        return;
    QCoreApplication::removeTranslator(translator);
    delete translator.data();
}

} // namespace tessel
