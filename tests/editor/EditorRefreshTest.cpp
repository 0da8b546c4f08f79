#include "EditorTestSupport.h"
#include "support/RepaintRecorder.h"
#include "ui/Palette.h"

#include <cmath>

using namespace br::test;

namespace
{
const juce::String arrow = juce::String::charToString (0x2192);
} // namespace

TEST_F (EditorTest, ShowsTheLiveSetupPresetNameAndModifiedMark)
{
    EXPECT_EQ (editor->presetBar.presetField.text, "A: Full Reset") << "the first frame is right already";
    EXPECT_EQ (editor->presetBar.copyButton.getButtonText(), "A " + arrow + " B");
    EXPECT_EQ (editor->presetBar.setupButton.getButtonText(), "Setup A");

    setValue (processor, "mix", 40.0f);
    editor->refresh();
    EXPECT_EQ (editor->presetBar.presetField.text, "A: Full Reset*");

    presets().loadFactory (3);
    editor->refresh();
    EXPECT_EQ (editor->presetBar.presetField.text, "A: " + presets().getPresetName (3));
}

TEST_F (EditorTest, FollowsASwitchToSetupBWithinOneTick)
{
    setValue (processor, "mix", 40.0f);
    processor.selectSetup (1);
    editor->refresh();

    EXPECT_EQ (editor->presetBar.presetField.text, "B: Full Reset") << "B was parked unmodified";
    EXPECT_EQ (editor->presetBar.copyButton.getButtonText(), "B " + arrow + " A");
    EXPECT_EQ (editor->presetBar.setupButton.getButtonText(), "Setup B");

    editor->presetBar.setupButton.triggerClick();
    pumpPending();
    editor->refresh();
    EXPECT_EQ (editor->presetBar.presetField.text, "A: Full Reset*") << "A comes back with its modified mark";
    EXPECT_EQ (editor->presetBar.setupButton.getButtonText(), "Setup A");
}

TEST_F (EditorTest, DisablesTheRateBoxesInAutoAndShowsTheTempoRate)
{
    setValue (processor, "rate", 5.0f);
    engine().baseHz.store (2.0f); // 120 BPM from the host
    setValue (processor, "sync", 1.0f);
    editor->refresh();

    EXPECT_FALSE (editor->hzBox.isEnabled());
    EXPECT_FALSE (editor->bpmBox.isEnabled());
    EXPECT_EQ (editor->hzBox.displayText(), "2.00");
    EXPECT_EQ (editor->bpmBox.displayText(), "120.00");
    EXPECT_EQ (value ("rate"), 5.0f) << "the manual rate stays underneath";

    engine().baseHz.store (1000.2f / 60.0f);
    EXPECT_EQ (editor->bpmBox.displayText(), "1000.2") << "one decimal from 1000 BPM, like the normal text";

    setValue (processor, "sync", 0.0f);
    editor->refresh();
    EXPECT_TRUE (editor->hzBox.isEnabled());
    EXPECT_TRUE (editor->bpmBox.isEnabled());
    EXPECT_EQ (editor->hzBox.displayText(), "") << "Manual shows the parameter again";
    EXPECT_EQ (editor->bpmBox.displayText(), "");
}

TEST_F (EditorTest, DrawsTheTempoTextDimInAutoMode)
{
    const auto brightestIn = [] (juce::Component& c)
    { return brightestRed (paintComponent (c), c.getLocalBounds().reduced (4)); };

    const auto manual = brightestIn (editor->hzBox);
    setValue (processor, "sync", 1.0f);
    editor->refresh();
    EXPECT_LT (brightestIn (editor->hzBox), manual - 40);
}

TEST_F (EditorTest, FeedsTheModulationMetersAndShowsSwitchedOffStagesInactive)
{
    struct Case
    {
        const char* what;
        float amOn, amGain, fmOn, fmValue;
        float amShown;
        bool amActive;
        float fmShown;
        bool fmActive;
    };
    const Case cases[] {
        { "both on", 1, 0.25f, 1, -0.5f, 0.25f, true, -0.5f, true },
        { "values beyond the bars", 1, 1.5f, 1, 3.0f, 1.0f, true, 1.0f, true },
        { "below the bars", 1, -2.0f, 1, -3.0f, -1.0f, true, -1.0f, true },
        { "AM off shows no attenuation", 0, 0.25f, 1, 0.5f, 1.0f, false, 0.5f, true },
        { "FM off shows no deviation", 1, 0.75f, 0, 0.5f, 0.75f, true, 0.0f, false },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        setValue (processor, "amOn", c.amOn);
        setValue (processor, "fmOn", c.fmOn);
        engine().amGain.store (c.amGain);
        engine().fmValue.store (c.fmValue);
        editor->refresh();

        EXPECT_EQ (editor->amMeter.value, c.amShown);
        EXPECT_EQ (editor->amMeter.active, c.amActive);
        EXPECT_EQ (editor->fmMeter.value, c.fmShown);
        EXPECT_EQ (editor->fmMeter.active, c.fmActive);
        EXPECT_FALSE (editor->amMeter.bipolar);
        EXPECT_TRUE (editor->fmMeter.bipolar);
    }
}

