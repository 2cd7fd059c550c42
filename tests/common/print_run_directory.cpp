// Prints the folder the program runs from, for the run-directory test.
#include "common/file_system.h"
#include "common/run_directory.h"

#include <cstdio>

int main()
{
    std::fputs(yunque::utf8FromPath(yunque::runDirectory()).c_str(), stdout);
    return 0;
}
