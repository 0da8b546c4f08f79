#pragma once
#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <optional>

namespace br::ui
{
/** The rotation display: a shaded sphere with a wedge for the sweep range around the
    rotation centre and a needle at the current angle. Dragging sets the centre to the
    direction of the mouse seen from the middle; a double-click returns it to 0.

    Angles are degrees, 0 straight up, positive to the left (counter-clockwise), as the
    rotation centre parameter reads. The centre is edited through the sphere's own
    juce::ParameterAttachment; range, needle and on/off state are written by the owner,
    who then calls repaint(). Message thread only. */
class RotationSphere : public juce::Component, public juce::SettableTooltipClient
{
public:
    RotationSphere (juce::RangedAudioParameter& centreParameter, juce::UndoManager* undoManager);
    ~RotationSphere() override;

    /** Wedge centre in degrees; kept equal to the parameter by the attachment. */
    float centre = 0.0f;
    /** Wedge width in degrees; 359.5 and above draws a full disc. */
    float range = 90.0f;
    /** Needle angle in degrees. */
    float position = 0.0f;
    /** False dims wedge and needle. */
    bool active = true;

    /** The whole degree (within -180..180) that a press at `localPos` sets. */
    float angleAt (juce::Point<float> localPos) const;

    /** The needle drawn at `positionDegrees`, in local coordinates. */
    juce::Path needlePath (float positionDegrees) const;
    /** The pixels the needle at `positionDegrees` can touch, anti-aliasing included:
        moving only the needle needs a repaint of the old and the new area, not of the
        whole sphere. */
    juce::Rectangle<int> needleArea (float positionDegrees) const;

    void mouseDown (const juce::MouseEvent&) override;
    void mouseDrag (const juce::MouseEvent&) override;
    void mouseUp (const juce::MouseEvent&) override;
    void mouseDoubleClick (const juce::MouseEvent&) override;
    void paint (juce::Graphics&) override;
    void parentHierarchyChanged() override;

private:
    /** Radius of the ball, in local coordinates. */
    float radius() const;
    /** The ball's bounds, centred in the component. */
    juce::Rectangle<float> ball() const;

    /** Everything under the needle: shadow, rim, body, tint, wedge and highlights. */
    void paintBackdrop (juce::Graphics&) const;
    /** On an opaque parent: copies the backdrop, drawn over the parent's picture, from a
        cache kept for the current place in the window and the current wedge. The needle
        moves on every refresh tick, and drawing all of the sphere's layers again for each
        move is most of what an animated editor costs. False where no cache can stand in
        for a direct drawing (a turned transform, `g` at another scale, a huge size). */
    bool paintBackdropFromCache (juce::Graphics&);
    /** From the parent's coordinates to the window's pixels, composed as the window's
        renderer composes it; none without a parent or with a transform of our own. */
    std::optional<juce::AffineTransform> parentToWindow() const;

    struct BackdropKey
    {
        juce::AffineTransform toWindow;
        int width, height;
        float centre, range;
        bool active;

        bool operator== (const BackdropKey& other) const
        {
            return toWindow == other.toWindow && width == other.width && height == other.height
                   && centre == other.centre && range == other.range && active == other.active;
        }
    };
    juce::Image backdrop;
    BackdropKey backdropKey {};

    juce::ParameterAttachment attachment;
    bool inGesture = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (RotationSphere)
};
} // namespace br::ui
