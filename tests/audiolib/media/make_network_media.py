#!/usr/bin/python3
"""Writes the media of the network seek tests into DIR/net (beside the shared generated media).

usage: make_network_media.py MEDIA_DIR

Runs sox, lame and oggenc. The files, in DIR/net:
  sweep120.mp3   120 s of two rising tones, 128 kbit/s with an Info frame (every moment sounds different)
  sweep120.ogg   the same as Ogg Vorbis
  covers.mp3     three 2 s files joined as a server sends them one after the other, each behind an
                 ID3v2 tag with a 300 kB picture and encoded without an Info frame
"""
import os
import random
import subprocess
import sys

media = sys.argv[1]
out = os.path.join(media, "net")
os.makedirs(out, exist_ok=True)
wav = os.path.join(out, "sweep120.wav")
subprocess.run(["sox", "-q", "-n", "-r", "44100", "-c", "2", "-b", "16", wav,
                "synth", "120.0", "sine", "100-3000", "sine", "150-4500", "vol", "0.4"], check=True)
subprocess.run(["lame", "--quiet", "-b", "128", wav, os.path.join(out, "sweep120.mp3")], check=True)
subprocess.run(["oggenc", "-Q", "-q", "4", wav, "-o", os.path.join(out, "sweep120.ogg")], check=True)
os.remove(wav)

bare = os.path.join(out, "bare.mp3")
subprocess.run(["lame", "--quiet", "-b", "128", "-t", os.path.join(media, "tone44k_stereo.wav"), bare], check=True)
frames = open(bare, "rb").read()
os.remove(bare)


def id3v2_picture(size, seed):
    rng = random.Random(seed)
    picture = b"\xff\xd8\xff\xe0" + bytes(rng.getrandbits(8) for _ in range(size))  # a JPEG's start, then noise
    body = b"\0" + b"image/jpeg\0" + b"\x03" + b"cover\0" + picture
    frame = b"APIC" + len(body).to_bytes(4, "big") + b"\0\0" + body
    n = len(frame)
    syncsafe = bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])
    return b"ID3\x03\x00\x00" + syncsafe + frame


with open(os.path.join(out, "covers.mp3"), "wb") as f:
    for i in range(3):
        f.write(id3v2_picture(300000, i) + frames)
