#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

// Hosting needs the message manager, as in any JUCE host.
int main (int argc, char** argv)
{
    testing::InitGoogleTest (&argc, argv);
    juce::ScopedJuceInitialiser_GUI gui;
    return RUN_ALL_TESTS();
}
