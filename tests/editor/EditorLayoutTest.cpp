#include "EditorTestSupport.h"
#include "ui/Palette.h"

#include <cmath>

using namespace br::test;

namespace
{
namespace colours = br::ui::colours;

struct Placed
{
    const char* what;
    juce::Component& child;
    juce::Rectangle<int> bounds;
};

/** Every control of the panel with its bounds in the panel, in the order the editor adds them. */
std::vector<Placed> layoutOf (BrellumEditor& e)
{
    return {
        { "logoButton", e.presetBar.logoButton, { 8, 9, 32, 28 } },
        { "undoButton", e.presetBar.undoButton, { 48, 9, 28, 28 } },
        { "redoButton", e.presetBar.redoButton, { 80, 9, 28, 28 } },
        { "presetField", e.presetBar.presetField, { 132, 8, 553, 30 } },
        { "prevButton", e.presetBar.prevButton, { 708, 8, 28, 30 } },
        { "nextButton", e.presetBar.nextButton, { 740, 8, 28, 30 } },
        { "copyButton", e.presetBar.copyButton, { 795, 8, 76, 30 } },
        { "setupButton", e.presetBar.setupButton, { 901, 8, 77, 30 } },
        { "saveButton", e.presetBar.saveButton, { 1010, 8, 30, 30 } },
        { "menuButton", e.presetBar.menuButton, { 1056, 8, 30, 30 } },
        { "syncBox", e.syncBox, { 51, 156, 96, 28 } },
        { "hzBox", e.hzBox, { 61, 246, 76, 27 } },
        { "bpmBox", e.bpmBox, { 61, 390, 76, 27 } },
        { "xFactorBox", e.xFactorBox, { 51, 318, 96, 29 } },
        { "waveformBox", e.waveformBox, { 51, 518, 96, 34 } },
        { "amMeter", e.amMeter, { 252, 143, 22, 241 } },
        { "amDepthFader", e.amDepthFader, { 289, 125, 32, 278 } },
        { "amOnButton", e.amOnButton, { 237, 446, 55, 27 } },
        { "amPhaseBox", e.amPhaseBox, { 237, 494, 55, 27 } },
        { "sphere", e.sphere, { 397, 117, 300, 300 } },
        { "rotCenterKnob", e.rotCenterKnob, { 406, 466, 100, 92 } },
        { "rotRangeKnob", e.rotRangeKnob, { 588, 466, 100, 92 } },
        { "rotOnButton", e.rotOnButton, { 520, 520, 55, 27 } },
        { "fmMeter", e.fmMeter, { 820, 143, 22, 241 } },
        { "fmDepthFader", e.fmDepthFader, { 771, 125, 32, 278 } },
        { "fmOnButton", e.fmOnButton, { 801, 446, 55, 27 } },
        { "fmPhaseBox", e.fmPhaseBox, { 801, 494, 55, 27 } },
        { "gainBox", e.gainBox, { 948, 156, 95, 29 } },
        { "mixBox", e.mixBox, { 948, 237, 95, 28 } },
        { "levelMeter", e.levelMeter, { 945, 300, 110, 200 } },
    };
}

struct SizeCase
{
    const char* what;
    float scale;
    int width, height;
};

// Products of 1094 and 594 that end in .5 round to the even neighbour.
constexpr SizeCase sizeCases[] {
    { "50 %", 0.5f, 547, 297 },    { "75 %", 0.75f, 820, 446 },     { "100 %", 1.0f, 1094, 594 },
    { "125 %", 1.25f, 1368, 742 }, { "150 %", 1.5f, 1641, 891 },    { "175 %", 1.75f, 1914, 1040 },
    { "200 %", 2.0f, 2188, 1188 }, { "250 %", 2.5f, 2735, 1485 },
};

juce::Image pictureAt (float scale, juce::Point<int> offset = {})
{
    juce::Image image (juce::Image::ARGB, (int) std::ceil (1094.0f * scale) + offset.x,
                       (int) std::ceil (594.0f * scale) + offset.y, true, juce::SoftwareImageType());
    juce::Graphics g (image);
    g.addTransform (juce::AffineTransform::scale (scale).translated (offset));
    BrellumEditor::Artwork::drawPicture (g);
    return image;
}

juce::Rectangle<int> boundsInArtwork (BrellumEditor& e, juce::Component& child)
{
    return e.artwork.getLocalArea (&child, child.getLocalBounds());
}
} // namespace

