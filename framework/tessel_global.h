#pragma once

#include <QtCore/qglobal.h>

/// @file
/// Export macro of the tessel library.

#if defined(TESSEL_LIBRARY)
/// Marks tessel's public classes and functions for export from its shared library.
#  define TESSEL_EXPORT Q_DECL_EXPORT
#else
/// Marks tessel's public classes and functions for import into a plug-in.
#  define TESSEL_EXPORT Q_DECL_IMPORT
#endif

/// The plug-in framework: registry and plug-in base, logging, the controller facade, host UI
/// integration and robot-language instructions.
namespace tessel {
}
