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
    // Never torn down: Qt's own registries, such as that of the keyboard a key
    // event names, are made later and would be gone before it at exit.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// Base of fixtures whose members are widgets: the application comes first.
class QtTest : public ::testing::Test {
  protected:
    QtTest() { qtApp(); }
};

}  // namespace plenvo::test
