"""Prints "peak depth rateHz" of a stereo 16-bit WAV: the peak sample (0..1), how deep
the summed-power envelope dips (1 - min/max over windows of 400 samples: whole
periods of jack_simple_client's 200-sample sine, so the carrier leaves no ripple) and the envelope's
rate from its crossings of the mean (0 when it does not move)."""
import math
import struct
import sys
import wave

w = wave.open(sys.argv[1])
ch, n, sr = w.getnchannels(), w.getnframes(), w.getframerate()
data = struct.unpack('<%dh' % (n * ch), w.readframes(n))
# jack_rec may catch a few silent buffers while it connects: judge the settled part.
skip = min(n // 2, sr // 4)
data, n = data[skip * ch:], n - skip
frames = [sum((data[i * ch + c] / 32768.0) ** 2 for c in range(ch)) for i in range(n)]
peak = max(abs(x) for x in data) / 32768.0 if data else 0.0
win = 400
env = [math.sqrt(sum(frames[i:i + win]) / win) for i in range(0, n - win + 1, win)]
top = max(env) if env else 0.0
depth = 1.0 - min(env) / top if top > 0 else 0.0
mean = sum(env) / len(env) if env else 0.0
crossings = sum(1 for a, b in zip(env, env[1:]) if (a - mean) * (b - mean) < 0)
rate = crossings / 2.0 / (len(env) * win / sr) if depth > 0.05 else 0.0
print('%.4f %.4f %.3f' % (peak, depth, rate))
