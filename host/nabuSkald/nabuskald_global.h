#pragma once

#include <QtCore/qglobal.h>

#if defined(NABUSKALD_LIBRARY)
#  define NABUSKALD_EXPORT Q_DECL_EXPORT
#else
#  define NABUSKALD_EXPORT Q_DECL_IMPORT
#endif
