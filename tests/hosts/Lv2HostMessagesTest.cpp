#include "hosts/HostSupport.h"

#include <lv2/atom/forge.h>
#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/patch/patch.h>
#include <lv2/state/state.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>

#include <dlfcn.h>

#include <array>
#include <cmath>
#include <limits>
#include <map>
#include <mutex>

using namespace br::host;

/*  The LV2 as Ardour and jalv drive it. JUCE's hosting sends a full time:Position (with
    time:beat) before every block; these hosts send time:bar and time:barBeat, and only
    when the transport starts, stops, relocates or changes tempo. Ardour also asks for the
    parameter values with a patch:Get when it builds its generic editor. A bare host
    decides exactly which messages reach the plug-in, and when. */
namespace
{
constexpr double sampleRate = 48000.0;
constexpr int blockSize = 512; // jalv's period on the test JACK server

juce::File bundle() { return binaryOf (Format::lv2).getParentDirectory(); }

/** The value of `key` inside the Turtle block that holds `anchor`, or an empty string. */
juce::String turtleValueNear (const juce::String& turtle, const juce::String& anchor, const juce::String& key)
{
    const auto at = turtle.indexOf (anchor);
    if (at < 0)
        return {};
    const auto end = turtle.indexOf (at, " .\n");
    const auto block = turtle.substring (at, end < 0 ? turtle.length() : end);
    const auto keyAt = block.indexOf (key);
    if (keyAt < 0)
        return {};
    return block.substring (keyAt + key.length()).trimStart().upToFirstOccurrenceOf (";", false, false).trim();
}

class BareLv2Host
{
public:
    BareLv2Host()
    {
        library = dlopen (binaryOf (Format::lv2).getFullPathName().toRawUTF8(), RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr)
            throw std::runtime_error (dlerror());
        const auto entry = reinterpret_cast<LV2_Descriptor_Function> (dlsym (library, "lv2_descriptor"));
        for (uint32_t i = 0; entry != nullptr && (descriptor = entry (i)) != nullptr; ++i)
            if (std::string (descriptor->URI) == lv2Uri)
                break;
        if (descriptor == nullptr)
            throw std::runtime_error ("the LV2 binary holds no plug-in " + std::string (lv2Uri));

        lv2_atom_forge_init (&forge, &mapFeature);
        const LV2_Feature* features[] { &mapFeatureEntry, &optionsFeature, &boundedBlocks, nullptr };
        handle = descriptor->instantiate (descriptor, sampleRate, bundle().getFullPathName().toRawUTF8(), features);
        if (handle == nullptr)
            throw std::runtime_error ("the LV2 refused to instantiate");

        const auto turtle = bundle().getChildFile ("dsp.ttl").loadFileAsString();
        for (auto& [symbol, data] : std::initializer_list<std::pair<const char*, void*>> {
                 { "audio_in_1", input[0].data() }, { "audio_in_2", input[1].data() },
                 { "audio_out_1", output[0].data() }, { "audio_out_2", output[1].data() },
                 { "in", inputEvents.data() }, { "out", outputEvents.data() },
                 { "latency", &latency }, { "freeWheeling", &freeWheeling }, { "enabled", &enabled } })
            descriptor->connect_port (handle, (uint32_t) portIndex (turtle, symbol), data);
        for (auto& channel : input)
            std::fill (channel.begin(), channel.end(), 0.5f); // a steady level shows the gain itself
        descriptor->activate (handle);
    }

    ~BareLv2Host()
    {
        if (handle != nullptr)
        {
            descriptor->deactivate (handle);
            descriptor->cleanup (handle);
        }
        if (library != nullptr)
            dlclose (library);
    }

    LV2_URID map (const char* uri)
    {
        const std::scoped_lock lock (mapMutex);
        const auto [it, added] = urids.emplace (uri, (LV2_URID) urids.size() + 1);
        return it->second;
    }

