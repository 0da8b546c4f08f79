"""Writes a copy of JUCE 7.0.5's juce_gui_basics unity file that compiles corrected copies
of its Linux window peer (native/juce_linux_Windowing.cpp) and X11 window system
(native/x11/juce_linux_XWindowSystem.cpp), of the vertical-blank attachment
(windows/juce_VBlankAttachement.cpp), of the desktop (desktop/juce_Desktop.cpp) and of the
tooltip window (windows/juce_TooltipWindow.cpp) instead of the originals.

Two faults of the peer:

- Events stranded in Xlib's queue. JUCE reads X events only when the display connection's
  socket turns readable. Xlib, though, moves every event that has already arrived into its
  own queue whenever it waits for a reply (the XSync after a shared-memory image is made,
  the one after a window is destroyed, XGetGeometry, the XQueryPointer that the desktop's
  and the tooltip's timers make several times a second, ...), and such events leave the
  socket empty. The Expose events of a window that has just grown, or of the area a closed
  dialog uncovered, then sit in that queue until some unrelated event (a mouse move) wakes
  the loop, and the window shows black or the dialog's old image until then. Such events
  are now handed on at the start of every frame (below), a frame that left some behind
  asks for another, and the calls that wait for replies outside a frame (a window
  destroyed, the pointer queried) ask for a frame when they left events behind.

- A frame timer that never sleeps. Every window ran a timer at the display's refresh rate
  (100 Hz where the display reports none, as under Xvfb) for as long as it existed, only
  to find nothing to draw: an idle window woke the process hundreds of times a second, a
  cost in battery and fan noise for an app left open for hours. Each tick also woke two
  threads, JUCE's timer thread and the message thread. Now a repaint asks for a frame as
  soon as the message loop is free, by a message the message thread posts to itself, but
  never sooner than one frame interval after the last frame. The timer ticks at the
  frame rate only while vertical-blank listeners are attached or areas wait for earlier
  images to reach the server; otherwise it only waits to release the drawing image unused
  for three seconds, as JUCE does, and then stops. Attaching a vertical-blank listener
  asks for a frame, which starts it; that is why the attachment is corrected as well.
  Each frame also no longer clears the areas it is about to draw when the window's
  component is opaque, and so draws every one of their pixels anyway.

Two timers that poll the pointer for ever. While any global mouse listener exists (every
tooltip window is one), the desktop asks the X server where the pointer is ten times a
second, and after the pointer has moved outside our windows, fifty times a second; the
tooltip window asks eight times a second. Each question is a round trip that wakes the
process twice, with the pointer far from any window of ours. The desktop's polling now
stops once the pointer rests outside every component, and the tooltip window's once
nothing is under the pointer and no tip is shown or just hidden. A real mouse event, which
reaches our windows only with the pointer over them, starts both again: the desktop's
through the listener list that every mouse event reads, the tooltip window's through the
enter event it hears as a global listener, or a tip shown by hand.

Shared memory left behind for good. A window draws through a System V shared-memory image
that JUCE removes only when it destroys the image. A process that ends any other way (a
crash, a kill, a host that exits without closing the editor) leaves the segment in the
system until the next reboot: a few megabytes for every window, every time. Each segment is
now marked for removal as soon as the X server has attached it, as other toolkits do; it
stays usable for as long as either side holds it.

The other files of the module are included from where JUCE installed them.
Every replacement must match exactly once, so a different JUCE fails the build loudly.

Usage: patch_gui_basics.py <juce_gui_basics module folder> <output folder>"""
import pathlib
import sys

import juce_patch

module, output = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
peer_name = "native/juce_linux_Windowing.cpp"
attachment_name = "windows/juce_VBlankAttachement.cpp"
xsystem_name = "native/x11/juce_linux_XWindowSystem.cpp"
desktop_name = "desktop/juce_Desktop.cpp"
tooltip_name = "windows/juce_TooltipWindow.cpp"

