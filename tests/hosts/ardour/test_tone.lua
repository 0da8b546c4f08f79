ardour {
	["type"]    = "dsp",
	name        = "Quadrature Test Tone",
	category    = "Utility",
	license     = "MIT",
	author      = "Tarnwick Audio",
	description = [[1 kHz at half scale, a sine on the left and a cosine on the right, so that the
level of every sample of a render made from it is the length of the pair (no need to average
over a cycle to see a gain change).]]
}

function dsp_ioconfig ()
	return { { audio_in = 2, audio_out = 2 } }
end

local rate = 48000
local n = 0

function dsp_init (r)
	rate = r
	n = 0
end

function dsp_run (ins, outs, n_samples)
	local left = outs[1]:array ()
	local right = outs[2]:array ()
	local w = 2 * math.pi * 1000 / rate
	for i = 1, n_samples do
		left[i] = 0.5 * math.sin (w * n)
		right[i] = 0.5 * math.cos (w * n)
		n = (n + 1) % rate
	end
end