    /** Loads a factory program the way jalv applies an LV2 preset: its state holds the
        program number. */
    void loadProgram (const juce::String& label)
    {
        const auto manifest = bundle().getChildFile ("manifest.ttl").loadFileAsString();
        const auto number = turtleValueNear (manifest, "rdfs:label \"" + label + "\"", ":Program>");
        ASSERT_TRUE (number.isNotEmpty()) << "no preset labelled " << label;
        program = number.unquoted().upToFirstOccurrenceOf ("\"", false, false).getIntValue();

        const auto* state = static_cast<const LV2_State_Interface*> (descriptor->extension_data (LV2_STATE__interface));
        ASSERT_NE (state, nullptr);
        const LV2_Feature* none[] { nullptr };
        const auto retrieve = [] (LV2_State_Handle self, uint32_t key, size_t* size, uint32_t* type, uint32_t* flags) -> const void*
        {
            auto& host = *static_cast<BareLv2Host*> (self);
            if (key != host.map ((juce::String (lv2Uri) + ":Program").toRawUTF8()))
                return nullptr;
            *size = sizeof (host.program);
            *type = host.map (LV2_ATOM__Int);
            *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
            return &host.program;
        };
        ASSERT_EQ (state->restore (handle, retrieve, this, 0, none), LV2_STATE_SUCCESS);
    }

    /** What Ardour and jalv send: bar from 0 and the beat within it, in 4/4. */
    void sendPosition (int offset, double quarters, double bpm, bool rolling, int64_t frame)
    {
        const auto bar = (int64_t) std::floor (quarters / 4.0);
        beginEvent (offset);
        LV2_Atom_Forge_Frame object;
        lv2_atom_forge_object (&forge, &object, 0, map (LV2_TIME__Position));
        lv2_atom_forge_key (&forge, map (LV2_TIME__frame));
        lv2_atom_forge_long (&forge, frame);
        lv2_atom_forge_key (&forge, map (LV2_TIME__speed));
        lv2_atom_forge_float (&forge, rolling ? 1.0f : 0.0f);
        lv2_atom_forge_key (&forge, map (LV2_TIME__barBeat));
        lv2_atom_forge_float (&forge, (float) (quarters - 4.0 * (double) bar));
        lv2_atom_forge_key (&forge, map (LV2_TIME__bar));
        lv2_atom_forge_long (&forge, bar);
        lv2_atom_forge_key (&forge, map (LV2_TIME__beatUnit));
        lv2_atom_forge_int (&forge, 4);
        lv2_atom_forge_key (&forge, map (LV2_TIME__beatsPerBar));
        lv2_atom_forge_float (&forge, 4.0f);
        lv2_atom_forge_key (&forge, map (LV2_TIME__beatsPerMinute));
        lv2_atom_forge_float (&forge, (float) bpm);
        lv2_atom_forge_pop (&forge, &object);
    }

    /** With no property this is Ardour's question for every value (no subject either). */
    void sendGet (const juce::String& parameterId = {})
    {
        beginEvent (0);
        LV2_Atom_Forge_Frame object;
        lv2_atom_forge_object (&forge, &object, 0, map (LV2_PATCH__Get));
        if (parameterId.isNotEmpty())
        {
            lv2_atom_forge_key (&forge, map (LV2_PATCH__property));
            lv2_atom_forge_urid (&forge, parameterUrid (parameterId));
        }
        lv2_atom_forge_pop (&forge, &object);
    }

    LV2_URID parameterUrid (const juce::String& parameterId)
    {
        return map ((juce::String (lv2Uri) + ":" + parameterId).toRawUTF8());
    }

    void sendSet (const juce::String& parameterId, float value)
    {
        beginEvent (0);
        LV2_Atom_Forge_Frame object;
        lv2_atom_forge_object (&forge, &object, 0, map (LV2_PATCH__Set));
        lv2_atom_forge_key (&forge, map (LV2_PATCH__property));
        lv2_atom_forge_urid (&forge, parameterUrid (parameterId));
        lv2_atom_forge_key (&forge, map (LV2_PATCH__value));
        lv2_atom_forge_float (&forge, value);
        lv2_atom_forge_pop (&forge, &object);
    }

