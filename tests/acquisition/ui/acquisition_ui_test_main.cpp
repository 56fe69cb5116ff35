// The acquisition windows' tests run offscreen, with the program's settings kept apart.

#include "support/main_window_tests.h"

int main(int argc, char** argv) {
    return kv::test::runMainWindowTests(argc, argv);
}
