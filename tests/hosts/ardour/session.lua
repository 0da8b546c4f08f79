-- Drives Ardour's own session code (ardour7-lua, None/Dummy backend) the way a user works
-- with the plug-in, and prints what Ardour reports as "result<TAB>key<TAB>value" lines;
-- renders are track bounces with processing, named so that analyse.py finds them in the
-- session's audio folder. One session per process: Ardour faults on a second one.
--
-- Usage: ardour7-lua session.lua <LV2|VST3> <create|reopen> <session folder>
--   create: lists the plug-in, makes the test tone, renders it dry, then through the
--           plug-in with a preset, mix 0, Ardour's bypass, a parameter and an automation
--           lane; tries to delete a factory preset; saves.
--   reopen: opens that session, saves a snapshot of what it restored, renders again, then
--           renders the tempo-synced preset at two tempos.

local format, phase, folder = arg[1], arg[2], arg[3]
local rate = 48000
local plugin_type = format == "LV2" and ARDOUR.PluginType.LV2 or ARDOUR.PluginType.VST3

local function result (key, value)
	print ("result\t" .. key .. "\t" .. tostring (value))
end

local session
if phase == "create" then
	session = create_session (folder, "quorvane", rate)
else
	session = load_session (folder, "quorvane")
end
assert (session, "Ardour could not open the session")

-- What the plug-in list shows.
for info in ARDOUR.LuaAPI.list_plugins ():iter () do
	if info.type == plugin_type and info.name == "Quorvane" then
		result ("listed", info.name .. "|" .. info.creator .. "|" .. info.category)
	end
end

local track
if phase == "create" then
	track = Session:new_audio_track (2, 2, nil, 1, "Tone", ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true):front ()
else
	track = Session:route_by_name ("Tone"):to_track ()
end

local function render (name, first, last)
	local region = track:bounce_range (first, last, ARDOUR.InterThreadInfo (), track:main_outs (), false, name)
	assert (not region:isnil (), "bounce of " .. name .. " failed")
	result ("render", name .. "|" .. first .. "|" .. region:source (0):to_filesource ():path () .. "|" .. region:source (1):to_filesource ():path ())
	return region
end

local seconds = 4 * rate
-- Renders of the tempo-synced LFO start here, off the sixteenth-note grid at every tempo
-- used, so that an LFO that is not locked to the song position puts its edges off it.
local sync_start = math.floor (1.3 * rate)

local insert
if phase == "create" then
	-- A 1 kHz tone on the track, as if recorded: the generator's second run, so that no
	-- start-up of the generator itself is in it.
	local generator = ARDOUR.LuaAPI.new_luaproc (Session, "Quadrature Test Tone")
	assert (not generator:isnil (), "no test tone generator")
	track:add_processor_by_index (generator, 0, nil, true)
	track:bounce_range (0, seconds, ARDOUR.InterThreadInfo (), track:main_outs (), false, "warmup")
	local tone = track:bounce_range (0, seconds, ARDOUR.InterThreadInfo (), track:main_outs (), false, "tone")
	track:remove_processor (generator, nil, true)
	track:playlist ():add_region (tone, Temporal.timepos_t (0), 1, false, 0, 0, false)
	render ("dry", 0, seconds)

	local processor = ARDOUR.LuaAPI.new_plugin (Session, "Quorvane", plugin_type, "")
	assert (not processor:isnil (), "Ardour could not instantiate the plug-in")
	track:add_processor_by_index (processor, 0, nil, true)
	insert = processor:to_insert ()
else
	insert = track:nth_plugin (0):to_insert ()
end
local plugin = insert:plugin (0)
local automatable = insert:to_automatable ()

