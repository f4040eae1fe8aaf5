#!/usr/bin/python3
"""Writes the format-detection fixtures into DIR (beside the shared generated media).

usage: make_detection_media.py MEDIA_DIR

Needs MEDIA_DIR/tone44k_stereo.wav; runs lame. The files, in DIR/detect:
  sync_samples.mod   a 4-channel module whose 8-bit sample data is chained MPEG frames
  untitled.mod       the same with an empty title and empty sample names (zeros first)
  plain.mod          a module with a saw-wave sample
  elf.bin, image.png, image.jpg   files from the system
  random.bin, empty.bin
  info_only.mp3      the first frame of an encoded file (its Info frame)
  one_frame.mp3      the first audio frame of a file encoded without an Info frame
  big_id3.mp3        an MP3 behind a 600 kB ID3v2 tag full of frame-sync-like bytes
  padded.mp3         an MP3 behind an ID3v2 tag and 3000 zero bytes
  joined.mp3         44.1 kHz stereo joined with 22.05 kHz mono (no Info frames)
  joined_up.mp3      the other way round
  stereo_part.mp3    the first part of joined.mp3 alone
  mono_part.mp3      the first part of joined_up.mp3 alone
  tone192.mp3        12 s at 192 kbit/s without an Info frame (network stalls and endless streams)
"""
import os
import random
import shutil
import struct
import subprocess
import sys

media = sys.argv[1]
out = os.path.join(media, "detect")
os.makedirs(out, exist_ok=True)
wav = os.path.join(media, "tone44k_stereo.wav")


def lame(args, src, dst):
    subprocess.run(["lame", "--quiet"] + args + [src, dst], check=True)


def module(title, sample_name, sample):
    """A ProTracker module ('M.K.') of one pattern playing sample 1 on every channel."""
    if len(sample) % 2:
        sample += b"\0"
    head = title.ljust(20, b"\0")[:20]
    head += sample_name.ljust(22, b"\0")[:22] + struct.pack(">HBBHH", len(sample) // 2, 0, 64, 0, 1)
    for _ in range(30):
        head += b"\0" * 22 + struct.pack(">HBBHH", 0, 0, 0, 0, 1)
    head += bytes([1, 127]) + bytes(128) + b"M.K."
    pattern = b""
    for row in range(64):
        for ch in range(4):
            if row % 16 == 0:
                period = 428 + 40 * ch
                pattern += bytes([period >> 8, period & 0xFF, 0x10, 0])
            else:
                pattern += bytes(4)
    return head + pattern + sample


def id3v2(body):
    size = len(body)
    syncsafe = bytes([(size >> 21) & 0x7F, (size >> 14) & 0x7F, (size >> 7) & 0x7F, size & 0x7F])
    return b"ID3\x03\x00\x00" + syncsafe + body


def write(name, data):
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)


tmp = os.path.join(out, "tmp")
os.makedirs(tmp, exist_ok=True)
lame(["-b", "128"], wav, os.path.join(tmp, "tagged.mp3"))
lame(["-b", "128", "-t"], wav, os.path.join(tmp, "bare.mp3"))
subprocess.run(["sox", "-q", wav, "-r", "22050", "-c", "1", os.path.join(tmp, "mono22.wav")], check=True)
lame(["-b", "64", "-t"], os.path.join(tmp, "mono22.wav"), os.path.join(tmp, "mono22.mp3"))
lame(["-b", "64", "-t"], os.path.join(tmp, "mono22.wav"), os.path.join(out, "mono_part.mp3"))
tagged = open(os.path.join(tmp, "tagged.mp3"), "rb").read()
bare = open(os.path.join(tmp, "bare.mp3"), "rb").read()
mono22 = open(os.path.join(tmp, "mono22.mp3"), "rb").read()
subprocess.run(["sox", "-q", "-n", "-r", "44100", "-c", "2", "-b", "16", os.path.join(tmp, "long.wav"),
                "synth", "12.0", "sine", "440", "sine", "660", "vol", "0.5"], check=True)
lame(["-b", "192", "-t"], os.path.join(tmp, "long.wav"), os.path.join(out, "tone192.mp3"))
shutil.rmtree(tmp)


def first_frame_bytes(data):
    b1, b2 = data[1], data[2]
    bitrate = [0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320][b2 >> 4] * 1000
    rate = [44100, 48000, 32000][(b2 >> 2) & 3]
    assert data[0] == 0xFF and (b1 & 0xFE) == 0xFA  # MPEG-1 layer III
    return 144 * bitrate // rate + ((b2 >> 1) & 1)


write("sync_samples.mod", module(b"sync samples", b"frames", bare[:20000]))
write("untitled.mod", module(b"", b"", bare[:20000]))
saw = bytes((i * 4) & 0xFF for i in range(4000))
write("plain.mod", module(b"plain", b"saw", saw))

shutil.copyfile("/bin/ls", os.path.join(out, "elf.bin"))
shutil.copyfile("/usr/share/pixmaps/debian-logo.png", os.path.join(out, "image.png"))
shutil.copyfile("/usr/share/doc/nodejs/thin-white-stripe.jpg", os.path.join(out, "image.jpg"))
rng = random.Random(17)
write("random.bin", bytes(rng.getrandbits(8) for _ in range(200000)))
write("empty.bin", b"")

write("info_only.mp3", tagged[: first_frame_bytes(tagged)])
write("one_frame.mp3", bare[: first_frame_bytes(bare)])
# a private frame of 600 kB holding bytes that look like frame headers
noise = bytearray(rng.getrandbits(8) for _ in range(600000))
for at in range(0, len(noise) - 4, 417):
    noise[at:at + 4] = b"\xff\xfb\x90\x64"
write("big_id3.mp3", id3v2(b"PRIV" + struct.pack(">I", len(noise) + 5) + b"\0\0" + b"test\0" + bytes(noise)) + tagged)
write("padded.mp3", id3v2(b"TIT2" + struct.pack(">I", 6) + b"\0\0\0title") + bytes(3000) + tagged)
write("joined.mp3", bare + mono22)
write("joined_up.mp3", mono22 + bare)  # a later format needs more output than the first
write("stereo_part.mp3", bare)
