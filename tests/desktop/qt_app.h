#pragma once

#include <gtest/gtest.h>

#include <QApplication>

namespace plenvo::test {

// One application for the whole test program, made on first use: listing the
// tests must not need a display.
inline QApplication& qtApp() {
    static int argc = 1;
    static char name[] = "desktop_view_tests";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

// Base of fixtures whose members are widgets: the application comes first.
class QtTest : public ::testing::Test {
  protected:
    QtTest() { qtApp(); }
};

}  // namespace plenvo::test
