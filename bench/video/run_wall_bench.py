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

For each it prints the CPU used (percent of one core, averaged over the run
after a warm-up) and the resident memory at the end and at its peak.

  bench/video/run_wall_bench.py --build build-video [--seconds 60] [--cameras 16]
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


def cpu_ticks(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime + stime


def memory_kb(pid):
    rss = hwm = 0
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                rss = int(line.split()[1])
            elif line.startswith("VmHWM:"):
                hwm = int(line.split()[1])
    return rss, hwm


def measure(name, cmd, seconds, warmup, stdin=None, ends_itself=False):
    proc = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, stdin=stdin, text=True)
    time.sleep(warmup)
    t0, c0 = time.monotonic(), cpu_ticks(proc.pid)
    time.sleep(seconds)
    t1, c1 = time.monotonic(), cpu_ticks(proc.pid)
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
    cpu = 100.0 * (c1 - c0) / TICKS / (t1 - t0)
    print(f"{name:18s} cpu={cpu:6.1f}%  rss={rss / 1024:7.1f} MiB  peak={hwm / 1024:7.1f} MiB  {out.strip()}",
          flush=True)
    return cpu, rss


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--seconds", type=float, default=60)
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
    total = args.seconds + args.warmup + 0.5
    print(f"{len(urls)} cameras {args.size}@{args.fps} H.264, tiles {args.tile}, {args.seconds:.0f} s each, "
          f"{os.cpu_count()} cores", flush=True)

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

    results = {}
    s0 = cpu_ticks(server.pid)
    t0 = time.monotonic()
    results["players"] = measure("players", [wall, "--seconds", str(total), "--tile", args.tile] + urls,
                                 args.seconds, args.warmup, ends_itself=True)
    results["bare"] = measure("bare-decode", bare(False), args.seconds, args.warmup)
    results["bare+scale"] = measure("bare-decode+scale", bare(True), args.seconds, args.warmup)
    rec_dir = tempfile.mkdtemp(prefix="wallbench-")
    try:
        results["players+record"] = measure(
            "players+record", [wall, "--seconds", str(total), "--tile", args.tile, "--record", rec_dir] + urls,
            args.seconds, args.warmup, ends_itself=True)
        cmd = ["ffmpeg", "-v", "error", "-y"]
        for u in urls:
            cmd += ["-rtsp_transport", "tcp", "-i", u]
        for i in range(len(urls)):
            cmd += ["-map", f"{i}:v", "-c", "copy", os.path.join(rec_dir, f"ff{i}.mp4")]
        results["ffmpeg"] = measure("ffmpeg-copy", cmd, args.seconds, args.warmup, stdin=subprocess.PIPE)
    finally:
        shutil.rmtree(rec_dir, ignore_errors=True)
    server_cpu = 100.0 * (cpu_ticks(server.pid) - s0) / TICKS / (time.monotonic() - t0)
    server.terminate()
    server.wait()

    players, bare_cpu = results["players"][0], results["bare"][0]
    record_cost = results["players+record"][0] - players
    print(f"fakecam itself     cpu={server_cpu:6.1f}% (not counted above)")
    print(f"players / bare-decode        = {players / bare_cpu:.2f} (target <= 1.3)")
    print(f"players / bare-decode+scale  = {players / results['bare+scale'][0]:.2f}")
    print(f"recording adds {record_cost:.1f}% vs ffmpeg -c copy {results['ffmpeg'][0]:.1f}%")
    return 0


if __name__ == "__main__":
    sys.exit(main())
