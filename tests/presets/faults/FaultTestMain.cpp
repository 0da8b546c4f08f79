#include "presets/faults/PrivateMounts.h"

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

// Like the app tests' main, with one step before anything else: the file-system fault
// tests mount things, and they do it in a mount namespace of this process alone.
int main (int argc, char** argv)
{
    br::test::enterPrivateMountNamespace();
    testing::InitGoogleTest (&argc, argv);
    juce::ScopedJuceInitialiser_GUI gui;
    return RUN_ALL_TESTS();
}