TEST_F (EditorTest, PlacesEveryChildAtItsFixedBoundsInsideTheArtwork)
{
    EXPECT_EQ (editor->artwork.getBounds(), juce::Rectangle<int> (0, 0, 1094, 594));
    EXPECT_EQ (editor->artwork.getParentComponent(), editor.get());

    // The preset bar spans the top strip from the panel's corner, so its controls stand
    // at panel coordinates, and lets clicks between them through to the panel.
    EXPECT_EQ (editor->presetBar.getParentComponent(), &editor->artwork);
    EXPECT_EQ (editor->presetBar.getBounds(), juce::Rectangle<int> (0, 0, 1094, 46));
    bool clicksSelf = true, clicksChildren = false;
    editor->presetBar.getInterceptsMouseClicks (clicksSelf, clicksChildren);
    EXPECT_FALSE (clicksSelf);
    EXPECT_TRUE (clicksChildren);

    const auto layout = layoutOf (*editor);
    for (const auto& placed : layout)
    {
        SCOPED_TRACE (placed.what);
        EXPECT_EQ (boundsInArtwork (*editor, placed.child), placed.bounds);
        EXPECT_EQ (placed.child.getBounds(), placed.bounds);
        EXPECT_TRUE (editor->artwork.isParentOf (&placed.child));
        EXPECT_TRUE (placed.child.isVisible());
    }

    // The panel reads left to right in the order the controls were added.
    std::vector<juce::Component*> added;
    for (auto* child : editor->artwork.getChildren())
    {
        if (child != &editor->presetBar)
            added.push_back (child);
        else
            for (auto* barChild : child->getChildren())
                added.push_back (barChild);
    }
    ASSERT_EQ (added.size(), layout.size());
    const char* addedOrder[] { "logoButton",   "undoButton",   "redoButton",  "presetField",   "prevButton",
                               "nextButton",   "copyButton",   "setupButton", "saveButton",    "menuButton",
                               "syncBox",      "hzBox",        "bpmBox",      "xFactorBox",    "waveformBox",
                               "amMeter",      "amDepthFader", "amOnButton",  "amPhaseBox",    "sphere",
                               "rotCenterKnob", "rotRangeKnob", "rotOnButton", "fmMeter",      "fmDepthFader",
                               "fmOnButton",   "fmPhaseBox",   "gainBox",     "mixBox",        "levelMeter" };
    for (size_t i = 0; i < layout.size(); ++i)
    {
        const auto named = std::find_if (layout.begin(), layout.end(), [&] (const Placed& p)
                                         { return juce::String (p.what) == addedOrder[i]; });
        ASSERT_NE (named, layout.end());
        EXPECT_EQ (added[i], &named->child) << "child " << i << " is not " << addedOrder[i];
    }
}

TEST_F (EditorTest, NoTwoChildrenOverlap)
{
    const auto layout = layoutOf (*editor);
    for (size_t i = 0; i < layout.size(); ++i)
        for (size_t j = i + 1; j < layout.size(); ++j)
            EXPECT_FALSE (
                boundsInArtwork (*editor, layout[i].child).intersects (boundsInArtwork (*editor, layout[j].child)))
                << layout[i].what << " overlaps " << layout[j].what;
}

TEST_F (EditorTest, KeepsTheTooltipWindowOnTheEditorItself)
{
    EXPECT_EQ (editor->tooltipWindow.getParentComponent(), editor.get());
    EXPECT_EQ (editor->getLookAndFeel().getTooltipBounds ("x", {}, { 0, 0, 100, 100 }),
               editor->lookAndFeel.getTooltipBounds ("x", {}, { 0, 0, 100, 100 }));
    EXPECT_EQ (&editor->hzBox.getLookAndFeel(), &editor->lookAndFeel) << "children inherit the look-and-feel";
}

