#pragma once

#include <QtCore/qglobal.h>

/// @file
/// Export macro of the test kit library.

#if defined(TESSEL_TESTKIT_LIBRARY)
/// Marks the test kit's public classes for export from its shared library.
#  define TESSEL_TESTKIT_EXPORT Q_DECL_EXPORT
#else
/// Marks the test kit's public classes for import into a test.
#  define TESSEL_TESTKIT_EXPORT Q_DECL_IMPORT
#endif