-- The parameters as Ardour lists them (LV2 parameters are patch properties here, VST3
-- ones ports; the LV2's own hidden ports, free-wheel and enable, are not parameters).
local controls = {}
local labels = {}
for parameter in automatable:all_automatable_params ():iter () do
	local control = automatable:automation_control (parameter, false)
	local label = control:desc ().label
	if label == "" then label = control:name () end
	if control:name () ~= "hidden" then
		controls[label] = control
		labels[#labels + 1] = label
	end
end

-- Values as Ardour holds them: VST3 controls are normalised, LV2 ones in plain units.
local function control_value (label, plain)
	if format ~= "VST3" then return plain end
	if label == "Rate" then return math.log (plain / 0.01) / math.log (60 / 0.01) end
	if label == "Mix" or label == "AM Depth" then return plain / 100 end
	if label == "x Factor" then return plain / 15 end
	error ("no mapping for " .. label)
end

-- A preset chosen through Ardour reaches a VST3 in the next process cycle; a parameter
-- set before that is overwritten by the preset. A user listens before turning a knob.
local function load_preset (name)
	local preset = plugin:preset_by_label (name)
	local loaded = preset and plugin:load_preset (preset)
	ARDOUR.LuaAPI.wait_for_process_callback (4, 2000)
	return loaded
end

local function set (label, plain)
	controls[label]:set_value (control_value (label, plain), PBD.GroupControlDisposition.NoGroup)
end

local function plain_rate (value)
	if format ~= "VST3" then return value end
	return 0.01 * (60 / 0.01) ^ value
end

local function report_values (key)
	local parts = {}
	for _, label in ipairs (labels) do
		parts[#parts + 1] = string.format ("%s=%.9g", label, controls[label]:get_value ())
	end
	result (key, table.concat (parts, ";"))
end

if phase == "create" then
	result ("parameters", table.concat (labels, ";"))

	-- The factory presets, from the plug-in list and from the instance.
	local listed = {}
	for preset in plugin:get_info ():get_presets (false):iter () do
		listed[#listed + 1] = preset.label .. (preset.user and ":user" or ":factory")
	end
	result ("info-presets", table.concat (listed, ";"))
	local names = { "Full Reset", "Gentle Tremolo", "Deep Tremolo", "Classic Vibrato", "Wide Auto-Pan",
		"Slow Stereo Drift", "Chorus Shimmer", "Rotary Fast", "Rotary Slow", "Sync Chopper 1-16",
		"Sync Gate Pan 1-8", "Saw Swells 1-4", "Sidechain Pump", "Helicopter", "Ring Mod Bell",
		"Seasick", "Tape Warble", "Spinning Top", "Underwater", "Stereo Widener" }
	local found = {}
	for _, name in ipairs (names) do
		local preset = plugin:preset_by_label (name)
		if preset then
			found[#found + 1] = name .. (preset.user and ":user" or ":factory")
		end
	end
	result ("presets", table.concat (found, ";"))

	-- The preset through Ardour; what Ardour then reads from the plug-in.
	result ("load-deep", load_preset ("Deep Tremolo"))
	render ("deep", 0, 2 * rate)
	report_values ("values-deep")
	result ("rate-deep", plain_rate (controls["Rate"]:get_value ()))
	Session:save_state ("deep-tremolo", false, false, false, false, false)

	set ("Mix", 0)
	render ("mix0", 0, 2 * rate)
	set ("Mix", 100)

	insert:enable (false)
	result ("bypassed", not insert:enabled ())
	render ("bypass", 0, 2 * rate)
	insert:enable (true)

	set ("Rate", 2)
	render ("rate2", 0, 2 * rate)

	-- An automation lane: 2 Hz for two seconds, then a step to 8 Hz.
	local lane = controls["Rate"]:alist ()
	assert (lane:set_interpolation (Evoral.InterpolationStyle.Discrete), "no stepped automation")
	lane:add (Temporal.timepos_t (0), control_value ("Rate", 2), false, false)
	lane:add (Temporal.timepos_t (2 * rate), control_value ("Rate", 8), false, false)
	controls["Rate"]:set_automation_state (ARDOUR.AutoState.Play)
	render ("automation", 0, seconds)

	-- Deleting a factory preset must be refused and leave the bundle alone.
	print ("expect-log\tCannot remove plugin factory preset.")
	plugin:remove_preset ("Deep Tremolo")
	result ("after-delete", plugin:preset_by_label ("Deep Tremolo") and "still listed" or "gone")

	-- Left on the tempo-synced chopper (so that a render does not depend on how long the
	-- plug-in has run) with two settings of its own, then rendered and saved.
	controls["Rate"]:set_automation_state (ARDOUR.AutoState.Off)
	load_preset ("Sync Chopper 1-16")
	set ("AM Depth", 70)
	set ("x Factor", 5)
	render ("saved", sync_start, sync_start + 2 * rate)
	report_values ("values-saved")
	Session:save_state ("", false, false, false, false, false)
else
	report_values ("values-reopened")
	Session:save_state ("reopened", false, false, false, false, false)
	render ("reopened", sync_start, sync_start + 2 * rate)

	-- The tempo-synced chopper at two tempos, twice each. Chosen after another preset:
	-- JUCE's VST3 ignores a change to the program it is on, even one edited since.
	load_preset ("Full Reset")
	result ("load-chopper", load_preset ("Sync Chopper 1-16"))
	for _, bpm in ipairs ({ 90, 140 }) do
		local map = Temporal.TempoMap.write_copy ()
		map:set_tempo (Temporal.Tempo (bpm, bpm, 4), Temporal.timepos_t (0))
		Temporal.TempoMap.update (map)
		result ("tempo", bpm)
		render ("sync" .. bpm .. "a", sync_start, sync_start + 2 * rate)
		render ("sync" .. bpm .. "b", sync_start, sync_start + 2 * rate)
	end
end

close_session ()