    /** Runs one block with the events queued since the last; appends the left output to
        `left` and returns the patch:Set messages the plug-in wrote (property, value). */
    std::map<LV2_URID, float> run (int samples, std::vector<float>* left = nullptr)
    {
        if (! sequenceOpen)
            beginEvent (-1);
        lv2_atom_forge_pop (&forge, &sequence);
        sequenceOpen = false;

        auto* out = reinterpret_cast<LV2_Atom_Sequence*> (outputEvents.data());
        out->atom.type = 0;
        out->atom.size = (uint32_t) (outputEvents.size() * sizeof (uint64_t) - sizeof (LV2_Atom));
        descriptor->run (handle, (uint32_t) samples);
        if (left != nullptr)
            left->insert (left->end(), output[0].begin(), output[0].begin() + samples);

        std::map<LV2_URID, float> sets;
        if (out->atom.type != map (LV2_ATOM__Sequence))
            return sets;
        LV2_ATOM_SEQUENCE_FOREACH (out, event)
        {
            if (event->body.type != map (LV2_ATOM__Object))
                continue;
            const auto* object = reinterpret_cast<const LV2_Atom_Object*> (&event->body);
            if (object->body.otype != map (LV2_PATCH__Set))
                continue;
            const LV2_Atom* property = nullptr;
            const LV2_Atom* value = nullptr;
            lv2_atom_object_get (object, map (LV2_PATCH__property), &property, map (LV2_PATCH__value), &value, 0);
            if (property != nullptr && property->type == map (LV2_ATOM__URID) && value != nullptr
                && value->type == map (LV2_ATOM__Float))
                sets[reinterpret_cast<const LV2_Atom_URID*> (property)->body] = reinterpret_cast<const LV2_Atom_Float*> (value)->body;
        }
        return sets;
    }

private:
    static int portIndex (const juce::String& turtle, const char* symbol)
    {
        // Each port is one bracketed block holding its index and its symbol.
        const auto symbolAt = turtle.indexOf ("lv2:symbol \"" + juce::String (symbol) + "\"");
        const auto open = turtle.substring (0, symbolAt).lastIndexOfChar ('[');
        const auto close = turtle.indexOfChar (symbolAt, ']');
        if (symbolAt < 0 || open < 0 || close < 0)
            throw std::runtime_error ("dsp.ttl declares no port " + std::string (symbol));
        const auto block = turtle.substring (open, close);
        return block.fromFirstOccurrenceOf ("lv2:index", false, false).trim().getIntValue();
    }

    /** Opens the block's input sequence on the first event; events come in time order. */
    void beginEvent (int offset)
    {
        if (! sequenceOpen)
        {
            lv2_atom_forge_set_buffer (&forge, reinterpret_cast<uint8_t*> (inputEvents.data()), inputEvents.size() * sizeof (uint64_t));
            lv2_atom_forge_sequence_head (&forge, &sequence, 0);
            sequenceOpen = true;
        }
        if (offset >= 0)
            lv2_atom_forge_frame_time (&forge, offset);
    }

    static LV2_URID mapUri (LV2_URID_Map_Handle self, const char* uri) { return static_cast<BareLv2Host*> (self)->map (uri); }

    std::mutex mapMutex;
    std::map<std::string, LV2_URID> urids;
    LV2_URID_Map mapFeature { this, mapUri };
    LV2_Feature mapFeatureEntry { LV2_URID__map, &mapFeature };
    const int32_t maxBlock = blockSize, sequenceBytes = 65536;
    const LV2_Options_Option options[4] {
        { LV2_OPTIONS_INSTANCE, 0, map (LV2_BUF_SIZE__maxBlockLength), sizeof (int32_t), map (LV2_ATOM__Int), &maxBlock },
        { LV2_OPTIONS_INSTANCE, 0, map (LV2_BUF_SIZE__minBlockLength), sizeof (int32_t), map (LV2_ATOM__Int), &maxBlock },
        { LV2_OPTIONS_INSTANCE, 0, map (LV2_BUF_SIZE__sequenceSize), sizeof (int32_t), map (LV2_ATOM__Int), &sequenceBytes },
        { LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr },
    };
    LV2_Feature optionsFeature { LV2_OPTIONS__options, const_cast<LV2_Options_Option*> (options) };
    LV2_Feature boundedBlocks { LV2_BUF_SIZE__boundedBlockLength, nullptr };

    void* library = nullptr;
    const LV2_Descriptor* descriptor = nullptr;
    LV2_Handle handle = nullptr;
    LV2_Atom_Forge forge {};
    LV2_Atom_Forge_Frame sequence {};
    bool sequenceOpen = false;
    int32_t program = 0;
    std::array<std::vector<float>, 2> input { std::vector<float> (blockSize), std::vector<float> (blockSize) };
    std::array<std::vector<float>, 2> output { std::vector<float> (blockSize), std::vector<float> (blockSize) };
    std::vector<uint64_t> inputEvents = std::vector<uint64_t> (8192), outputEvents = std::vector<uint64_t> (8192);
    float latency = 0.0f, freeWheeling = 0.0f, enabled = 1.0f;
};
} // namespace

