-- Drives Ardour's own session code (ardour7-lua, None/Dummy backend) the way a user works
-- with the plug-in, and prints what Ardour reports as "result<TAB>key<TAB>value" lines;
-- renders are track bounces with processing, named so that analyse.py finds them in the
-- session's audio folder. One session per process: Ardour faults on a second one.
--
-- Usage: ardour7-lua session.lua <LV2|VST3> <create|reopen> <session folder> <manifest.ttl>
--   create: lists the plug-in, makes the test tone, renders it dry, then through the
--           plug-in with a preset, mix 0, Ardour's bypass, a parameter and an automation
--           lane; tries to delete a factory preset; saves.
--   reopen: opens that session, saves a snapshot of what it restored, renders again, then
--           renders the tempo-synced preset at two tempos.

local format, phase, folder, bundle_manifest = arg[1], arg[2], arg[3], arg[4]
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
	if label == "Mix" then return plain / 100 end
	error ("no mapping for " .. label)
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
	local deep = plugin:preset_by_label ("Deep Tremolo")
	result ("load-deep", deep and plugin:load_preset (deep))
	render ("deep", 0, 2 * rate)
	report_values ("values-deep")
	result ("rate-deep", plain_rate (controls["Rate"]:get_value ()))
	Session:save_state ("deep-tremolo", false, false, false, false, false)

	controls["Mix"]:set_value (control_value ("Mix", 0), PBD.GroupControlDisposition.NoGroup)
	render ("mix0", 0, 2 * rate)
	controls["Mix"]:set_value (control_value ("Mix", 100), PBD.GroupControlDisposition.NoGroup)

	insert:enable (false)
	result ("bypassed", not insert:enabled ())
	render ("bypass", 0, 2 * rate)
	insert:enable (true)

	controls["Rate"]:set_value (control_value ("Rate", 2), PBD.GroupControlDisposition.NoGroup)
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

	-- Left with a manual rate that no preset has, then saved and rendered.
	controls["Rate"]:set_automation_state (ARDOUR.AutoState.Off)
	controls["Rate"]:set_value (control_value ("Rate", 3), PBD.GroupControlDisposition.NoGroup)
	render ("saved", 0, seconds)
	report_values ("values-saved")
	Session:save_state ("", false, false, false, false, false)
else
	report_values ("values-reopened")
	Session:save_state ("reopened", false, false, false, false, false)
	render ("reopened", 0, seconds)

	-- The tempo-synced chopper at two tempos, rendered from a start that lies off the
	-- sixteenth-note grid, twice each.
	local chopper = plugin:preset_by_label ("Sync Chopper 1-16")
	result ("load-chopper", chopper and plugin:load_preset (chopper))
	for _, bpm in ipairs ({ 90, 140 }) do
		local map = Temporal.TempoMap.write_copy ()
		map:set_tempo (Temporal.Tempo (bpm, bpm, 4), Temporal.timepos_t (0))
		Temporal.TempoMap.update (map)
		local first = math.floor (1.3 * rate)
		result ("tempo", bpm)
		render ("sync" .. bpm .. "a", first, first + 2 * rate)
		render ("sync" .. bpm .. "b", first, first + 2 * rate)
	end
end

close_session ()
