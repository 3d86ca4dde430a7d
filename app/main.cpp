// main.cpp: the intro's entry function; it reads no command line and no environment.
#include "intro.h"

int main() {
    return runIntro(IntroSettings{});
}