TEST_F (EditorTest, IgnoresMeterAndSphereMovesBelowTheirThresholds)
{
    engine().amGain.store (0.5f);
    engine().fmValue.store (0.5f);
    engine().rotAngle.store (30.0f);
    editor->refresh();

    engine().amGain.store (0.5015f);
    engine().fmValue.store (0.4985f);
    engine().rotAngle.store (30.04f);
    setValue (processor, "rotRange", 90.0f); // unchanged
    editor->refresh();
    EXPECT_EQ (editor->amMeter.value, 0.5f);
    EXPECT_EQ (editor->fmMeter.value, 0.5f);
    EXPECT_EQ (editor->sphere.position, 30.0f);

    engine().amGain.store (0.503f);
    engine().fmValue.store (0.497f);
    engine().rotAngle.store (30.06f);
    editor->refresh();
    EXPECT_EQ (editor->amMeter.value, 0.503f);
    EXPECT_EQ (editor->fmMeter.value, 0.497f);
    EXPECT_EQ (editor->sphere.position, 30.06f);
}

TEST_F (EditorTest, FeedsTheSphereFromTheRotationParametersAndAngle)
{
    setValue (processor, "rotCenter", -45.0f);
    setValue (processor, "rotRange", 200.0f);
    engine().rotAngle.store (-70.0f);
    editor->refresh();
    EXPECT_EQ (editor->sphere.centre, -45.0f);
    EXPECT_EQ (editor->sphere.range, 200.0f);
    EXPECT_EQ (editor->sphere.position, -70.0f);
    EXPECT_TRUE (editor->sphere.active);

    setValue (processor, "rotOn", 0.0f);
    editor->refresh();
    EXPECT_EQ (editor->sphere.position, 0.0f) << "the needle rests at the top while rotation is off";
    EXPECT_FALSE (editor->sphere.active);
}

TEST_F (EditorTest, RepaintsOnlyTheNeedleWhenOnlyTheNeedleMoves)
{
    // The needle's area must cover every pixel it paints, or a moved needle would leave
    // a trail behind.
    auto& sphere = editor->sphere;
    for (const float angle : { 0.0f, 37.0f, -90.0f, 135.0f, 180.0f, -179.0f })
    {
        SCOPED_TRACE (angle);
        sphere.position = angle;
        sphere.active = true;
        const auto with = paintComponent (sphere);
        sphere.position = angle + 180.0f; // far away, so it does not touch the area
        const auto without = paintComponent (sphere);

        const auto area = sphere.needleArea (angle);
        for (int y = 0; y < with.getHeight(); ++y)
            for (int x = 0; x < with.getWidth(); ++x)
                if (with.getPixelAt (x, y) != without.getPixelAt (x, y)
                    && ! sphere.needleArea (angle + 180.0f).contains (x, y))
                    ASSERT_TRUE (area.contains (x, y)) << "needle pixel " << x << "," << y << " outside " << area.toString();
        EXPECT_LT (area.getWidth() * area.getHeight(), 300 * 300 / 8) << "the area is a small part of the sphere";
    }
}

