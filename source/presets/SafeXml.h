#pragma once
#include <juce_core/juce_core.h>

#include <cstddef>
#include <memory>

namespace br
{
/** Bounds for documents we accept from disk or from a host. Far above anything we
    write (a state is four levels deep, five attributes wide and a few kB long), far
    below what makes the framework's recursive parser or its linear attribute lookups
    hurt. */
struct XmlLimits
{
    std::size_t maxBytes = std::size_t (1) << 20;
    int maxDepth = 64;
    int maxAttributesPerElement = 64;
    /** Bytes between an attribute's quotes. The framework's parser grows an
        attribute's text by one character per reference, copying it every time, so
        one long attribute made of "&amp;" costs its length squared: 0.6 s for a 1 MB
        one. Ours hold a preset name at most, which is far shorter even escaped. */
    std::size_t maxAttributeBytes = 16384;
};

/** Decides whether `numBytes` of UTF-8 text may be handed to juce::XmlDocument.

    Accepts a strict, well-formed subset of XML: strictly valid UTF-8 without NUL; an
    optional declaration, comments and processing instructions around exactly one
    root element; ASCII names; matching close tags; quoted attribute values without
    '<' and at most limits.maxAttributeBytes long; only the five predefined entities and
    numeric character references; comments, CDATA and processing instructions in
    content, an instruction followed by markup (the framework's parser never ends when
    text follows one). Rejects every DOCTYPE or other "<!"
    declaration (so no entity is ever defined, let alone fetched from a file), and
    anything beyond `limits`. On this subset the framework's parser sees exactly the
    element structure checked here, so the depth bound holds for its recursion too.

    Pure function of its input: no file access, no global state, iterative (a hostile
    input cannot exhaust the stack). Any thread. */
bool isSafeXml (const char* utf8, std::size_t numBytes, const XmlLimits& limits = {});

/** Parses text that passed isSafeXml. The text ends at the first NUL byte, as the
    framework's own readers treat it; a leading UTF-8 byte-order mark is skipped.
    Returns null for anything rejected. Never touches the file system. Any thread. */
std::unique_ptr<juce::XmlElement> parseXmlSafely (const void* data, std::size_t numBytes,
                                                  const XmlLimits& limits = {});

/** Reads and parses a document file. Only regular files are opened (a device or a
    pipe named like a preset is refused before it can block or stream forever), and at
    most limits.maxBytes + 1 bytes are read. Null when unreadable or rejected. */
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
