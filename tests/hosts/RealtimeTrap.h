#pragma once
#include <juce_core/juce_core.h>

#include <string>
#include <vector>

/*  Catches heap and lock calls made by the plug-in binary while the host is inside its
    audio callback. The validator executable defines malloc, free and the pthread lock
    functions itself; the dynamic linker binds the plug-in's calls to those (the
    executable comes first in symbol lookup), and they forward to the C library. While a
    thread is armed, each call is recorded with its return-address stack, without
    allocating; the stacks are turned into names only after disarming. */
namespace br::host
{
enum class TrapKind
{
    allocation,
    release,
    lock
};

struct TrappedCall
{
    TrapKind kind;
    /** Frames inside the plug-in binary, innermost first, as demangled symbol names. */
    std::vector<std::string> pluginFrames;
    /** The whole stack, innermost first, as "object: symbol" lines, for failure messages. */
    std::string stack;
};

/** Records while alive, on the constructing thread only. Not nestable. */
class ScopedRealtimeTrap
{
public:
    ScopedRealtimeTrap();
    ~ScopedRealtimeTrap();
    ScopedRealtimeTrap (const ScopedRealtimeTrap&) = delete;
    ScopedRealtimeTrap& operator= (const ScopedRealtimeTrap&) = delete;
};

/** Forgets every call recorded so far. */
void clearTrappedCalls();
/** Whether more calls arrived than the fixed record holds (the rest were counted only). */
bool trapOverflowed();
int trappedCallCount();

/** The recorded calls, symbolised against the given plug-in binary. Message thread,
    never while a trap is armed. */
std::vector<TrappedCall> trappedCalls (const juce::File& pluginBinary);

/** Proves the interposition reaches code in another shared object: a trap around a
    libstdc++ allocation must see it. */
bool trapSeesForeignAllocations();
} // namespace br::host
