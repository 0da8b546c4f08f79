#include "presets/faults/PrivateMounts.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <vector>

namespace br::test
{
namespace
{
bool mountsAllowed = false;

std::string pathOf (const juce::File& file) { return file.getFullPathName().toStdString(); }
} // namespace

void enterPrivateMountNamespace()
{
    if (::unshare (CLONE_NEWNS) != 0)
        return;

    // Without this, mounts made here would still travel back to the shared mounts of
    // a system that marks "/" shared (systemd does).
    mountsAllowed = ::mount (nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

bool privateMountsAvailable() { return mountsAllowed; }

std::unique_ptr<ScopedMount> ScopedMount::readOnly (const juce::File& folder)
{
    if (! mountsAllowed || ! folder.isDirectory())
        return {};

    const auto path = pathOf (folder);
    if (::mount (path.c_str(), path.c_str(), nullptr, MS_BIND, nullptr) != 0)
        return {};

    std::unique_ptr<ScopedMount> mounted (new ScopedMount (folder));

    if (::mount (nullptr, path.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
        return {};

    return mounted;
}

std::unique_ptr<ScopedMount> ScopedMount::tinyTmpfs (const juce::File& folder, int kilobytes, int inodes)
{
    if (! mountsAllowed || ! folder.isDirectory())
        return {};

    const auto options = "size=" + std::to_string (kilobytes) + "k,nr_inodes=" + std::to_string (inodes);
    if (::mount ("quorvane-test", pathOf (folder).c_str(), "tmpfs", 0, options.c_str()) != 0)
        return {};

    return std::unique_ptr<ScopedMount> (new ScopedMount (folder));
}

ScopedMount::~ScopedMount() { ::umount2 (pathOf (folder).c_str(), MNT_DETACH); }

juce::int64 ScopedMount::fillUp() const
{
    const auto path = pathOf (folder.getChildFile ("filler"));
    const int fd = ::open (path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd < 0)
        return 0;

    std::vector<char> junk (4096, 'j');
    juce::int64 total = 0;

    // Page-sized writes first, then single bytes for whatever is left in the last page.
    for (size_t chunk : { junk.size(), size_t (1) })
    {
        for (;;)
        {
            const auto written = ::write (fd, junk.data(), chunk);
            if (written <= 0)
                break;
            total += written;
        }
    }

    ::close (fd);
    return total;
}

FolderContent contentOf (const juce::File& folder)
{
    FolderContent content;

    for (const auto& entry : juce::RangedDirectoryIterator (folder, true, "*", juce::File::findFilesAndDirectories))
    {
        const auto& file = entry.getFile();
        juce::MemoryBlock bytes;
        if (! entry.isDirectory())
            file.loadFileAsData (bytes);
        content[file.getRelativePathFrom (folder) + (entry.isDirectory() ? "/" : "")] = bytes;
    }

    return content;
}
} // namespace br::test
