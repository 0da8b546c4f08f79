#include "presets/SafeXml.h"

#include <expat.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <limits>
#include <string_view>
#include <utility>
#include <vector>

namespace br
{
namespace
{
bool isXmlSpace (char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool isAscii (const char* text)
{
    for (; *text != 0; ++text)
        if ((unsigned char) *text >= 0x80)
            return false;

    return true;
}

/** The framework's test for text worth keeping: any character that is not white space. */
bool hasNonSpace (const std::string& text)
{
    for (const auto c : text)
    {
        if ((unsigned char) c >= 0x80)
            return juce::String::fromUTF8 (text.data(), int (text.size())).containsNonWhitespaceChars();

        if (! isXmlSpace (c))
            return true;
    }

    return false;
}

void appendUtf8 (std::string& text, std::uint32_t c)
{
    char bytes[4];
    const auto numBytes = juce::CharPointer_UTF8 (bytes).getBytesRequiredFor (juce::juce_wchar (c));
    juce::CharPointer_UTF8 (bytes).write (juce::juce_wchar (c));
    text.append (bytes, numBytes);
}

/** An attribute value as written, which expat has already checked, with its references
    expanded but its line breaks and tabs kept (expat turns those into spaces, the
    framework's parser does not). UTF-8. */
std::string expandReferences (std::string_view raw)
{
    std::string value;

    while (! raw.empty())
    {
        const auto amp = raw.find ('&');
        value.append (raw.data(), std::min (amp, raw.size()));

        if (amp == std::string_view::npos)
            break;

        const auto semicolon = raw.find (';', amp);
        const auto name = raw.substr (amp + 1, semicolon - amp - 1);
        raw.remove_prefix (semicolon + 1);

        if (name == "amp")
            value += '&';
        else if (name == "lt")
            value += '<';
        else if (name == "gt")
            value += '>';
        else if (name == "quot")
            value += '"';
        else if (name == "apos")
            value += '\'';
        else
        {
            const bool hex = name.size() > 1 && name[1] == 'x';
            const auto digits = std::string (name.substr (hex ? 2 : 1));
            appendUtf8 (value, std::uint32_t (std::stoul (digits, nullptr, hex ? 16 : 10)));
        }
    }

    return value;
}

/** The framework's writer puts every character outside its small table of plain ones
    as a numeric reference, and so writes "&#1;" for a control character typed or
    pasted into a preset name, or "&#65535;" for a noncharacter: references XML forbids
    and expat refuses, though the framework's parser read them (to the character, and
    &#0; to nothing). A document refused for one is read a second time with each such
    reference in text and attribute values replaced by a stand-in, a private-use
    character of the block U+10F000 to U+10FFFF at an offset that names the forbidden
    one, and the stand-ins are turned back where text and values are taken.

    A character of that block which the document holds itself (written raw or as a
    reference) is then marked by the escape stand-in in front of it, so it reads as
    itself: a name may hold any character, and the writer puts these as references
    too. */
namespace standIns
{
constexpr std::uint32_t blockStart = 0x10f000;
constexpr std::uint32_t escape = 0x400;

bool isForbidden (std::uint32_t c)
{
    return (c < 0x20 && c != '\t' && c != '\n' && c != '\r') || (c >= 0xd800 && c <= 0xdfff) || c == 0xfffe
           || c == 0xffff;
}

/** Controls at 0 to 0x1f, U+FFFE and U+FFFF at 0x3fe and 0x3ff, surrogates at 0x800 to 0xfff. */
std::uint32_t offsetOf (std::uint32_t forbidden)
{
    return forbidden < 0x20 ? forbidden : forbidden >= 0xfffe ? forbidden - 0xfc00 : forbidden - 0xd000;
}

std::uint32_t forbiddenAt (std::uint32_t offset)
{
    return offset < 0x20 ? offset : offset < 0x800 ? offset + 0xfc00 : offset + 0xd000;
}

bool isStandIn (std::uint32_t offset)
{
    return isForbidden (forbiddenAt (offset)) && offsetOf (forbiddenAt (offset)) == offset;
}

/** A character of the block, written raw in UTF-8 as F4 8F followed by two
    continuation bytes, and its offset in the block. */
bool isInBlock (std::string_view text, std::size_t at, std::uint32_t& offset)
{
    if (at + 4 > text.size() || (unsigned char) text[at] != 0xf4 || (unsigned char) text[at + 1] != 0x8f
        || ((unsigned char) text[at + 2] & 0xc0) != 0x80 || ((unsigned char) text[at + 3] & 0xc0) != 0x80)
        return false;

    offset = std::uint32_t (((unsigned char) text[at + 2] & 0x3f) << 6) | ((unsigned char) text[at + 3] & 0x3f);
    return true;
}

/** The length of a character reference ("&#65;", "&#x41;") at `at` and its code, capped
    past Unicode; 0 when there is none. */
std::size_t readReference (std::string_view text, std::size_t at, std::uint32_t& code)
{
    auto end = at + 2;
    if (end > text.size() || text[at] != '&' || text[at + 1] != '#')
        return 0;

    const bool hex = end < text.size() && text[end] == 'x';
    end += hex ? 1 : 0;
    const auto digitsStart = end;
    code = 0;

    for (; end < text.size(); ++end)
    {
        const auto digit = hex ? juce::CharacterFunctions::getHexDigitValue (juce::juce_wchar (text[end]))
                               : (text[end] >= '0' && text[end] <= '9' ? text[end] - '0' : -1);
        if (digit < 0)
            break;

        code = std::min (code * (hex ? 16u : 10u) + std::uint32_t (digit), 0x110000u);
    }

    return end > digitsStart && end < text.size() && text[end] == ';' ? end + 1 - at : 0;
}

/** The document with stand-ins, and where its length changed: at each offset in the new
    text, how many bytes the original had more up to there. */
struct Rewritten
{
    std::string text;
    std::vector<std::pair<std::size_t, std::ptrdiff_t>> shifts;
    bool replacedAny = false;

    /** The bytes from `begin` to `end` of the new text had in the original. */
    std::size_t originalLength (std::size_t begin, std::size_t end) const
    {
        const auto shiftAt = [this] (std::size_t offset)
        {
            const auto after = std::upper_bound (shifts.begin(), shifts.end(), offset,
                                                 [] (std::size_t o, const auto& shift) { return o < shift.first; });
            return after == shifts.begin() ? std::ptrdiff_t (0) : std::prev (after)->second;
        };

        return std::size_t (std::ptrdiff_t (end - begin) + shiftAt (end) - shiftAt (begin));
    }
};

/** One pass over the document that knows where it is, as expat's tokenizer does in a
    well-formed one: references are replaced in text and in quoted attribute values
    only, never inside comments, CDATA sections or instructions, where they are text as
    written. Anything else starting with "<!" is a DOCTYPE, refused anyway, and the
    rest is left as it is. */
Rewritten rewrite (std::string_view text)
{
    Rewritten result;
    auto& out = result.text;
    out.reserve (text.size() + 64);

    enum
    {
        content,
        tag,
        value
    } where = content;
    char quote = 0;
    std::size_t at = 0;

    const auto copyPast = [&] (std::string_view terminator, std::size_t from)
    {
        const auto found = text.find (terminator, from);
        const auto end = found == std::string_view::npos ? text.size() : found + terminator.size();
        out.append (text.data() + at, end - at);
        at = end;
    };

    const auto replaced = [&] (std::size_t originalEnd)
    {
        at = originalEnd;
        result.shifts.emplace_back (out.size(), std::ptrdiff_t (at) - std::ptrdiff_t (out.size()));
    };

    while (at < text.size())
    {
        const auto c = text[at];
        std::uint32_t code = 0, offset = 0;

        if (where == tag)
        {
            if (c == '"' || c == '\'')
                where = value, quote = c;
            else if (c == '>')
                where = content;

            out += c;
            ++at;
        }
        else if (where == value && c == quote)
        {
            where = tag;
            out += c;
            ++at;
        }
        else if (where == content && c == '<')
        {
            const auto rest = text.substr (at);
            if (rest.substr (0, 4) == "<!--")
                copyPast ("-->", at + 4);
            else if (rest.substr (0, 9) == "<![CDATA[")
                copyPast ("]]>", at + 9);
            else if (rest.substr (0, 2) == "<?")
                copyPast ("?>", at + 2);
            else if (rest.substr (0, 2) == "<!")
                copyPast ({}, text.size());
            else
            {
                where = tag;
                out += c;
                ++at;
            }
        }
        else if (const auto length = c == '&' ? readReference (text, at, code) : 0; length > 0 && isForbidden (code))
        {
            appendUtf8 (out, blockStart + offsetOf (code));
            result.replacedAny = true;
            replaced (at + length);
        }
        else if (length > 0 && code >= blockStart && code <= 0x10ffff)
        {
            appendUtf8 (out, blockStart + escape);
            appendUtf8 (out, code);
            replaced (at + length);
        }
        else if (isInBlock (text, at, offset))
        {
            appendUtf8 (out, blockStart + escape);
            out.append (text.data() + at, 4);
            replaced (at + 4);
        }
        else
        {
            out += c;
            ++at;
        }
    }

    return result;
}

/** Text or a value from the second reading, its stand-ins turned back into the
    characters they stand for, as the framework's parser reads them (&#0; to nothing). */
juce::String restore (std::string_view text)
{
    std::string restored;
    restored.reserve (text.size());

    for (std::size_t at = 0; at < text.size();)
    {
        const auto* lead = static_cast<const char*> (std::memchr (text.data() + at, 0xf4, text.size() - at));
        const auto next = lead == nullptr ? text.size() : std::size_t (lead - text.data());
        restored.append (text.data() + at, next - at);
        at = next;

        std::uint32_t offset = 0;
        if (at == text.size())
            break;

        if (! isInBlock (text, at, offset))
        {
            restored += text[at++];
        }
        else if (offset == escape && at + 8 <= text.size())
        {
            restored.append (text.data() + at + 4, 4);
            at += 8;
        }
        else
        {
            if (! isStandIn (offset))
                restored.append (text.data() + at, 4);
            else if (forbiddenAt (offset) != 0)
                appendUtf8 (restored, forbiddenAt (offset));

            at += 4;
        }
    }

    return juce::String::fromUTF8 (restored.data(), int (restored.size()));
}
} // namespace standIns

/** The framework's shared form (an identifier, a string) of the last texts seen, one per
    slot of a small table indexed by a hash of the text. */
template <typename Shared>
class RecentTexts
{
public:
    /** The shared form of `text`, made by `make` unless its slot holds it already; good
        until the next call. */
    template <typename Make>
    const Shared* find (const char* text, std::size_t length, Make&& make)
    {
        std::uint32_t hash = 2166136261u; // FNV-1a
        for (std::size_t i = 0; i < length; ++i)
            hash = (hash ^ (unsigned char) text[i]) * 16777619u;

        auto& slot = slots[hash % slots.size()];
        if (! slot.used || slot.text.size() != length || std::memcmp (slot.text.data(), text, length) != 0)
        {
            slot.text.assign (text, length);
            slot.shared = make (text, length);
            slot.used = true;
        }

        return &slot.shared;
    }

private:
    struct Slot
    {
        std::string text;
        Shared shared;
        bool used = false;
    };
    std::array<Slot, 64> slots;
};

/** Values up to this long are shared: their text fits beside them without allocation. */
constexpr std::size_t maxSharedValueBytes = 15;

/** Builds the tree in expat's callbacks, keeping the open elements on an explicit
    stack. Any limit broken stops the parser and marks the document refused. */
class TreeBuilder
{
public:
    TreeBuilder (const char* textToRead, std::size_t numBytes, const XmlLimits& limitsToUse)
        : text (textToRead), length (numBytes), limits (limitsToUse)
    {
    }

    /** The second reading, of a document with stand-ins. */
    TreeBuilder (const standIns::Rewritten& rewritten, const XmlLimits& limitsToUse)
        : TreeBuilder (rewritten.text.data(), rewritten.text.size(), limitsToUse)
    {
        withStandIns = &rewritten;
    }

    ~TreeBuilder()
    {
        if (parser != nullptr)
            XML_ParserFree (parser);
    }

    std::unique_ptr<juce::XmlElement> run()
    {
        // Naming the encoding overrides whatever the declaration says: our documents are
        // UTF-8, and a file that claims otherwise is read as UTF-8 all the same.
        parser = XML_ParserCreate ("UTF-8");
        if (parser == nullptr)
            return {};

        XML_SetUserData (parser, this);
        XML_SetElementHandler (parser, startElement, endElement);
        XML_SetCharacterDataHandler (parser, characters);
        XML_SetCdataSectionHandler (parser, startCdata, endCdata);
        XML_SetProcessingInstructionHandler (parser, instruction);
        // With no DOCTYPE, no entity can be declared, so neither an external one nor a
        // billion laughs can get in. No external entity handler is set either: expat
        // never opens a file or a URL by itself.
        XML_SetStartDoctypeDeclHandler (parser, refuseDoctype);
        XML_SetEntityDeclHandler (parser, refuseEntity);

        if (XML_Parse (parser, text, int (length), XML_TRUE) != XML_STATUS_OK || refused || open.size() != 0)
        {
            refusedForReference = ! refused && XML_GetErrorCode (parser) == XML_ERROR_BAD_CHAR_REF;
            return {};
        }

        return std::move (root);
    }

    /** Whether expat refused a character reference: one that XML forbids, or one past
        Unicode. */
    bool wasRefusedForReference() const { return refusedForReference; }

private:
    struct Open
    {
        std::unique_ptr<juce::XmlElement> element;
        std::vector<std::unique_ptr<juce::XmlElement>> children;
    };

    const char* const text;
    const std::size_t length;
    const XmlLimits& limits;
    XML_Parser parser = nullptr;
    std::vector<Open> open;
    std::unique_ptr<juce::XmlElement> root;
    std::string pendingText;
    XML_Index cdataStart = -1;
    bool refused = false, refusedForReference = false;
    const standIns::Rewritten* withStandIns = nullptr;

    // Our documents repeat a handful of names and short values thousands of times. The
    // framework shares equal strings by reference counting, but keeps names in a global
    // pool that takes a lock to look up, and copies every value. So a name or short
    // value seen lately is reused from here; a document of ever new ones pays the
    // framework's own price.
    RecentTexts<juce::Identifier> recentNames;
    RecentTexts<juce::String> recentValues;

    /** A null identifier for a name that is not ASCII, which the framework's tree
        cannot hold. What it points to is good until the next call. */
    const juce::Identifier* nameFor (const char* name)
    {
        return recentNames.find (name, std::strlen (name), [] (const char* newName, std::size_t)
                                 { return isAscii (newName) ? juce::Identifier (newName) : juce::Identifier(); });
    }

    juce::String textOf (std::string_view utf8) const
    {
        return withStandIns != nullptr ? standIns::restore (utf8)
                                        : juce::String::fromUTF8 (utf8.data(), int (utf8.size()));
    }

    juce::String valueFor (const char* value)
    {
        const auto numBytes = std::strlen (value);
        const auto make = [this] (const char* newValue, std::size_t size) { return textOf ({ newValue, size }); };

        if (numBytes > maxSharedValueBytes)
            return make (value, numBytes);

        return *recentValues.find (value, numBytes, make);
    }

    static TreeBuilder& of (void* userData) { return *static_cast<TreeBuilder*> (userData); }

    void refuse()
    {
        refused = true;
        XML_StopParser (parser, XML_FALSE);
    }

    /** Text runs up to the next tag, instruction or CDATA section, across comments; as
        in the framework's parser, a run that is only white space is dropped. */
    void flushText()
    {
        if (withStandIns != nullptr && ! pendingText.empty())
        {
            // Restored controls may be white space to the framework (a vertical tab is).
            const auto content = textOf (pendingText);
            if (content.containsNonWhitespaceChars())
                addChild (juce::XmlElement::createTextElement (content));
        }
        else if (! pendingText.empty() && hasNonSpace (pendingText))
        {
            const auto content = juce::String::fromUTF8 (pendingText.data(), int (pendingText.size()));
            addChild (juce::XmlElement::createTextElement (content));
        }

        pendingText.clear();
    }

    void addChild (juce::XmlElement* child) { open.back().children.emplace_back (child); }

    /** The start tag as written, from the '<' to the '>'. */
    std::string_view rawTag() const
    {
        const auto start = XML_GetCurrentByteIndex (parser);
        const auto count = XML_GetCurrentByteCount (parser);

        if (start < 0 || count <= 0 || std::size_t (start + count) > length)
            return {};

        return { text + start, std::size_t (count) };
    }

    /** The bytes a part of the text had as the document was written, before stand-ins. */
    std::size_t writtenLength (std::string_view part) const
    {
        if (withStandIns == nullptr)
            return part.size();

        const auto begin = std::size_t (part.data() - text);
        return withStandIns->originalLength (begin, begin + part.size());
    }

    static void startElement (void* userData, const XML_Char* name, const XML_Char** attributes)
    {
        auto& self = of (userData);
        if (self.refused)
            return;

        if (! self.open.empty())
            self.flushText();

        const auto* tag = self.nameFor (name);
        if (int (self.open.size()) >= self.limits.maxDepth || tag->isNull())
            return self.refuse();

        auto element = std::make_unique<juce::XmlElement> (*tag);

        // Walk the tag as written beside expat's attribute list (both in document
        // order) for what expat does not tell: the length of each value as written, and
        // its line breaks and tabs.
        const auto raw = self.rawTag();
        std::size_t at = 0;

        int count = 0;
        for (auto** attribute = attributes; *attribute != nullptr; attribute += 2)
        {
            const auto* attributeName = self.nameFor (attribute[0]);
            if (++count > self.limits.maxAttributesPerElement || attributeName->isNull())
                return self.refuse();

            while (at < raw.size() && raw[at] != '"' && raw[at] != '\'')
                ++at;

            const auto end = at < raw.size() ? raw.find (raw[at], at + 1) : std::string_view::npos;
            if (end == std::string_view::npos)
                return self.refuse();

            const auto written = raw.substr (at + 1, end - at - 1);
            at = end + 1;

            if (self.writtenLength (written) > self.limits.maxAttributeBytes)
                return self.refuse();

            const auto spaceKept = std::any_of (written.begin(), written.end(),
                                                [] (char c) { return c == '\t' || c == '\n' || c == '\r'; });
            element->setAttribute (*attributeName, spaceKept ? self.textOf (expandReferences (written))
                                                             : self.valueFor (attribute[1]));
        }

        self.open.push_back ({ std::move (element), {} });
    }

    static void endElement (void* userData, const XML_Char*)
    {
        auto& self = of (userData);
        if (self.refused)
            return;

        self.flushText();
        auto closed = std::move (self.open.back());
        self.open.pop_back();

        // Prepending from the back keeps the order and costs one step per child, where
        // appending walks the whole list each time.
        for (auto child = closed.children.rbegin(); child != closed.children.rend(); ++child)
            closed.element->prependChildElement (child->release());

        if (self.open.empty())
            self.root = std::move (closed.element);
        else
            self.addChild (closed.element.release());
    }

    static void characters (void* userData, const XML_Char* chars, int numBytes)
    {
        auto& self = of (userData);
        if (! self.refused && self.cdataStart < 0)
            self.pendingText.append (chars, std::size_t (numBytes));
    }

    static void instruction (void* userData, const XML_Char*, const XML_Char*)
    {
        auto& self = of (userData);
        if (! self.refused && ! self.open.empty())
            self.flushText();
    }

    static void startCdata (void* userData)
    {
        auto& self = of (userData);
        if (self.refused)
            return;

        self.flushText();
        self.cdataStart = XML_GetCurrentByteIndex (self.parser) + 9; // past "<![CDATA["
    }

    /** A section is a text element of its own, even when empty, and as written: expat
        would turn its CR LF line ends into LF, the framework's parser does not. */
    static void endCdata (void* userData)
    {
        auto& self = of (userData);
        if (self.refused)
            return;

        const auto end = XML_GetCurrentByteIndex (self.parser);
        if (self.cdataStart < 0 || end < self.cdataStart)
            return self.refuse();

        self.addChild (juce::XmlElement::createTextElement (
            juce::String::fromUTF8 (self.text + self.cdataStart, int (end - self.cdataStart))));
        self.cdataStart = -1;
    }

    static void refuseDoctype (void* userData, const XML_Char*, const XML_Char*, const XML_Char*, int)
    {
        of (userData).refuse();
    }

    static void refuseEntity (void* userData, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                              const XML_Char*, const XML_Char*, const XML_Char*)
    {
        of (userData).refuse();
    }
};

std::size_t lengthUpToNul (const char* text, std::size_t numBytes)
{
    const auto* nul = static_cast<const char*> (std::memchr (text, 0, numBytes));
    return nul != nullptr ? std::size_t (nul - text) : numBytes;
}
} // namespace

std::unique_ptr<juce::XmlElement> parseXmlSafely (const void* data, std::size_t numBytes, const XmlLimits& limits)
{
    if (data == nullptr || limits.maxDepth < 1)
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

    if (length == 0 || length > limits.maxBytes)
        return {};

    // White space may come before the declaration, as the framework's parser allows.
    // After it the document must start with markup: that also keeps expat from taking a
    // second byte-order mark, or a UTF-16 one, for a change of encoding.
    while (length > 0 && isXmlSpace (*text))
    {
        ++text;
        --length;
    }

    if (length == 0 || *text != '<')
        return {};

    TreeBuilder reader (text, length, limits);
    if (auto tree = reader.run(); tree != nullptr || ! reader.wasRefusedForReference())
        return tree;

    const auto rewritten = standIns::rewrite ({ text, length });
    if (! rewritten.replacedAny)
        return {};

    return TreeBuilder (rewritten, limits).run();
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
