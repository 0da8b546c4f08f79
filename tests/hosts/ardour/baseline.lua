-- What Ardour itself prints with no plug-in in the session: a track, created and saved, or
-- reopened. The test counts these lines as Ardour's own.
-- Usage: ardour7-lua baseline.lua <create|reopen> <session folder>
local phase, folder = arg[1], arg[2]
if phase == "create" then
	assert (create_session (folder, "quorvane", 48000), "Ardour could not create the session")
	Session:new_audio_track (2, 2, nil, 1, "Tone", ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true)
	Session:save_state ("", false, false, false, false, false)
else
	assert (load_session (folder, "quorvane"), "Ardour could not open the session")
end
close_session ()