TEST_F (EditorTest, DrawsTheSphereFromItsCacheAsDirectly)
{
    // The sphere copies what lies under its needle from a cache drawn through the same
    // transforms as the window. After every move, drawing only what the refresh marks
    // must leave the window exactly as a direct drawing of all of it: the renderer's
    // rounding depends on where a drawing starts, so a cache drawn from anywhere else
    // would differ by a few steps along edges and dashes.
    struct Step
    {
        const char* what;
        float centre, range, angle;
        bool on;
    };
    const Step steps[] {
        { "needle moves", 0.0f, 90.0f, 20.0f, true },   { "needle moves on", 0.0f, 90.0f, -41.0f, true },
        { "wedge turns", -60.0f, 90.0f, -41.0f, true }, { "full circle", -60.0f, 360.0f, 150.0f, true },
        { "rotation off", -60.0f, 200.0f, 150.0f, false }, { "back on", 30.0f, 200.0f, -120.0f, true },
    };

    auto& centreParameter = *processor.parameters.getParameter ("rotCenter");
    editor->setVisible (true);
    for (const float scale : { 1.0f, 0.75f, 1.25f, 1.5f, 2.0f })
    {
        editor->setInterfaceScale (scale);
        juce::Image window (juce::Image::RGB, editor->getWidth(), editor->getHeight(), true, juce::SoftwareImageType());
        const auto draw = [&] (const juce::RectangleList<int>& area)
        {
            juce::Graphics g (window);
            g.reduceClipRegion (area);
            editor->paintEntireComponent (g, true);
        };
        draw (editor->getLocalBounds());

        for (const auto& step : steps)
        {
            SCOPED_TRACE (juce::String ("scale ") + juce::String (scale) + ", " + step.what);
            draw (areasMarkedBy (*editor,
                                 [&]
                                 {
                                     setValue (processor, "rotCenter", step.centre);
                                     setValue (processor, "rotRange", step.range);
                                     setValue (processor, "rotOn", step.on ? 1.0f : 0.0f);
                                     engine().rotAngle.store (step.angle);
                                     editor->refresh();
                                 }));

            // Directly: the panel without its sphere, then a sphere of the same state and
            // with no parent to cache against, drawn over it in place, as the window would.
            juce::Image direct (juce::Image::RGB, window.getWidth(), window.getHeight(), true, juce::SoftwareImageType());
            {
                juce::Graphics g (direct);
                editor->sphere.setVisible (false);
                editor->paintEntireComponent (g, true);
                editor->sphere.setVisible (true);

                br::ui::RotationSphere twin (centreParameter, nullptr);
                twin.setBounds (editor->sphere.getLocalBounds());
                twin.range = editor->sphere.range;
                twin.position = editor->sphere.position;
                twin.active = editor->sphere.active;
                g.addTransform (juce::AffineTransform::scale (scale));
                g.setOrigin (editor->sphere.getPosition());
                g.reduceClipRegion (twin.getLocalBounds());
                twin.paintEntireComponent (g, true);
            }

            int differing = 0;
            for (int y = 0; y < window.getHeight(); ++y)
                for (int x = 0; x < window.getWidth(); ++x)
                    differing += direct.getPixelAt (x, y) != window.getPixelAt (x, y) ? 1 : 0;
            EXPECT_EQ (differing, 0);
            EXPECT_EQ (editor->sphere.position, step.on ? step.angle : 0.0f) << "the step reached the sphere";
        }
    }
}

TEST_F (EditorTest, RepaintsOnlyTheMovingPartOfAModulationMeter)
{
    // Every pixel that differs between the two values must lie in the area repainted.
    struct Case
    {
        const char* what;
        bool bipolar;
        float from, to;
    };
    const Case cases[] {
        { "fill rises", false, 0.50f, 0.52f },    { "fill falls", false, 0.90f, 0.40f },
        { "fill empties", false, 0.30f, 0.0f },   { "tiny fill", false, 0.01f, 0.03f },
        { "full", false, 0.97f, 1.0f },           { "marker up", true, 0.10f, 0.14f },
        { "marker jumps", true, -0.9f, 0.8f },    { "marker at the ends", true, 1.0f, 0.95f },
        { "marker at the bottom", true, -1.0f, -0.97f },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        for (const bool active : { true, false })
        {
            br::ui::ModMeterBar meter;
            meter.setBounds (0, 0, 22, 241);
            meter.bipolar = c.bipolar;
            meter.active = active;
            meter.value = c.from;
            const auto before = paintComponent (meter);
            meter.value = c.to;
            const auto after = paintComponent (meter);

            const auto area = meter.areaChangedBetween (c.from, c.to);
            for (int y = 0; y < before.getHeight(); ++y)
                for (int x = 0; x < before.getWidth(); ++x)
                    if (before.getPixelAt (x, y) != after.getPixelAt (x, y))
                        ASSERT_TRUE (area.contains (x, y)) << x << "," << y << " outside " << area.toString();
            if (std::abs (c.from - c.to) < 0.1f)
                EXPECT_LT (area.getHeight(), 40) << "a small move repaints a small area";
        }
    }
}

