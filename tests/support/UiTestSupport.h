#pragma once
// Shared plumbing of the widget tests: the one application object of the test program.

#include <QApplication>

#include <gtest/gtest.h>

namespace testing_support {

inline void EnsureApplication() {
    if (!QApplication::instance()) {
        static int argc = 1;
        static char name[] = "vora_ui_tests";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
        QApplication::setApplicationName("vora");
    }
}

class ApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override { EnsureApplication(); }
};

inline ::testing::Environment* const kApplicationEnvironment =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

} // namespace testing_support
