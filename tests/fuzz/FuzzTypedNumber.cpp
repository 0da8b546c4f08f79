// libFuzzer target: any bytes typed into the editor's number boxes, with the promises
// of TypedNumberChecker checked after each input.
#include "fuzz/FuzzChecks.h"
#include "fuzz/FuzzTargetMain.h"

namespace
{
br::fuzz::TypedNumberChecker* checker = nullptr;
}

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    br::fuzz::setUpTarget();
    checker = new br::fuzz::TypedNumberChecker;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    br::fuzz::failOn (checker->check (data, size));
    br::fuzz::dispatchSometimes();
    return 0;
}
