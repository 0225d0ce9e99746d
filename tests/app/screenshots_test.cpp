// The screenshot walker in this process against the test's lights, and the
// lightdeck program itself without a display.

#include "app/screenshot_walker.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/simulated_app_fixture.h"

namespace lightdeck {
namespace {

class ScreenshotsTest : public testing::SimulatedAppTest {};

TEST_F(ScreenshotsTest, WalkerSavesTheScanScreenAndTheLightsWindow)
{
    addLight("Shot A");
    addLight("Shot B");
    addLight("Shot C");
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    std::vector<ScreenshotWalker::Step> steps;
    for (const auto& step : ScreenshotWalker::standardSteps()) {
        if (step.fileName == "devices.png" || step.fileName == "lights.png")
            steps.push_back(step);
    }
    ASSERT_EQ(steps.size(), 2u);
    {
        ScreenshotWalker walker(testing::processSimulator(), folder.path());
        EXPECT_EQ(walker.run(steps), 0);
    }
    const QImage devices(QDir(folder.path()).filePath("devices.png"));
    ASSERT_FALSE(devices.isNull());
    EXPECT_EQ(devices.size(), QSize(390, 844));
    const QImage lights(QDir(folder.path()).filePath("lights.png"));
    EXPECT_FALSE(lights.isNull());
}

#ifdef LIGHTDECK_EXECUTABLE
TEST(LightdeckProgramTest, WithoutADisplayItSaysHowToProceed)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(name);
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(LIGHTDECK_EXECUTABLE), {QStringLiteral("--simulate")});
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 3);
    const QString message = QString::fromUtf8(program.readAllStandardError());
    EXPECT_TRUE(message.contains(QStringLiteral("no display"))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("xvfb-run")));
    EXPECT_TRUE(message.contains(QStringLiteral("--screenshots")));
}

TEST(LightdeckProgramTest, WrongCommandLineExitsWithUsage)
{
    QProcess program;
    program.start(QStringLiteral(LIGHTDECK_EXECUTABLE), {QStringLiteral("--simulate=0")});
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitCode(), 2);
    EXPECT_TRUE(QString::fromUtf8(program.readAllStandardError()).contains(QStringLiteral("Usage: lightdeck")));
}
#endif

}  // namespace
}  // namespace lightdeck
