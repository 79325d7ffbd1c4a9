// Precompiled for the test programs with widgets.
#include "qt_widgets.h"
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include "tests/support/printers.h"
