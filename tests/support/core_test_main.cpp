#include <gtest/gtest.h>

#include <cstdlib>

#include "common/log.h"

int main(int argc, char** argv)
{
    // The core logs every frame and discovery; keep test output readable
    // unless asked (LIGHTDECK_TEST_LOG=1). LogCapture still sees every line.
    if (!std::getenv("LIGHTDECK_TEST_LOG"))
        lightdeck::log::setSink([](lightdeck::log::Level, std::string_view) {});
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
