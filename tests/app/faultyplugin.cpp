// A plug-in whose creator fails, as one whose constructor throws on a pendant: the framework
// keeps its module as an empty page, and the emulator's check must not pass it.
#include <tessel/plugin/pluginregister.h>

#include <stdexcept>

namespace {

const bool registered = [] {
    tessel::tesselFactory().regist(QStringLiteral("Faulty"),
                                   [](QObject *) -> tessel::PluginBase * {
                                       throw std::runtime_error("its settings are missing");
                                   });
    return true;
}();

} // namespace
