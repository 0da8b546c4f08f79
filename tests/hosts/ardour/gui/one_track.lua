-- A saved session with one stereo track and the plug-in inserted first on it, nothing else:
-- the smallest session in which Ardour's GUI shows the plug-in's editor and mixer strip.
-- Usage: ardour7-lua one_track.lua <LV2|VST3> <session folder> <session name>
local format, folder, name = arg[1], arg[2], arg[3]
local plugin_type = format == "LV2" and ARDOUR.PluginType.LV2 or ARDOUR.PluginType.VST3

assert (create_session (folder, name, 48000), "Ardour could not create the session")
local track = Session:new_audio_track (2, 2, nil, 1, "Tone", ARDOUR.PresentationInfo.max_order,
	ARDOUR.TrackMode.Normal, true):front ()
-- The GUI harness finds the plug-in's slot in the mixer strip by its dark red, the colour
-- Ardour's theme gives a pre-fader plug-in; a track colour drawn from Ardour's palette
-- could come close to it on the strip's name button, cyan cannot.
track:presentation_info_ptr ():set_color (0x30a0a0ff)
local processor = ARDOUR.LuaAPI.new_plugin (Session, "Quorvane", plugin_type, "")
assert (not processor:isnil (), "Ardour could not instantiate the " .. format .. " plug-in")
track:add_processor_by_index (processor, 0, nil, true)
Session:save_state ("", false, false, false, false, false)
close_session ()
