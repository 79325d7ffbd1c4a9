// Precompiled for the test programs: GoogleTest, Qt Test and the readable Qt
// values of failure messages (tests/support/printers.h, part of every test).
#include "qt_core.h"
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include "tests/support/printers.h"
