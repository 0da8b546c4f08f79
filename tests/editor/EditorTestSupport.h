#pragma once
#include "editor/PluginEditor.h"
#include "support/ModelHelpers.h"
#include "support/TestHome.h"
#include "ui/UiTestSupport.h"

#include <gtest/gtest.h>

namespace br::test
{
constexpr int numFactory = 20;

/** A processor with its editor, inside a temporary home so that presets land there. */
class EditorTest : public testing::Test
{
protected:
    TestHome home;
    BrellumProcessor processor;
    std::unique_ptr<BrellumEditor> editor = std::make_unique<BrellumEditor> (processor);

    br::dsp::ModEngine& engine() { return processor.engine; }
    br::PresetManager& presets() { return processor.presetManager; }
    float value (const char* id) { return processor.parameters.getRawParameterValue (id)->load(); }

    /** A user preset file with the given rate, so loading it shows. */
    juce::File userPreset (const juce::String& name, float rate = 3.0f)
    {
        return writeFile (home.presets(), name + ".brlm",
                          presetText (paramXml ("rate", juce::String (rate)), " name=\"" + name + "\""));
    }

    /** Records pending parameter changes in the undo history, as the parameter tree's
        own timer does a few milliseconds after a change. */
    void settle() { processor.parameters.copyState(); }
};

/** The parts of one popup menu item that the user sees. */
struct MenuLine
{
    juce::String text;
    bool enabled = true;
    bool ticked = false;
    enum Kind
    {
        item,
        header,
        separator,
        subMenu
    } kind = item;

    bool operator== (const MenuLine& other) const
    {
        return text == other.text && enabled == other.enabled && ticked == other.ticked && kind == other.kind;
    }
};

inline std::ostream& operator<< (std::ostream& out, const MenuLine& line)
{
    const char* kinds[] { "item", "header", "separator", "sub-menu" };
    return out << kinds[line.kind] << " \"" << line.text << "\"" << (line.enabled ? "" : " disabled")
               << (line.ticked ? " ticked" : "");
}

inline MenuLine header (const juce::String& text) { return { text, true, false, MenuLine::header }; }
inline MenuLine separator() { return { {}, true, false, MenuLine::separator }; }

/** The top level of a menu, item by item (a sub-menu is one line). */
inline std::vector<MenuLine> linesOf (const juce::PopupMenu& menu)
{
    std::vector<MenuLine> lines;
    for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
    {
        const auto& item = it.getItem();
        auto kind = item.isSeparator         ? MenuLine::separator
                    : item.isSectionHeader   ? MenuLine::header
                    : item.subMenu != nullptr ? MenuLine::subMenu
                                              : MenuLine::item;
        lines.push_back ({ item.text, item.isEnabled, item.isTicked, kind });
    }
    return lines;
}

inline const juce::PopupMenu* subMenuOf (const juce::PopupMenu& menu, const juce::String& text)
{
    for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
        if (it.getItem().text == text)
            return it.getItem().subMenu.get();
    return nullptr;
}

/** Chooses the item with the given text, as a click on it would: the first one found,
    searching sub-menus too. Returns false, and runs nothing, when there is no such
    item or the user could not choose it (disabled, or with nothing to run). */
inline bool choose (const juce::PopupMenu& menu, const juce::String& text)
{
    for (juce::PopupMenu::MenuItemIterator it (menu, true); it.next();)
    {
        const auto& item = it.getItem();
        if (item.text != text || item.isSeparator || item.isSectionHeader || item.subMenu != nullptr)
            continue;
        if (! item.isEnabled || item.action == nullptr)
            return false;
        item.action();
        return true;
    }
    return false;
}

/** The alert window on top of the modal stack, if any. */
inline juce::AlertWindow* topAlert()
{
    return dynamic_cast<juce::AlertWindow*> (juce::Component::getCurrentlyModalComponent());
}

inline bool anythingModal() { return juce::ModalComponentManager::getInstance()->getNumModalComponents() > 0; }

/** Closes every menu and dialog still open and lets them go. */
inline void closeEverything()
{
    juce::PopupMenu::dismissAllActiveMenus();
    for (int i = juce::ModalComponentManager::getInstance()->getNumModalComponents(); --i >= 0;)
        if (auto* modal = juce::Component::getCurrentlyModalComponent (i))
            modal->exitModalState (0);
    pumpUntil ([] { return ! anythingModal(); });
    pumpPending();
}
} // namespace br::test
