#!/usr/bin/env python3
"""CPU and memory of the video wall, beside bare GStreamer and ffmpeg.

Starts fakecam with N cameras on loopback, then runs, one after the other in
this same run and against the same cameras:

  players          N GStreamer players (video_wall_bench) showing the cameras
  bare-decode      one gst-launch process decoding the N streams (rtspsrc !
                   rtph264depay ! h264parse ! avdec_h264 ! fakesink)
  bare-decode+scale  the same, also scaled to the tile and converted to BGRx
                   (with the players' scaling settings: nearest neighbour, no dither)
  players+record   the N players, each also recording its camera to MP4
  ffmpeg-copy      one ffmpeg remuxing the N streams to MP4 (-c copy)

For each it prints the CPU used (percent of one core, over its measured
time, after a warm-up at every start) and the resident memory at the end of
a round and at its peak.

The measured time of each configuration (--seconds) is split into --rounds
rounds; every round runs all five configurations one after the other, in
reverse order every other round. A virtual machine's speed drifts by a third
within minutes, which one long run per configuration would read as a
difference between configurations; interleaved rounds spread the drift over
all of them, and the recording's cost is taken round by round from the two
runs next to each other in time.

  bench/video/run_wall_bench.py --build build-video [--seconds 60] [--rounds 4] [--cameras 16]
"""
import argparse
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

TICKS = os.sysconf("SC_CLK_TCK")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def cpu_ticks(pid, tid=None):
    """CPU ticks used by the process, or by one of its threads."""
    path = f"/proc/{pid}/stat" if tid is None else f"/proc/{pid}/task/{tid}/stat"
    with open(path) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime + stime


def thread_ticks(pid, prefix):
    """CPU ticks of each of the process's threads whose name starts with prefix, by thread id."""
    ticks = {}
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{tid}/comm") as f:
                if not f.read().startswith(prefix):
                    continue
            ticks[tid] = cpu_ticks(pid, tid)
        except OSError:
            pass  # the thread has ended
    return ticks


def memory_kb(pid):
    rss = hwm = 0
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                rss = int(line.split()[1])
            elif line.startswith("VmHWM:"):
                hwm = int(line.split()[1])
    return rss, hwm


class Figures:
    """CPU ticks, time and memory of one configuration over all its rounds."""

    def __init__(self, name):
        self.name = name
        self.ticks = 0
        self.seconds = 0.0
        self.per_round = []
        self.rss_kb = 0
        self.peak_kb = 0
        self.out = ""
        self.thread_ticks = 0  # of the threads named by measure()'s thread_prefix

    @property
    def cpu(self):
        return 100.0 * self.ticks / TICKS / self.seconds if self.seconds > 0 else 0.0