TEST_F (EditorTest, EveryTooltipFitsItsBoxWholeAndInTheTooltipFont)
{
    std::vector<juce::Component*> pending { editor.get() };
    int tips = 0;
    while (! pending.empty())
    {
        auto* component = pending.back();
        pending.pop_back();
        for (auto* child : component->getChildren())
            pending.push_back (child);

        auto* client = dynamic_cast<juce::TooltipClient*> (component);
        const auto tip = client != nullptr ? client->getTooltip() : juce::String();
        if (tip.isEmpty())
            continue;

        SCOPED_TRACE (tip);
        ++tips;
        // The smallest interface size gives the tooltip the narrowest parent.
        for (const auto scale : { BrellumEditor::minScale, 1.0f })
        {
            editor->setInterfaceScale (scale);
            const auto box = editor->lookAndFeel.getTooltipBounds (tip, { 10, 10 }, editor->getLocalBounds());
            const auto set = br::test::setTip (tip, box);
            EXPECT_TRUE (set.whole && set.fullSize && set.inside)
                << "whole " << set.whole << ", full size " << set.fullSize << ", inside " << set.inside;
            EXPECT_EQ (box.getHeight(), set.lines <= 1 ? 26 : 44 + 13 * (set.lines - 2));
        }
    }
    EXPECT_GT (tips, 20);
}

TEST_F (EditorTest, SizesItselfForEveryInterfaceSizeWithoutMovingAChild)
{
    for (const auto& c : sizeCases)
    {
        SCOPED_TRACE (c.what);
        editor->setInterfaceScale (c.scale);
        EXPECT_EQ (editor->getWidth(), c.width);
        EXPECT_EQ (editor->getHeight(), c.height);
        EXPECT_EQ (processor.uiScale.load(), c.scale);
        EXPECT_TRUE (editor->artwork.getTransform() == juce::AffineTransform::scale (c.scale));
        EXPECT_EQ (editor->artwork.getBounds(), juce::Rectangle<int> (0, 0, 1094, 594));
        EXPECT_EQ (editor->sphere.getBounds(), juce::Rectangle<int> (397, 117, 300, 300));
        EXPECT_FALSE (editor->isResizable());
    }
}

