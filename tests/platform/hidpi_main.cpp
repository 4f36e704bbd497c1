// Runs the canvas tests on a screen scaled by two, before the application object exists.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QtGlobal>

int main(int argc, char** argv) {
    qputenv("QT_SCALE_FACTOR", QByteArray("2"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
