#include "presets/SafeXml.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <vector>

namespace br
{
namespace
{
bool isStrictUtf8 (const unsigned char* p, const unsigned char* end)
{
    while (p < end)
    {
        const auto lead = *p;

        if (lead == 0)
            return false;

        if (lead < 0x80)
        {
            ++p;
            continue;
        }

        int extra = 0;
        std::uint32_t codePoint = 0;
        std::uint32_t smallest = 0;

        if ((lead & 0xe0) == 0xc0)
        {
            extra = 1;
            codePoint = lead & 0x1fu;
            smallest = 0x80;
        }
        else if ((lead & 0xf0) == 0xe0)
        {
            extra = 2;
            codePoint = lead & 0x0fu;
            smallest = 0x800;
        }
        else if ((lead & 0xf8) == 0xf0)
        {
            extra = 3;
            codePoint = lead & 0x07u;
            smallest = 0x10000;
        }
        else
        {
            return false;
        }

        if (end - p <= extra)
            return false;

        for (int i = 1; i <= extra; ++i)
        {
            if ((p[i] & 0xc0) != 0x80)
                return false;

            codePoint = (codePoint << 6) | (p[i] & 0x3fu);
        }

        // Overlong forms, surrogates and values past Unicode are what let two decoders
        // disagree about where a character ends.
        if (codePoint < smallest || codePoint > 0x10ffff || (codePoint >= 0xd800 && codePoint <= 0xdfff))
            return false;

        p += extra + 1;
    }

    return true;
}

/** Walks the text once, keeping the open element names on an explicit stack. */
class Checker
{
public:
    Checker (const unsigned char* begin, const unsigned char* end, const XmlLimits& limitsToUse)
        : p (begin), last (end), limits (limitsToUse)
    {
    }

    bool run()
    {
        if (! skipMisc())
            return false;

        if (atEnd() || *p != '<' || ! readElements())
            return false;

        return skipMisc() && atEnd();
    }

private:
    const unsigned char* p;
    const unsigned char* const last;
    const XmlLimits& limits;

    struct Name
    {
        const unsigned char* start;
        std::size_t length;
    };
    std::vector<Name> open;

    bool atEnd() const { return p >= last; }

    bool startsWith (const char* text) const
    {
        const auto length = std::strlen (text);
        return std::size_t (last - p) >= length && std::memcmp (p, text, length) == 0;
    }

    /** Moves past the next `terminator`, searching from the current position. */
    bool skipPast (const char* terminator)
    {
        const auto length = std::strlen (terminator);

        for (auto* q = p; std::size_t (last - q) >= length; ++q)
        {
            if (std::memcmp (q, terminator, length) == 0)
            {
                p = q + length;
                return true;
            }
        }

        return false;
    }

