"""Two small JACK clients for the real-host tempo test, through libjack with ctypes.

  jack_transport_clock.py level NAME
      A steady level of 0.5 on NAME:out until killed: a chopped level shows the gain
      itself, so its edges can be timed to the sample.
  jack_transport_clock.py record NAME SOURCE SECONDS WAV
      Records the port SOURCE for SECONDS into a mono 16-bit WAV, and beside it (WAV +
      ".frames") the JACK transport frame and state at the start of every cycle, so each
      recorded sample can be put on the transport's timeline."""
import ctypes
import struct
import sys
import time
import wave

jack = ctypes.CDLL('libjack.so.0')
jack.jack_client_open.restype = ctypes.c_void_p
jack.jack_client_open.argtypes = [ctypes.c_char_p, ctypes.c_int, ctypes.POINTER(ctypes.c_int)]
jack.jack_port_register.restype = ctypes.c_void_p
jack.jack_port_register.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_char_p, ctypes.c_ulong, ctypes.c_ulong]
jack.jack_port_get_buffer.restype = ctypes.c_void_p
jack.jack_port_get_buffer.argtypes = [ctypes.c_void_p, ctypes.c_uint32]
jack.jack_transport_query.restype = ctypes.c_int
jack.jack_transport_query.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
jack.jack_get_sample_rate.argtypes = [ctypes.c_void_p]
jack.jack_activate.argtypes = [ctypes.c_void_p]
jack.jack_deactivate.argtypes = [ctypes.c_void_p]
jack.jack_client_close.argtypes = [ctypes.c_void_p]
jack.jack_connect.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_char_p]
Process = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_uint32, ctypes.c_void_p)
jack.jack_set_process_callback.argtypes = [ctypes.c_void_p, Process, ctypes.c_void_p]

PORT_IS_INPUT, PORT_IS_OUTPUT = 0x1, 0x2
# jack_position_t begins with two 64-bit fields (unique_1, usecs), then frame_rate and frame.
POSITION_FRAME_OFFSET = 20
TRANSPORT_ROLLING = 1

mode, name = sys.argv[1], sys.argv[2].encode()
status = ctypes.c_int()
client = jack.jack_client_open(name, 0, ctypes.byref(status))
if not client:
    sys.exit('cannot open a JACK client (status %d)' % status.value)
port = jack.jack_port_register(client, b'out' if mode == 'level' else b'in', b'32 bit float mono audio',
                               PORT_IS_OUTPUT if mode == 'level' else PORT_IS_INPUT, 0)

if mode == 'level':
    level = (ctypes.c_float * 16384)(*([0.5] * 16384))

    def process(frames, _):
        ctypes.memmove(jack.jack_port_get_buffer(port, frames), level, frames * 4)
        return 0

    callback = Process(process)
    jack.jack_set_process_callback(client, callback, None)
    jack.jack_activate(client)
    while True:
        time.sleep(3600)
else:
    source, seconds, target = sys.argv[3].encode(), float(sys.argv[4]), sys.argv[5]
    rate = jack.jack_get_sample_rate(client)
    position = ctypes.create_string_buffer(512)
    cycles, chunks, wanted = [], [], int(seconds * rate)
    recorded, armed = [0], [False]

    def process(frames, _):
        if armed[0] and recorded[0] < wanted:
            state = jack.jack_transport_query(client, position)
            frame = struct.unpack_from('<I', position.raw, POSITION_FRAME_OFFSET)[0]
            cycles.append((recorded[0], frame, state == TRANSPORT_ROLLING))
            chunks.append(ctypes.string_at(jack.jack_port_get_buffer(port, frames), frames * 4))
            recorded[0] += frames
        return 0

    callback = Process(process)
    jack.jack_set_process_callback(client, callback, None)
    jack.jack_activate(client)
    if jack.jack_connect(client, source, name + b':in') != 0:
        sys.exit('cannot connect %s' % source.decode())
    armed[0] = True
    deadline = time.time() + seconds * 4 + 5
    while recorded[0] < wanted and time.time() < deadline:
        time.sleep(0.05)
    jack.jack_deactivate(client)
    samples = struct.unpack('<%df' % (len(b''.join(chunks)) // 4), b''.join(chunks))[:wanted]
    with wave.open(target, 'wb') as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(struct.pack('<%dh' % len(samples), *(max(-32768, min(32767, int(round(x * 32767)))) for x in samples)))
    with open(target + '.frames', 'w') as f:
        for start, frame, rolling in cycles:
            f.write('%d %d %d\n' % (start, frame, rolling))
jack.jack_client_close(client)