namespace
{
/** What the transport does at a sample of the render, counted from its start. */
struct TransportEvent
{
    int atSample;
    double bpm;
    double quarters; // where the transport goes; NaN: it stays where it is (a tempo change)
};

struct Scenario
{
    const char* name;
    std::vector<TransportEvent> events; // the first starts the transport
    int samples;
};

void PrintTo (const Scenario& scenario, std::ostream* os) { *os << scenario.name; }

const auto here = std::numeric_limits<double>::quiet_NaN();

// Starts off the grid, relocations inside a block and off the grid, a tempo change
// between two 16ths.
const Scenario scenarios[] {
    { "90 BPM", { { 0, 90.0, 13.3 }, { 144123, 90.0, 41.07 } }, 240000 },
    { "140 BPM", { { 0, 140.0, 6.55 }, { 96256, 90.0, here }, { 192000, 140.0, 22.91 } }, 288000 },
};

struct Render
{
    std::vector<float> left;
    std::vector<TransportEvent> events; // with every position filled in
};

/** Sync Chopper 1-16 over a steady level: the host's transport stands still at the
    first position for `stoppedBlocks`, then the scenario plays. */
Render render (const Scenario& scenario, int stoppedBlocks)
{
    BareLv2Host host;
    host.loadProgram ("Sync Chopper 1-16");
    const auto& start = scenario.events.front();
    const auto frameOf = [] (double quarters, double bpm) { return (int64_t) std::llround (quarters * 60.0 / bpm * sampleRate); };
    host.sendPosition (0, start.quarters, start.bpm, false, frameOf (start.quarters, start.bpm));
    for (int i = 0; i < stoppedBlocks; ++i)
        host.run (blockSize);

    Render result { {}, scenario.events };
    auto anchor = result.events.front();
    int64_t anchorFrame = 0;
    size_t next = 0;
    for (int blockStart = 0; blockStart < scenario.samples; blockStart += blockSize)
    {
        for (; next < result.events.size() && result.events[next].atSample < blockStart + blockSize; ++next)
        {
            auto& event = result.events[next];
            const auto elapsed = event.atSample - anchor.atSample;
            if (std::isnan (event.quarters))
                event.quarters = anchor.quarters + elapsed * anchor.bpm / 60.0 / sampleRate;
            const auto frame = std::isnan (scenario.events[next].quarters) ? anchorFrame + elapsed
                                                                           : frameOf (event.quarters, event.bpm);
            host.sendPosition (event.atSample - blockStart, event.quarters, event.bpm, true, frame);
            anchor = event;
            anchorFrame = frame;
        }
        host.run (blockSize, &result.left);
    }
    result.left.resize ((size_t) scenario.samples);
    return result;
}

constexpr double toleranceMs = 1.0;

/** From where the LFO must sit on the grid again after event i: one 16th note on. */
int settledFrom (const TransportEvent& event)
{
    return event.atSample + (int) std::ceil ((15.0 / event.bpm + toleranceMs / 1000.0) * sampleRate);
}

struct GridCheck
{
    int expected = 0, matched = 0, strayEdges = 0;
    double worstMs = 0.0;
};

/** Compares the rising edges of the chopped level (the square wave's start of each cycle,
    which x4.00 puts on every 16th note) with the 16th-note grid of the host's position,
    away from the block of each transport event. */
GridCheck checkGrid (const Render& r)
{
    std::vector<int> edges;
    for (size_t i = 1; i < r.left.size(); ++i)
        if (r.left[i - 1] < 0.05f && r.left[i] >= 0.05f) // a tenth of the full level: 0.16 ms into the smoothed rise
            edges.push_back ((int) i);

    GridCheck check;
    const auto tolerance = toleranceMs / 1000.0 * sampleRate;
    for (size_t e = 0; e < r.events.size(); ++e)
    {
        const auto& event = r.events[e];
        const auto from = settledFrom (event);
        const auto to = e + 1 < r.events.size() ? r.events[e + 1].atSample / blockSize * blockSize - (int) tolerance
                                                : (int) r.left.size() - (int) tolerance;
        const auto samplesPerSixteenth = 15.0 / event.bpm * sampleRate;
        const auto sampleOf = [&] (double sixteenth) { return event.atSample + (sixteenth - 4.0 * event.quarters) * samplesPerSixteenth; };

        std::vector<double> grid;
        for (auto k = std::ceil (4.0 * event.quarters); sampleOf (k) < to; ++k)
            if (sampleOf (k) >= from)
                grid.push_back (sampleOf (k));
        check.expected += (int) grid.size();

        for (const auto edge : edges)
        {
            if (edge < from || edge >= to)
                continue;
            auto nearest = std::numeric_limits<double>::max();
            for (const auto g : grid)
                nearest = std::min (nearest, std::abs (edge - g));
            check.worstMs = std::max (check.worstMs, std::min (nearest, samplesPerSixteenth) / sampleRate * 1000.0);
            if (nearest <= tolerance)
                ++check.matched;
            else
                ++check.strayEdges;
        }
    }
    return check;
}

class Lv2TransportFromArdourAndJalv : public testing::TestWithParam<Scenario>
{
};
} // namespace

