// main.cpp: the intro's entry function; it reads no command line and no environment.
#include "intro.h"
#include "quit_request.h"

int main() {
    installQuitSignals();
    return runIntro(IntroSettings{});
}
