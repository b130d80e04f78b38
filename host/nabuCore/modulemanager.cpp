#include "modulemanager.h"

#include "moduleobject.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace nabu {

class ModuleManagerHolder
{
public:
    ModuleManager manager;
};

Q_GLOBAL_STATIC(ModuleManagerHolder, s_holder)

ModuleManager::ModuleManager()
    : m_root(new ModuleObject(QString()))
{
}

ModuleManager::~ModuleManager()
{
    delete m_root;
}

ModuleManager *ModuleManager::instance()
{
    return &s_holder()->manager;
}

ModuleObject *ModuleManager::root() const
{
    return m_root;
}

bool ModuleManager::writeToJson(const QString &path, const QJsonValue &value, bool indented)
{
    QJsonDocument doc;
    if (value.isArray())
        doc = QJsonDocument(value.toArray());
    else if (value.isObject())
        doc = QJsonDocument(value.toObject());
    else
        return false;
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        return false;
    const QByteArray text = doc.toJson(indented ? QJsonDocument::Indented : QJsonDocument::Compact);
    QSaveFile file(path);
    // A full disk may fail only the flush, which commit() does not always notice: it would put
    // a cut-off file in place of the last good one.
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.flush()
        || file.error() != QFileDevice::NoError) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

ModuleManager *m()
{
    return ModuleManager::instance();
}

ModuleObject *m(const QString &path, ModuleObject *base)
{
    return (base ? base : ModuleManager::instance()->root())->r(path);
}

QString mName(const QString &a, const QString &b)
{
    return a + QLatin1Char('.') + b;
}

QString mName(const QString &a, const QString &b, const QString &c)
{
    return a + QLatin1Char('.') + b + QLatin1Char('.') + c;
}

} // namespace nabu
