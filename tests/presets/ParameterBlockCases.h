#pragma once
#include "support/ModelHelpers.h"

#include <cmath>
#include <vector>

namespace br::test
{
/** How a block of parameter values reads, value by value: the same rules hold for a
    preset file and for a saved state (each holds such a block), so both are checked
    against this one table. */
struct ParameterBlockCase
{
    const char* what;
    juce::String params; // the block's children
    const char* id;      // the parameter looked at
    float expected;      // NaN: the parameter's default
};

inline const std::vector<ParameterBlockCase>& parameterBlockCases()
{
    static const std::vector<ParameterBlockCase> cases {
        { "any tag counts", "<Other id=\"mix\" value=\"30\"/>", "mix", 30.0f },
        { "missing value reads 0", "<PARAM id=\"mix\"/>", "mix", 0.0f },
        { "ids are case-sensitive: MIX", paramXml ("MIX", "10"), "mix", NAN },
        { "above the range is limited", paramXml ("rotRange", "999"), "rotRange", 360.0f },
        { "below the range is limited", paramXml ("gain", "-99"), "gain", -12.0f },
        { "huge finite is limited", paramXml ("rate", "1e30"), "rate", 60.0f },
        { "zero on the log range is limited", paramXml ("rate", "0"), "rate", 0.01f },
        { "negative on the log range is limited", paramXml ("rate", "-5"), "rate", 0.01f },
        { "nan counts as missing", paramXml ("rate", "nan"), "rate", NAN },
        { "NaN counts as missing", paramXml ("mix", "NaN"), "mix", NAN },
        { "inf counts as missing", paramXml ("mix", "inf"), "mix", NAN },
        { "-inf counts as missing", paramXml ("gain", "-inf"), "gain", NAN },
        { "1e999 counts as missing", paramXml ("rotRange", "1e999"), "rotRange", NAN },
        { "nan keeps an earlier value", paramXml ("mix", "10") + paramXml ("mix", "nan"), "mix", 10.0f },
        { "text reads as 0", paramXml ("mix", "loud"), "mix", 0.0f },
        { "duplicated id, the last wins", paramXml ("mix", "10") + paramXml ("mix", "20") + paramXml ("mix", "30"),
          "mix", 30.0f },
        { "duplicated id, a non-finite last one is skipped", paramXml ("mix", "10") + paramXml ("mix", "inf"), "mix",
          10.0f },
        { "unknown ids are ignored", paramXml ("volume", "10") + paramXml ("mix ", "10") + paramXml ("", "10"), "mix",
          NAN },
        { "ids are case-sensitive: Mix", paramXml ("Mix", "10"), "mix", NAN },
        { "an empty block", {}, "rate", NAN },
        { "text inside the block", "noise &amp; more", "rate", NAN },
        { "a value with trailing text", paramXml ("mix", "25 percent"), "mix", 25.0f },
        { "a hexadecimal value", paramXml ("mix", "0x10"), "mix", 0.0f },
        { "a value of 1e-400", paramXml ("gain", "1e-400"), "gain", 0.0f },
        { "a value past float", paramXml ("rotRange", "1e300"), "rotRange", 360.0f },
        { "a value below float", paramXml ("rotCenter", "-1e300"), "rotCenter", -180.0f },
        { "an exponent of ten digits", paramXml ("mix", "1e9999999999"), "mix", NAN },
        { "a negative exponent of ten digits", paramXml ("gain", "5e-9999999999"), "gain", 0.0f },
        { "nested PARAM elements do not count", "<Group>" + paramXml ("mix", "10") + "</Group>", "mix", NAN },
    };
    return cases;
}
} // namespace br::test
