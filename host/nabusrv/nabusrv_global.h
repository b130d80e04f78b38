#pragma once

#include <QtCore/qglobal.h>

#if defined(NABUSRV_LIBRARY)
#  define NABUSRV_EXPORT Q_DECL_EXPORT
#else
#  define NABUSRV_EXPORT Q_DECL_IMPORT
#endif
