// Test main of ui_tests and soak_tests: a QApplication on the offscreen
// platform (unless the environment asks for another), private runtime and
// config folders (tests never touch the user's files), and virtual lights as
// the one central of the shared Bluetooth manager.
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/simulated_app_fixture.h"

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!qEnvironmentVariableIsSet("QT_LOGGING_RULES"))
        qputenv("QT_LOGGING_RULES", "qt.bluetooth*=false;qt.qpa.*=false");
    QTemporaryDir scratch;
    if (!qEnvironmentVariableIsSet("XDG_RUNTIME_DIR")) {
        QDir(scratch.path()).mkdir("runtime");
        QFile::setPermissions(scratch.filePath("runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", scratch.filePath("runtime").toUtf8());
    }
    qputenv("XDG_CONFIG_HOME", scratch.filePath("config").toUtf8());
    QApplication app(argc, argv);
    lightdeck::testing::installProcessSimulator();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
