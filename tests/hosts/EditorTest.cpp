#include "hosts/HostSupport.h"

using namespace br::host;

namespace
{
struct SizeCase
{
    float scale; // the "Interface Size" the state carries as "uiScale"
    int width, height;
};

// 1094 x 594 at 100 %, each product rounded half to even.
const SizeCase sizeCases[] {
    { 0.5f, 547, 297 },   { 0.75f, 820, 446 },   { 1.0f, 1094, 594 },  { 1.25f, 1368, 742 },
    { 1.5f, 1641, 891 },  { 1.75f, 1914, 1040 }, { 2.0f, 2188, 1188 }, { 2.5f, 2735, 1485 },
};

/** Stores the interface size in the product's state, as the editor's size menu would. */
void chooseInterfaceSize (Format format, juce::AudioPluginInstance& instance, float scale)
{
    auto xml = productXml (productState (format, instance));
    ASSERT_NE (xml, nullptr);
    xml->setAttribute ("uiScale", (double) scale);
    setProductState (format, instance, productBlobFromXml (*xml));
}

void PrintTo (const SizeCase& c, std::ostream* os) { *os << c.scale * 100.0f << " %"; }

class Editor : public testing::TestWithParam<std::tuple<Format, SizeCase>>
{
};
} // namespace

TEST_P (Editor, OpensAndClosesTwentyTimesAtEachInterfaceSizeWhileAudioRuns)
{
    const auto [format, size] = GetParam();
    auto instance = load (format);
    ASSERT_TRUE (instance->hasEditor());
    chooseInterfaceSize (format, *instance, size.scale);
    instance->prepareToPlay (48000.0, 256);
    {
        AudioThread audio (*instance);
        juce::Rectangle<int> firstBounds;
        for (int i = 0; i < 20; ++i)
        {
            SCOPED_TRACE ("opening " + std::to_string (i + 1));
            auto editor = openEditor (*instance);
            ASSERT_NE (editor, nullptr);
            pumpMessages (i == 0 ? 100 : 15);
            if (i == 0)
            {
                EXPECT_EQ (editor->getWidth(), size.width);
                EXPECT_EQ (editor->getHeight(), size.height);
                firstBounds = editor->getLocalBounds();
            }
            else
            {
                EXPECT_EQ (editor->getLocalBounds(), firstBounds);
            }
            closeEditor (editor);
        }
        audio.waitForBlocks (2);
        EXPECT_FALSE (audio.sawUncleanOutput());
    }
    instance->releaseResources();
}

INSTANTIATE_TEST_SUITE_P (Sizes,
                          Editor,
                          testing::Combine (allFormats(), testing::ValuesIn (sizeCases)),
                          [] (const auto& info)
                          {
                              const auto scale = (int) std::lround (std::get<1> (info.param).scale * 100.0f);
                              return std::string (std::get<0> (info.param) == Format::vst3 ? "Vst3" : "Lv2") + "At"
                                     + std::to_string (scale) + "Percent";
                          });
