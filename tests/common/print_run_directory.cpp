// Prints the folder the program runs from, for the run-directory test.
#include "common/run_directory.h"

#include <cstdio>

int main()
{
    std::fputs(yunque::runDirectory().c_str(), stdout);
    return 0;
}