peer_replacements = [
    ("namespace juce\n{\n",
     "#include <juce_events/native/juce_linux_EventLoopInternal.h>\n\n"
     "namespace juce\n{\n"),

    # The modifier keys are read with XQueryPointer, a reply that can strand events.
    ("        getNativeRealtimeModifiers = []() -> ModifierKeys { return XWindowSystem::getInstance()->getNativeRealtimeModifiers(); };\n",
     "        getNativeRealtimeModifiers = []() -> ModifierKeys\n"
     "        {\n"
     "            const auto modifiers = XWindowSystem::getInstance()->getNativeRealtimeModifiers();\n"
     "            handOnQueuedEventsSoon();\n"
     "            return modifiers;\n"
     "        };\n"),

    # Destroying a window waits for the server (XSync): the Expose events of what it
    # uncovered may be left in Xlib's queue, for another window to hand on.
    ("        repainter = nullptr;\n        instance->destroyWindow (windowH);\n",
     "        repainter = nullptr;\n        instance->destroyWindow (windowH);\n"
     "        handOnQueuedEventsSoon (this);\n"),

    ("    void repaint (const Rectangle<int>& area) override\n"
     "    {\n"
     "        if (repainter != nullptr)\n"
     "            repainter->repaint (area.getIntersection (bounds.withZeroOrigin()));\n"
     "    }\n\n"
     "    void performAnyPendingRepaintsNow() override\n"
     "    {\n"
     "        if (repainter != nullptr)\n"
     "            repainter->performAnyPendingRepaintsNow();\n"
     "    }\n",
     "    void repaint (const Rectangle<int>& area) override\n"
     "    {\n"
     "        if (repainter != nullptr)\n"
     "        {\n"
     "            const auto visibleArea = area.getIntersection (bounds.withZeroOrigin());\n\n"
     "            if (! visibleArea.isEmpty())\n"
     "            {\n"
     "                repainter->repaint (visibleArea);\n"
     "                requestFrame();\n"
     "            }\n"
     "        }\n"
     "    }\n\n"
     "    void performAnyPendingRepaintsNow() override\n"
     "    {\n"
     "        if (repainter != nullptr)\n"
     "        {\n"
     "            repainter->performAnyPendingRepaintsNow();\n"
     "            requestFrame(); // making the image may have stranded events\n"
     "        }\n"
     "    }\n\n"
     "    /** Asks for a frame as soon as the message loop is free (a message the message\n"
     "        thread posts to itself, so no other thread wakes), unless the frame timer\n"
     "        already ticks at the frame rate. */\n"
     "    void requestFrame()\n"
     "    {\n"
     "        if (vBlankManager.getTimerInterval() != frameIntervalMs)\n"
     "            frameRequest.triggerAsyncUpdate();\n"
     "    }\n\n"
     "    /** After an Xlib call that waited for a reply outside a frame: when it left events\n"
     "        in Xlib's queue, asks a window (other than `leaving`) for a frame, which hands\n"
     "        them on. */\n"
     "    static void handOnQueuedEventsSoon (const LinuxComponentPeer* leaving = nullptr)\n"
     "    {\n"
     "        if (! eventsAlreadyQueued())\n"
     "            return;\n\n"
     "        for (int i = 0; i < getNumPeers(); ++i)\n"
     "        {\n"
     "            if (auto* peer = dynamic_cast<LinuxComponentPeer*> (getPeer (i)); peer != nullptr && peer != leaving)\n"
     "            {\n"
     "                peer->requestFrame();\n"
     "                return;\n"
     "            }\n"
     "        }\n"
     "    }\n"),

    ("        void repaint (Rectangle<int> area)\n"
     "        {\n"
     "            regionsNeedingRepaint.add (area * peer.currentScaleFactor);\n"
     "        }\n",
     "        void repaint (Rectangle<int> area)\n"
     "        {\n"
     "            regionsNeedingRepaint.add (area * peer.currentScaleFactor);\n"
     "        }\n\n"
     "        /** Areas wait to be drawn (also while earlier images are still on their way\n"
     "            to the server). */\n"
     "        bool hasAreasWaiting() const { return ! regionsNeedingRepaint.isEmpty(); }\n\n"
     "        /** How long until dispatchDeferredRepaints() releases the drawing image; 0 when\n"
     "            there is none. */\n"
     "        int millisecondsUntilImageRelease() const\n"
     "        {\n"
     "            if (image.isNull())\n"
     "                return 0;\n\n"
     "            const auto left = (int64) lastTimeImageUsed + 3001 - (int64) Time::getApproximateMillisecondCounter();\n"
     "            return (int) jlimit ((int64) 1, (int64) 3001, left);\n"
     "        }\n"),

    ("    void onVBlank()\n"
     "    {\n"
     "        vBlankListeners.call ([] (auto& l) { l.onVBlank(); });\n\n"
     "        if (repainter != nullptr)\n"
     "            repainter->dispatchDeferredRepaints();\n"
     "    }\n",
     "    static bool eventsAlreadyQueued()\n"
     "    {\n"
     "        auto* display = XWindowSystem::getInstance()->getDisplay();\n\n"
     "        if (display == nullptr)\n"
     "            return false;\n\n"
     "        XWindowSystemUtilities::ScopedXLock xLock;\n"
     "        return X11Symbols::getInstance()->xEventsQueued (display, QueuedAlready) > 0;\n"
     "    }\n\n"
     "    /* Xlib may already hold events that it read while waiting for a reply; the socket\n"
     "       then stays quiet and the event loop would leave them there. Returns true when it\n"
     "       dispatched some (which may have deleted any window). */\n"
     "    static bool dispatchEventsAlreadyQueued()\n"
     "    {\n"
     "        if (! eventsAlreadyQueued())\n"
     "            return false;\n\n"
     "        LinuxEventLoopInternal::invokeEventLoopCallbackForFd (X11Symbols::getInstance()->xConnectionNumber (XWindowSystem::getInstance()->getDisplay()));\n"
     "        return true;\n"
     "    }\n\n"
     "    /* One frame, from the frame timer or from a frame request. A request that comes\n"
     "       sooner than one frame interval after the last frame leaves the drawing to the\n"
     "       timer's next tick, so that frames never come faster than the display's rate. */\n"
     "    void onVBlank (bool requested = false)\n"
     "    {\n"
     "        if (dispatchEventsAlreadyQueued() && ! isValidPeer (this))\n"
     "            return;\n\n"
     "        const auto now = Time::getMillisecondCounter();\n\n"
     "        if (requested && now - lastFrameMs < (uint32) frameIntervalMs)\n"
     "        {\n"
     "            startFrameRate();\n"
     "            return;\n"
     "        }\n\n"
     "        lastFrameMs = now;\n"
     "        vBlankListeners.call ([] (auto& l) { l.onVBlank(); });\n\n"
     "        if (repainter != nullptr)\n"
     "            repainter->dispatchDeferredRepaints();\n\n"
     "        sleepWhenIdle();\n"
     "    }\n\n"
     "    void startFrameRate()\n"
     "    {\n"
     "        if (vBlankManager.getTimerInterval() != frameIntervalMs)\n"
     "            vBlankManager.startTimer (frameIntervalMs);\n"
     "    }\n\n"
     "    /* Keeps the frame timer at the frame rate while listeners are attached or areas\n"
     "       wait for earlier images to reach the server, and hands on at once the events\n"
     "       that drawing (making an image) may have stranded. Otherwise the timer only\n"
     "       waits to release the drawing image, then stops. */\n"
     "    void sleepWhenIdle()\n"
     "    {\n"
     "        if (! vBlankListeners.isEmpty() || (repainter != nullptr && repainter->hasAreasWaiting()))\n"
     "        {\n"
     "            startFrameRate();\n"
     "            return;\n"
     "        }\n\n"
     "        if (eventsAlreadyQueued())\n"
     "            frameRequest.triggerAsyncUpdate();\n\n"
     "        if (const auto release = repainter != nullptr ? repainter->millisecondsUntilImageRelease() : 0; release > 0)\n"
     "        {\n"
     "            if (vBlankManager.getTimerInterval() <= frameIntervalMs)\n"
     "                vBlankManager.startTimer (jmax (release, frameIntervalMs + 1));\n"
     "        }\n"
     "        else\n"
     "        {\n"
     "            vBlankManager.stopTimer();\n"
     "        }\n"
     "    }\n"),

    ("            if (vBlankManager.getTimerInterval() != frequencyToUse)\n"
     "                vBlankManager.startTimerHz (frequencyToUse);\n"
     "        }\n"
     "    }\n",
     "            frameIntervalMs = jmax (1, 1000 / frequencyToUse);\n"
     "        }\n\n"
     "        requestFrame();\n"
     "    }\n"),

    ("    LinuxVBlankManager vBlankManager { [this]() { onVBlank(); } };\n",
     "    LinuxVBlankManager vBlankManager { [this]() { onVBlank(); } };\n"
     "    struct FrameRequest  : public AsyncUpdater\n"
     "    {\n"
     "        explicit FrameRequest (LinuxComponentPeer& p) : peer (p) {}\n"
     "        ~FrameRequest() override { cancelPendingUpdate(); }\n"
     "        void handleAsyncUpdate() override { peer.onVBlank (true); }\n"
     "        LinuxComponentPeer& peer;\n"
     "    };\n\n"
     "    FrameRequest frameRequest { *this };\n"
     "    int frameIntervalMs = 10; // the frame timer's interval while it has work\n"
     "    uint32 lastFrameMs = 0;\n"),

    # The pointer position is read with XQueryPointer, several times a second by the
    # desktop's and the tooltip's timers.
    ("Point<float> MouseInputSource::getCurrentRawMousePosition()\n"
     "{\n"
     "    return Desktop::getInstance().getDisplays().physicalToLogical (XWindowSystem::getInstance()->getCurrentMousePosition());\n"
     "}\n",
     "Point<float> MouseInputSource::getCurrentRawMousePosition()\n"
     "{\n"
     "    const auto position = XWindowSystem::getInstance()->getCurrentMousePosition();\n"
     "    LinuxComponentPeer::handOnQueuedEventsSoon();\n"
     "    return Desktop::getInstance().getDisplays().physicalToLogical (position);\n"
     "}\n\n"
     "void juce_requestLinuxFrame (ComponentPeer& peer)\n"
     "{\n"
     "    if (auto* linuxPeer = dynamic_cast<LinuxComponentPeer*> (&peer))\n"
     "        linuxPeer->requestFrame();\n"
     "}\n"),
    # An opaque component draws every pixel of its area: clearing the area first is work
    # thrown away, on every frame.
    ("                if (XWindowSystem::getInstance()->canUseARGBImages())\n"
     "                    for (auto& i : originalRepaintRegion)\n",
     "                if (XWindowSystem::getInstance()->canUseARGBImages() && ! peer.getComponent().isOpaque())\n"
     "                    for (auto& i : originalRepaintRegion)\n"),
]

