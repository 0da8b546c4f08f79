// libFuzzer target: any bytes as a preset file in the user preset folder, read by
// PresetManager::loadFile through the XML reader, with the promises of PresetFileChecker.
#include "fuzz/FuzzChecks.h"
#include "fuzz/FuzzTargetMain.h"

namespace
{
br::fuzz::PresetFileChecker* checker = nullptr;
}

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    br::fuzz::setUpTarget();
    checker = new br::fuzz::PresetFileChecker (br::PresetManager::userDirectory());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    br::fuzz::failOn (checker->check (data, size));
    br::fuzz::dispatchSometimes();
    return 0;
}
