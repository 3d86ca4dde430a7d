"""The intro's timing facts for the measuring scripts, read from the headers that state them, so that
the scripts never hold copies of their own."""
import os
import re

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def _constant(header, name):
    with open(os.path.join(ROOT, header)) as file:
        match = re.search(r"constexpr\s+\w+\s+%s\s*=\s*(\d+)\s*;" % name, file.read())
    if not match:
        raise RuntimeError("%s does not state %s" % (header, name))
    return int(match.group(1))


FRAME_MS = _constant("app/timing.h", "FRAME_MS")  # one frame at most every FRAME_MS milliseconds
MUSIC_RATE = _constant("music/bassmod.h", "MUSIC_RATE")  # stereo sample frames of music per second
