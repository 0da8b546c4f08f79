#pragma once
#include <juce_core/juce_core.h>

#include <map>
#include <memory>

namespace br::test
{
/** Moves the process into a mount namespace of its own, so that the file-system
    faults below are real (root ignores permission bits, not a read-only mount or a
    full disk) and can never reach the machine's own mounts. Call first thing in
    main, while the process has one thread: a namespace entered later would hold for
    the calling thread only. Does nothing where it is not allowed. */
void enterPrivateMountNamespace();

/** True after enterPrivateMountNamespace succeeded. */
bool privateMountsAvailable();

/** A mount over a folder for the object's lifetime; unmounted (lazily, so an open
    file cannot keep it) when it goes. */
class ScopedMount
{
public:
    /** The folder itself, bound onto itself and made read-only. Null if that fails. */
    static std::unique_ptr<ScopedMount> readOnly (const juce::File& folder);

    /** An empty file system of `kilobytes` with at most `inodes` files over the folder,
        whose own content is hidden until the mount goes. Null if that fails. */
    static std::unique_ptr<ScopedMount> tinyTmpfs (const juce::File& folder, int kilobytes, int inodes = 64);

    ~ScopedMount();

    /** Writes junk into the folder until the file system refuses; returns the bytes it took. */
    juce::int64 fillUp() const;

private:
    explicit ScopedMount (const juce::File& mountPoint) : folder (mountPoint) {}
    juce::File folder;
};

/** Every file below a folder with its bytes, for "nothing was touched" checks. */
using FolderContent = std::map<juce::String, juce::MemoryBlock>;
FolderContent contentOf (const juce::File& folder);
} // namespace br::test
