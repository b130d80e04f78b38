#include "veltra.h"

#include "centerwidget.h"
#include "pluginlog.h"

#include "common/calibrationstate.h"
#include "interface/interfacemanager.h"
#include "plugin/pluginregister.h"
#include "ui/catalogtranslator.h"
#include "ui/pluginui.h"

#include <QDebug>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>

namespace tessel {

namespace {

const QString kName = QStringLiteral("Veltra");

// Runs while the library loads, before the host asks for the plug-in.
const bool registered = [] {
    tesselFactory().regist(kName, [](QObject *parent) -> PluginBase * {
        return new Veltra(parent);
    });
    return true;
}();

} // namespace

Veltra::Veltra(QObject *parent)
    : PluginBase(parent)
{
    // Chinese is the source language: no catalogue for it, the texts stay as written.
    CatalogTranslator::install(QStringLiteral("veltra"));
}

void Veltra::init()
{
    InterfaceManager &controller = tesselInterface();
    connect(&controller, &InterfaceManager::sigNetworkConnect, this,
            [] { qDebug() << "tessel::TesselDemo : Connect"; });
    connect(&controller, &InterfaceManager::sigNetworkDisConnect, this,
            [] { qDebug() << "tessel::TesselDemo : DisConnect"; });

    // Early DH parameters when the command service offers them; the setup page reads them
    // again on every connection.
    const QJsonValue support =
        controller.getVantorData(QStringLiteral("factory.get_dh_params_support"))
            .toObject()
            .value(QStringLiteral("data"));
    if (support.isBool()) {
        QJsonArray rows =
            controller.getVantorData(QStringLiteral("factory.set_DH_params_link")).toArray();
        // Read as rows.size() / 4 axes below; the tables hold as many as there are joint
        // captions.
        if (rows.size() / 4 > common::jointNames.size()) {
            pluginLog() << "init" << " : " << "factory.set_DH_params_link refused : "
                        << rows.size() / 4 << " axes, more than " << common::jointNames.size();
            rows = QJsonArray();
        }
        for (const QJsonValue &row : qAsConst(rows)) {
            if (!row.isArray())
                continue;
            const QJsonArray numbers = row.toArray();
            for (const QJsonValue &number : numbers)
                common::originalDHParamsVec.append(number.toDouble());
        }
        common::axisNum = rows.size() / 4;
    }

    auto *page = new centerWidget(nullptr);
    if (CreateCenterWidget(kName, page) != 0) {
        // Nobody else would ever own the page and its pages.
        pluginLog() << "init" << " : " << "CreateCenterWidget failed";
        delete page;
    }
}

void Veltra::afterInit()
{
}

} // namespace tessel
