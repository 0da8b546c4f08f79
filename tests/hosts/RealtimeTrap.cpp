#include "hosts/RealtimeTrap.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <dlfcn.h>
#include <execinfo.h>
#include <map>
#include <pthread.h>

// The C library's own entry points, which these replacements forward to. Using them
// instead of dlsym for the heap avoids the classic recursion (dlsym may allocate).
extern "C"
{
void* __libc_malloc (size_t);
void* __libc_calloc (size_t, size_t);
void* __libc_realloc (void*, size_t);
void* __libc_memalign (size_t, size_t);
void __libc_free (void*);
}

namespace
{
constexpr int maxFrames = 40;
constexpr int maxRecords = 16384;

struct Record
{
    br::host::TrapKind kind;
    int depth;
    void* frames[maxFrames];
};

Record records[maxRecords];
std::atomic<int> recordCount { 0 };

thread_local bool armed = false;
thread_local bool inHook = false; // the unwinder may lock or allocate on its own

void note (br::host::TrapKind kind) noexcept
{
    if (! armed || inHook)
        return;
    inHook = true;
    const auto index = recordCount.fetch_add (1);
    if (index < maxRecords)
    {
        auto& r = records[index];
        r.kind = kind;
        r.depth = backtrace (r.frames, maxFrames);
    }
    inHook = false;
}

template <typename Function>
Function nextSymbol (std::atomic<Function>& cache, const char* name) noexcept
{
    auto f = cache.load (std::memory_order_relaxed);
    if (f == nullptr)
    {
        f = reinterpret_cast<Function> (dlsym (RTLD_NEXT, name));
        cache.store (f, std::memory_order_relaxed);
    }
    return f;
}

using MutexFunction = int (*) (pthread_mutex_t*);
using RwFunction = int (*) (pthread_rwlock_t*);
std::atomic<MutexFunction> realMutexLock { nullptr }, realMutexTryLock { nullptr };
std::atomic<RwFunction> realRdLock { nullptr }, realWrLock { nullptr };

//==============================================================================
/** Function names of one binary from its symbol table (`nm`), by file offset. */
class SymbolTable
{
public:
    explicit SymbolTable (const juce::File& binary)
    {
        juce::ChildProcess nm;
        if (! nm.start (juce::StringArray { "nm", "-C", "--defined-only", "-S", binary.getFullPathName() }))
            return;
        juce::StringArray lines;
        lines.addLines (nm.readAllProcessOutput());
        for (const auto& line : lines)
        {
            // "address size type name"; symbols without a size are not functions we can place.
            auto tokens = juce::StringArray::fromTokens (line, " ", "");
            if (tokens.size() < 4 || ! (tokens[2] == "t" || tokens[2] == "T" || tokens[2] == "W" || tokens[2] == "w"))
                continue;
            const auto start = (size_t) tokens[0].getHexValue64();
            const auto size = (size_t) tokens[1].getHexValue64();
            const auto name = line.fromFirstOccurrenceOf (" " + tokens[2] + " ", false, false);
            symbols[start] = { start + size, name.toStdString() };
        }
    }

    std::string nameAt (size_t offset) const
    {
        auto it = symbols.upper_bound (offset);
        if (it == symbols.begin())
            return {};
        --it;
        return offset < it->second.first ? it->second.second : std::string {};
    }

private:
    std::map<size_t, std::pair<size_t, std::string>> symbols;
};

std::string demangle (const char* name)
{
    if (name == nullptr)
        return "?";
    int status = 0;
    std::unique_ptr<char, void (*) (void*)> result (abi::__cxa_demangle (name, nullptr, nullptr, &status), std::free);
    return status == 0 && result != nullptr ? std::string (result.get()) : std::string (name);
}
} // namespace

