// One application object for a platform test program, on the offscreen platform unless the
// environment chose another.
#pragma once

#include <QApplication>

namespace qv::test {

inline QApplication& qt_app() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "qv-platform-test";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

} // namespace qv::test
