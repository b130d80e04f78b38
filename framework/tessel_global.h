#pragma once

#include <QtCore/qglobal.h>

#if defined(TESSEL_LIBRARY)
#  define TESSEL_EXPORT Q_DECL_EXPORT
#else
#  define TESSEL_EXPORT Q_DECL_IMPORT
#endif
