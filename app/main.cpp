// main.cpp: the intro's entry function.
#include "diag.h"

int main() {
    setMessageStreams(stdin, stdout, stderr);
    print("\n KVL dovoz1...init ok!");
    return 0;
}
