#pragma once

#include <QtCore/qglobal.h>

#if defined(NABUCORE_LIBRARY)
#  define NABUCORE_EXPORT Q_DECL_EXPORT
#else
#  define NABUCORE_EXPORT Q_DECL_IMPORT
#endif
