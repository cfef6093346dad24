// Resets of program-wide state (singleton pointers, static tables), so tests can start each
// case from a framework that was never started.
#pragma once

// A module with program-wide state defines one of these at namespace scope.
class OmStaticStateReset {
public:
    explicit OmStaticStateReset(void (*reset)());
};

// Runs every registered reset. Only for tests: objects still alive are forgotten, not freed.
void OmResetStaticState();