attachment_replacements = [
    ("namespace juce\n{\n",
     "namespace juce\n{\n\n"
     "#if JUCE_LINUX || JUCE_BSD\n"
     "// The X11 peer's frame timer sleeps while it has nothing to do; a listener asks for a\n"
     "// frame, which keeps the timer ticking for as long as listeners are attached.\n"
     "void juce_requestLinuxFrame (ComponentPeer&);\n"
     "#endif\n"),
    ("            peer->addVBlankListener (this);\n",
     "            peer->addVBlankListener (this);\n"
     "           #if JUCE_LINUX || JUCE_BSD\n"
     "            juce_requestLinuxFrame (*peer);\n"
     "           #endif\n"),
]

xsystem_replacements = [
    ("                            if (X11Symbols::getInstance()->xShmAttach (display, &segmentInfo) != 0)\n"
     "                                usingXShm = true;\n",
     "                            if (X11Symbols::getInstance()->xShmAttach (display, &segmentInfo) != 0)\n"
     "                            {\n"
     "                                usingXShm = true;\n"
     "\n"
     "                                // Once the server has attached too, the segment is marked for\n"
     "                                // removal: it lives on while either side holds it, and goes\n"
     "                                // with the process however that ends.\n"
     "                                X11Symbols::getInstance()->xSync (display, False);\n"
     "                                shmctl (segmentInfo.shmid, IPC_RMID, nullptr);\n"
     "                            }\n"),
]

