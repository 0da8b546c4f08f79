#include "plugin/BrellumProcessor.h"

#include <utility>

void BrellumProcessor::selectSetup (int index)
{
    if (static_cast<unsigned> (index) > 1u || index == activeSetup.load())
        return;

    const auto liveState = presetManager.captureState();
    ParkedSetup incoming;

    {
        const juce::ScopedLock sl (parkedLock);
        incoming = std::exchange (parked, liveSetup (liveState));
        activeSetup.store (index);
    }

    // Parameters are pushed outside the lock: their notifications reach the host, and
    // a host thread waiting for the lock must never wait on us in turn.
    {
        const ApplyingScope applying (*this);
        presetManager.applyState (incoming.state);
    }

    {
        const juce::ScopedLock sl (parkedLock);
        presetManager.setCurrent (incoming.preset);
        modified.store (incoming.isModified);
    }

    undoHistoryReset.reset();
}

void BrellumProcessor::copySetupToOther()
{
    const auto liveState = presetManager.captureState();

    const juce::ScopedLock sl (parkedLock);
    parked = liveSetup (liveState);
}

BrellumProcessor::ParkedSetup BrellumProcessor::otherSetup() const
{
    const juce::ScopedLock sl (parkedLock);
    return parked;
}

BrellumProcessor::ParkedSetup BrellumProcessor::liveSetup (juce::ValueTree liveState) const
{
    return { std::move (liveState), presetManager.current(), modified.load() };
}

//==============================================================================
void BrellumProcessor::UndoHistoryReset::reset()
{
    if (juce::MessageManager::existsAndIsCurrentThread())
    {
        cancelPendingUpdate();
        handleAsyncUpdate();
    }
    else
    {
        triggerAsyncUpdate();
    }
}

void BrellumProcessor::MessageThreadUpdate::cancelAndWait()
{
    // Hosts such as LV2's delete the instance on their own thread while the framework's
    // message thread may be inside handleAsyncUpdate. Cancelling alone does not wait for
    // a callback already running; holding the message manager's lock does.
    if (juce::MessageManager::getInstanceWithoutCreating() != nullptr
        && ! juce::MessageManager::existsAndIsCurrentThread())
    {
        const juce::MessageManagerLock lock;
        cancelPendingUpdate();
        return;
    }
    cancelPendingUpdate();
}

void BrellumProcessor::UndoHistoryReset::handleAsyncUpdate()
{
    processor.parameters.copyState(); // flushes pending values into the tree (and the history)
    processor.undoManager.clearUndoHistory();
}
