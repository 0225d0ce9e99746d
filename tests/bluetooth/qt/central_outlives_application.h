#pragma once
// The program's exit as the application has it: the manager (and so its
// central) is never destroyed, so the central outlives the QCoreApplication
// and goes only with the static objects at exit. A test runs this in a child
// process (the test binary with the flag below) on the fake BlueZ's bus.

namespace lightdeck::testing {

inline constexpr const char* kCentralOutlivesApplicationFlag = "--central-outlives-application";

// Connects the light with that address, then lets the application object go
// while the central lives on in a static. Exit code 0 when the connection was
// made and the exit was orderly; the parent checks the light was released.
int runCentralThatOutlivesTheApplication(const char* program, const char* address);

}  // namespace lightdeck::testing
