#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

// Widgets and the editor construct and paint without a display once the GUI
// subsystem is initialised; owning it here lets every UI test be a plain test.
int main (int argc, char** argv)
{
    testing::InitGoogleTest (&argc, argv);
    juce::ScopedJuceInitialiser_GUI gui;
    return RUN_ALL_TESTS();
}
