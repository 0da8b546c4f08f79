// How the cost of reading documents grows with their size, for the shapes a hostile
// document can take: the fitted complexity (Google Benchmark's BigO line) should come
// out as N, or N lg N within the noise, for every family up to the 1 MB that the
// readers accept. A family that fits N^2 would let a one-megabyte file stall the message
// thread; "long escaped name" did (0.6 s at 1 MB) in the framework's parser until
// attributes were limited. The families with one long attribute are turned away by the
// reader from 16 kB on.

#include "plugin/BrellumProcessor.h"
#include "presets/SafeXml.h"

#include <benchmark/benchmark.h>

#include <string>

namespace
{
/** The document families, each grown to about `n` bytes. */
enum Family
{
    longPlainName,    // one attribute of ordinary characters
    longQuotedName,   // one attribute of raw quotes (six bytes each when written again)
    longEscapedName,  // one attribute of character references
    longAccentedName, // one attribute of two-byte characters
    escapedAttributes, // elements whose attributes are all references, each as long as allowed
    manyParams,       // a block of PARAM children, all naming a parameter
    manyJunkChildren, // a block of children that name nothing
    nestedGroups,     // 60-level nests, side by side
    longComment,
    numFamilies
};

const char* const familyNames[] { "long plain name",  "long quoted name",   "long escaped name", "long accented name",
                                  "escaped attributes", "many params",      "many junk children", "nested groups",     "long comment" };

std::string repeat (const std::string& unit, size_t totalBytes)
{
    std::string text;
    text.reserve (totalBytes + unit.size());
    while (text.size() < totalBytes)
        text += unit;
    return text;
}

/** A state document ("BrellumState") of about `n` bytes in the given family (up to
    one repeated unit more). */
std::string stateDocument (int family, size_t n)
{
    const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><BrellumState";

    switch (family)
    {
        case longPlainName: return head + " presetName=\"" + repeat ("x", n) + "\"/>";
        case longQuotedName: return head + " presetName='" + repeat ("\"", n) + "'/>";
        case longEscapedName: return head + " presetName=\"" + repeat ("&#x263A;", n) + "\"/>";
        case longAccentedName: return head + " presetName=\"" + repeat ("\xc3\xa9", n) + "\"/>";
        case escapedAttributes: return head + ">" + repeat ("<e a=\"" + repeat ("&amp;", 16380) + "\"/>", n) + "</BrellumState>";
        case manyParams: return head + "><Parameters>" + repeat ("<PARAM id=\"mix\" value=\"12.5\"/>", n) + "</Parameters></BrellumState>";
        case manyJunkChildren: return head + "><Parameters>" + repeat ("<Junk a=\"1\" b=\"2\"/>", n) + "</Parameters></BrellumState>";
        case nestedGroups: return head + ">" + repeat (repeat ("<g>", 60) + repeat ("</g>", 60), n) + "</BrellumState>";
        default: return head + "><!--" + repeat ("-x", n) + "--></BrellumState>";
    }
}

juce::MemoryBlock envelope (const std::string& text)
{
    juce::MemoryOutputStream out;
    out.writeInt (0x21324356);
    out.writeInt (int (text.size()));
    out.write (text.data(), text.size());
    out.writeByte (0);
    return out.getMemoryBlock();
}

// Each family on its own, from 64 kB to 1 MB, so that the complexity fit (the "BigO"
// line after each family) sees one shape at a time.
void BM_ReadXml (benchmark::State& state, int family)
{
    const auto text = stateDocument (family, size_t (state.range (0)));

    for (auto _ : state)
        benchmark::DoNotOptimize (br::parseXmlSafely (text.data(), text.size()));

    state.SetBytesProcessed (state.iterations() * juce::int64 (text.size()));
    state.SetComplexityN (juce::int64 (text.size()));
}

// A whole restore: envelope, the XML reader, the value tree, the values,
// and the state written back afterwards, as a host does at its next save.
void BM_RestoreAndWriteState (benchmark::State& state, int family)
{
    const auto blob = envelope (stateDocument (family, size_t (state.range (0))));
    BrellumProcessor processor;
    juce::MemoryBlock written;

    for (auto _ : state)
    {
        processor.setStateInformation (blob.getData(), int (blob.getSize()));
        processor.getStateInformation (written);
    }

    state.SetBytesProcessed (state.iterations() * juce::int64 (blob.getSize()));
    state.SetComplexityN (juce::int64 (blob.getSize()));
    state.counters["written"] = double (written.getSize());
}

// A blob far past the limit is turned away without being read through: flat in N (MB).
void BM_RejectHugeBlob (benchmark::State& state)
{
    const auto size = size_t (state.range (0)) << 20;
    juce::MemoryBlock blob (size);
    blob.fillWith ('x');
    const juce::uint32 header[] { juce::ByteOrder::swapIfBigEndian (juce::uint32 (0x21324356)),
                                  juce::ByteOrder::swapIfBigEndian (juce::uint32 (size - 9)) };
    blob.copyFrom (header, 0, sizeof (header));
    BrellumProcessor processor;

    for (auto _ : state)
        processor.setStateInformation (blob.getData(), int (blob.getSize()));

    state.SetComplexityN (state.range (0));
}

// 64 kB doubling up to just under the 1 MB limit.
void sizes (benchmark::internal::Benchmark* b)
{
    for (int kb : { 64, 128, 256, 512, 1000 })
        b->Arg (kb << 10);
}

[[maybe_unused]] const bool registered = []
{
    for (int family = 0; family < numFamilies; ++family)
    {
        const std::string name = familyNames[family];
        benchmark::RegisterBenchmark (("ReadXml/" + name).c_str(), BM_ReadXml, family)
            ->Apply (sizes)->Complexity()->Unit (benchmark::kMicrosecond);
        benchmark::RegisterBenchmark (("RestoreAndWriteState/" + name).c_str(), BM_RestoreAndWriteState, family)
            ->Apply (sizes)->Complexity()->Unit (benchmark::kMicrosecond);
    }

    benchmark::RegisterBenchmark ("RejectHugeBlob/MB", BM_RejectHugeBlob)
        ->RangeMultiplier (4)->Range (4, 256)->Complexity()->Unit (benchmark::kMicrosecond);
    return true;
}();
} // namespace
