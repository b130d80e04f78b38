#pragma once

#include "mirel_global.h"

#include <QObject>
#include <QString>

namespace mirel {

// The host's settings, kept in the data tree below "mirel.setting".
class MIREL_EXPORT SettingManager : public QObject
{
    Q_OBJECT

public:
    explicit SettingManager(QObject *parent = nullptr);

    QString getStr(const QString &key, const QString &defaultValue = QString()) const;
    void setStr(const QString &key, const QString &value);
};

} // namespace mirel