TEST (EditorScale, OpensAtTheStoredScaleClampedAndWritesTheClampedValueBack)
{
    struct Case
    {
        const char* what;
        float stored, opened;
        int width, height;
    };
    const Case cases[] {
        { "in range", 1.75f, 1.75f, 1914, 1040 },
        { "too large", 3.0f, 2.5f, 2735, 1485 },
        { "too small", 0.1f, 0.5f, 547, 297 },
        { "not a number", std::nanf (""), 1.0f, 1094, 594 },
        { "infinite", std::numeric_limits<float>::infinity(), 1.0f, 1094, 594 },
        { "minus infinite", -std::numeric_limits<float>::infinity(), 1.0f, 1094, 594 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        TestHome home;
        BrellumProcessor processor;
        processor.uiScale.store (c.stored);
        BrellumEditor editor (processor);

        EXPECT_EQ (editor.getInterfaceScale(), c.opened);
        EXPECT_EQ (processor.uiScale.load(), c.opened);
        EXPECT_EQ (editor.getWidth(), c.width);
        EXPECT_EQ (editor.getHeight(), c.height);
    }
}

TEST (EditorScale, ARestoredStateSizesTheNextEditorNotTheOpenOne)
{
    TestHome home;
    BrellumProcessor processor;
    auto editor = std::make_unique<BrellumEditor> (processor);

    BrellumProcessor source;
    source.uiScale.store (2.0f);
    restore (processor, stateOf (source));

    EXPECT_EQ (editor->getWidth(), 1094) << "the open editor keeps its size";
    EXPECT_EQ (processor.uiScale.load(), 2.0f);
    EXPECT_TRUE (textOf (stateOf (processor)).contains ("uiScale=\"2.0\"")) << "a state saved in between carries it";

    editor.reset();
    editor = std::make_unique<BrellumEditor> (processor);
    EXPECT_EQ (editor->getWidth(), 2188);
    EXPECT_EQ (editor->getHeight(), 1188);
}

//==============================================================================
TEST (EditorArtwork, DrawsTheSamePictureFromItsCacheAsDirectly)
{
    // The cache is drawn at the device pixel scale and copied onto whole pixels, so at
    // every size and offset it must be the very picture a direct drawing gives.
    for (const float scale : { 1.0f, 0.75f, 1.25f, 2.0f })
    {
        for (const auto offset : { juce::Point<int> (0, 0), juce::Point<int> (7, 3) })
        {
            SCOPED_TRACE ("scale " + juce::String (scale) + ", offset " + offset.toString());
            const auto direct = pictureAt (scale, offset);

            BrellumEditor::Artwork artwork;
            artwork.setBounds (0, 0, 1094, 594);
            juce::Image cached (juce::Image::ARGB, direct.getWidth(), direct.getHeight(), true, juce::SoftwareImageType());
            for (int pass = 0; pass < 2; ++pass) // the first pass fills the cache, the second only copies
            {
                juce::Graphics g (cached);
                g.addTransform (juce::AffineTransform::scale (scale).translated (offset));
                artwork.paintEntireComponent (g, true);
            }

            // Whole pixels of the panel only: a partly covered last column may differ in
            // how the clip's edge is smoothed, which no window ever shows. The gradient
            // is computed from device coordinates, so a shifted origin may round a rare
            // pixel one step the other way.
            int differing = 0, worst = 0;
            for (int y = offset.y; y < offset.y + (int) (594.0f * scale); ++y)
                for (int x = offset.x; x < offset.x + (int) (1094.0f * scale); ++x)
                {
                    const auto distance = colourDistance (direct.getPixelAt (x, y), cached.getPixelAt (x, y));
                    worst = juce::jmax (worst, distance);
                    differing += distance > 0 ? 1 : 0;
                }
            EXPECT_LE (worst, 1);
            EXPECT_LE (differing, 10);
        }
    }
}

TEST (EditorArtwork, FillsARadialBackgroundCentredBelowTheTopBar)
{
    for (const float scale : { 1.0f, 2.0f })
    {
        SCOPED_TRACE (scale);
        const auto image = pictureAt (scale);
        const auto at = [&] (float x, float y) { return image.getPixelAt ((int) (x * scale), (int) (y * scale)); };

        EXPECT_COLOUR_NEAR (at (547.0f, 120.0f), colours::bgTop, 2) << "the gradient centre stays put";
        EXPECT_COLOUR_NEAR (at (2.0f, 592.0f), colours::bgBottom, 2) << "beyond 594 from the centre";
        EXPECT_COLOUR_NEAR (at (600.0f, 20.0f), colours::topBar, 0);
        EXPECT_COLOUR_NEAR (at (600.0f, 46.2f), juce::Colours::black, 0) << "the line under the top bar";
        EXPECT_COLOUR_NEAR (at (547.0f, 120.0f + 297.0f),
                            colours::bgTop.interpolatedWith (colours::bgBottom, 0.5f), 3);
    }
}

TEST (EditorArtwork, SectionTitlesSitInAGapOfARuleWithBentEnds)
{
    const auto image = pictureAt (1.0f);
    struct Title
    {
        const char* what;
        int left, right, y;
    };
    const Title titles[] { { "Tempo", 25, 169, 91 },     { "AM Depth", 214, 357, 91 }, { "Rotation", 475, 617, 91 },
                           { "FM Depth", 736, 878, 91 }, { "Output", 925, 1067, 91 },  { "Waveform", 25, 169, 494 } };

    for (const auto& t : titles)
    {
        SCOPED_TRACE (t.what);
        // A one-pixel line on a whole coordinate covers half of the two pixel rows (or
        // columns) that meet there.
        const int yb = t.y + 1;
        const auto halfRule = [&] (int x, int y, int bgX, int bgY)
        { return blend (image.getPixelAt (bgX, bgY), colours::bracket, 127.5f); };
        EXPECT_COLOUR_NEAR (image.getPixelAt (t.left + 3, yb), halfRule (t.left + 3, yb, t.left + 3, yb + 5), 8)
            << "rule at the left end";
        EXPECT_COLOUR_NEAR (image.getPixelAt (t.right - 3, yb), halfRule (t.right - 3, yb, t.right - 3, yb + 5), 8)
            << "rule at the right end";
        EXPECT_COLOUR_NEAR (image.getPixelAt (t.left, yb + 6), halfRule (t.left, yb + 6, t.left + 4, yb + 6), 8)
            << "left end bent down";
        EXPECT_COLOUR_NEAR (image.getPixelAt (t.right, yb + 6), halfRule (t.right, yb + 6, t.right + 4, yb + 6), 8)
            << "right end bent down";
        EXPECT_TRUE (hasInk (image, { (t.left + t.right) / 2 - 20, t.y - 10, 40, 20 }, 180)) << "title text";

        // The gap is the title's width plus 8 on each side, centred: both pieces of
        // the rule are equally long.
        int leftEnd = t.left, rightStart = t.right;
        const auto onRule = [&] (int x) { return colourDistance (image.getPixelAt (x, yb), image.getPixelAt (x, yb + 5)) > 20; };
        while (onRule (leftEnd + 1))
            ++leftEnd;
        while (onRule (rightStart - 1))
            --rightStart;
        EXPECT_NEAR (leftEnd - t.left, t.right - rightStart, 1);
        EXPECT_GT (rightStart - leftEnd, 40) << "the title's gap has no rule";
        for (int x = leftEnd + 2; x < leftEnd + 6; ++x)
            EXPECT_COLOUR_NEAR (image.getPixelAt (x, yb), image.getPixelAt (x, yb + 5), 3) << "8 pixels clear of the text";
    }
}

TEST (EditorArtwork, MirrorsTheScalesAndCaptionsOfTheTwoDepthSections)
{
    const auto image = pictureAt (1.0f);
    for (const int y : { 146, 264, 381 })
    {
        SCOPED_TRACE (y);
        EXPECT_COLOUR_NEAR (image.getPixelAt (320, y), blend (image.getPixelAt (320, y + 4), colours::textDim, 127.5f), 8)
            << "AM tick";
        EXPECT_COLOUR_NEAR (image.getPixelAt (767, y), blend (image.getPixelAt (767, y + 4), colours::textDim, 127.5f), 8)
            << "FM tick";
        EXPECT_TRUE (hasInk (image, { 333, y - 7, 20, 14 }, 180)) << "AM labels right of the ticks";
        EXPECT_FALSE (hasInk (image, { 290, y - 7, 20, 14 }, 180));
        EXPECT_TRUE (hasInk (image, { 738, y - 7, 20, 14 }, 180)) << "FM labels left of the ticks";
        EXPECT_FALSE (hasInk (image, { 780, y - 7, 20, 14 }, 180));
    }

    // AM captions start at their left edge, FM captions end at their right edge.
    EXPECT_TRUE (hasInk (image, { 304, 449, 6, 20 }, 180));
    EXPECT_TRUE (hasInk (image, { 782, 449, 6, 20 }, 180));
}

TEST (EditorArtwork, DrawsCaptionsConnectorAndProductName)
{
    const auto image = pictureAt (1.0f);
    struct Area
    {
        const char* what;
        juce::Rectangle<int> area;
    };
    const Area inked[] {
        { "Sync", { 80, 134, 36, 20 } },     { "Hz", { 85, 215, 26, 20 } },     { "BPM", { 80, 363, 36, 20 } },
        { "Center", { 430, 440, 50, 20 } },  { "Range", { 615, 440, 45, 20 } }, { "rotation On/Off", { 520, 496, 55, 20 } },
        { "Gain", { 975, 134, 40, 20 } },    { "Mix", { 980, 215, 30, 20 } },   { "product name", { 960, 545, 99, 20 } },
    };
    for (const auto& a : inked)
    {
        SCOPED_TRACE (a.what);
        EXPECT_TRUE (hasInk (image, a.area, 180));
    }

    EXPECT_COLOUR_NEAR (image.getPixelAt (150, 259), colours::bracket, 100) << "connector leaves the Hz box";
    EXPECT_COLOUR_NEAR (image.getPixelAt (159, 290), colours::bracket, 100) << "connector runs down";
    EXPECT_COLOUR_NEAR (image.getPixelAt (150, 403), colours::bracket, 100) << "connector reaches the BPM box";
    EXPECT_GT (colourDistance (image.getPixelAt (159, 332), colours::bracket), 60) << "broken by the x Factor box";

    // The product name is light on a dark shadow, ending at x = 1059.
    EXPECT_FALSE (hasInk (image, { 1061, 539, 30, 32 }, 120));
}
