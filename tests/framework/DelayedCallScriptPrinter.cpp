// Prints the delayed-call helper script that a browser host installs for a seed.
#include "TestBrowserHost.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    try {
        auto host = std::make_shared<fbtest::TestBrowserHost>();
        host->installDelayedCallHelper(argc > 1 ? static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10)) : 0);
        std::printf("%s\n%s\n", host->delayedCallHelperNameText().c_str(), host->scripts.at(0).c_str());
        return 0;
    } catch (...) {
        return 1;
    }
}