TEST_P (Lv2TransportFromArdourAndJalv, SyncedLfoSitsOnTheSixteenthGridAndRendersAlike)
{
    const auto& scenario = GetParam();
    const auto first = render (scenario, 37);
    const auto check = checkGrid (first);
    EXPECT_GE (check.expected, 20);
    EXPECT_EQ (check.matched, check.expected) << "worst edge " << check.worstMs << " ms off the grid";
    EXPECT_EQ (check.strayEdges, 0);
    EXPECT_LE (check.worstMs, toleranceMs);

    // A session reopened and played from the same place, after the transport stood for
    // a different time: from one 16th after the start the output is the same, sample
    // for sample.
    const auto second = render (scenario, 61);
    const auto from = (size_t) settledFrom (scenario.events.front());
    size_t differing = 0, firstDifference = 0;
    for (auto i = from; i < first.left.size(); ++i)
        if (first.left[i] != second.left[i] && differing++ == 0)
            firstDifference = i;
    EXPECT_EQ (differing, 0u) << "first at " << firstDifference / sampleRate << " s";
}

INSTANTIATE_TEST_SUITE_P (Scenarios, Lv2TransportFromArdourAndJalv, testing::ValuesIn (scenarios),
                          [] (const auto& info) { return juce::String (info.param.name).retainCharacters ("0123456789BPM").toStdString(); });

TEST (Lv2PatchGet, AnswersWithTheCurrentValueOfEveryParameter)
{
    BareLv2Host host;
    const auto turtle = bundle().getChildFile ("dsp.ttl").loadFileAsString();
    juce::StringArray ids;
    ids.addTokens (turtleValueNear (turtle, "patch:writable", "patch:writable"), ",", {});
    ids.trim();
    for (auto& id : ids)
        id = id.fromFirstOccurrenceOf ("plug:", false, false);
    ASSERT_EQ (ids.size(), 15) << ids.joinIntoString (" ");

    // Values the host wrote itself, and values it never wrote: it has only the defaults
    // of dsp.ttl to go by, and Ardour shows 0 unless the plug-in answers.
    const std::map<juce::String, float> written { { "rate", 3.5f }, { "mix", 40.0f }, { "waveform", 1.0f } };
    for (const auto& [id, value] : written)
        host.sendSet (id, value);
    for (int i = 0; i < 4 && ! host.run (blockSize).empty(); ++i) {}

    host.sendGet();
    const auto answers = host.run (blockSize);
    EXPECT_EQ (answers.size(), 15u);
    for (const auto& id : ids)
    {
        SCOPED_TRACE (id);
        const auto it = written.find (id);
        const auto expected = it != written.end() ? it->second
                                                  : turtleValueNear (turtle, "plug:" + id + "\n", "lv2:default").getFloatValue();
        const auto answer = answers.find (host.parameterUrid (id));
        ASSERT_NE (answer, answers.end());
        EXPECT_FLOAT_EQ (answer->second, expected);
    }

    host.sendGet ("rate");
    const auto one = host.run (blockSize);
    ASSERT_EQ (one.size(), 1u);
    EXPECT_EQ (one.begin()->first, host.parameterUrid ("rate"));
    EXPECT_FLOAT_EQ (one.begin()->second, 3.5f);
}