//==============================================================================
extern "C"
{
void* malloc (size_t size)
{
    note (br::host::TrapKind::allocation);
    return __libc_malloc (size);
}

void* calloc (size_t count, size_t size)
{
    note (br::host::TrapKind::allocation);
    return __libc_calloc (count, size);
}

void* realloc (void* p, size_t size)
{
    note (br::host::TrapKind::allocation);
    return __libc_realloc (p, size);
}

void* memalign (size_t alignment, size_t size)
{
    note (br::host::TrapKind::allocation);
    return __libc_memalign (alignment, size);
}

void* aligned_alloc (size_t alignment, size_t size)
{
    note (br::host::TrapKind::allocation);
    return __libc_memalign (alignment, size);
}

int posix_memalign (void** result, size_t alignment, size_t size)
{
    note (br::host::TrapKind::allocation);
    if (alignment % sizeof (void*) != 0 || (alignment & (alignment - 1)) != 0)
        return EINVAL;
    auto* p = __libc_memalign (alignment, size);
    if (p == nullptr)
        return ENOMEM;
    *result = p;
    return 0;
}

void free (void* p)
{
    if (p != nullptr)
        note (br::host::TrapKind::release);
    __libc_free (p);
}

int pthread_mutex_lock (pthread_mutex_t* m)
{
    note (br::host::TrapKind::lock);
    return nextSymbol (realMutexLock, "pthread_mutex_lock") (m);
}

int pthread_mutex_trylock (pthread_mutex_t* m)
{
    note (br::host::TrapKind::lock);
    return nextSymbol (realMutexTryLock, "pthread_mutex_trylock") (m);
}

int pthread_rwlock_rdlock (pthread_rwlock_t* l)
{
    note (br::host::TrapKind::lock);
    return nextSymbol (realRdLock, "pthread_rwlock_rdlock") (l);
}

int pthread_rwlock_wrlock (pthread_rwlock_t* l)
{
    note (br::host::TrapKind::lock);
    return nextSymbol (realWrLock, "pthread_rwlock_wrlock") (l);
}
}

//==============================================================================
namespace br::host
{
ScopedRealtimeTrap::ScopedRealtimeTrap()
{
    // The first backtrace loads the unwinder, which allocates: do it before arming.
    static const bool warmedUp = []
    {
        void* frames[4];
        return backtrace (frames, 4) > 0;
    }();
    juce::ignoreUnused (warmedUp);
    armed = true;
}

ScopedRealtimeTrap::~ScopedRealtimeTrap() { armed = false; }

void clearTrappedCalls() { recordCount.store (0); }
bool trapOverflowed() { return recordCount.load() > maxRecords; }
int trappedCallCount() { return recordCount.load(); }

std::vector<TrappedCall> trappedCalls (const juce::File& pluginBinary)
{
    const auto canonical = [] (const std::string& path)
    {
        std::unique_ptr<char, void (*) (void*)> resolved (realpath (path.c_str(), nullptr), std::free);
        return resolved != nullptr ? std::string (resolved.get()) : path;
    };
    const auto pluginPath = canonical (pluginBinary.getFullPathName().toStdString());
    const auto selfPath = canonical ("/proc/self/exe");
    // The executable's and the plug-in's own functions are not in their dynamic symbol
    // tables, so dladdr cannot name them; their full symbol tables can.
    const SymbolTable pluginSymbols { juce::File (pluginPath) };
    const SymbolTable selfSymbols { juce::File (selfPath) };

    std::vector<TrappedCall> calls;
    const auto count = juce::jmin (recordCount.load(), maxRecords);
    for (int i = 0; i < count; ++i)
    {
        const auto& r = records[i];
        TrappedCall call { r.kind, {}, {} };
        // The leading frames are this file's replacement functions; the stack of
        // interest starts at their caller.
        bool leading = true;
        for (int f = 0; f < r.depth; ++f)
        {
            Dl_info info {};
            std::string object = "?", name;
            if (dladdr (r.frames[f], &info) != 0 && info.dli_fname != nullptr)
            {
                const auto path = canonical (info.dli_fname);
                // A return address points just past the call; step back into it.
                const auto offset = (size_t) ((char*) r.frames[f] - (char*) info.dli_fbase) - 1;
                if (path == pluginPath)
                {
                    object = "plug-in";
                    name = pluginSymbols.nameAt (offset);
                    call.pluginFrames.push_back (name);
                }
                else if (path == selfPath)
                {
                    if (leading)
                        continue;
                    object = "validator";
                    name = selfSymbols.nameAt (offset);
                }
                else
                {
                    object = juce::File (path).getFileName().toStdString();
                    name = demangle (info.dli_sname);
                }
            }
            leading = false;
            call.stack += "    " + object + ": " + name + "\n";
        }
        calls.push_back (std::move (call));
    }
    return calls;
}

bool trapSeesForeignAllocations()
{
    clearTrappedCalls();
    {
        ScopedRealtimeTrap trap;
        // strdup allocates inside the C library, through the interposable malloc.
        free (strdup ("trap"));
    }
    const auto seen = trappedCallCount();
    clearTrappedCalls();
    return seen >= 2;
}
} // namespace br::host
