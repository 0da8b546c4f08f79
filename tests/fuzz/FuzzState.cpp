// libFuzzer target: any bytes as a plug-in state (setStateInformation), with the
// promises of StateChecker checked after each input.
#include "fuzz/FuzzChecks.h"
#include "fuzz/FuzzTargetMain.h"

namespace
{
br::fuzz::StateChecker* checker = nullptr;
}

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    br::fuzz::setUpTarget();
    checker = new br::fuzz::StateChecker;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    br::fuzz::failOn (checker->check (data, size));
    br::fuzz::dispatchSometimes();
    return 0;
}
