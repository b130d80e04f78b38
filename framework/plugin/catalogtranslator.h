#pragma once

#include <tessel/tessel_global.h>

#include <QLocale>
#include <QString>

namespace tessel {

/// Installs the translations a library embeds as ":/i18n/<catalog>_<language>.qm" (for example
/// ":/i18n/veltra_en.qm") for the language the host has chosen, which is QLocale(). The
/// catalogues come from tessel_add_translations() in the plug-in's CMake file. GUI thread only.
class TESSEL_EXPORT CatalogTranslator
{
public:
    /// Replaces the catalogue's translator by one for `locale`; installing the language already
    /// installed does nothing. Call it before the plug-in's first tr(), for example in its
    /// constructor. False when the library has no catalogue for that language: its source
    /// texts stay, which is right for its source language.
    static bool install(const QString &catalog, const QLocale &locale = QLocale());
    /// Removes the catalogue's translator, if one is installed.
    static void remove(const QString &catalog);
};

} // namespace tessel
