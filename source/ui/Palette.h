#pragma once
#include <juce_graphics/juce_graphics.h>

/** The one colour scheme of the panel. Inline constants, so the widget kit and the
    editor share a single instance of each; all are opaque ARGB. */
namespace br::ui::colours
{
inline const juce::Colour bgTop { 0xff1f2a3c };
inline const juce::Colour bgBottom { 0xff0c111b };
inline const juce::Colour topBar { 0xff121821 };
inline const juce::Colour topField { 0xff1f2733 };
inline const juce::Colour bracket { 0xff9aa6b8 };
inline const juce::Colour text { 0xffe8edf4 };
inline const juce::Colour textDim { 0xffa9b3c2 };
inline const juce::Colour box { 0xff2b3444 };
inline const juce::Colour boxHover { 0xff364154 };
inline const juce::Colour boxText { 0xffeef2f7 };
inline const juce::Colour track { 0xff080b11 };
inline const juce::Colour accent { 0xff2c74f0 };
inline const juce::Colour accentBright { 0xff7fbcff };
inline const juce::Colour accentDark { 0xff163a7a };
inline const juce::Colour amber { 0xffffc23a };
} // namespace br::ui::colours