TEST_F (EditorTest, TakesThePeaksDecaysTheLevelAndHoldsThePeak)
{
    engine().peakL.store (0.5f);
    engine().peakR.store (0.25f);
    editor->refresh();

    auto& meter = editor->levelMeter;
    EXPECT_EQ (meter.level[0], 0.5f);
    EXPECT_EQ (meter.level[1], 0.25f);
    EXPECT_EQ (engine().peakL.load(), 0.0f) << "each peak is taken once";
    EXPECT_EQ (engine().peakR.load(), 0.0f);

    float expectedL = 0.5f, expectedR = 0.25f;
    for (int tick = 1; tick <= 10; ++tick)
    {
        SCOPED_TRACE (tick);
        editor->refresh();
        expectedL *= 0.82f;
        expectedR *= 0.82f;
        EXPECT_FLOAT_EQ (meter.level[0], expectedL);
        EXPECT_FLOAT_EQ (meter.level[1], expectedR);
        EXPECT_EQ (meter.peakHold[0], 0.5f);
        EXPECT_EQ (meter.peakHold[1], 0.25f);
    }

    // A new peak above the falling bar shows at once; below it, the bar keeps falling.
    engine().peakL.store (0.4f);
    engine().peakR.store (0.001f);
    editor->refresh();
    EXPECT_EQ (meter.level[0], 0.4f);
    EXPECT_FLOAT_EQ (meter.level[1], expectedR * 0.82f);
    EXPECT_EQ (meter.peakHold[0], 0.5f) << "the hold only rises";

    engine().peakL.store (0.9f);
    editor->refresh();
    EXPECT_EQ (meter.peakHold[0], 0.9f);

    Mouse { meter }.click ({ 50.0f, 50.0f });
    editor->refresh();
    EXPECT_EQ (meter.peakHold[0], 0.0f) << "a click resets the hold until new peaks arrive";
}

TEST_F (EditorTest, EnablesUndoAndRedoExactlyWhenThereIsSomethingToUndoOrRedo)
{
    EXPECT_FALSE (editor->presetBar.undoButton.isEnabled());
    EXPECT_FALSE (editor->presetBar.redoButton.isEnabled());

    editor->mixBox.setValue (30.0, juce::sendNotificationSync);
    settle();
    editor->refresh();
    EXPECT_TRUE (editor->presetBar.undoButton.isEnabled());
    EXPECT_FALSE (editor->presetBar.redoButton.isEnabled());

    editor->presetBar.undoButton.triggerClick();
    pumpPending();
    editor->refresh();
    EXPECT_EQ (value ("mix"), 100.0f);
    EXPECT_FALSE (editor->presetBar.undoButton.isEnabled());
    EXPECT_TRUE (editor->presetBar.redoButton.isEnabled());

    editor->presetBar.redoButton.triggerClick();
    pumpPending();
    editor->refresh();
    EXPECT_EQ (value ("mix"), 30.0f);
    EXPECT_TRUE (editor->presetBar.undoButton.isEnabled());

    presets().loadFactory (2);
    editor->refresh();
    EXPECT_FALSE (editor->presetBar.undoButton.isEnabled()) << "a preset load clears the history";
    EXPECT_FALSE (editor->presetBar.redoButton.isEnabled());
}

TEST_F (EditorTest, TopBarButtonsRunTheirActions)
{
    editor->presetBar.nextButton.triggerClick();
    pumpPending();
    EXPECT_EQ (presets().getCurrentIndex(), 1);
    editor->presetBar.prevButton.triggerClick();
    editor->presetBar.prevButton.triggerClick();
    pumpPending();
    EXPECT_EQ (presets().getCurrentIndex(), numFactory - 1) << "wraps to the last preset";

    setValue (processor, "mix", 25.0f);
    editor->presetBar.copyButton.triggerClick();
    pumpPending();
    EXPECT_EQ (processor.activeSetup.load(), 0);
    processor.selectSetup (1);
    EXPECT_EQ (value ("mix"), 25.0f) << "the copy made B equal to A";
}

TEST (EditorPresetField, DrawsTheLineAndADropDownMarkAndOpensOnPress)
{
    namespace colours = br::ui::colours;
    PresetBar::PresetField field;
    field.setBounds (0, 0, 553, 30);
    field.text = "A: Seasick*";
    const auto image = paintComponent (field);

    EXPECT_COLOUR_NEAR (image.getPixelAt (20, 15), colours::topField, 1) << "body";
    EXPECT_EQ (image.getPixelAt (0, 0).getAlpha(), 0) << "rounded corner";
    EXPECT_COLOUR_NEAR (image.getPixelAt (553 - 24, 15), colours::textDim, 90) << "separator of the mark";
    EXPECT_COLOUR_NEAR (image.getPixelAt (553 - 12, 15), colours::text, 40) << "drop-down arrow";

    // The text is centred in the width left of the mark.
    const auto ink = inkColumns (image, { 5, 5, 553 - 30 - 5, 20 }, [] (juce::Colour c) { return c.getRed() > 150; });
    const auto left = ink.getStart(), right = ink.getEnd() - 1;
    ASSERT_LT (left, right);
    EXPECT_NEAR ((left + right) / 2.0, (553 - 30) / 2.0, 3.0);

    int clicks = 0;
    field.onClick = [&] { ++clicks; };
    for (const auto mods : { juce::ModifierKeys::leftButtonModifier, juce::ModifierKeys::rightButtonModifier })
        Mouse { field }.press ({ 100.0f, 15.0f }, juce::ModifierKeys (mods));
    EXPECT_EQ (clicks, 2) << "any button opens the menu, on press";
}
