#include "ui/RotationSphere.h"
#include "ui/Palette.h"

#include <cmath>
#include <iterator>
#include <vector>

namespace br::ui
{
namespace
{
juce::Colour whiteAlpha (int alpha) { return juce::Colours::white.withAlpha ((juce::uint8) alpha); }
juce::Colour blackAlpha (int alpha) { return juce::Colours::black.withAlpha ((juce::uint8) alpha); }
} // namespace

RotationSphere::RotationSphere (juce::RangedAudioParameter& centreParameter, juce::UndoManager* undoManager)
    : attachment (centreParameter,
                  [this] (float newCentre)
                  {
                      centre = newCentre;
                      repaint();
                  },
                  undoManager)
{
    attachment.sendInitialUpdate();
    setMouseCursor (juce::MouseCursor::DraggingHandCursor);
}

RotationSphere::~RotationSphere() = default;

float RotationSphere::angleAt (juce::Point<float> localPos) const
{
    const auto w = (float) getWidth();
    const auto h = (float) getHeight();
    // Screen y grows downwards and positive angles turn left, hence both signs.
    const float degrees = -std::atan2 (localPos.x - w / 2.0f, h / 2.0f - localPos.y) * 57.295776f;
    if (degrees > 180.0f)
        return 180.0f;
    if (degrees < -180.0f)
        return -180.0f;
    return std::round (degrees);
}

float RotationSphere::radius() const { return juce::jmin ((float) getWidth(), (float) getHeight()) / 2.0f - 6.0f; }

juce::Rectangle<float> RotationSphere::ball() const
{
    const auto r = radius();
    return { (float) getWidth() / 2.0f - r, (float) getHeight() / 2.0f - r, 2.0f * r, 2.0f * r };
}

juce::Path RotationSphere::needlePath (float positionDegrees) const
{
    const auto w = (float) getWidth();
    const auto h = (float) getHeight();
    const auto r = radius();
    const auto cx = w / 2.0f;
    const auto cy = h / 2.0f;
    const auto pointAt = [cx, cy] (float distance, float screenAngle)
    { return juce::Point<float> (cx + distance * std::sin (screenAngle), cy - distance * std::cos (screenAngle)); };

    // A sliver from just outside the sphere to a little beyond half its radius.
    const auto phi = -positionDegrees * juce::MathConstants<float>::pi / 180.0f;
    juce::Path needle;
    needle.addTriangle (pointAt (r + 2.0f, phi - 0.018f), pointAt (r + 2.0f, phi + 0.018f), pointAt (0.58f * r, phi));
    return needle;
}

juce::Rectangle<int> RotationSphere::needleArea (float positionDegrees) const
{
    // One pixel of anti-aliased edge on each side, one more for rounding.
    return needlePath (positionDegrees).getBounds().expanded (2.0f).getSmallestIntegerContainer();
}

void RotationSphere::mouseDown (const juce::MouseEvent& e)
{
    attachment.beginGesture();
    inGesture = true;
    attachment.setValueAsPartOfGesture (angleAt (e.position));
}

void RotationSphere::mouseDrag (const juce::MouseEvent& e)
{
    if (inGesture)
        attachment.setValueAsPartOfGesture (angleAt (e.position));
}

void RotationSphere::mouseUp (const juce::MouseEvent&)
{
    if (inGesture)
        attachment.endGesture();
    inGesture = false;
}

void RotationSphere::mouseDoubleClick (const juce::MouseEvent&)
{
    // The second press of a double-click has already opened a gesture; resetting inside
    // it keeps one undo step and never nests a second gesture inside the first.
    if (inGesture)
        attachment.setValueAsPartOfGesture (0.0f);
    else
        attachment.setValueAsCompleteGesture (0.0f);
}

void RotationSphere::parentHierarchyChanged()
{
    // On an opaque parent the sphere draws the parent's picture behind itself too, so it
    // is opaque as well: the parent then leaves out its area instead of drawing it twice.
    setOpaque (getParentComponent() != nullptr && getParentComponent()->isOpaque());
}

void RotationSphere::paint (juce::Graphics& g)
{
    if (! isOpaque())
    {
        paintBackdrop (g);
    }
    else if (! paintBackdropFromCache (g))
    {
        {
            const juce::Graphics::ScopedSaveState state (g);
            g.setOrigin (-getPosition());
            getParentComponent()->paint (g);
        }
        paintBackdrop (g);
    }

    g.setColour (whiteAlpha (active ? 0xF2 : 0x66));
    g.fillPath (needlePath (position));

    // The outline lies over the needle's outer end.
    g.setColour (blackAlpha (0xCC));
    g.drawEllipse (ball(), 1.5f);
}

std::optional<juce::AffineTransform> RotationSphere::parentToWindow() const
{
    if (isTransformed() || getParentComponent() == nullptr)
        return {};

    std::vector<const juce::Component*> ancestors;
    for (auto* c = getParentComponent(); c != nullptr; c = c->getParentComponent())
        ancestors.push_back (c);

    // Composed in the renderer's order, from the window down, so that every coordinate
    // comes out as the same float a direct drawing computes.
    const auto* top = ancestors.back();
    auto t = juce::AffineTransform::scale (top->getPeer() != nullptr ? (float) top->getPeer()->getPlatformScaleFactor()
                                                                      : 1.0f);
    if (top->isTransformed())
        t = top->getTransform().followedBy (t);
    for (auto c = std::next (ancestors.rbegin()); c != ancestors.rend(); ++c)
    {
        if ((*c)->isTransformed())
            t = (*c)->getTransform().followedBy (t);
        t = juce::AffineTransform::translation ((float) (*c)->getX(), (float) (*c)->getY()).followedBy (t);
    }
    return t;
}

bool RotationSphere::paintBackdropFromCache (juce::Graphics& g)
{
    // Only where `g` draws at the window's scale, unturned: the copy must land on whole
    // pixels of the same size.
    const auto parentTransform = parentToWindow();
    if (! parentTransform.has_value())
        return false;
    const auto toWindow = juce::AffineTransform::translation ((float) getX(), (float) getY()).followedBy (*parentTransform);
    const auto pixelScale = g.getInternalContext().getPhysicalPixelScaleFactor();
    if (toWindow.mat01 != 0.0f || toWindow.mat10 != 0.0f
        || toWindow.mat00 != toWindow.mat11 || std::abs (toWindow.mat00 - pixelScale) > 0.0001f * pixelScale)
        return false;

    const auto pixels = getLocalBounds().toFloat().transformedBy (toWindow).getSmallestIntegerContainer();
    // Beyond this a cached copy would cost more memory than drawing saves time.
    if (pixels.getX() < 0 || pixels.getY() < 0 || pixels.getRight() > 6000 || pixels.getBottom() > 4000)
        return false;

    const BackdropKey key { toWindow, getWidth(), getHeight(), centre, range, active };
    if (backdrop.isNull() || ! (key == backdropKey))
    {
        // Anchored at the window's origin and drawn through the same transforms as the
        // window: its pixels are the very ones a drawing of the whole window gives. Only
        // the sphere's part is ever drawn, so the rest of it is never touched.
        if (backdrop.getWidth() != pixels.getRight() || backdrop.getHeight() != pixels.getBottom())
            backdrop = juce::Image (juce::Image::RGB, pixels.getRight(), pixels.getBottom(), false,
                                    juce::SoftwareImageType());
        juce::Graphics cacheGraphics (backdrop);
        cacheGraphics.reduceClipRegion (pixels);
        cacheGraphics.addTransform (*parentTransform);
        getParentComponent()->paint (cacheGraphics);
        cacheGraphics.setOrigin (getPosition());
        paintBackdrop (cacheGraphics);
        backdropKey = key;
    }

    // Only the part being drawn again is copied.
    const auto area = g.getClipBounds()
                          .toFloat()
                          .transformedBy (toWindow)
                          .getSmallestIntegerContainer()
                          .expanded (1)
                          .getIntersection (pixels);
    if (! area.isEmpty())
    {
        const juce::Graphics::ScopedSaveState state (g);
        g.setImageResamplingQuality (juce::Graphics::lowResamplingQuality);
        g.drawImageTransformed (backdrop.getClippedImage (area),
                                juce::AffineTransform::translation (area.getPosition().toFloat())
                                    .followedBy (toWindow.inverted()));
    }
    return true;
}

void RotationSphere::paintBackdrop (juce::Graphics& g) const
{
    const auto w = (float) getWidth();
    const auto h = (float) getHeight();
    const auto r = radius();
    const auto d = 2.0f * r;
    const auto cx = w / 2.0f;
    const auto cy = h / 2.0f;
    const juce::Rectangle<float> sphere (cx - r, cy - r, d, d);
    const auto k = active ? 1.0f : 0.35f;
    const auto pointAt = [cx, cy] (float distance, float screenAngle)
    { return juce::Point<float> (cx + distance * std::sin (screenAngle), cy - distance * std::cos (screenAngle)); };

    // Shadow and rim.
    const auto shadowSize = juce::jmax (d + 12.0f, 0.0f);
    g.setGradientFill (juce::ColourGradient (blackAlpha (0x99), cx, cy + 0.1f * r, juce::Colours::transparentBlack, cx,
                                             cy + r + 8.0f, true));
    g.fillEllipse (cx - r - 6.0f, cy - r - 2.0f, shadowSize, shadowSize);
    const auto rimSize = juce::jmax (d + 4.0f, 0.0f);
    g.setColour (juce::Colour (0xff05080d));
    g.fillEllipse (cx - r - 2.0f, cy - r - 2.0f, rimSize, rimSize);

    // Body and tint.
    g.setGradientFill (juce::ColourGradient (juce::Colour (0xff343c4a), cx - 0.4f * r, cy - 0.45f * r,
                                             juce::Colour (0xff020304), cx + 0.45f * r, cy + 0.85f * r, true));
    g.fillEllipse (sphere);
    g.setGradientFill (juce::ColourGradient (juce::Colours::transparentBlack, cx, cy, juce::Colour (0x182c74f0),
                                             cx + 0.7f * r, cy + 0.7f * r, false));
    g.fillEllipse (sphere);

    // Wedge. Screen angles run clockwise from 12 o'clock, the parameter's the other way.
    const bool fullCircle = range >= 359.5f;
    const auto centreAngle = -centre * juce::MathConstants<float>::pi / 180.0f;
    const auto halfWidth = (range / 2.0f) * juce::MathConstants<float>::pi / 180.0f;
    juce::Path wedge;
    if (fullCircle)
        wedge.addEllipse (sphere);
    else
        wedge.addPieSegment (sphere, centreAngle - halfWidth, centreAngle + halfWidth, 0.0f);
    g.setGradientFill (juce::ColourGradient (colours::accent.withAlpha (0.65f * k), cx, cy - r,
                                             colours::accentDark.withAlpha (0.35f * k), cx, cy + 0.2f * r, false));
    g.fillPath (wedge);

    if (! fullCircle)
    {
        g.setColour (colours::accent.withAlpha (k));
        const float dashes[] { 2.0f, 3.0f };
        for (const auto edge : { centreAngle - halfWidth, centreAngle + halfWidth })
        {
            g.drawLine (juce::Line<float> ({ cx, cy }, pointAt (r, edge)), 1.4f);
            g.drawDashedLine (juce::Line<float> ({ cx, cy }, pointAt (r, edge + juce::MathConstants<float>::pi)),
                              dashes, 2, 1.3f);
        }
    }

    // Specular spot and reflection.
    const auto spotX = cx - 0.62f * r;
    const auto spotY = cy - 0.45f * r;
    g.setGradientFill (
        juce::ColourGradient (whiteAlpha (0xF2), spotX, spotY, juce::Colours::transparentWhite, spotX + 0.1f * r, spotY, true));
    g.fillEllipse (spotX - 0.1f * r, spotY - 0.1f * r, 0.2f * r, 0.2f * r);
    g.setGradientFill (juce::ColourGradient (whiteAlpha (0x17), cx, cy - 0.96f * r, juce::Colours::transparentWhite, cx,
                                             cy - 0.05f * r, false));
    g.fillEllipse (cx - 0.82f * r, cy - 0.96f * r, 1.64f * r, 0.95f * r);
}
} // namespace br::ui
