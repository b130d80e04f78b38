#pragma once

#include <QtCore/qglobal.h>

#if defined(MIREL_LIBRARY)
#  define MIREL_EXPORT Q_DECL_EXPORT
#else
#  define MIREL_EXPORT Q_DECL_IMPORT
#endif
