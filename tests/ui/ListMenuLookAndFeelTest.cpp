#include "UiTestSupport.h"
#include "ui/ChoiceBox.h"
#include "ui/ListMenuLookAndFeel.h"
#include "ui/Palette.h"

#include <gtest/gtest.h>

namespace
{
using br::ui::ListMenuLookAndFeel;
namespace colours = br::ui::colours;

constexpr int itemWidth = 160;
constexpr int itemHeight = 22; // the framework's own height for its 17-pixel menu font

struct Item
{
    bool ticked = false;
    bool highlighted = false;
    bool active = true;
    bool withIcon = false;
};

std::unique_ptr<juce::Drawable> waveformIcon()
{
    auto icon = std::make_unique<juce::DrawablePath>();
    icon->setPath (br::ui::waveformPath (1, { 0.0f, 0.0f, 28.0f, 12.0f }));
    icon->setFill (juce::Colours::transparentBlack);
    icon->setStrokeFill (colours::accentBright);
    icon->setStrokeType (juce::PathStrokeType (1.5f));
    return icon;
}

/** One item drawn onto the menu's background, as the menu window shows it. */
juce::Image drawItem (juce::LookAndFeel_V4& lf, const Item& item, const juce::String& text = "Triangle")
{
    juce::Image image (juce::Image::ARGB, itemWidth, itemHeight, true, juce::SoftwareImageType());
    juce::Graphics g (image);
    g.fillAll (lf.findColour (juce::PopupMenu::backgroundColourId));
    const auto icon = item.withIcon ? waveformIcon() : nullptr;
    lf.drawPopupMenuItem (g, { 0, 0, itemWidth, itemHeight }, false, item.active, item.highlighted, item.ticked, false,
                          text, {}, icon.get(), nullptr);
    return image;
}

bool isWhite (juce::Colour c) { return c.getRed() > 200 && c.getGreen() > 200 && c.getBlue() > 200; }
bool isIconBlue (juce::Colour c) { return c.getBlue() > 200 && c.getRed() < 170 && c.getBlue() > c.getRed() + 60; }

int countIn (const juce::Image& image, juce::Range<int> columns, bool (*matches) (juce::Colour))
{
    int count = 0;
    for (int x = columns.getStart(); x < columns.getEnd(); ++x)
        for (int y = 0; y < image.getHeight(); ++y)
            count += matches (image.getPixelAt (x, y)) ? 1 : 0;
    return count;
}

/** True when the `columns` of `a` show what `b` shows `shiftRight` pixels further left. */
bool sameImages (const juce::Image& a, const juce::Image& b, int shiftRight = 0,
                 juce::Range<int> columns = { 0, itemWidth })
{
    for (int x = columns.getStart(); x < columns.getEnd(); ++x)
        for (int y = 0; y < a.getHeight(); ++y)
            if (a.getPixelAt (x, y) != b.getPixelAt (x - shiftRight, y))
                return false;
    return true;
}

// The framework's columns in a 160 x 22 item: a one-pixel inset, 5 more at each side,
// then the tick's column, as wide as the largest font the item allows (20 / 1.3).
const juce::Range<int> tickColumn (6, 21);
} // namespace

TEST (ListMenuLookAndFeel, DrawsAnItemWithoutAnIconExactlyAsTheFrameworkDoes)
{
    struct Case
    {
        const char* what;
        Item item;
    };
    const Case cases[] {
        { "plain", {} },
        { "ticked", { true } },
        { "ticked and highlighted", { true, true } },
        { "disabled", { false, false, false } },
    };

    ListMenuLookAndFeel list (30);
    juce::LookAndFeel_V4 framework;
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        EXPECT_TRUE (sameImages (drawItem (list, c.item), drawItem (framework, c.item)));
    }

    int listWidth = 0, listHeight = 0, width = 0, height = 0;
    ListMenuLookAndFeel().getIdealPopupMenuItemSize ("Triangle", false, 0, listWidth, listHeight);
    framework.getIdealPopupMenuItemSize ("Triangle", false, 0, width, height);
    EXPECT_EQ (listWidth, width) << "a list without icons keeps the framework's size";
    EXPECT_EQ (listHeight, height);
    EXPECT_EQ (listHeight, itemHeight);

    list.getIdealPopupMenuItemSize ({}, true, 0, listWidth, listHeight);
    framework.getIdealPopupMenuItemSize ({}, true, 0, width, height);
    EXPECT_EQ (listWidth, width) << "separators are the framework's";
    EXPECT_EQ (listHeight, height);
}

TEST (ListMenuLookAndFeel, KeepsTheTickInItsColumnAndPutsTheIconAfterIt)
{
    ListMenuLookAndFeel list (30);
    const auto shift = list.iconColumnWidth (itemHeight);
    EXPECT_EQ (shift, 30 + 8) << "the icon's width and the framework's gap after an icon";
    const juce::Range<int> iconColumn (tickColumn.getEnd(), tickColumn.getEnd() + 30);

    for (const bool highlighted : { false, true })
    {
        SCOPED_TRACE (highlighted ? "highlighted" : "plain");
        const auto ticked = drawItem (list, { true, highlighted, true, true });
        const auto unticked = drawItem (list, { false, highlighted, true, true });

        EXPECT_GT (countIn (ticked, tickColumn, isWhite), 8) << "no tick";
        EXPECT_EQ (countIn (unticked, tickColumn, isWhite), 0);
        EXPECT_EQ (countIn (ticked, tickColumn, isIconBlue), 0) << "the icon is not in the tick's column";
        EXPECT_GT (countIn (ticked, iconColumn, isIconBlue), 30) << "no icon after the tick";
        EXPECT_GT (countIn (unticked, iconColumn, isIconBlue), 30);

        // The text is the one an item without an icon shows, moved right by the icon's column.
        const auto withoutIcon = drawItem (list, { true, highlighted, true, false });
        EXPECT_TRUE (sameImages (ticked, withoutIcon, shift, { tickColumn.getEnd() + shift, itemWidth - 1 }));
    }

    int listWidth = 0, listHeight = 0, width = 0, height = 0;
    list.getIdealPopupMenuItemSize ("Triangle", false, 0, listWidth, listHeight);
    juce::LookAndFeel_V4().getIdealPopupMenuItemSize ("Triangle", false, 0, width, height);
    EXPECT_EQ (listWidth, width + shift) << "every item has room for an icon";
    EXPECT_EQ (listHeight, height);
}
