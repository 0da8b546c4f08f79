#pragma once
#include <juce_core/juce_core.h>

#include <cstddef>
#include <memory>

namespace br
{
/** Bounds for documents we accept from disk, from a host or from the settings file.
    Far above anything we write (a state is four levels deep, five attributes wide and
    a few kB long), far below what makes building the framework's tree, or its linear
    attribute lookups, hurt. */
struct XmlLimits
{
    std::size_t maxBytes = std::size_t (1) << 20;
    /** Levels of elements, the root being the first. */
    int maxDepth = 64;
    int maxAttributesPerElement = 64;
    /** Bytes between an attribute's quotes, as written. Ours hold a preset name at
        most, which is far shorter even escaped. */
    std::size_t maxAttributeBytes = 16384;
};

/** Reads a document with expat into the framework's tree, in one pass that does not
    recurse. The text ends at the first NUL byte, as the framework's own readers treat
    it; a leading UTF-8 byte-order mark is skipped. It must be well-formed XML in
    strictly valid UTF-8 (whatever encoding its declaration names), with ASCII element
    and attribute names and within `limits`. Every DOCTYPE is refused, so no entity is
    ever defined, expanded or fetched: only the five predefined ones and character
    references exist. References to the characters XML forbids (controls other than tab
    and line ends, U+FFFE, U+FFFF, surrogates), which the framework's writer puts for
    them in a preset name, read as the framework's parser reads them: to the character,
    and &#0; to nothing.

    The tree is the one juce::XmlDocument builds for the same text: attribute values
    as written (line breaks and tabs kept), text between elements that is only white
    space dropped, comments skipped, each CDATA section a text element of its own.

    Returns null for anything refused. Never touches the file system; any thread. */
std::unique_ptr<juce::XmlElement> parseXmlSafely (const void* data, std::size_t numBytes,
                                                  const XmlLimits& limits = {});

/** Reads and parses a document file. Only regular files are opened (a device or a
    pipe named like a preset is refused before it can block or stream forever), and at
    most limits.maxBytes + 1 bytes are read. Null when unreadable or refused. */
std::unique_ptr<juce::XmlElement> parseXmlFileSafely (const juce::File& file, const XmlLimits& limits = {});

/** First child element whose tag equals `tag` ignoring case, or null. Our readers
    match tags ignoring case and attribute names exactly. */
const juce::XmlElement* firstChildNamed (const juce::XmlElement& parent, juce::StringRef tag);

/** A number in document text, read by the framework's rule (String::getDoubleValue:
    leading number, text that is not a number reads as 0), except that an exponent of
    ten or more digits, which overflows the framework's reader, is read as the nine-digit
    exponent it is equivalent to: either way the number is past every double's range
    (infinite, or 0 when the exponent is negative). Any thread. */
double readNumber (const juce::String& text);

/** A numeric attribute that must be a finite number: "nan", "inf" or "1e999" count
    as missing and give `fallback`, as does a missing attribute. Text that is not a
    number reads as 0, the framework's rule. */
double finiteDoubleAttribute (const juce::XmlElement& element, juce::StringRef name, double fallback);

/** An integer attribute with the framework's reading rule (leading integer, text
    that is not a number reads as 0), saturated to the int range instead of wrapping. */
int intAttribute (const juce::XmlElement& element, juce::StringRef name, int fallback);
} // namespace br