def measure(figures, cmd, seconds, warmup, stdin=None, ends_itself=False, thread_prefix=None):
    proc = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, stdin=stdin, text=True)
    time.sleep(warmup)
    t0, c0 = time.monotonic(), cpu_ticks(proc.pid)
    named0 = thread_ticks(proc.pid, thread_prefix) if thread_prefix else {}
    time.sleep(seconds)
    t1, c1 = time.monotonic(), cpu_ticks(proc.pid)
    if thread_prefix:
        named1 = thread_ticks(proc.pid, thread_prefix)
        figures.thread_ticks += sum(t - named0.get(tid, 0) for tid, t in named1.items())
    rss, hwm = memory_kb(proc.pid)
    if ends_itself:
        pass  # it stops its players and reports by itself
    elif stdin is not None:
        proc.stdin.write("q")
        proc.stdin.flush()
    else:
        proc.terminate()
    try:
        out, _ = proc.communicate(timeout=30)
    except subprocess.TimeoutExpired:
        proc.kill()
        out, _ = proc.communicate()
    figures.ticks += c1 - c0
    figures.seconds += t1 - t0
    figures.per_round.append(100.0 * (c1 - c0) / TICKS / (t1 - t0))
    figures.rss_kb = max(figures.rss_kb, rss)
    figures.peak_kb = max(figures.peak_kb, hwm)
    figures.out = out.strip() or figures.out
    print(f"  {figures.name:18s} cpu={figures.per_round[-1]:6.1f}%  rss={rss / 1024:7.1f} MiB  {out.strip()}",
          flush=True)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--seconds", type=float, default=60, help="measured seconds of each configuration")
    ap.add_argument("--rounds", type=int, default=4)
    ap.add_argument("--warmup", type=float, default=5)
    ap.add_argument("--cameras", type=int, default=16)
    ap.add_argument("--size", default="640x360")
    ap.add_argument("--fps", default="25")
    ap.add_argument("--tile", default="480x270")
    args = ap.parse_args()

    fakecam = os.path.join(args.build, "fakecam", "fakecam")
    wall = os.path.join(args.build, "bench", "video", "video_wall_bench")
    cams = [f"cam{i}={free_port()}" for i in range(args.cameras)]
    server = subprocess.Popen([fakecam, "--size", args.size, "--fps", args.fps] + cams,
                              stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    urls = []
    for line in server.stdout:
        if line.startswith("camera "):
            urls.append(line.split()[2])
        if line.strip() == "ready":
            break
    tile_w, tile_h = args.tile.split("x")
    rounds = max(1, args.rounds)
    slot = args.seconds / rounds
    total = slot + args.warmup + 0.5
    print(f"{len(urls)} cameras {args.size}@{args.fps} H.264, tiles {args.tile}, {args.seconds:.0f} s each "
          f"in {rounds} rounds, {os.cpu_count()} cores", flush=True)

    def bare(scale):
        cmd = ["gst-launch-1.0", "-q"]
        for u in urls:
            cmd += ["rtspsrc", f"location={u}", "protocols=tcp", "latency=200", "!", "rtph264depay", "!",
                    "h264parse", "!", "avdec_h264", "!"]
            if scale:
                cmd += ["videoscale", "method=nearest-neighbour", "!", "videoconvert", "dither=none",
                        "chroma-mode=none", "!",
                        f"video/x-raw,format=BGRx,width={tile_w},height={tile_h},pixel-aspect-ratio=1/1", "!"]
            cmd += ["fakesink", "sync=false"]
        return cmd

    def ffmpeg(rec_dir):
        cmd = ["ffmpeg", "-v", "error", "-y"]
        for u in urls:
            cmd += ["-rtsp_transport", "tcp", "-i", u]
        for i in range(len(urls)):
            cmd += ["-map", f"{i}:v", "-c", "copy", os.path.join(rec_dir, f"ff{i}.mp4")]
        return cmd

    wall_cmd = [wall, "--seconds", str(total), "--tile", args.tile]
    names = ["players", "bare-decode", "bare-decode+scale", "players+record", "ffmpeg-copy"]
    figures = {name: Figures(name) for name in names}
    rec_dir = tempfile.mkdtemp(prefix="wallbench-")
    s0 = cpu_ticks(server.pid)
    t0 = time.monotonic()
    try:
        for r in range(rounds):
            print(f"round {r + 1}/{rounds}", flush=True)
            for name in (names if r % 2 == 0 else list(reversed(names))):
                f = figures[name]
                if name == "players":
                    measure(f, wall_cmd + urls, slot, args.warmup, ends_itself=True)
                elif name == "bare-decode":
                    measure(f, bare(False), slot, args.warmup)
                elif name == "bare-decode+scale":
                    measure(f, bare(True), slot, args.warmup)
                elif name == "players+record":
                    measure(f, wall_cmd + ["--record", rec_dir] + urls, slot, args.warmup, ends_itself=True,
                            thread_prefix="rec-")
                else:
                    measure(f, ffmpeg(rec_dir), slot, args.warmup, stdin=subprocess.PIPE)
                for leftover in os.listdir(rec_dir):
                    os.remove(os.path.join(rec_dir, leftover))
    finally:
        shutil.rmtree(rec_dir, ignore_errors=True)
        server_cpu = 100.0 * (cpu_ticks(server.pid) - s0) / TICKS / (time.monotonic() - t0)
        server.terminate()
        server.wait()

    print(f"over {args.seconds:.0f} s each:")
    for name in names:
        f = figures[name]
        spread = f"{min(f.per_round):.1f}..{max(f.per_round):.1f}"
        print(f"{name:18s} cpu={f.cpu:6.1f}% (rounds {spread:>11s})  rss={f.rss_kb / 1024:7.1f} MiB  "
              f"peak={f.peak_kb / 1024:7.1f} MiB  {f.out}", flush=True)
    players, bare_cpu = figures["players"].cpu, figures["bare-decode"].cpu
    record_costs = [a - b for a, b in zip(figures["players+record"].per_round, figures["players"].per_round)]
    record_cost = figures["players+record"].cpu - players
    print(f"fakecam itself     cpu={server_cpu:6.1f}% (not counted above)")
    print(f"players / bare-decode        = {players / bare_cpu:.2f} (target <= 1.3)")
    print(f"players / bare-decode+scale  = {players / figures['bare-decode+scale'].cpu:.2f}")
    rec = figures["players+record"]
    record_threads = 100.0 * rec.thread_ticks / TICKS / rec.seconds if rec.seconds > 0 else 0.0
    print(f"recording adds {record_cost:.1f}% (rounds {min(record_costs):.1f}..{max(record_costs):.1f}) "
          f"vs ffmpeg -c copy {figures['ffmpeg-copy'].cpu:.1f}%")
    print(f"the recording's own threads (rec-queue, rec-mux with its file writes) used {record_threads:.1f}%")
    return 0


if __name__ == "__main__":
    sys.exit(main())