desktop_replacements = [
    ("void Desktop::timerCallback()\n"
     "{\n"
     "    if (lastFakeMouseMove != getMousePositionFloat())\n"
     "        sendMouseMove();\n"
     "}\n",
     "void Desktop::timerCallback()\n"
     "{\n"
     "    const auto position = getMousePositionFloat();\n"
     "\n"
     "    if (lastFakeMouseMove != position)\n"
     "        sendMouseMove();\n"
     "    else if (findComponentAt (position.roundToInt()) == nullptr)\n"
     "        stopTimer(); // at rest outside our windows: the next real mouse event polls again\n"
     "}\n"),
]

tooltip_replacements = [
    ("void TooltipWindow::mouseEnter (const MouseEvent& e)\n"
     "{\n"
     "    if (e.eventComponent == this)\n"
     "        hideTip();\n"
     "}\n",
     "void TooltipWindow::mouseEnter (const MouseEvent& e)\n"
     "{\n"
     "    if (e.eventComponent == this)\n"
     "        hideTip();\n"
     "    else if (! isTimerRunning())\n"
     "        startTimer (123); // the pointer is back over one of our components\n"
     "}\n"),

    ("        toFront (false);\n"
     "        manuallyShownTip = shownManually == ShownManually::yes ? tip : String();\n"
     "        dismissalMouseEventOccurred = false;\n",
     "        toFront (false);\n"
     "        manuallyShownTip = shownManually == ShownManually::yes ? tip : String();\n"
     "        dismissalMouseEventOccurred = false;\n"
     "\n"
     "        if (! isTimerRunning() && Desktop::getInstance().getMainMouseSource().canHover())\n"
     "            startTimer (123);\n"),

    ("    auto* newComp = mouseSource.isTouch() ? nullptr : mouseSource.getComponentUnderMouse();\n"
     "\n"
     "    if (manuallyShownTip.isNotEmpty())\n",
     "    auto* newComp = mouseSource.isTouch() ? nullptr : mouseSource.getComponentUnderMouse();\n"
     "\n"
     "    // Nothing under the pointer and no tip to look after: sleep until it comes back.\n"
     "    if (newComp == nullptr && manuallyShownTip.isEmpty() && ! isVisible()\n"
     "        && Time::getApproximateMillisecondCounter() >= lastHideTime + 500)\n"
     "    {\n"
     "        lastComponentUnderMouse = nullptr;\n"
     "        lastTipUnderMouse = {};\n"
     "        stopTimer();\n"
     "        return;\n"
     "    }\n"
     "\n"
     "    if (manuallyShownTip.isNotEmpty())\n"),
]

corrected = {
    name: juce_patch.apply((module / name).read_text(encoding='utf-8'), replacements, name)
    for name, replacements in ((peer_name, peer_replacements), (attachment_name, attachment_replacements),
                               (xsystem_name, xsystem_replacements), (desktop_name, desktop_replacements),
                               (tooltip_name, tooltip_replacements))
}

juce_patch.write_module(module, output, "juce_gui_basics.cpp", corrected)
