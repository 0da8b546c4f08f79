#pragma once
#include <juce_core/juce_core.h>

#include <cstdlib>

namespace br::test
{
/** Keeps an input that a test hands to one of our readers as a seed for the fuzz target
    of that reader (tests/fuzz), when BR_FUZZ_SEEDS names a folder: the seed corpora are
    the tests' own documents, valid and hostile alike. Files are named by a hash of their
    bytes, so a document used by many tests is kept once. Inputs longer than the fuzz
    targets take are left out. Does nothing without the variable. */
inline void recordFuzzSeed (const char* target, const void* data, size_t numBytes)
{
    static const auto folder = []
    {
        const char* path = std::getenv ("BR_FUZZ_SEEDS");
        return path != nullptr && *path != 0 ? juce::File (juce::String::fromUTF8 (path)) : juce::File();
    }();

    constexpr size_t maxSeedBytes = 65536;
    if (folder == juce::File() || data == nullptr || numBytes > maxSeedBytes)
        return;

    juce::uint64 hash = 14695981039346656037ull; // FNV-1a
    for (size_t i = 0; i < numBytes; ++i)
        hash = (hash ^ static_cast<const juce::uint8*> (data)[i]) * 1099511628211ull;

    const auto subfolder = folder.getChildFile (target);
    subfolder.createDirectory();
    subfolder.getChildFile (juce::String::toHexString ((juce::int64) hash)).replaceWithData (data, numBytes);
}

inline void recordFuzzSeed (const char* target, const juce::MemoryBlock& bytes)
{
    recordFuzzSeed (target, bytes.getData(), bytes.getSize());
}
} // namespace br::test
