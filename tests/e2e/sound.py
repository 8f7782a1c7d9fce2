"""The bangs in a recording (tools/sound_server.py), found by their onsets and compared with
Don.wav."""

import os
import wave

import artwork
import desktop  # which also puts tools/ on the path
from sound_server import RATE, Server


def server(folder):
    """tools/sound_server.py's server, its processes among the suite's."""
    return Server(folder, desktop.spawn)


def don():
    with wave.open(os.path.join(artwork.ASSETS, "Don.wav")) as w:
        return memoryview(w.readframes(w.getnframes())).cast("h").tolist()


def onsets(x, loud=8000):
    """Where a sound starts: after 20 ms below a quarter of `loud`, a sample above it that `loud`
    follows within 5 ms."""
    found, calm = [], 0
    for i, v in enumerate(x):
        if abs(v) < loud // 4:
            calm += 1
            continue
        if calm >= RATE // 50 and max(map(abs, x[i:i + RATE // 200])) >= loud:
            found.append(i)
        calm = 0
    return found


def similarity(a, b):
    ab, aa, bb = sum(p * q for p, q in zip(a, b)), sum(p * p for p in a), sum(q * q for q in b)
    return ab / (aa * bb) ** 0.5 if aa and bb else 0.0


def bangs(x, ref):
    """Each sound in x: (its first sample, its similarity to ref until the next one starts, and
    how far the loudness of its tenths strays from ref's: 1 as loud, 0.5 half or twice, 0 a part
    missing). It starts where its first 100 ms match ref's best, near its onset. (Loudness, not
    similarity, a tenth: a dropout of a server cycle under load shifts the rest of the bang.)"""
    head = ref[:RATE // 10]
    starts = [max(range(max(0, o - 60), o + 6),
                  key=lambda s: sum(p * q for p, q in zip(x[s:s + len(head)], head)))
              for o in onsets(x)]
    result = []
    for start, end in zip(starts, starts[1:] + [len(x)]):
        n = min(end - start, len(ref))
        worst = 1.0
        for a, b in ((n * i // 10, n * (i + 1) // 10) for i in range(10)):
            heard, meant = sum(v * v for v in x[start + a:start + b]), sum(v * v for v in ref[a:b])
            level = (heard / meant) ** 0.5 if meant else 1.0
            worst = min(worst, level, 1 / level if level else 0)
        result.append((start, similarity(x[start:start + n], ref[:n]), worst))
    return result