    static bool isSpace (unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

    // The ASCII part of what the framework's parser takes for a name character.
    static bool isNameChar (unsigned char c)
    {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-'
               || c == ':' || c == '.';
    }

    void skipSpace()
    {
        while (! atEnd() && isSpace (*p))
            ++p;
    }

    bool readName (Name& name)
    {
        name.start = p;

        while (! atEnd() && isNameChar (*p))
            ++p;

        name.length = std::size_t (p - name.start);
        return name.length > 0 && ! atEnd();
    }

    /** Whitespace, comments and processing instructions before and after the root. */
    bool skipMisc()
    {
        for (;;)
        {
            skipSpace();

            if (startsWith ("<?"))
            {
                p += 2;
                if (! skipPast ("?>"))
                    return false;
            }
            else if (startsWith ("<!--"))
            {
                p += 4;
                if (! skipPast ("-->"))
                    return false;
            }
            else
            {
                return true;
            }
        }
    }

    /** Only what the parser expands by itself: no entity can be defined anyway, since
        every DOCTYPE is refused, and an unknown name would make the framework search
        ahead for a ';' and lose step with this checker. */
    bool readReference()
    {
        ++p; // '&'

        for (auto* named : { "amp;", "lt;", "gt;", "quot;", "apos;" })
        {
            if (startsWith (named))
            {
                p += std::strlen (named);
                return true;
            }
        }

        if (atEnd() || *p != '#')
            return false;

        ++p;
        const bool hex = ! atEnd() && (*p == 'x' || *p == 'X');
        if (hex)
            ++p;

        std::uint32_t codePoint = 0;
        int digits = 0;

        for (; ! atEnd() && *p != ';'; ++p)
        {
            const auto c = *p;
            int digit = -1;

            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (hex && c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else if (hex && c >= 'A' && c <= 'F')
                digit = c - 'A' + 10;

            if (digit < 0 || ++digits > (hex ? 6 : 7))
                return false;

            codePoint = codePoint * (hex ? 16u : 10u) + std::uint32_t (digit);
        }

        if (atEnd() || digits == 0)
            return false;

        ++p; // ';'
        return codePoint > 0 && codePoint <= 0x10ffff && ! (codePoint >= 0xd800 && codePoint <= 0xdfff);
    }

    bool readAttributeValue()
    {
        const auto quote = *p++;
        const auto* const start = p;

        while (! atEnd())
        {
            const auto c = *p;

            if (c == quote)
            {
                ++p;
                return std::size_t (p - 1 - start) <= limits.maxAttributeBytes;
            }

            if (c == '<')
                return false;

            if (c == '&')
            {
                if (! readReference())
                    return false;
            }
            else
            {
                ++p;
            }
        }

        return false;
    }

    /** At '<' of an opening tag: reads the tag and pushes it unless it closes itself. */
    bool readOpeningTag()
    {
        ++p;
        Name name {};

        if (! readName (name))
            return false;

        for (int attributes = 0;;)
        {
            skipSpace();

            if (atEnd())
                return false;

            if (*p == '/')
            {
                ++p;
                if (atEnd() || *p != '>')
                    return false;
                ++p;
                return true;
            }

            if (*p == '>')
            {
                ++p;
                if (int (open.size()) >= limits.maxDepth)
                    return false;
                open.push_back (name);
                return true;
            }

            Name attribute {};
            if (! readName (attribute) || ++attributes > limits.maxAttributesPerElement)
                return false;

            skipSpace();
            if (atEnd() || *p != '=')
                return false;
            ++p;
            skipSpace();

            if (atEnd() || (*p != '"' && *p != '\''))
                return false;

            if (! readAttributeValue())
                return false;
        }
    }

    bool readClosingTag()
    {
        p += 2;
        Name name {};

        if (! readName (name))
            return false;

        const auto& expected = open.back();
        if (name.length != expected.length || std::memcmp (name.start, expected.start, name.length) != 0)
            return false;

        skipSpace();
        if (atEnd() || *p != '>')
            return false;

        ++p;
        open.pop_back();
        return true;
    }

    /** The root element and everything inside it. */
    bool readElements()
    {
        if (! readOpeningTag())
            return false;

        // The framework's parser loops forever when text follows a processing instruction
        // in content, with only whitespace and comments between: it skips the instruction,
        // finds text, rolls back to the instruction to read the text from there, and stops
        // at its '<' again. So an instruction in content must be followed by markup.
        bool afterInstruction = false;

        while (! open.empty())
        {
            if (atEnd())
                return false;

            const auto c = *p;

            if (afterInstruction && c != '<' && ! isSpace ((unsigned char) c))
                return false;

            if (c == '&')
            {
                if (! readReference())
                    return false;
            }
            else if (c != '<')
            {
                ++p;
            }
            else if (startsWith ("</"))
            {
                if (! readClosingTag())
                    return false;
            }
            else if (startsWith ("<!--"))
            {
                p += 4;
                if (! skipPast ("-->"))
                    return false;
                continue; // markup, but not the kind that ends the danger above
            }
            else if (startsWith ("<![CDATA["))
            {
                p += 9;
                if (! skipPast ("]]>"))
                    return false;
            }
            else if (startsWith ("<?"))
            {
                p += 2;
                if (! skipPast ("?>"))
                    return false;
                afterInstruction = true;
                continue;
            }
            else if (startsWith ("<!"))
            {
                return false; // DOCTYPE, ENTITY and friends
            }
            else if (! readOpeningTag())
            {
                return false;
            }

            if (c == '<')
                afterInstruction = false;
        }

        return true;
    }
};

std::size_t lengthUpToNul (const char* text, std::size_t numBytes)
{
    const auto* nul = static_cast<const char*> (std::memchr (text, 0, numBytes));
    return nul != nullptr ? std::size_t (nul - text) : numBytes;
}
} // namespace

bool isSafeXml (const char* utf8, std::size_t numBytes, const XmlLimits& limits)
{
    if (utf8 == nullptr || numBytes == 0 || numBytes > limits.maxBytes || limits.maxDepth < 1)
        return false;

    const auto* begin = reinterpret_cast<const unsigned char*> (utf8);
    const auto* end = begin + numBytes;

    if (! isStrictUtf8 (begin, end))
        return false;

    return Checker (begin, end, limits).run();
}

std::unique_ptr<juce::XmlElement> parseXmlSafely (const void* data, std::size_t numBytes, const XmlLimits& limits)
{
    if (data == nullptr)
        return {};

    // The search for the end stops just past the largest text that could pass, so a
    // huge blob costs no more than a megabyte's worth of looking.
    const auto* text = static_cast<const char*> (data);
    auto length = lengthUpToNul (text, std::min (numBytes, limits.maxBytes + 4));

    if (length >= 3 && std::memcmp (text, "\xef\xbb\xbf", 3) == 0)
    {
        text += 3;
        length -= 3;
    }

    if (! isSafeXml (text, length, limits))
        return {};

    // Parsed from a string, the document has no input source: even if a reference
    // slipped through, the parser would have nothing to open.
    return juce::parseXML (juce::String::fromUTF8 (text, int (length)));
}

std::unique_ptr<juce::XmlElement> parseXmlFileSafely (const juce::File& file, const XmlLimits& limits)
{
    std::error_code error;
    const std::filesystem::path path (file.getFullPathName().toStdString());

    if (file == juce::File() || ! std::filesystem::is_regular_file (path, error))
        return {};

    juce::FileInputStream in (file);
    if (! in.openedOk())
        return {};

    juce::MemoryBlock bytes;
    const auto numRead = in.readIntoMemoryBlock (bytes, juce::int64 (limits.maxBytes) + 1);

    if (numRead > limits.maxBytes)
        return {};

    return parseXmlSafely (bytes.getData(), numRead, limits);
}

const juce::XmlElement* firstChildNamed (const juce::XmlElement& parent, juce::StringRef tag)
{
    for (const auto* child : parent.getChildIterator())
        if (child->getTagName().equalsIgnoreCase (tag))
            return child;

    return nullptr;
}

double readNumber (const juce::String& text)
{
    // The framework's reader may only ever see the first 'e' as an exponent marker: it
    // stops at the first character that cannot continue a number.
    const auto marker = text.indexOfAnyOf ("eE");
    if (marker < 0)
        return text.getDoubleValue();

    auto utf8 = text.toStdString();
    auto first = utf8.find_first_of ("eE") + 1;
    if (first < utf8.size() && (utf8[first] == '+' || utf8[first] == '-'))
        ++first;
    while (first < utf8.size() && utf8[first] == '0') // leading zeros do not count
        ++first;

    auto end = first;
    while (end < utf8.size() && utf8[end] >= '0' && utf8[end] <= '9')
        ++end;

    if (end - first <= 9)
        return text.getDoubleValue();

    utf8.replace (first, end - first, "999999999");
    return juce::String::fromUTF8 (utf8.data(), int (utf8.size())).getDoubleValue();
}

double finiteDoubleAttribute (const juce::XmlElement& element, juce::StringRef name, double fallback)
{
    if (! element.hasAttribute (name))
        return fallback;

    const auto value = readNumber (element.getStringAttribute (name));
    return std::isfinite (value) ? value : fallback;
}

int intAttribute (const juce::XmlElement& element, juce::StringRef name, int fallback)
{
    if (! element.hasAttribute (name))
        return fallback;

    auto text = element.getStringAttribute (name).getCharPointer().findEndOfWhitespace();
    const bool negative = *text == '-';
    if (negative)
        ++text;

    constexpr auto limit = juce::int64 (std::numeric_limits<int>::max()) + 1;
    juce::int64 magnitude = 0;

    for (auto c = text.getAndAdvance(); c >= '0' && c <= '9'; c = text.getAndAdvance())
        magnitude = std::min (limit, magnitude * 10 + (c - '0'));

    const auto value = negative ? -magnitude : magnitude;
    return int (juce::jlimit (juce::int64 (std::numeric_limits<int>::min()),
                              juce::int64 (std::numeric_limits<int>::max()), value));
}
} // namespace br
