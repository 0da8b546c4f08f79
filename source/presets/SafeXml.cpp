#include "presets/SafeXml.h"

#include <expat.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string_view>
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

/** An attribute value as written, which expat has already checked, with its references
    expanded but its line breaks and tabs kept (expat turns those into spaces, the
    framework's parser does not). */
juce::String expandReferences (std::string_view raw)
{
    juce::String value;

    while (! raw.empty())
    {
        const auto amp = raw.find ('&');
        value += juce::String::fromUTF8 (raw.data(), int (std::min (amp, raw.size())));

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
            value += juce::String::charToString (juce::juce_wchar (std::stoul (digits, nullptr, hex ? 16 : 10)));
        }
    }

    return value;
}

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
            return {};

        return std::move (root);
    }

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
    bool refused = false;

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

    juce::String valueFor (const char* value)
    {
        const auto numBytes = std::strlen (value);
        const auto make = [] (const char* newValue, std::size_t size)
        { return juce::String::fromUTF8 (newValue, int (size)); };

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
        if (! pendingText.empty() && hasNonSpace (pendingText))
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

            if (written.size() > self.limits.maxAttributeBytes)
                return self.refuse();

            const auto spaceKept = std::any_of (written.begin(), written.end(),
                                                [] (char c) { return c == '\t' || c == '\n' || c == '\r'; });
            element->setAttribute (*attributeName,
                                   spaceKept ? expandReferences (written) : self.valueFor (attribute[1]));
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

    return TreeBuilder (text, length, limits).run();
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
